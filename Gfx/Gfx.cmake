# Product data: the descriptions are compiled from their XML form at build time into
# ${TAL_COMPILED_DIR}, where the plug-in's resource table takes them from.
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

tal_compile_description(Gfx/SharedData.xml ${TAL_COMPILED_DIR}/SharedData.xml)
