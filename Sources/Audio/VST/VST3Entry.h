#pragma once

namespace Steinberg {
class IPluginFactory;
}

namespace tal {

// The module's class factory, made on the first call that finds the "project" object of the shared
// tree and parses its class identifier; later calls return the same factory with one more
// reference. Null (and nothing cached, so a later call tries again) when the shared tree has no
// "project" object or its "plugin-uuid" does not parse. The host's main thread.
Steinberg::IPluginFactory* getPluginFactoryVST3();

// Drops the module's own reference to the factory (module unload).
void releasePluginFactoryVST3();

} // namespace tal
