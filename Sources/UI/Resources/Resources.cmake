# The editor's resources: image-set objects and font families of the shared description.
tal_sources(
  Sources/UI/Resources/CFontObject.cpp
  Sources/UI/Resources/CImageSetObject.cpp
  Sources/UI/Resources/ResourceCreators.cpp
)
tal_tests(ui
  tests/UI/Resources/ResourceObjectTest.cpp
  tests/support/CRecordingObject.cpp
)
