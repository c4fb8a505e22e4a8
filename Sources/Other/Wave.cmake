# Wave files: the reader of RIFF, RF64, Wave64 and AIFF/AIFC files and the RIFF/RF64 writer.
tal_sources(
  Sources/Other/CWaveFile.cpp
  Sources/Other/CWaveSampleCodec.cpp
)
tal_tests(other
  tests/Other/CWaveFileTest.cpp
  tests/Other/CWaveSampleCodecTest.cpp
)
