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
  tests/UI/Controls/CKnobTest.cpp
  tests/UI/Controls/CKnobLinkTest.cpp
  tests/UI/Controls/CSimpleSliderTest.cpp
)
