# The curve editor over the response graph: its records, mapping, hit tests and selection.
tal_sources(
  Sources/UI/Controls/CControlSurfaceBase.cpp
  Sources/UI/Controls/CControlSurfaceSelection.cpp
)
tal_tests(ui
  tests/UI/Controls/CControlSurfaceBaseTest.cpp
)
