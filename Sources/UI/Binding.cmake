# The editor's parameter binding: bridges to the audio parameters, UI parameters, their update
# handler and converter, and the undo collector.
tal_sources(
  Sources/UI/BindingCreators.cpp
  Sources/UI/CParamBridge.cpp
  Sources/UI/CUIParam.cpp
  Sources/UI/CUIParamConverter.cpp
  Sources/UI/CUIParamUndoCollector.cpp
  Sources/UI/CUIParamUpdateHandler.cpp
)
tal_tests(ui
  tests/UI/BindingRoundTripTest.cpp
  tests/UI/CParamBridgeTest.cpp
  tests/UI/CUIParamConverterTest.cpp
  tests/UI/CUIParamTest.cpp
  tests/UI/CUIParamUndoCollectorTest.cpp
  tests/UI/CUIParamUpdateHandlerTest.cpp
  tests/support/BindingTestTree.cpp
  tests/support/CEventTestTree.cpp
  tests/support/InterfaceTestTree.cpp
)
# The benchmark builds its trees with the test support, which reports through GoogleTest.
if(TAL_BUILD_TESTS)
  tal_benchmark(tal_binding_bench bench/UI/ParamBridgeBench.cpp tests/support/BindingTestTree.cpp
                tests/support/CEventTestTree.cpp tests/support/InterfaceTestTree.cpp)
  if(TARGET tal_binding_bench)
    target_include_directories(tal_binding_bench PRIVATE tests)
    target_link_libraries(tal_binding_bench PRIVATE GTest::gtest GTest::gmock)
  endif()
endif()
