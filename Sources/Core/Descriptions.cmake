# Compiled descriptions: the loader and tree builder, template bodies, typed lookups and creation,
# the application object with start-up and shut-down.
tal_sources(
  Sources/Core/CApplication.cpp
  Sources/Core/CObjectLookups.cpp
  Sources/Core/CXMLLoader.cpp
  Sources/Core/CXMLStringTable.cpp
  Sources/Core/CXMLTemplateBody.cpp
)
tal_tests(core
  tests/Core/CObjectLookupsTest.cpp
  tests/Core/CXMLLoaderTest.cpp
)
