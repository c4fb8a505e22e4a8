# Dynamic colours and the palette: named tone ramps built from a few numbers, their cache, and the
# palette parameter they are stored in.
tal_sources(
  Sources/UI/CDynamicColor.cpp
  Sources/UI/CDynamicColorData.cpp
  Sources/UI/CDynamicPalette.cpp
  Sources/UI/HexColor.cpp
  Sources/UI/PaletteCreators.cpp
)
tal_tests(ui
  tests/UI/CDynamicColorTest.cpp
  tests/UI/CDynamicPaletteTest.cpp
)
# Opening the product palette with and without its ramp cache (needs the compiled description).
tal_benchmark(tal_palette_bench bench/UI/PaletteBench.cpp tools/PaletteSheet.cpp)
if(TARGET tal_palette_bench)
  find_package(PNG REQUIRED)
  target_link_libraries(tal_palette_bench PRIVATE PNG::PNG)
  target_include_directories(tal_palette_bench PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  target_compile_definitions(tal_palette_bench PRIVATE
    TAL_DEFAULT_UI_DESCRIPTION="${TAL_COMPILED_DIR}/UserInterface.xml"
    TAL_DEFAULT_PALETTE_ITEM="${TAL_COMPILED_DIR}/uicolor-palette.adat")
endif()
