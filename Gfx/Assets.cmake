# The editor's fonts and image sets, packed at build time by delmaro-tool ("pack font", "pack
# imageset") into TAL_ASSET_DIR/Gfx and embedded with the product's resources under the names the
# shared description gives ("../../../Gfx/Fonts/base.fnt"). Tools that load the shared description
# from its file run in TAL_ASSET_RUN_DIR, three folders below TAL_ASSET_DIR, where those names
# find the packed files. A rule runs again only when its own
# sources change (the font faces, the art, the manifest, the packer's and the writers' sources),
# not whenever the tool is relinked: COMMAND names the tool, which orders the build, and DEPENDS
# lists the files.
set(TAL_ASSET_DIR ${CMAKE_BINARY_DIR}/generated/assets)
set(TAL_ASSET_RUN_DIR ${TAL_ASSET_DIR}/run/in/here)
file(MAKE_DIRECTORY ${TAL_ASSET_RUN_DIR})
set(TAL_ASSET_RESOURCES)
set(TAL_ASSET_FILES)
set(TAL_ASSET_WRITER_SOURCES
  ${CMAKE_SOURCE_DIR}/tools/AssetCommands.cpp
  ${CMAKE_SOURCE_DIR}/Sources/Other/CFont.cpp
  ${CMAKE_SOURCE_DIR}/Sources/Other/CImageSet.cpp
  ${CMAKE_SOURCE_DIR}/Sources/Other/CImageLayer.cpp
  ${CMAKE_SOURCE_DIR}/Sources/Other/CImageLayerData.cpp
  ${CMAKE_SOURCE_DIR}/Sources/Core/Drix.cpp)

set(TAL_INTER /usr/share/fonts/opentype/inter)
set(TAL_DEJAVU /usr/share/fonts/truetype/dejavu)

# tal_pack_font(name REGULAR|BOLD FACE --size PX [more options of "pack font"]): Fonts/<name>.fnt
# from an Inter face, with DejaVu Sans (or its bold) for the glyphs Inter lacks.
function(tal_pack_font name weight face)
  set(fallback ${TAL_DEJAVU}/DejaVuSans.ttf)
  if(weight STREQUAL "BOLD")
    set(fallback ${TAL_DEJAVU}/DejaVuSans-Bold.ttf)
  endif()
  set(output ${TAL_ASSET_DIR}/Gfx/Fonts/${name}.fnt)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAL_ASSET_DIR}/Gfx/Fonts
    COMMAND delmaro-tool pack font ${output} --face ${TAL_INTER}/${face} --face ${fallback} ${ARGN}
    DEPENDS ${TAL_INTER}/${face} ${fallback} ${CMAKE_SOURCE_DIR}/tools/FontPacker.cpp ${TAL_ASSET_WRITER_SOURCES}
    COMMENT "Packing font ${name}"
    VERBATIM)
  set(TAL_ASSET_RESOURCES ${TAL_ASSET_RESOURCES} "../../../Gfx/Fonts/${name}.fnt" ${output} PARENT_SCOPE)
  set(TAL_ASSET_FILES ${TAL_ASSET_FILES} ${output} PARENT_SCOPE)
endfunction()

# tal_pack_imageset(name): Imagesets/<name>.is from the manifest Gfx/Art/<name>.set and the art in
# Gfx/Art/<name>/.
function(tal_pack_imageset name)
  set(manifest ${CMAKE_SOURCE_DIR}/Gfx/Art/${name}.set)
  file(GLOB art CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Gfx/Art/${name}/*.svg)
  set(output ${TAL_ASSET_DIR}/Gfx/Imagesets/${name}.is)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAL_ASSET_DIR}/Gfx/Imagesets
    COMMAND delmaro-tool pack imageset ${manifest} ${output}
    DEPENDS ${manifest} ${art} ${CMAKE_SOURCE_DIR}/tools/ImageSetPacker.cpp ${TAL_ASSET_WRITER_SOURCES}
    COMMENT "Packing image set ${name}"
    VERBATIM)
  set(TAL_ASSET_RESOURCES ${TAL_ASSET_RESOURCES} "../../../Gfx/Imagesets/${name}.is" ${output} PARENT_SCOPE)
  set(TAL_ASSET_FILES ${TAL_ASSET_FILES} ${output} PARENT_SCOPE)
endfunction()

# Font families (sizes in pixels at scale 1). The base and title fonts keep their fixed line
# metrics (ascent, descent, third, fourth); the others take theirs from the face.
set(base_metrics --metrics 14.5,3.25,3.0,10.5)
tal_pack_font(base REGULAR Inter-Regular.otf --size 14.5 --tracking 0.0703125 ${base_metrics})
tal_pack_font(base-bold BOLD Inter-Bold.otf --size 14.5 ${base_metrics})
tal_pack_font(base-super REGULAR Inter-Medium.otf --size 9.5 --raise 5.5 ${base_metrics})
tal_pack_font(micro REGULAR Inter-Medium.otf --size 10)
tal_pack_font(micro-sm REGULAR Inter-Medium.otf --size 9)
tal_pack_font(micro-sm2 BOLD Inter-SemiBold.otf --size 8.5)
tal_pack_font(small REGULAR Inter-Regular.otf --size 12)
tal_pack_font(title BOLD Inter-SemiBold.otf --size 17.25 --metrics 16.625,4.75,3.5,12.5)
tal_pack_font(compact REGULAR Inter-Medium.otf --size 12)
tal_pack_font(compact-super REGULAR Inter-Medium.otf --size 8.5 --raise 4.5)

tal_pack_imageset(button)

add_custom_target(delmaro_assets_packed DEPENDS ${TAL_ASSET_FILES})

# The shipped assets as packed: read back, written back, and drawn as specimen sheets compared with
# the reference images in tests/fixtures/specimens.
tal_tests(ui tests/UI/Resources/ShippedAssetsTest.cpp)
if(TARGET tal_ui_tests)
  tal_reference_images(tal_ui_tests)
  add_dependencies(tal_ui_tests delmaro_assets_packed)
  target_compile_definitions(tal_ui_tests PRIVATE TAL_ASSET_DIR="${TAL_ASSET_DIR}")
endif()

# Loading every shipped asset once, against LZ4 unpacking the same bodies (liblz4, benchmark only).
tal_benchmark(tal_asset_bench bench/UI/AssetLoadBench.cpp)
if(TARGET tal_asset_bench)
  find_library(TAL_LZ4_LIBRARY lz4 REQUIRED)
  target_link_libraries(tal_asset_bench PRIVATE ${TAL_LZ4_LIBRARY})
  add_dependencies(tal_asset_bench delmaro_assets_packed)
  target_compile_definitions(tal_asset_bench PRIVATE TAL_ASSET_DIR="${TAL_ASSET_DIR}")
endif()

# One caption laid out and drawn in the shipped base font, against cairo showing the same text
# (libcairo2-dev, benchmark only).
if(TAL_BUILD_BENCHMARKS)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_CAIRO REQUIRED IMPORTED_TARGET cairo)
  tal_benchmark(tal_caption_bench bench/UI/CaptionBench.cpp)
  target_link_libraries(tal_caption_bench PRIVATE PkgConfig::TAL_CAIRO)
  add_dependencies(tal_caption_bench delmaro_assets_packed)
  target_compile_definitions(tal_caption_bench PRIVATE TAL_ASSET_DIR="${TAL_ASSET_DIR}")
endif()
