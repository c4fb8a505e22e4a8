# Audio process graph: the environment, delay lines, ports and connections, input rendering,
# process definitions, links and composite processes.
tal_sources(
  Sources/Audio/CAudioLinkGraph.cpp
  Sources/Audio/CAudioProcess.cpp
  Sources/Audio/CAudioProcessBase.cpp
  Sources/Audio/CAudioProcessBypassStateDef.cpp
  Sources/Audio/CAudioProcessConnection.cpp
  Sources/Audio/CAudioProcessDef.cpp
  Sources/Audio/CAudioProcessDefBase.cpp
  Sources/Audio/CAudioProcessDefBaseInit.cpp
  Sources/Audio/CAudioProcessLinkDef.cpp
  Sources/Audio/CAudioProcessLinkStateDef.cpp
  Sources/Audio/CAudioProcessPort.cpp
  Sources/Audio/CDSPModDelay.cpp
  Sources/Audio/CDenormNoiseGen.cpp
  Sources/Audio/CombineInputs.cpp
  Sources/Audio/GraphCreators.cpp
)
tal_tests(audio
  tests/Audio/CAudioEnvTest.cpp
  tests/Audio/CAudioLinkGraphTest.cpp
  tests/Audio/CAudioProcessBaseTest.cpp
  tests/Audio/CAudioProcessDefBaseTest.cpp
  tests/Audio/CAudioProcessTest.cpp
  tests/Audio/CAudioProcessBypassStateDefTest.cpp
  tests/Audio/CAudioProcessDefBaseInitTest.cpp
  tests/Audio/CAudioProcessLinkDefTest.cpp
  tests/Audio/CDSPModDelayTest.cpp
  tests/Audio/CDenormNoiseGenTest.cpp
  tests/Audio/CombineInputsTest.cpp
)
tal_benchmark(tal_graph_bench bench/Audio/GraphBench.cpp)
