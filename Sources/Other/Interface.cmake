# The UI-audio parameter interface: protocol messages, connectors and reply queues, both ends.
tal_sources(
  Sources/Other/Interface/CAudioInterfaceBase.cpp
  Sources/Other/Interface/CAudioInterfaceClient.cpp
  Sources/Other/Interface/CParamInterfaceBase.cpp
  Sources/Other/Interface/CParamInterfaceBaseConnector.cpp
  Sources/Other/Interface/CParamInterfaceBaseConnectorUni.cpp
  Sources/Other/Interface/CParamInterfaceClient.cpp
  Sources/Other/Interface/CParamInterfaceClientConnector.cpp
  Sources/Other/Interface/CParamInterfaceClientConnectorUni.cpp
  Sources/Other/Interface/CParamInterfaceEndpoint.cpp
  Sources/Other/Interface/CParamInterfaceMessageQueue.cpp
  Sources/Other/Interface/CParamInterfaceMessageWriter.cpp
  Sources/Other/Interface/CParamInterfaceRegistryListener.cpp
  Sources/Other/Interface/InterfaceCreators.cpp
)
tal_tests(other
  tests/Other/Interface/CAudioInterfaceBaseTest.cpp
  tests/Other/Interface/CAudioInterfaceClientTest.cpp
  tests/Other/Interface/CParamInterfaceBaseConnectorUniTest.cpp
  tests/Other/Interface/CParamInterfaceBaseTest.cpp
  tests/Other/Interface/CParamInterfaceClientTest.cpp
  tests/Other/Interface/CParamInterfaceClientConnectorUniTest.cpp
  tests/Other/Interface/CParamInterfaceRegistryProtocolTest.cpp
  tests/support/CEventTestTree.cpp
  tests/support/InterfaceTestTree.cpp
)
tal_benchmark(tal_interface_bench bench/Other/InterfaceBench.cpp)
