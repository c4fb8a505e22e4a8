# Helpers the area lists use, so that each area adds to the shared targets without editing them.

set(TAL_WARNINGS -Wall -Wextra)
if(TAL_WERROR)
  list(APPEND TAL_WARNINGS -Werror)
endif()

# tal_sources(files...): adds framework sources to the static library.
function(tal_sources)
  target_sources(tal PRIVATE ${ARGN})
endfunction()

# tal_tests(area files...): adds test sources to the area's GoogleTest executable tal_<area>_tests,
# creating and registering it with CTest on first use.
function(tal_tests area)
  if(NOT TAL_BUILD_TESTS)
    return()
  endif()
  set(target tal_${area}_tests)
  if(NOT TARGET ${target})
    add_executable(${target})
    target_include_directories(${target} PRIVATE tests)
    target_compile_options(${target} PRIVATE ${TAL_WARNINGS})
    target_link_libraries(${target} PRIVATE tal::tal GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  endif()
  target_sources(${target} PRIVATE ${ARGN})
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
