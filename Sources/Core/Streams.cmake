# Byte streams, compressed records, DRIX, files, resources, data sets, CSV tables and system paths.
find_package(ZLIB REQUIRED)
target_link_libraries(tal PUBLIC ZLIB::ZLIB)

# tal_embed_resources(target SYMBOL name RESOURCES name1 path1 [name2 path2 ...])
# Embeds files into target as the resource table `extern const tal::CResourceEntry <name>[]`, made
# by "delmaro-tool pack table" at build time; each file's bytes become the payload of the resource
# of the given name (exact, case-sensitive). Paths are relative to the source folder or absolute;
# generated files may be given, with their producing rule in the same folder.
function(tal_embed_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 EMBED "" "SYMBOL" "RESOURCES")
  list(LENGTH EMBED_RESOURCES count)
  math(EXPR odd "${count} % 2")
  if(NOT EMBED_SYMBOL OR count EQUAL 0 OR odd)
    message(FATAL_ERROR "tal_embed_resources(${target}): SYMBOL and name/path pairs are required")
  endif()
  set(pairs)
  set(files)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET EMBED_RESOURCES ${i} name)
    list(GET EMBED_RESOURCES ${j} path)
    cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY ${CMAKE_SOURCE_DIR})
    list(APPEND pairs "${name}=${path}")
    list(APPEND files "${path}")
  endforeach()
  set(output ${CMAKE_BINARY_DIR}/generated/${EMBED_SYMBOL}.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND delmaro-tool pack table --output ${output} --symbol ${EMBED_SYMBOL} ${pairs}
    DEPENDS delmaro-tool ${files}
    COMMENT "Embedding resources ${EMBED_SYMBOL}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()

tal_sources(
  Sources/Core/CByteBuffer.cpp
  Sources/Core/CDataSet.cpp
  Sources/Core/CFileBase.cpp
  Sources/Core/CFileReader.cpp
  Sources/Core/CFileWriter.cpp
  Sources/Core/CInputStream.cpp
  Sources/Core/CInputZipStream.cpp
  Sources/Core/CMemoryReader.cpp
  Sources/Core/COutputBufStream.cpp
  Sources/Core/COutputStream.cpp
  Sources/Core/COutputZipStream.cpp
  Sources/Core/CPosStream.cpp
  Sources/Core/CResourceMap.cpp
  Sources/Core/CResourceReader.cpp
  Sources/Core/CSystem.cpp
  Sources/Core/CWriteSeqBuffer.cpp
  Sources/Core/CZipStream.cpp
  Sources/Core/Drix.cpp
  Sources/Core/Utf8.cpp
  Sources/Other/CCSVTable.cpp
  Sources/Other/CTextReaderLine.cpp
)
tal_tests(other
  tests/Other/CCSVTableTest.cpp
  tests/Other/CTextReaderLineTest.cpp
)
tal_tests(core
  tests/Core/CByteBufferTest.cpp
  tests/Core/CDataSetTest.cpp
  tests/Core/CFileReaderTest.cpp
  tests/Core/CFileWriterTest.cpp
  tests/Core/CInputStreamTest.cpp
  tests/Core/CMemoryReaderTest.cpp
  tests/Core/CompressedRecordTest.cpp
  tests/Core/CResourceReaderTest.cpp
  tests/Core/CStringUTF8Test.cpp
  tests/Core/CSystemTest.cpp
  tests/Core/CWriteSeqBufferTest.cpp
  tests/Core/DrixTest.cpp
)
if(TARGET tal_core_tests)
  tal_embed_resources(tal_core_tests SYMBOL talStreamsTestResources RESOURCES
    "SharedData.xml" tests/fixtures/streams/shared.txt
    "../../../Gfx/Imagesets/noise.is" tests/fixtures/streams/noise.bin
    "empty" tests/fixtures/streams/empty.bin)
  target_compile_definitions(tal_core_tests PRIVATE TAL_STREAMS_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures/streams")
endif()

# Benchmarks: DRIX against LZ4 (liblz4, benchmark only) and the zlib record against compress2.
tal_benchmark(tal_drix_bench bench/Core/DrixBench.cpp)
tal_benchmark(tal_record_bench bench/Core/RecordBench.cpp)
if(TARGET tal_drix_bench)
  find_library(TAL_LZ4_LIBRARY lz4 REQUIRED)
  target_link_libraries(tal_drix_bench PRIVATE ${TAL_LZ4_LIBRARY})
  target_include_directories(tal_drix_bench PRIVATE tests)
  target_include_directories(tal_record_bench PRIVATE tests)
endif()
