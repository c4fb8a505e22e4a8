# Linux stand-ins for the platform services the framework expects.
tal_sources(
  Sources/Platform/CMonotonicClock.cpp
)
tal_tests(core
  tests/Platform/CSpinLockTest.cpp
)

# The main-loop timers on a host's Linux run loop; helper programs (file panels, xdg-open).
set(tal_platform_process_sources
  Sources/Platform/CChildProcess.cpp
  Sources/Platform/CFileDialogProcess.cpp
  Sources/Platform/CRunLoopMainLoopTimers.cpp
  Sources/Platform/SystemOpen.cpp
)
tal_sources(${tal_platform_process_sources})
tal_tests(core
  tests/Platform/CFileDialogProcessTest.cpp
  tests/Platform/CRunLoopMainLoopTimersTest.cpp
)
include(${CMAKE_CURRENT_LIST_DIR}/X11.cmake)
