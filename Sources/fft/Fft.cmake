# Subsystem 8: the real FFT. One kernel source (FftKernels.inc) is compiled once per instruction-set
# level with that level's flags; the dispatch tables pick one set at start-up.
tal_sources(
  Sources/fft/CCpuInfo.cpp
  Sources/fft/FftDispatch.cpp
  Sources/fft/FftMemory.cpp
  Sources/fft/FftPlan.cpp
  Sources/fft/FftSineTable.cpp
  Sources/fft/FftLevel0.cpp
  Sources/fft/FftLevel2.cpp
  Sources/fft/FftLevel3.cpp
  Sources/fft/FftLevel4.cpp
)
set_source_files_properties(Sources/fft/FftLevel2.cpp PROPERTIES COMPILE_OPTIONS "-mssse3")
set_source_files_properties(Sources/fft/FftLevel3.cpp PROPERTIES COMPILE_OPTIONS "-msse4.1")
set_source_files_properties(Sources/fft/FftLevel4.cpp PROPERTIES COMPILE_OPTIONS "-mavx")

tal_tests(fft
  tests/fft/CCpuInfoTest.cpp
  tests/fft/FftLargeKernelsTest.cpp
  tests/fft/FftMemoryTest.cpp
  tests/fft/FftPlanTest.cpp
  tests/fft/RealFFTTest.cpp
)

if(TAL_BUILD_BENCHMARKS)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TAL_FFTW3 REQUIRED IMPORTED_TARGET fftw3)
  tal_benchmark(tal_fft_bench bench/FftBench.cpp)
  target_link_libraries(tal_fft_bench PRIVATE PkgConfig::TAL_FFTW3)
endif()
