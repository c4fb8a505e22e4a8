# Product data: the descriptions are compiled from their XML form at build time (see
# tal_compile_description in Sources/Core/Descriptions.cmake); the plug-in embeds the results.
tal_compile_description(Gfx/SharedData.xml ${TAL_COMPILED_DIR}/SharedData.xml)

# The product's resources as the plug-in embeds them (Sources/Plugin.cmake) and as the product
# tests see them.
set(TAL_PRODUCT_RESOURCES
  "SharedData.xml" ${TAL_COMPILED_DIR}/SharedData.xml)

# The tag tables the product registers, and the tests that load the shared description and the
# banks as the plug-in does.
tal_sources(Sources/ProductCreators.cpp)
tal_tests(audio tests/Product/SharedDataTest.cpp)
if(TARGET tal_audio_tests)
  tal_embed_resources(tal_audio_tests SYMBOL productTestResources RESOURCES ${TAL_PRODUCT_RESOURCES})
endif()
