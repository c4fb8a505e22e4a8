#include "UI/ViewCreators.h"

#include "UI/CGlobalSettings.h"
#include "UI/CStateSwitch.h"
#include "UI/CStdEventBridge.h"
#include "UI/CStyle.h"
#include "UI/CView.h"
#include "UI/CViewColorSlot.h"
#include "UI/CViewCommand.h"
#include "UI/CViewState.h"
#include "UI/CWindowSharedData.h"

namespace tal {

const CCreatorTableEntry kViewCreatorTable[] = {
    {"ui:global-settings", &CGlobalSettings::create, &CGlobalSettings::initScheme},
    {"ui:state-switch", &CStateSwitch::create, &CStateSwitch::initScheme},
    {"ui:ui-event-bridge", &CStdEventBridge::create, &CObject::initScheme},
    {"ui:style", &CStyle::create, &CStyle::initScheme},
    {"ui:multichange-display-item", &CView::create, &CView::initScheme},
    {"ui:view", &CView::create, &CView::initScheme},
    {"ui:view-color-slot", &CViewColorSlot::create, &CObject::initScheme},
    {"ui:view-command", &CViewCommand::create, &CObject::initScheme},
    {"ui:view-state", &CViewState::create, &CObject::initScheme},
    {"ui:window-shared-data", &CWindowSharedData::create, &CWindowSharedData::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
