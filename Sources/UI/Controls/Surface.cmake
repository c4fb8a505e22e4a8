# The curve editor over the response graph: its records, mapping, hit tests and selection.
tal_sources(
  Sources/UI/Controls/CControlSurfaceBase.cpp
  Sources/UI/Controls/CControlSurfaceSelection.cpp
  Sources/UI/Controls/CControlSurfaceLayer.cpp
  Sources/UI/Controls/CControlSurfaceEvents.cpp
  Sources/UI/Controls/CControlSurfaceSweep.cpp
  Sources/UI/Controls/CControlSurfaceVisual.cpp
  Sources/UI/Controls/CControlSurface.cpp
  Sources/UI/Controls/SurfaceCreators.cpp
)
tal_tests(ui
  tests/UI/Controls/CControlSurfaceBaseTest.cpp
  tests/UI/Controls/CControlSurfaceLayerTest.cpp
  tests/UI/Controls/CControlSurfaceTest.cpp
)
