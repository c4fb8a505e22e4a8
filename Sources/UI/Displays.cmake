# The editor's displays: the response computation behind the equaliser graph and the level-meter
# listener owner, and the positions of the graph's grid lines.
tal_sources(
  Sources/UI/CFilterResponse.cpp
  Sources/UI/CGraph.cpp
  Sources/UI/CGraphGridLines.cpp
  Sources/UI/CGraphLogLines.cpp
  Sources/UI/CGraphSampleRate.cpp
  Sources/UI/CLevelMeterBase.cpp
  Sources/UI/CLevelMeterListener.cpp
  Sources/UI/CLevelMeterListenerOwner.cpp
  Sources/UI/CSpectrum.cpp
  Sources/UI/CSpectrumContainer.cpp
  Sources/UI/CSpectrumCurve.cpp
  Sources/UI/CSpectrumData.cpp
  Sources/UI/CSpectrumFiles.cpp
  Sources/UI/DisplayCreators.cpp
)
tal_tests(ui
  tests/UI/CFilterResponseTest.cpp
  tests/UI/CGraphGridLinesTest.cpp
  tests/UI/CGraphTest.cpp
  tests/UI/CGraphLogLinesTest.cpp
  tests/UI/CGraphSampleRateTest.cpp
  tests/UI/CLevelMeterBaseTest.cpp
  tests/UI/CLevelMeterListenerTest.cpp
  tests/UI/CSpectrumContainerTest.cpp
  tests/UI/CSpectrumCurveTest.cpp
  tests/UI/CSpectrumTest.cpp
  tests/UI/CSpectrumDataTest.cpp
  tests/UI/CSpectrumFilesTest.cpp
)
tal_benchmark(tal_response_bench bench/UI/FilterResponseBench.cpp)
tal_benchmark(tal_spectrum_curve_bench bench/UI/SpectrumCurveBench.cpp)
