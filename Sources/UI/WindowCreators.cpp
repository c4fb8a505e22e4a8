#include "UI/WindowCreators.h"

#include "UI/CIntervalTimer.h"
#include "UI/CUpdateTimer.h"
#include "UI/CUpdateTimerGroup.h"
#include "UI/CWindowCloser.h"
#include "UI/CWindowOpener.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowResizer.h"

namespace tal {

const CCreatorTableEntry kWindowCreatorTable[] = {
    {"ui:interval-timer", &CIntervalTimer::create, &CIntervalTimer::initScheme},
    {"ui:update-timer", &CUpdateTimer::create, &CUpdateTimer::initScheme},
    {"ui:update-timer-group", &CUpdateTimerGroup::create, &CUpdateTimerGroup::initScheme},
    {"ui:window-closer", &CWindowCloser::create, &CWindowCloser::initScheme},
    {"ui:window-opener", &CWindowOpener::create, &CWindowOpener::initScheme},
    {"ui:window-renderer", &CWindowRenderer::create, &CWindowRenderer::initScheme},
    {"ui:window-resizer", &CWindowResizer::create, &CWindowResizer::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
