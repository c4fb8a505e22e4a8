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
  Sources/UI/CIntervalTimer.cpp
  Sources/UI/CSectorMap.cpp
  Sources/UI/CUpdateTimer.cpp
  Sources/UI/CUpdateTimerGroup.cpp
  Sources/UI/CWindowCloser.cpp
  Sources/UI/CWindowOpener.cpp
  Sources/UI/CWindowRenderer.cpp
  Sources/UI/CWindowRendererClose.cpp
  Sources/UI/CWindowRendererPlacement.cpp
  Sources/UI/CWindowResizer.cpp
  Sources/UI/WindowCreators.cpp
)
tal_tests(ui
  tests/UI/CIntervalTimerTest.cpp
  tests/UI/CSectorMapTest.cpp
  tests/UI/CUpdateTimerTest.cpp
  tests/UI/CWindowClosingTest.cpp
  tests/UI/CWindowRendererTest.cpp
  tests/UI/CWindowSharedDataImagesTest.cpp
  tests/UI/CWindowSharedDataTest.cpp
  tests/support/MultiWindowTestTree.cpp
  tests/support/RendererTestTree.cpp
  tests/support/WindowTestTree.cpp
)
if(TARGET tal_ui_tests)
  tal_reference_images(tal_ui_tests)
endif()
# The full repaint benchmark builds its window with the renderer test tree, which reports through
# GoogleTest.
if(TAL_BUILD_TESTS)
  tal_benchmark(tal_window_repaint_bench bench/UI/WindowRepaintBench.cpp tests/support/RendererTestTree.cpp
                tests/support/ViewTestTree.cpp tests/support/CEventTestTree.cpp tests/support/WindowTestTree.cpp)
  if(TARGET tal_window_repaint_bench)
    target_include_directories(tal_window_repaint_bench PRIVATE tests)
    target_link_libraries(tal_window_repaint_bench PRIVATE GTest::gtest GTest::gmock)
  endif()
endif()
