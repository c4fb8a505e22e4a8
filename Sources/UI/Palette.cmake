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
