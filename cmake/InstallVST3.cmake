# Copies a built VST 3 bundle into the user's VST 3 folder (~/.vst3), replacing an older copy.
# Usage: cmake -DBUNDLE=/path/Delmaro.vst3 -P cmake/InstallVST3.cmake
if(NOT BUNDLE OR NOT IS_DIRECTORY "${BUNDLE}")
  message(FATAL_ERROR "InstallVST3: no bundle at '${BUNDLE}'")
endif()
if(NOT DEFINED ENV{HOME} OR "$ENV{HOME}" STREQUAL "")
  message(FATAL_ERROR "InstallVST3: HOME is not set")
endif()
get_filename_component(name "${BUNDLE}" NAME)
set(target "$ENV{HOME}/.vst3/${name}")
file(REMOVE_RECURSE "${target}")
file(MAKE_DIRECTORY "$ENV{HOME}/.vst3")
file(COPY "${BUNDLE}" DESTINATION "$ENV{HOME}/.vst3")
message(STATUS "Installed ${target}")
