#pragma once

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamUndo.h"
#include "Audio/RegistryCreators.h"
#include "Core/CCreatorRegistry.h"
#include "support/ParamTestTree.h"

#include <type_traits>

namespace tal {

// An instance's parameter collector as an object of the tree, so that "param-collector" attributes
// find it, created without an audio environment (the collector then uses its own processing lock).
template <class Collector, bool = std::is_base_of_v<CObject, Collector>>
class CCollectorObjectOf : public CObject, public Collector {};
template <class Collector>
class CCollectorObjectOf<Collector, true> : public Collector {
public:
    CError* init() override { return CObject::init(); }
};
using CCollectorObject = CCollectorObjectOf<CAudioParamCollector>;

// A parameter test tree with the registry tags registered and an instance part below
// "shared::plugin": its collector "shared::plugin.param-collector" and definitions built below
// "audio" on demand.
class CRegistryTestTree : public CParamTestTree {
public:
    static constexpr const char* kCollectorPath = "shared::plugin.param-collector";

    CRegistryTestTree() {
        static const bool registered = [] {
            static const CCreatorTableEntry kTest[] = {
                {"test:param-collector", [] { return static_cast<CObject*>(new CCollectorObject()); },
                 &CObject::initScheme},
                {"test:param-undo", &createObject<CAudioParamUndo>, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(registryCreatorTable());
            CCreatorRegistry::instance().registerTable(kTest);
            return true;
        }();
        (void)registered;
        mPlugin = plain(shared(), "plugin");
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(build(object, mPlugin, "test:param-collector", "param-collector", {})), "");
        mCollector = dynamic_cast<CCollectorObject*>(object);
    }

    CObject* plugin() const { return mPlugin; }
    CAudioParamCollector& collector() const { return *mCollector; }

    // A definition "audio.<name>" and the parameter "plugin.<name>" bound to it.
    CAudioParam* boundParam(const char* name, AttrList defAttrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(build(object, audio(), "audio:param", name, defAttrs)), "") << name;
        CAudioParamDef* def = dynamic_cast<CAudioParamDef*>(object);
        CAudioParam* param = mCollector->acquireParam(CString("plugin.") + CString(name));
        if (def != nullptr) param->setInfo(&def->getInfo(), nullptr, {});
        return param;
    }

private:
    CObject* mPlugin = nullptr;
    CCollectorObject* mCollector = nullptr;
};

} // namespace tal
