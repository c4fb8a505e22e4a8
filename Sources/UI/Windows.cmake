# The window layer: the window backend (headless here; X11 elsewhere), update and interval timers,
# the sector map, the window renderer and the shared window data.
tal_sources(
  Sources/Platform/CHeadlessWindowBackend.cpp
  Sources/Platform/CProcessorCount.cpp
  Sources/Platform/CWindowBackend.cpp
)
tal_tests(ui
  tests/Platform/CHeadlessWindowBackendTest.cpp
)
tal_sources(
  Sources/UI/CUpdateTimer.cpp
  Sources/UI/CSectorMap.cpp
  Sources/UI/CUpdateTimerGroup.cpp
  Sources/UI/CWindowRenderer.cpp
  Sources/UI/WindowCreators.cpp
)
tal_tests(ui
  tests/UI/CSectorMapTest.cpp
  tests/UI/CUpdateTimerTest.cpp
  tests/UI/CWindowSharedDataImagesTest.cpp
  tests/support/WindowTestTree.cpp
)
