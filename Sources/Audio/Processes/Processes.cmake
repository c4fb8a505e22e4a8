# Processing modules, the terminals that host them, stacked and multiband processes.
tal_sources(
  Sources/Audio/Processes/CAudioModule.cpp
  Sources/Audio/Processes/CModBypassModule.cpp
  Sources/Audio/Processes/CModFilterIIRModule.cpp
  Sources/Audio/Processes/CModGainModule.cpp
)
tal_tests(audio
  tests/Audio/Processes/CAudioModuleTest.cpp
  tests/Audio/Processes/CModBypassModuleTest.cpp
  tests/Audio/Processes/CModFilterIIRModuleTest.cpp
  tests/Audio/Processes/CModGainModuleTest.cpp
)
tal_benchmark(tal_cascade_bench
  bench/Audio/CascadeBench.cpp
)
