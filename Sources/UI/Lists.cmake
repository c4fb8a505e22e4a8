# Value lists, group selection and controller, ranges, the sample-rate monitor, the plug-in control
# and the visualisation exchange, all built on the parameter binding.
tal_sources(
  Sources/UI/CMinMax.cpp
  Sources/UI/CParamGroupSelector.cpp
  Sources/UI/CSampleRateMonitor.cpp
  Sources/UI/CValueList.cpp
  Sources/UI/CValueListAudio.cpp
  Sources/UI/CValueListAudioRouting.cpp
  Sources/UI/Controls/CParamGroupController.cpp
)
tal_tests(ui
  tests/UI/CMinMaxTest.cpp
  tests/UI/CParamGroupControllerTest.cpp
  tests/UI/CParamGroupSelectorTest.cpp
  tests/UI/CSampleRateMonitorTest.cpp
  tests/UI/CValueListAudioTest.cpp
  tests/UI/CValueListTest.cpp
)
