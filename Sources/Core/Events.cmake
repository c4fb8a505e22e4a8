# Events: the event registry, events on objects and event bridges.
tal_sources(
  Sources/Core/CEventRegistry.cpp
  Sources/Core/CNotifyServer.cpp
  Sources/Core/CObjectEvents.cpp
  Sources/Core/CObjectEventBridgeHandler.cpp
  Sources/Core/CPumpedEventBridge.cpp
)
tal_tests(core
  tests/support/CEventTestTree.cpp
  tests/Core/CEventRegistryTest.cpp
  tests/Core/CObjectEventsTest.cpp
)
