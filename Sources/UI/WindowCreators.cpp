#include "UI/WindowCreators.h"

#include "UI/CIntervalTimer.h"
#include "UI/CUpdateTimer.h"
#include "UI/CUpdateTimerGroup.h"
#include "UI/CWindowRenderer.h"

namespace tal {

const CCreatorTableEntry kWindowCreatorTable[] = {
    {"ui:interval-timer", &CIntervalTimer::create, &CIntervalTimer::initScheme},
    {"ui:update-timer", &CUpdateTimer::create, &CUpdateTimer::initScheme},
    {"ui:update-timer-group", &CUpdateTimerGroup::create, &CUpdateTimerGroup::initScheme},
    {"ui:window-renderer", &CWindowRenderer::create, &CWindowRenderer::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
