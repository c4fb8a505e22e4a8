# Linux stand-ins for the platform services the framework expects.
tal_sources(
  Sources/Platform/CMonotonicClock.cpp
)
tal_tests(core
  tests/Platform/CSpinLockTest.cpp
)
