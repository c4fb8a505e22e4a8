# Events: the event registry, events on objects, event bridges, typed references, the attribute doubler,
# update notifiers and listeners, the application-data scopes and their texts, shared attributes.
tal_sources(
  Sources/Core/CEventRegistry.cpp
  Sources/Core/CNotifyServer.cpp
  Sources/Core/CObjectEvents.cpp
  Sources/Core/CObjectEventBridgeHandler.cpp
  Sources/Core/CPumpedEventBridge.cpp
  Sources/Core/CAttrDoubler.cpp
  Sources/Core/CUpdateNotifier.cpp
  Sources/Core/CUpdateListener.cpp
  Sources/Core/CAppData.cpp
  Sources/Core/AppDataText.cpp
  Sources/Core/CSharedAttribute.cpp
)
tal_tests(core
  tests/support/CEventTestTree.cpp
  tests/Core/CEventRegistryTest.cpp
  tests/Core/CObjectEventsTest.cpp
  tests/Core/CTargetTest.cpp
  tests/Core/CAttrDoublerTest.cpp
  tests/Core/CUpdateNotifierTest.cpp
  tests/Core/CAppDataTest.cpp
  tests/Core/CSharedAttributeTest.cpp
)
tal_benchmark(tal_update_notifier_bench bench/Core/UpdateNotifierBench.cpp)
