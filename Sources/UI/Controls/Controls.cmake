# The controls: knobs, buttons, sliders, rulers and the other views the user works with.
tal_sources(
  Sources/UI/Controls/CRulerScale.cpp
  Sources/UI/Controls/RulerParsers.cpp
  Sources/UI/Controls/CRuler.cpp
  Sources/UI/Controls/CRulerArea.cpp
  Sources/UI/Controls/CTextWrapper.cpp
  Sources/UI/Controls/CTextView.cpp
  Sources/UI/Controls/CCaption.cpp
  Sources/UI/Controls/ControlCreators.cpp
  Sources/UI/CUIParamController.cpp
  Sources/UI/Controls/CMultiChangeDisplay.cpp
  Sources/UI/Controls/CReadOut.cpp
  Sources/UI/Controls/CReadOutAlt.cpp
  # panels
  Sources/UI/Controls/PanelCreators.cpp
  Sources/UI/Controls/CGradientBase.cpp
  Sources/UI/Controls/CSpotlightBase.cpp
  Sources/UI/Controls/CFrame.cpp
  Sources/UI/Controls/CColorFill.cpp
  Sources/UI/Controls/CFrameBand.cpp
  Sources/UI/Controls/CPicture.cpp
)
tal_tests(ui
  tests/UI/Controls/CRulerScaleTest.cpp
  tests/UI/Controls/RulerParsersTest.cpp
  tests/UI/Controls/CRulerTest.cpp
  tests/UI/Controls/CTextWrapperTest.cpp
  tests/UI/Controls/CTextViewTest.cpp
  tests/UI/Controls/CTextViewPictureTest.cpp
  tests/UI/Controls/CCaptionTest.cpp
  tests/UI/Controls/CTextViewEditTest.cpp
  tests/UI/CUIParamControllerTest.cpp
  tests/UI/Controls/CMultiChangeDisplayTest.cpp
  tests/UI/Controls/CReadOutTest.cpp
  tests/UI/Controls/CReadOutAltTest.cpp
  # panels
  tests/UI/Controls/CGradientBaseTest.cpp
  tests/UI/Controls/CSpotlightBaseTest.cpp
  tests/UI/Controls/CFrameTest.cpp
  tests/UI/Controls/CColorFillTest.cpp
  tests/UI/Controls/CPictureTest.cpp
)
tal_benchmark(tal_ruler_bench
  bench/UI/RulerBench.cpp
)
tal_benchmark(tal_text_wrap_bench
  bench/UI/TextWrapBench.cpp
)
tal_benchmark(tal_text_view_bench
  bench/UI/TextViewBench.cpp
)
# Panel light effects against pixman (benchmark only).
tal_benchmark(tal_panel_effects_bench
  bench/UI/PanelEffectsBench.cpp
)
if(TARGET tal_panel_effects_bench)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
  target_link_libraries(tal_panel_effects_bench PRIVATE PkgConfig::TAL_PIXMAN)
endif()
include(Sources/UI/Controls/Surface.cmake)
include(Sources/UI/Controls/Knobs.cmake)
include(Sources/UI/Controls/Buttons.cmake)
