# The view layer: the placement layer of every view and the objects views need beside them.
tal_sources(
  Sources/UI/CViewBasePlacement.cpp
  Sources/UI/CWindowSharedData.cpp
  Sources/UI/ViewCreators.cpp
)
tal_tests(ui
  tests/UI/CViewBasePlacementTest.cpp
  tests/support/CRecordingObject.cpp
)
