# Threads, the worker pool, main-loop timers and the smaller core services.
tal_sources(
  Sources/Platform/CMainLoopTimers.cpp
  Sources/Platform/CPumpedMainLoopTimers.cpp
  Sources/Core/CThread.cpp
  Sources/Core/CWorkerThread.cpp
  Sources/Core/CPersistentThread.cpp
  Sources/Core/CWorkerThreadPool.cpp
  Sources/Core/CTextReader.cpp
  Sources/Core/CArguments.cpp
  Sources/Core/CTextWriter.cpp
  Sources/Core/CProfilerList.cpp
  Sources/Core/CTimerQueued.cpp
)
tal_tests(core
  tests/Platform/CPumpedMainLoopTimersTest.cpp
  tests/Core/CThreadTest.cpp
  tests/Core/CWorkerThreadPoolTest.cpp
  tests/Core/CTextReaderTest.cpp
  tests/Core/CArgumentsTest.cpp
  tests/Core/CTextWriterTest.cpp
  tests/Core/CProfilerListTest.cpp
  tests/Core/CTimerQueuedTest.cpp
)
tal_benchmark(bench_worker_pool bench/Core/WorkerPoolBench.cpp)
