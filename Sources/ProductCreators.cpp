#include "ProductCreators.h"

#include "Audio/AudioParamCreators.h"
#include "Audio/Filters/FilterCreators.h"
#include "Audio/GraphCreators.h"
#include "Audio/Processes/ProcessCreators.h"
#include "Audio/RegistryCreators.h"
#include "Audio/Viz/VizCreators.h"
#include "Core/CAttrDoubler.h"
#include "Core/CObject.h"
#include "Core/CSharedAttribute.h"
#include "Core/CTimerQueued.h"
#include "Other/Interface/InterfaceCreators.h"
#include "UI/BindingCreators.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Controls/PanelCreators.h"
#include "UI/DisplayCreators.h"
#include "UI/Controls/SurfaceCreators.h"
#include "UI/Resources/ResourceCreators.h"
#include "UI/ViewCreators.h"
#include "UI/WindowCreators.h"
#include "UI/PaletteCreators.h"

namespace tal {

namespace {

// Plain objects (groups of the description and the editor's data holders), the attribute doubler,
// shared attributes and the tree's periodic timer.
const CCreatorTableEntry kObjectTreeCreators[] = {
    {"core:attr-doubler", &CAttrDoubler::create, &CAttrDoubler::initScheme},
    {"core:object", &CObject::createPlain, &CObject::initScheme},
    {"core:shared-attribute", &CSharedAttribute::create, &CSharedAttribute::initScheme},
    {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
    {"ui:param-data", &CObject::createPlain, &CObject::initScheme},
    {"ui:state-data", &CObject::createPlain, &CObject::initScheme},
    {"ui:textview-p", &CObject::createPlain, &CObject::initScheme},
    {"", nullptr, nullptr},
};

} // namespace

const CCreatorTableEntry* const* productCreatorTables() {
    // Made on first use: some tables are returned by functions of other files.
    static const CCreatorTableEntry* const tables[] = {
        kObjectTreeCreators,
        audioParamCreatorTable(),
        kFilterCreatorTable,
        kGraphCreatorTable,
        kProcessCreatorTable,
        registryCreatorTable(),
        kVizCreatorTable,
        kInterfaceCreatorTable,
        kBindingCreatorTable,
        kResourceCreatorTable,
        kViewCreatorTable,
        kControlCreatorTable,
        kWindowCreatorTable,
        kPaletteCreatorTable,
        kDisplayCreatorTable,
        kPanelCreatorTable,
        kSurfaceCreatorTable,
        nullptr,
    };
    return tables;
}

} // namespace tal
