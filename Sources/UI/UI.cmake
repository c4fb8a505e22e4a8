# The editor: views, layout, windows, parameter binding, displays and controls. Each layer keeps
# its own list of sources, tests and benchmarks, included here in the order the layers build on
# one another.
include(Sources/UI/Resources/Resources.cmake OPTIONAL)
include(Sources/UI/Layout.cmake OPTIONAL)
include(Sources/UI/Binding.cmake OPTIONAL)
include(Sources/UI/Lists.cmake OPTIONAL)
include(Sources/UI/Palette.cmake OPTIONAL)
include(Sources/UI/Views.cmake OPTIONAL)
include(Sources/UI/ViewKit.cmake OPTIONAL)
include(Sources/UI/Windows.cmake OPTIONAL)
include(Sources/UI/Displays.cmake OPTIONAL)
include(Sources/UI/Controls/Controls.cmake OPTIONAL)

# The editor's sources keep file-local helpers of the same names (rounding, rectangle tests), so
# they stay out of the unity batches of the sanitizer trees.
get_target_property(tal_ui_sources tal SOURCES)
list(FILTER tal_ui_sources INCLUDE REGEX "^Sources/UI/")
set_source_files_properties(${tal_ui_sources} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
