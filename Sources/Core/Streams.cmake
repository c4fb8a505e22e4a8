# Byte streams, compressed records, DRIX, files, resources, data sets, CSV tables and system paths.
find_package(ZLIB REQUIRED)
target_link_libraries(tal PUBLIC ZLIB::ZLIB)

tal_sources(
  Sources/Core/CByteBuffer.cpp
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
  Sources/Core/CSystem.cpp
  Sources/Core/CWriteSeqBuffer.cpp
  Sources/Core/CZipStream.cpp
  Sources/Core/Drix.cpp
  Sources/Core/Utf8.cpp
)
tal_tests(core
  tests/Core/CByteBufferTest.cpp
  tests/Core/CFileReaderTest.cpp
  tests/Core/CFileWriterTest.cpp
  tests/Core/CInputStreamTest.cpp
  tests/Core/CMemoryReaderTest.cpp
  tests/Core/CompressedRecordTest.cpp
  tests/Core/CStringUTF8Test.cpp
  tests/Core/CWriteSeqBufferTest.cpp
  tests/Core/DrixTest.cpp
)
