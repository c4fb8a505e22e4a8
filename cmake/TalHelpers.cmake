# Helpers the area lists use, so that each area adds to the shared targets without editing them.

set(TAL_WARNINGS -Wall -Wextra)
if(TAL_WERROR)
  list(APPEND TAL_WARNINGS -Werror)
endif()

# Application data the tests write goes below the build tree, never into the user's own
# configuration folder.
set(TAL_TEST_ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")

# tal_sources(files...): adds framework sources to the static library.
function(tal_sources)
  target_sources(tal PRIVATE ${ARGN})
endfunction()

# A tree that runs only some tests (scripts/build gives the ThreadSanitizer tree "Concurrent")
# builds only the test files with a test whose suite or name matches this regular expression, and
# the helper files that hold no test.
set(TAL_TEST_FILTER "" CACHE STRING "Build only the test files with a test name matching this expression")

# Test code is compiled without optimisation and with line tables only: it is most of the build,
# and its speed does not matter, while the framework it tests keeps the build type's flags.
set(TAL_TEST_COMPILE_OPTIONS -O0 -g1 CACHE STRING "Compile options of the test executables")

# The headers every test file uses, precompiled once per test executable.
set(TAL_TEST_PRECOMPILED_HEADERS
  <gtest/gtest.h> <gmock/gmock.h>
  <algorithm> <atomic> <cmath> <cstdint> <cstring> <functional> <memory> <mutex> <string> <thread> <vector>)

# tal_tests(area files...): adds test sources to the area's GoogleTest executable tal_<area>_tests,
# creating and registering it with CTest on first use.
function(tal_tests area)
  if(NOT TAL_BUILD_TESTS)
    return()
  endif()
  set(files)
  foreach(file IN LISTS ARGN)
    if(TAL_TEST_FILTER)
      file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${file} text)
      string(REGEX MATCHALL "TEST(_F|_P)?\\([^)]*\\)" names "${text}")
      if(names AND NOT names MATCHES "${TAL_TEST_FILTER}")
        continue()
      endif()
    endif()
    list(APPEND files ${file})
  endforeach()
  if(NOT files)
    return()
  endif()
  set(target tal_${area}_tests)
  if(NOT TARGET ${target})
    add_executable(${target})
    target_include_directories(${target} PRIVATE tests)
    target_compile_options(${target} PRIVATE ${TAL_WARNINGS} ${TAL_TEST_COMPILE_OPTIONS})
    # GCC 12 reports out-of-bounds copies in std::string concatenations that depend on the length
    # of the checkout's path (a known false positive); the tests also run under AddressSanitizer.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Wno-error=array-bounds)
    endif()
    target_link_libraries(${target} PRIVATE tal::tal GTest::gtest GTest::gmock GTest::gtest_main)
    target_precompile_headers(${target} PRIVATE ${TAL_TEST_PRECOMPILED_HEADERS})
    # Test files keep many file-local helpers of the same names: compiled one by one, with the
    # precompiled headers, also in unity trees.
    set_target_properties(${target} PROPERTIES UNITY_BUILD OFF)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 600 ENVIRONMENT "${TAL_TEST_ENVIRONMENT}")
  endif()
  target_sources(${target} PRIVATE ${files})
endfunction()

# tal_benchmark(name files...): one Google Benchmark program; never registered as a test.
function(tal_benchmark name)
  if(NOT TAL_BUILD_BENCHMARKS)
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${TAL_WARNINGS})
  target_include_directories(${name} PRIVATE bench)
  target_link_libraries(${name} PRIVATE tal::tal benchmark::benchmark benchmark::benchmark_main)
endfunction()
