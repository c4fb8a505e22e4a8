# Compiled descriptions: the loader and tree builder, template bodies, typed lookups and creation,
# the application object with start-up and shut-down.
tal_sources(
  Sources/Core/CObjectLookups.cpp
)
tal_tests(core
  tests/Core/CObjectLookupsTest.cpp
)
