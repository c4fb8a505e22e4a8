# Graphics: colour values and tone ramps, band colours, colour swatches, pixel bitmaps, round
# brushes and the anti-aliased curve rasteriser.
tal_sources(
  Sources/Other/CBandColor.cpp
  Sources/Other/CBrush.cpp
  Sources/Other/CColor.cpp
  Sources/Other/CColorSwatch.cpp
  Sources/Other/CCoverageBuffer.cpp
  Sources/Other/CLinearBitmap.cpp
)
tal_tests(other
  tests/Other/CBandColorTest.cpp
  tests/Other/CBrushTest.cpp
  tests/Other/CColorSwatchTest.cpp
  tests/Other/CColorTest.cpp
  tests/Other/CCurveRasterTest.cpp
  tests/Other/CLinearBitmapTest.cpp
  tests/Other/CPixelCurveTest.cpp
)
