# Value lists, group selection and controller, ranges, the sample-rate monitor, the plug-in control
# and the visualisation exchange, all built on the parameter binding.
tal_sources(
  Sources/UI/CControlArray.cpp
  Sources/UI/CDynList.cpp
  Sources/UI/CDynListAudio.cpp
  Sources/UI/CDynListAudioExportSlots.cpp
  Sources/UI/CDynListColorSwatch.cpp
  Sources/UI/CDynListObject.cpp
  Sources/UI/CDynListValueList.cpp
  Sources/UI/CDynListWhatsNew.cpp
  Sources/UI/CMinMax.cpp
  Sources/UI/CParamGroupSelector.cpp
  Sources/UI/CPluginControl.cpp
  Sources/UI/CSampleRateMonitor.cpp
  Sources/UI/CValueList.cpp
  Sources/UI/CValueListAudio.cpp
  Sources/UI/CValueListAudioRouting.cpp
  Sources/UI/CVizExchange.cpp
  Sources/UI/Controls/CParamGroupController.cpp
)
tal_tests(ui
  tests/UI/CControlArrayTest.cpp
  tests/UI/CDynListAudioExportSlotsTest.cpp
  tests/UI/CDynListTest.cpp
  tests/UI/CMinMaxTest.cpp
  tests/UI/CParamGroupControllerTest.cpp
  tests/UI/CParamGroupSelectorTest.cpp
  tests/UI/CPluginControlTest.cpp
  tests/UI/CSampleRateMonitorTest.cpp
  tests/UI/CValueListAudioTest.cpp
  tests/UI/CValueListTest.cpp
  tests/UI/CVizExchangeTest.cpp
)
# The benchmark builds its trees with the test support, which reports through GoogleTest.
if(TAL_BUILD_TESTS)
  tal_benchmark(tal_viz_exchange_bench bench/UI/VizExchangeBench.cpp tests/support/BindingTestTree.cpp
                tests/support/CEventTestTree.cpp tests/support/InterfaceTestTree.cpp)
  if(TARGET tal_viz_exchange_bench)
    target_include_directories(tal_viz_exchange_bench PRIVATE tests)
    target_link_libraries(tal_viz_exchange_bench PRIVATE GTest::gtest GTest::gmock)
  endif()
endif()
