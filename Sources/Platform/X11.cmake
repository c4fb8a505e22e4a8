# The X11 window layer: display connection, windows, presentation, input translation, clipboard.
find_package(X11 REQUIRED)
if(NOT TARGET X11::Xext OR NOT TARGET X11::Xrandr)
  message(FATAL_ERROR "libxext-dev and libxrandr-dev are needed (scripts/setup installs them)")
endif()
target_link_libraries(tal PUBLIC X11::X11 X11::Xext X11::Xrandr)
set(tal_x11_sources
  Sources/Platform/CEditorPlatformServices.cpp
  Sources/Platform/ClipboardText.cpp
  Sources/Platform/CX11Clipboard.cpp
  Sources/Platform/CX11Display.cpp
  Sources/Platform/CX11EventTranslator.cpp
  Sources/Platform/CX11Surface.cpp
  Sources/Platform/CX11Window.cpp
  Sources/Platform/CX11WindowBackend.cpp
)
tal_sources(${tal_x11_sources})
# Xlib's headers define macros (None, Status, KeyPress...) that must not reach other sources of a
# unity batch; the helper-program sources keep file-local helpers too.
set_source_files_properties(${tal_x11_sources} ${tal_platform_process_sources}
  PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
tal_tests(x11
  tests/Platform/ClipboardTextTest.cpp
  tests/Platform/CX11ClipboardTest.cpp
  tests/Platform/CX11EventTranslatorTest.cpp
  tests/Platform/CX11WindowBackendTest.cpp
  tests/Platform/CX11WindowTest.cpp
)
# The X11 tests drive real input through XTEST.
if(TARGET tal_x11_tests)
  if(NOT TARGET X11::Xtst)
    message(FATAL_ERROR "libxtst-dev is needed (scripts/setup installs it)")
  endif()
  target_link_libraries(tal_x11_tests PRIVATE X11::Xtst)
endif()

# A full-window blit through shared memory against XPutImage, on a private Xvfb.
tal_benchmark(tal_x11_blit_bench bench/Platform/X11BlitBench.cpp)
if(TARGET tal_x11_blit_bench)
  target_include_directories(tal_x11_blit_bench PRIVATE tests)
endif()
