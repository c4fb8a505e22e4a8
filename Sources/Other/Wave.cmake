# Wave files: the reader of RIFF, RF64, Wave64 and AIFF/AIFC files and the RIFF/RF64 writer.
tal_sources(
  Sources/Other/CWaveFile.cpp
  Sources/Other/CWaveSampleCodec.cpp
)
tal_tests(other
  tests/Other/CWaveFileTest.cpp
  tests/Other/CWaveSampleCodecTest.cpp
)

if(TAL_BUILD_BENCHMARKS)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
  tal_benchmark(tal_wave_bench bench/Other/WaveFileBench.cpp)
  target_link_libraries(tal_wave_bench PRIVATE PkgConfig::TAL_SNDFILE)
endif()
