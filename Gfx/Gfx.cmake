# Product data: the descriptions are compiled from their XML form at build time (see
# tal_compile_description in Sources/Core/Descriptions.cmake); the plug-in embeds the results.
tal_compile_description(Gfx/SharedData.xml ${TAL_COMPILED_DIR}/SharedData.xml)
