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

# tal_reference_images(target): gives a test program the reference-image check
# (tests/support/ReferenceImage.h): rendered bitmaps compared with PNGs under tests/fixtures,
# regenerated with TAL_UPDATE_REFERENCES=1 (tests/fixtures/README.md).
function(tal_reference_images target)
  get_target_property(done ${target} TAL_REFERENCE_IMAGES)
  if(done)
    return()
  endif()
  set_target_properties(${target} PROPERTIES TAL_REFERENCE_IMAGES ON)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/ReferenceImage.cpp)
  target_link_libraries(${target} PRIVATE delmaro_assets)
  target_compile_definitions(${target} PRIVATE
    TAL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures"
    TAL_REFERENCE_FAILURES_DIR="${CMAKE_BINARY_DIR}/reference-failures")
endfunction()
