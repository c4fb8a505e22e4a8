# What views and controls work with beside the view object: the interaction preferences, caption
# text, drag state and state switches.
tal_sources(
  Sources/UI/CCaptionText.cpp
  Sources/UI/CDragInfo.cpp
  Sources/UI/CGlobalSettings.cpp
  Sources/UI/CStateSwitch.cpp
  Sources/UI/CViewCaptionHost.cpp
  Sources/UI/CViewDrawHelpers.cpp
  Sources/UI/CViewPopups.cpp
)
tal_tests(ui
  tests/UI/CCaptionTextTest.cpp
  tests/UI/CDragInfoTest.cpp
  tests/UI/CGlobalSettingsTest.cpp
  tests/UI/CStateSwitchTest.cpp
  tests/UI/CViewDrawHelpersTest.cpp
  tests/UI/CViewPopupsTest.cpp
)
