# Visualisation frames, the visualisation collector, the spectrum analyser and the export slots.
tal_sources(
  Sources/Audio/Viz/CAudioVizCollector.cpp
  Sources/Audio/Viz/CAudioVizData.cpp
  Sources/Audio/Viz/CAudioVizDataInfo.cpp
  Sources/Audio/Viz/CAudioVizDataMeter.cpp
  Sources/Audio/Viz/CAudioVizDataBins.cpp
  Sources/Audio/Viz/CAudioVizDataVScope.cpp
  Sources/Audio/Viz/CAudioVizSlotManager.cpp
  Sources/Audio/Viz/CFFTPlanCache.cpp
  Sources/Audio/Viz/CFFTAnalyser.cpp
  Sources/Audio/Viz/CFFTVizSink.cpp
  Sources/Audio/Viz/CVizPayloadReader.cpp
  Sources/Audio/Viz/AnalyserWindow.cpp
  Sources/Audio/Viz/VizCreators.cpp
)
tal_tests(audio
  tests/Audio/Viz/CAudioVizCollectorTest.cpp
  tests/Audio/Viz/CAudioVizDataTest.cpp
  tests/Audio/Viz/CAudioVizSlotManagerTest.cpp
  tests/Audio/Viz/CFFTPlanCacheTest.cpp
  tests/Audio/Viz/CFFTAnalyserTest.cpp
  tests/Audio/Viz/CFFTVizSinkTest.cpp
)
tal_benchmark(tal_analyser_bench bench/Audio/AnalyserBench.cpp)
