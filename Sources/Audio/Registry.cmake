# Parameters, the value-change path and the parameter collector.
tal_sources(
  Sources/Audio/CAudioParam.cpp
  Sources/Audio/CAudioParamChangeList.cpp
  Sources/Audio/CAudioParamCollector.cpp
  Sources/Audio/CAudioParamLock.cpp
  Sources/Audio/CAudioParamWatch.cpp
)
tal_tests(audio
  tests/Audio/CAudioParamTest.cpp
  tests/Audio/CAudioParamChangeListTest.cpp
  tests/Audio/CAudioParamCollectorTest.cpp
)
