# Graphics: colour values and tone ramps, band colours, colour swatches, pixel bitmaps, round
# brushes and the anti-aliased curve rasteriser, images with their layers and run-length pixel
# blocks, scaled copies and the resampler, image sets and bitmap fonts.
tal_sources(
  Sources/Other/CBandColor.cpp
  Sources/Other/CBrush.cpp
  Sources/Other/CColor.cpp
  Sources/Other/CColorSwatch.cpp
  Sources/Other/CCoverageBuffer.cpp
  Sources/Other/CFont.cpp
  Sources/Other/CImage.cpp
  Sources/Other/CImageDraw.cpp
  Sources/Other/CImageLayer.cpp
  Sources/Other/CImageLayerData.cpp
  Sources/Other/CImageResampler.cpp
  Sources/Other/CImageSet.cpp
  Sources/Other/CLinearBitmap.cpp
  Sources/Other/CResampleAxis.cpp
  Sources/Other/CResampleKernel.cpp
  Sources/Other/ImageSpans.cpp
)
tal_tests(other
  tests/Other/CBandColorTest.cpp
  tests/Other/CBrushTest.cpp
  tests/Other/CColorSwatchTest.cpp
  tests/Other/CColorTest.cpp
  tests/Other/CColumnSpanTest.cpp
  tests/Other/CCoverageBufferTest.cpp
  tests/Other/CCurveRasterTest.cpp
  tests/Other/CImageDrawTest.cpp
  tests/Other/CImageLayerDataTest.cpp
  tests/Other/CImageLayerTest.cpp
  tests/Other/CImageResamplerTest.cpp
  tests/Other/CImageSetTest.cpp
  tests/Other/CImageTest.cpp
  tests/Other/CLinearBitmapTest.cpp
  tests/Other/CPixelCurveTest.cpp
  tests/support/PngWriter.cpp
)
# Test pictures are written as PNG (libpng, tests only) when TAL_PNG_DIR names a folder.
if(TARGET tal_other_tests)
  find_package(PNG REQUIRED)
  target_link_libraries(tal_other_tests PRIVATE PNG::PNG)
endif()

# The pixel benchmark against cairo (libcairo2-dev, benchmark only).
if(TAL_BUILD_BENCHMARKS)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_CAIRO REQUIRED IMPORTED_TARGET cairo)
  tal_benchmark(tal_pixel_bench bench/Other/PixelBench.cpp)
  target_link_libraries(tal_pixel_bench PRIVATE PkgConfig::TAL_CAIRO)
endif()
