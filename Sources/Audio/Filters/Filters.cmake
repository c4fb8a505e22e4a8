# Audio block pool, filter designers and the named signal routines that run their stages.
tal_sources(
  Sources/Audio/CAudioBlockPool.cpp
  Sources/Audio/Filters/BiquadCascade.cpp
  Sources/Audio/Filters/BiquadCascadeAvx.cpp
  Sources/Audio/Filters/BiquadCascadeAvx512.cpp
  Sources/Audio/Filters/BiquadCascadeSse2.cpp
  Sources/Audio/Filters/BiquadRoutines.cpp
  Sources/Audio/Filters/CAudioFilterGen.cpp
  Sources/Audio/Filters/CAudioFilterGenArray.cpp
  Sources/Audio/Filters/CAudioFilterLPHP1Gen.cpp
  Sources/Audio/Filters/CAudioFilterMagnusGen.cpp
  Sources/Audio/Filters/CAudioFilterRBJGen.cpp
  Sources/Audio/Filters/CAudioFilterSerialGen.cpp
  Sources/Audio/Filters/CAudioFilterStage.cpp
  Sources/Audio/Filters/CAudioFilterStageList.cpp
  Sources/Audio/Filters/CAudioFilterValues.cpp
  Sources/Audio/Filters/CDCDAWContext.cpp
  Sources/Audio/Filters/CDCDAWFilterWorkspace.cpp
  Sources/Audio/Filters/FilterCreators.cpp
  Sources/Audio/Filters/FilterRoutineTables.cpp
  Sources/Audio/Filters/FirstOrderRoutines.cpp
  Sources/Audio/Filters/VectorRoutines.cpp
)
# The AVX and AVX-512 cascade kernels are chosen at run time only on processors that have them (no
# FMA: the results must stay those of the plain arithmetic; -ffp-contract=off holds for every file).
set_source_files_properties(Sources/Audio/Filters/BiquadCascadeAvx.cpp PROPERTIES COMPILE_OPTIONS "-mavx")
set_source_files_properties(Sources/Audio/Filters/BiquadCascadeAvx512.cpp PROPERTIES COMPILE_OPTIONS
                            "-mavx512f;-mavx512vl")
tal_tests(audio
  tests/Audio/CAudioBlockPoolTest.cpp
  tests/Audio/Filters/BiquadCascadeTest.cpp
  tests/Audio/Filters/BiquadRoutinesTest.cpp
  tests/Audio/Filters/CAudioFilterGenTest.cpp
  tests/Audio/Filters/CAudioFilterLPHP1GenTest.cpp
  tests/Audio/Filters/CAudioFilterMagnusGenTest.cpp
  tests/Audio/Filters/CAudioFilterRBJGenTest.cpp
  tests/Audio/Filters/CAudioFilterSerialGenTest.cpp
  tests/Audio/Filters/CDCDAWContextTest.cpp
  tests/Audio/Filters/FilterCreatorsTest.cpp
  tests/Audio/Filters/FirstOrderRoutinesTest.cpp
  tests/Audio/Filters/VectorRoutinesTest.cpp
  tests/support/CRecordingObject.cpp
)
tal_benchmark(tal_filters_bench
  bench/Audio/BiquadBench.cpp
)
