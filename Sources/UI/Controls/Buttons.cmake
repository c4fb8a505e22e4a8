# Buttons, the A/B switch and the selectors built from rows of buttons or a drop-down button.
tal_sources(
  Sources/UI/Controls/CButton.cpp
  Sources/UI/Controls/CButtonAB.cpp
  Sources/UI/Controls/CSelector.cpp
  Sources/UI/Controls/CSelectorFPS.cpp
  Sources/UI/Controls/CSelectorScale.cpp
)
tal_tests(ui
  tests/UI/Controls/CButtonTest.cpp
  tests/UI/Controls/CButtonABTest.cpp
  tests/UI/Controls/CSelectorTest.cpp
  tests/UI/Controls/CSelectorFPSTest.cpp
  tests/UI/Controls/CSelectorScaleTest.cpp
  tests/UI/Controls/SelectorTemplatesTest.cpp
)
# The templates of the selector tests' button rows, compiled as the product's descriptions are.
if(TARGET tal_ui_tests)
  tal_compile_description(tests/fixtures/views/selector.xml ${TAL_COMPILED_DIR}/test-selector.xml)
  target_sources(tal_ui_tests PRIVATE ${TAL_COMPILED_DIR}/test-selector.xml)
  target_compile_definitions(tal_ui_tests PRIVATE TAL_SELECTOR_DESCRIPTION="${TAL_COMPILED_DIR}/test-selector.xml")
endif()
