# The editor: views, layout, windows, parameter binding, displays and controls. Each layer keeps
# its own list of sources, tests and benchmarks, included here in the order the layers build on
# one another.
include(Sources/UI/Resources/Resources.cmake OPTIONAL)
include(Sources/UI/Layout.cmake OPTIONAL)
include(Sources/UI/Binding.cmake OPTIONAL)
include(Sources/UI/Lists.cmake OPTIONAL)
include(Sources/UI/Palette.cmake OPTIONAL)
include(Sources/UI/Views.cmake OPTIONAL)
include(Sources/UI/Windows.cmake OPTIONAL)
include(Sources/UI/Displays.cmake OPTIONAL)
include(Sources/UI/Controls/Controls.cmake OPTIONAL)
