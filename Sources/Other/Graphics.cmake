# Graphics: colour values and tone ramps, band colours, colour swatches, pixel bitmaps.
tal_sources(
  Sources/Other/CBandColor.cpp
  Sources/Other/CColor.cpp
  Sources/Other/CColorSwatch.cpp
  Sources/Other/CLinearBitmap.cpp
)
tal_tests(other
  tests/Other/CBandColorTest.cpp
  tests/Other/CColorSwatchTest.cpp
  tests/Other/CColorTest.cpp
  tests/Other/CLinearBitmapTest.cpp
)
