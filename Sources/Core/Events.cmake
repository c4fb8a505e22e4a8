# Events: the event registry, events on objects, event bridges, typed references, the attribute doubler,
# update notifiers and listeners.
tal_sources(
  Sources/Core/CEventRegistry.cpp
  Sources/Core/CNotifyServer.cpp
  Sources/Core/CObjectEvents.cpp
  Sources/Core/CObjectEventBridgeHandler.cpp
  Sources/Core/CPumpedEventBridge.cpp
  Sources/Core/CAttrDoubler.cpp
  Sources/Core/CUpdateNotifier.cpp
  Sources/Core/CUpdateListener.cpp
)
tal_tests(core
  tests/support/CEventTestTree.cpp
  tests/Core/CEventRegistryTest.cpp
  tests/Core/CObjectEventsTest.cpp
  tests/Core/CTargetTest.cpp
  tests/Core/CAttrDoublerTest.cpp
  tests/Core/CUpdateNotifierTest.cpp
)
