# Knobs, their labels, the simple slider and the mouse-move notifier.
tal_sources(
  Sources/UI/Controls/CMouseMoveNotifier.cpp
  Sources/UI/Controls/CKnobLabels.cpp
  Sources/UI/Controls/CKnob.cpp
  Sources/UI/Controls/CSimpleSlider.cpp
)
tal_tests(ui
  tests/UI/Controls/CMouseMoveNotifierTest.cpp
  tests/UI/Controls/CKnobLabelsTest.cpp
  tests/UI/Controls/CKnobLabelsPlacementTest.cpp
  tests/UI/Controls/CKnobTest.cpp
  tests/UI/Controls/CKnobLinkTest.cpp
  tests/UI/Controls/CSimpleSliderTest.cpp
)
# The drag-step benchmark builds its editor with the test support, which reports through GoogleTest.
if(TAL_BUILD_TESTS)
  tal_benchmark(tal_knob_drag_bench bench/UI/KnobDragBench.cpp tests/support/BindingTestTree.cpp
                tests/support/CEventTestTree.cpp tests/support/InterfaceTestTree.cpp)
  if(TARGET tal_knob_drag_bench)
    target_include_directories(tal_knob_drag_bench PRIVATE tests)
    target_link_libraries(tal_knob_drag_bench PRIVATE GTest::gtest GTest::gmock)
  endif()
endif()
