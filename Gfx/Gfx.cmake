# Product data: the descriptions are compiled from their XML form at build time (see
# tal_compile_description in Sources/Core/Descriptions.cmake); the plug-in embeds the results.
tal_compile_description(Gfx/SharedData.xml ${TAL_COMPILED_DIR}/SharedData.xml)
tal_compile_description(Gfx/UserInterface.xml ${TAL_COMPILED_DIR}/UserInterface.xml)

# The palette item the audio side starts from until the user stores one ("uicolor-palette").
add_custom_command(
  OUTPUT ${TAL_COMPILED_DIR}/uicolor-palette.adat
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAL_COMPILED_DIR}
  COMMAND delmaro-tool palette-default ${TAL_COMPILED_DIR}/uicolor-palette.adat
  DEPENDS delmaro-tool
  COMMENT "Writing the default palette item"
  VERBATIM)

# The editor's fonts and image sets (TAL_ASSET_RESOURCES).
include(Gfx/Assets.cmake)

# The shipped preset banks, captured from their readable sources through an instance built from the
# compiled description, so that they always match the parameter definitions. The tool runs in the
# folder where the description's font and image-set names find the packed files, and where no bank
# file of an earlier build can stand in for an embedded one.
function(tal_preset_bank source output)
  cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_SOURCE_DIR})
  add_custom_command(
    OUTPUT ${output}
    COMMAND delmaro-tool bank ${source} ${TAL_COMPILED_DIR}/SharedData.xml ${output} ${ARGN}
    DEPENDS delmaro-tool ${source} ${TAL_COMPILED_DIR}/SharedData.xml ${TAL_ASSET_FILES}
    WORKING_DIRECTORY ${TAL_ASSET_RUN_DIR}
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
  "UserInterface.xml" ${TAL_COMPILED_DIR}/UserInterface.xml
  "AppDataLocal_uicolor-palette" ${TAL_COMPILED_DIR}/uicolor-palette.adat
  "FactoryROM.cbf" ${TAL_COMPILED_DIR}/FactoryROM.cbf
  "AppDataGlobal_routing-presets-sys" ${TAL_COMPILED_DIR}/routing-presets-sys.alst
  "AppDataGlobal_spectrum-presets" ${TAL_COMPILED_DIR}/spectrum-presets.alst
  ${TAL_ASSET_RESOURCES})

# The tag tables the product registers, and the tests that load the shared description and the
# banks as the plug-in does.
tal_sources(Sources/ProductCreators.cpp)
tal_tests(audio tests/Product/SharedDataTest.cpp tests/Product/SharedAssetsTest.cpp)
if(TARGET tal_audio_tests)
  tal_embed_resources(tal_audio_tests SYMBOL productTestResources RESOURCES ${TAL_PRODUCT_RESOURCES})
  target_compile_definitions(tal_audio_tests PRIVATE
    TAL_FACTORY_BANK_SOURCE="${CMAKE_SOURCE_DIR}/Gfx/Presets/FactoryBank.txt")
endif()

# The product palette: its colours, contrast and sheets, checked on the compiled description with the
# tool's sheet renderer. The reference sheets are regenerated with
#   build/release/delmaro-tool sheet --palette tests/fixtures/palette/palette-1x.png --scale 1
#   build/release/delmaro-tool sheet --palette tests/fixtures/palette/palette-2x.png --scale 2
tal_tests(ui tests/UI/ProductPaletteTest.cpp tools/PaletteSheet.cpp)
if(TARGET tal_ui_tests)
  add_custom_target(tal_palette_data DEPENDS ${TAL_COMPILED_DIR}/UserInterface.xml
                    ${TAL_COMPILED_DIR}/uicolor-palette.adat)
  add_dependencies(tal_ui_tests tal_palette_data)
  find_package(PNG REQUIRED)
  target_link_libraries(tal_ui_tests PRIVATE PNG::PNG)
  target_include_directories(tal_ui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  target_compile_definitions(tal_ui_tests PRIVATE
    TAL_DEFAULT_UI_DESCRIPTION="${TAL_COMPILED_DIR}/UserInterface.xml"
    TAL_DEFAULT_PALETTE_ITEM="${TAL_COMPILED_DIR}/uicolor-palette.adat"
    TAL_PALETTE_REFERENCES="${CMAKE_SOURCE_DIR}/tests/fixtures/palette")
endif()
