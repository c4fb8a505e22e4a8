# Presets, banks, the parameter registries, host-exported parameters and the controller table.
tal_sources(
  Sources/Audio/CAudioCCTable.cpp
  Sources/Audio/CAudioExtParam.cpp
  Sources/Audio/CAudioExtParamList.cpp
  Sources/Audio/CAudioParamRegistry.cpp
  Sources/Audio/CAudioPreset.cpp
  Sources/Audio/CAudioPresetBank.cpp
  Sources/Audio/RegistryCreators.cpp
)
tal_tests(audio
  tests/Audio/CAudioCCTableTest.cpp
  tests/Audio/CAudioExtParamTest.cpp
  tests/Audio/CAudioParamRegistryTest.cpp
  tests/Audio/CAudioPresetTest.cpp
  tests/Audio/CAudioPresetBankTest.cpp
)
# The record printer of "delmaro-tool inspect", tested on its own.
tal_tests(tools
  tests/tools/RecordPrinterTest.cpp
  tools/RecordPrinter.cpp
)
if(TARGET tal_tools_tests)
  target_include_directories(tal_tools_tests PRIVATE tools)
endif()
