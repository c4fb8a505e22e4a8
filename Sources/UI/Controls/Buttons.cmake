# Buttons, the A/B switch and the selectors built from rows of buttons or a drop-down button.
tal_sources(
  Sources/UI/Controls/CButton.cpp
)
tal_tests(ui
  tests/UI/Controls/CButtonTest.cpp
)
