# The plug-in: Delmaro.vst3/Contents/x86_64-linux/Delmaro.so, with the framework linked in and the
# compiled descriptions embedded. Only the module entries and GetPluginFactory are exported.
add_library(Delmaro MODULE Sources/Delmaro.cpp)
target_link_libraries(Delmaro PRIVATE tal::tal)
target_compile_options(Delmaro PRIVATE ${TAL_WARNINGS})
set_target_properties(Delmaro PROPERTIES
  PREFIX ""
  OUTPUT_NAME Delmaro
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/Delmaro.vst3/Contents/x86_64-linux
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/Sources/Delmaro.map)
target_link_options(Delmaro PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/Sources/Delmaro.map
  -Wl,--exclude-libs,ALL)
# clang leaves the sanitizer runtimes to the executable, so their symbols are open in the module.
if(NOT (CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND TAL_SANITIZE))
  target_link_options(Delmaro PRIVATE -Wl,--no-undefined)
endif()
# The product's resources (Gfx/Gfx.cmake): descriptions, banks, application-data defaults.
tal_embed_resources(Delmaro SYMBOL delmaroResources RESOURCES ${TAL_PRODUCT_RESOURCES})

# Loads the built module as a host does.
tal_tests(core tests/DelmaroModuleTest.cpp)
if(TARGET tal_core_tests)
  add_dependencies(tal_core_tests Delmaro)
  target_compile_definitions(tal_core_tests PRIVATE
    TAL_PLUGIN_MODULE="$<TARGET_FILE:Delmaro>")
endif()

# `cmake --build DIR --target install-vst3` copies the bundle into ~/.vst3, where Linux hosts look.
add_custom_target(install-vst3
  COMMAND ${CMAKE_COMMAND} -DBUNDLE=${CMAKE_BINARY_DIR}/Delmaro.vst3 -P ${CMAKE_SOURCE_DIR}/cmake/InstallVST3.cmake
  DEPENDS Delmaro
  COMMENT "Installing Delmaro.vst3 into ~/.vst3"
  VERBATIM)
