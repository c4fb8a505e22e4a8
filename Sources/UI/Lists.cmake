# Value lists, group selection and controller, ranges, the sample-rate monitor, the plug-in control
# and the visualisation exchange, all built on the parameter binding.
tal_sources(
  Sources/UI/CParamGroupSelector.cpp
  Sources/UI/CValueList.cpp
)
tal_tests(ui
  tests/UI/CParamGroupSelectorTest.cpp
  tests/UI/CValueListTest.cpp
)
