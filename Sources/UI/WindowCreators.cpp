#include "UI/WindowCreators.h"

#include "UI/CUpdateTimer.h"
#include "UI/CUpdateTimerGroup.h"

namespace tal {

const CCreatorTableEntry kWindowCreatorTable[] = {
    {"ui:update-timer", &CUpdateTimer::create, &CUpdateTimer::initScheme},
    {"ui:update-timer-group", &CUpdateTimerGroup::create, &CUpdateTimerGroup::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
