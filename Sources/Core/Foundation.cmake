# Foundation: allocator, strings, containers, number text, errors and the log.

# The allocator's free lists swap a pointer and a counter together (cmpxchg16b).
target_compile_options(tal PUBLIC -mcx16)

tal_sources(
  Sources/Core/CMemPool.cpp
  Sources/Core/CString.cpp
  Sources/Core/CStringList.cpp
  Sources/Core/CSortedMapBase.cpp
  Sources/Core/NumberText.cpp
  Sources/Core/CError.cpp
  Sources/Core/Log.cpp
  Sources/Core/CBuildInfo.cpp
  Sources/Core/CSeedCounter.cpp
  Sources/Core/ProfilerSlots.cpp
)
tal_tests(core
  tests/Platform/CLockFreeStackTest.cpp
  tests/Core/CMemPoolTest.cpp
  tests/Core/CStringTest.cpp
  tests/Core/CStringListTest.cpp
  tests/Core/CArrayTest.cpp
  tests/Core/CSortedMapTest.cpp
  tests/Core/NumberTextTest.cpp
  tests/Core/CErrorTest.cpp
  tests/Core/LogTest.cpp
  tests/Core/CBuildInfoTest.cpp
  tests/Core/CSeedCounterTest.cpp
  tests/Core/ProfilerSlotsTest.cpp
)
tal_benchmark(tal_mempool_bench
  bench/CMemPoolBench.cpp
)
