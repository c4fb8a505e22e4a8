# The controls: knobs, buttons, sliders, rulers and the other views the user works with.
tal_sources(
  Sources/UI/Controls/CRulerScale.cpp
  Sources/UI/Controls/RulerParsers.cpp
  Sources/UI/Controls/CTextWrapper.cpp
)
tal_tests(ui
  tests/UI/Controls/CRulerScaleTest.cpp
  tests/UI/Controls/RulerParsersTest.cpp
  tests/UI/Controls/CTextWrapperTest.cpp
)
tal_benchmark(tal_ruler_bench
  bench/UI/RulerBench.cpp
)
tal_benchmark(tal_text_wrap_bench
  bench/UI/TextWrapBench.cpp
)
include(Sources/UI/Controls/Surface.cmake)
