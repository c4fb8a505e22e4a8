# Threads, the worker pool, main-loop timers and the smaller core services.
tal_sources(
  Sources/Platform/CMainLoopTimers.cpp
  Sources/Platform/CPumpedMainLoopTimers.cpp
)
tal_tests(core
  tests/Platform/CPumpedMainLoopTimersTest.cpp
)
