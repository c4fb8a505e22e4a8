# The developer tool; each subcommand is one file.
add_executable(delmaro-tool
  tools/DelmaroTool.cpp
  tools/SelfcheckCommand.cpp
  tools/CompileCommand.cpp
  tools/DescriptionCompiler.cpp
  tools/DescriptionDump.cpp
  tools/DumpCommand.cpp
  tools/EventScript.cpp
  tools/PackCommand.cpp
  tools/ShowRecordCommand.cpp
  tools/RecordPrinter.cpp
  tools/HostCommand.cpp
  tools/HostEditorCommand.cpp
  tools/CPollRunLoop.cpp
  tools/BankCommand.cpp
  tools/AssetCommands.cpp
  tools/FontPacker.cpp
  tools/ImageSetPacker.cpp
  tools/PaletteCommands.cpp
  tools/PaletteSheet.cpp
  tools/ShotCommand.cpp
  tools/ViewSheet.cpp
  tools/ViewSheetRender.cpp
)
target_include_directories(delmaro-tool PRIVATE tools)
target_compile_options(delmaro-tool PRIVATE ${TAL_WARNINGS})
target_link_libraries(delmaro-tool PRIVATE tal::tal)
set_target_properties(delmaro-tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The tool's files each keep their own file-local helpers and name CString from two namespaces:
# they build one by one.
set_target_properties(delmaro-tool PROPERTIES UNITY_BUILD OFF)
find_package(pugixml REQUIRED)
target_link_libraries(delmaro-tool PRIVATE pugixml::pugixml)
# The palette sheet: PNG output, and the product's compiled editor description and default palette
# item as its defaults.
find_package(PNG REQUIRED)
target_link_libraries(delmaro-tool PRIVATE PNG::PNG)
target_compile_definitions(delmaro-tool PRIVATE
  TAL_DEFAULT_UI_DESCRIPTION="${TAL_COMPILED_DIR}/UserInterface.xml"
  TAL_DEFAULT_PALETTE_ITEM="${TAL_COMPILED_DIR}/uicolor-palette.adat")

# The asset packers: FreeType rasterises the fonts, librsvg renders the image-set art (build time
# only; the plug-in links neither). Specimen sheets and PNG files are shared with the tests.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TAL_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(TAL_RSVG REQUIRED IMPORTED_TARGET librsvg-2.0)
add_library(delmaro_assets STATIC tools/PngFile.cpp tools/SpecimenSheet.cpp)
target_include_directories(delmaro_assets PUBLIC tools)
target_compile_options(delmaro_assets PRIVATE ${TAL_WARNINGS})
target_link_libraries(delmaro_assets PUBLIC tal::tal PNG::PNG)
target_link_libraries(delmaro-tool PRIVATE delmaro_assets PkgConfig::TAL_FREETYPE PkgConfig::TAL_RSVG)
tal_tests(tools tests/tools/AssetPackerTest.cpp tools/FontPacker.cpp tools/ImageSetPacker.cpp)
if(TARGET tal_tools_tests)
  target_link_libraries(tal_tools_tests PRIVATE delmaro_assets PkgConfig::TAL_FREETYPE PkgConfig::TAL_RSVG)
endif()

# The VST 3 host code: the "host" subcommand and the test harness of everything behind the VST 3
# interface. It reaches a plug-in only through its bundle's GetPluginFactory.
add_library(delmaro_host STATIC
  tools/CHostModule.cpp
  tools/CHostParameterChanges.cpp
  tools/CHostComponentHandler.cpp
  tools/CHostPlugin.cpp
  tools/HostBandLevel.cpp
)
target_include_directories(delmaro_host PUBLIC tools)
target_compile_options(delmaro_host PRIVATE ${TAL_WARNINGS})
target_link_libraries(delmaro_host PUBLIC vst3sdk ${CMAKE_DL_LIBS})
target_link_libraries(delmaro-tool PRIVATE delmaro_host)

# Tests through the bundle, with the host code as the harness.
tal_tests(tools
  tests/tools/VST3BundleTest.cpp
  tests/tools/VST3InstanceTest.cpp
  tests/tools/VST3FactoryPresetTest.cpp
  tests/tools/CHostParameterChangesTest.cpp
  tests/tools/HostProcessTest.cpp
  tests/tools/HostEditorTest.cpp
  tests/tools/ShotCommandTest.cpp
  tests/tools/ShotPopupTest.cpp
  tests/tools/ProductWindowShotTest.cpp
)
if(TARGET tal_tools_tests)
  target_link_libraries(tal_tools_tests PRIVATE delmaro_host)
  tal_reference_images(tal_tools_tests)
  add_dependencies(tal_tools_tests Delmaro delmaro-tool)
  target_compile_definitions(tal_tools_tests PRIVATE TAL_PLUGIN_MODULE="$<TARGET_FILE:Delmaro>"
                             TAL_TOOL_PATH="$<TARGET_FILE:delmaro-tool>"
                             TAL_SHOT_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures")
endif()

# The real-time check replaces malloc in its own test program; sanitizers bring their own allocators.
if(TAL_BUILD_TESTS AND NOT TAL_SANITIZE)
  add_executable(tal_realtime_tests tests/tools/VST3RealtimeTest.cpp)
  target_compile_options(tal_realtime_tests PRIVATE ${TAL_WARNINGS})
  target_link_libraries(tal_realtime_tests PRIVATE delmaro_host GTest::gtest GTest::gtest_main)
  add_dependencies(tal_realtime_tests Delmaro)
  target_compile_definitions(tal_realtime_tests PRIVATE TAL_PLUGIN_MODULE="$<TARGET_FILE:Delmaro>")
  gtest_discover_tests(tal_realtime_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${TAL_TEST_ENVIRONMENT}")
endif()

# The whole plug-in through its bundle against the LSP parametric equaliser through LADSPA
# (lsp-plugins-ladspa and ladspa-sdk: benchmark only, never linked into the plug-in).
if(TAL_BUILD_BENCHMARKS)
  tal_benchmark(tal_plugin_peer_bench bench/Audio/PluginPeerBench.cpp)
  target_link_libraries(tal_plugin_peer_bench PRIVATE delmaro_host ${CMAKE_DL_LIBS})
  add_dependencies(tal_plugin_peer_bench Delmaro)
  target_compile_definitions(tal_plugin_peer_bench PRIVATE TAL_PLUGIN_MODULE="$<TARGET_FILE:Delmaro>")
endif()
