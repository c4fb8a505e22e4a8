# Graphics: colour values and tone ramps, band colours, colour swatches.
tal_sources(
  Sources/Other/CBandColor.cpp
  Sources/Other/CColor.cpp
  Sources/Other/CColorSwatch.cpp
)
tal_tests(other
  tests/Other/CBandColorTest.cpp
  tests/Other/CColorSwatchTest.cpp
  tests/Other/CColorTest.cpp
)
