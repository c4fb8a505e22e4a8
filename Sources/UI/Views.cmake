# The view layer: the placement layer of every view and the objects views need beside them.
tal_sources(
  Sources/UI/CStdEventBridge.cpp
  Sources/UI/CStyle.cpp
  Sources/UI/CUIEventBridge.cpp
  Sources/UI/CView.cpp
  Sources/UI/CViewBaseCtlEvents.cpp
  Sources/UI/CViewBasePlacement.cpp
  Sources/UI/CViewBaseState.cpp
  Sources/UI/CViewColorSlot.cpp
  Sources/UI/CViewColorTable.cpp
  Sources/UI/CViewCommand.cpp
  Sources/UI/CViewDrawItem.cpp
  Sources/UI/CViewState.cpp
  Sources/UI/CWindowSharedData.cpp
  Sources/UI/ViewCreators.cpp
)
tal_tests(ui
  tests/UI/CStyleTest.cpp
  tests/UI/CUIEventBridgeTest.cpp
  tests/UI/CViewBasePlacementTest.cpp
  tests/UI/CViewBaseStateTest.cpp
  tests/UI/CViewStateEventsTest.cpp
  tests/UI/CViewTest.cpp
  tests/UI/CViewColorTableTest.cpp
  tests/UI/CViewPaintTest.cpp
  tests/UI/CViewPictureTest.cpp
  tests/UI/CViewServicesTest.cpp
  tests/UI/PlacementPictureTest.cpp
  tests/support/CEventTestTree.cpp
  tests/support/CRecordingObject.cpp
  tests/support/PngWriter.cpp
  tests/support/ViewRectPainter.cpp
  tests/support/ViewTestTree.cpp
  tools/ViewSheetRender.cpp
)
# Layout pictures are compared with reference PNGs (libpng, tests only).
if(TARGET tal_ui_tests)
  find_package(PNG REQUIRED)
  target_link_libraries(tal_ui_tests PRIVATE PNG::PNG)
  target_compile_definitions(tal_ui_tests PRIVATE TAL_UI_PICTURE_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures/pictures")
  # The view sheet's painter (tools/ViewSheet.h) paints the view pictures.
  target_include_directories(tal_ui_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools)
endif()
# The command templates, compiled as the product's descriptions are; the tests load the result.
if(TARGET tal_ui_tests)
  tal_compile_description(Gfx/UI/Commands.xml ${TAL_COMPILED_DIR}/ui-commands.xml)
  target_sources(tal_ui_tests PRIVATE ${TAL_COMPILED_DIR}/ui-commands.xml)
  target_compile_definitions(tal_ui_tests PRIVATE TAL_UI_COMMANDS_DESCRIPTION="${TAL_COMPILED_DIR}/ui-commands.xml")
  tal_compile_description(tests/fixtures/views/lifecycle.xml ${TAL_COMPILED_DIR}/test-view-lifecycle.xml)
  target_sources(tal_ui_tests PRIVATE ${TAL_COMPILED_DIR}/test-view-lifecycle.xml)
  target_compile_definitions(tal_ui_tests PRIVATE TAL_VIEW_LIFECYCLE_DESCRIPTION="${TAL_COMPILED_DIR}/test-view-lifecycle.xml")
endif()
tal_benchmark(tal_event_bridge_bench
  bench/UI/EventBridgeBench.cpp
)
# Composing a translucent cross-fading view on one tile, against pixman (benchmark only).
tal_benchmark(tal_view_paint_bench
  bench/UI/ViewPaintBench.cpp
)
if(TARGET tal_view_paint_bench)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
  target_link_libraries(tal_view_paint_bench PRIVATE PkgConfig::TAL_PIXMAN)
endif()
