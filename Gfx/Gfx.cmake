# Product data: the descriptions are compiled from their XML form at build time (see
# tal_compile_description in Sources/Core/Descriptions.cmake); the plug-in embeds the results.
tal_compile_description(Gfx/SharedData.xml ${TAL_COMPILED_DIR}/SharedData.xml)

# The shipped preset banks, captured from their readable sources through an instance built from the
# compiled description, so that they always match the parameter definitions. The tool runs in the
# build folder, where no bank file of an earlier build can stand in for an embedded one.
function(tal_preset_bank source output)
  cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_SOURCE_DIR})
  add_custom_command(
    OUTPUT ${output}
    COMMAND delmaro-tool bank ${source} ${TAL_COMPILED_DIR}/SharedData.xml ${output} ${ARGN}
    DEPENDS delmaro-tool ${source} ${TAL_COMPILED_DIR}/SharedData.xml
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Capturing presets ${source}"
    VERBATIM)
endfunction()
tal_preset_bank(Gfx/Presets/FactoryBank.txt ${TAL_COMPILED_DIR}/FactoryROM.cbf)
tal_preset_bank(Gfx/Presets/RoutingPresets.txt ${TAL_COMPILED_DIR}/routing-presets-sys.alst
  --registry param-registry-io --list)
tal_preset_bank(Gfx/Presets/SpectrumPresets.txt ${TAL_COMPILED_DIR}/spectrum-presets.alst
  --registry param-registry-spectrum --list)

# The product's resources as the plug-in embeds them (Sources/Plugin.cmake) and as the product
# tests see them.
set(TAL_PRODUCT_RESOURCES
  "SharedData.xml" ${TAL_COMPILED_DIR}/SharedData.xml
  "FactoryROM.cbf" ${TAL_COMPILED_DIR}/FactoryROM.cbf
  "AppDataGlobal_routing-presets-sys" ${TAL_COMPILED_DIR}/routing-presets-sys.alst
  "AppDataGlobal_spectrum-presets" ${TAL_COMPILED_DIR}/spectrum-presets.alst)

# The tag tables the product registers, and the tests that load the shared description and the
# banks as the plug-in does.
tal_sources(Sources/ProductCreators.cpp)
tal_tests(audio tests/Product/SharedDataTest.cpp)
if(TARGET tal_audio_tests)
  tal_embed_resources(tal_audio_tests SYMBOL productTestResources RESOURCES ${TAL_PRODUCT_RESOURCES})
  target_compile_definitions(tal_audio_tests PRIVATE
    TAL_FACTORY_BANK_SOURCE="${CMAKE_SOURCE_DIR}/Gfx/Presets/FactoryBank.txt")
endif()
