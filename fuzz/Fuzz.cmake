# libFuzzer targets, built only when configured with clang and TAL_BUILD_FUZZERS (scripts/fuzz).
# Each target is one source file; its seed corpus is fuzz/corpus/<name>/ when present.
if(NOT TAL_BUILD_FUZZERS)
  return()
endif()

# Every fuzz target, so that scripts/fuzz builds those and what they need only.
add_custom_target(tal_fuzzers)

function(tal_fuzzer name)
  add_executable(${name} ${ARGN})
  add_dependencies(tal_fuzzers ${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE tal::tal)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endfunction()

tal_fuzzer(wave_file_fuzz fuzz/WaveFileFuzz.cpp)
tal_fuzzer(description_loader_fuzz fuzz/DescriptionLoaderFuzz.cpp)
tal_fuzzer(compressed_record_fuzz fuzz/CompressedRecordFuzz.cpp)
tal_fuzzer(drix_fuzz fuzz/DrixFuzz.cpp)
tal_fuzzer(stroke_fuzz fuzz/StrokeFuzz.cpp)
tal_fuzzer(csv_fuzz fuzz/CsvFuzz.cpp)
tal_fuzzer(preset_record_fuzz fuzz/PresetRecordFuzz.cpp)
tal_fuzzer(image_record_fuzz fuzz/ImageRecordFuzz.cpp)
tal_fuzzer(param_record_fuzz fuzz/ParamRecordFuzz.cpp)
tal_embed_resources(param_record_fuzz SYMBOL paramFuzzResources RESOURCES ${TAL_PRODUCT_RESOURCES})
tal_fuzzer(viz_frame_fuzz fuzz/VizFrameFuzz.cpp)
tal_fuzzer(app_data_fuzz fuzz/AppDataFuzz.cpp)
tal_fuzzer(text_reader_fuzz fuzz/TextReaderFuzz.cpp)
tal_fuzzer(interface_message_fuzz fuzz/InterfaceMessageFuzz.cpp)
tal_embed_resources(interface_message_fuzz SYMBOL interfaceFuzzResources RESOURCES ${TAL_PRODUCT_RESOURCES})
tal_fuzzer(image_set_fuzz fuzz/ImageSetFuzz.cpp)
