# Compiled descriptions: the loader and tree builder, template bodies, typed lookups and creation,
# the application object with start-up and shut-down.
tal_sources(
  Sources/Core/CApplication.cpp
  Sources/Core/CObjectLookups.cpp
  Sources/Core/CXMLLoader.cpp
  Sources/Core/CXMLStringTable.cpp
  Sources/Core/CXMLTemplateBody.cpp
)

# Descriptions are compiled from their XML form at build time into TAL_COMPILED_DIR.
set(TAL_COMPILED_DIR ${CMAKE_BINARY_DIR}/generated/compiled)

# tal_compile_description(xml output): compiles a description with "delmaro-tool compile".
function(tal_compile_description xml output)
  cmake_path(ABSOLUTE_PATH xml BASE_DIRECTORY ${CMAKE_SOURCE_DIR})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAL_COMPILED_DIR}
    COMMAND delmaro-tool compile ${xml} ${output}
    DEPENDS delmaro-tool ${xml}
    COMMENT "Compiling description ${xml}"
    VERBATIM)
endfunction()

tal_tests(core
  tests/Core/CApplicationTest.cpp
  tests/Core/CObjectLookupsTest.cpp
  tests/Core/CXMLLoaderTest.cpp
)
if(TARGET tal_core_tests)
  tal_compile_description(tests/fixtures/descriptions/sample.xml ${TAL_COMPILED_DIR}/test-sample.xml)
  tal_embed_resources(tal_core_tests SYMBOL talDescriptionTestResources RESOURCES
    "test/sample.xml" ${TAL_COMPILED_DIR}/test-sample.xml)
  target_compile_definitions(tal_core_tests PRIVATE TAL_SAMPLE_DESCRIPTION="${TAL_COMPILED_DIR}/test-sample.xml")
endif()

# The compiler and the dump of delmaro-tool, tested on their own.
tal_tests(tools
  tests/tools/DescriptionCompilerTest.cpp
  tools/DescriptionCompiler.cpp
  tools/DescriptionDump.cpp
)
if(TARGET tal_tools_tests)
  find_package(pugixml REQUIRED)
  target_include_directories(tal_tools_tests PRIVATE tools)
  target_link_libraries(tal_tools_tests PRIVATE pugixml::pugixml)
endif()
