# Object model: attribute values, object nodes, creators and schemes, paths, attribute setting.
tal_sources(
  Sources/Core/CAttrValue.cpp
  Sources/Core/CAttrMap.cpp
  Sources/Core/CObjectScheme.cpp
  Sources/Core/CCreatorRegistry.cpp
  Sources/Core/CObject.cpp
)
tal_tests(core
  tests/support/CRecordingObject.cpp
  tests/Core/CAttrValueTest.cpp
  tests/Core/CAttrMapTest.cpp
  tests/Core/CCreatorRegistryTest.cpp
  tests/Core/CObjectTest.cpp
  tests/Core/CObjectPathTest.cpp
  tests/Core/CObjectAttrTest.cpp
)
