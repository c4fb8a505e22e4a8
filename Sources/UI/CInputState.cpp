#include "UI/CInputState.h"

#include "Core/CAttrMap.h"
#include "Platform/CNativeEvent.h"
#include "Platform/CWindowBackend.h"

namespace tal {

namespace {

// A parameter as a real or a bool; missing names read as 0 or false.
double realOf(CAttrMap& params, const char* name) {
    CAttrValue* value = params.findValue(name);
    return value != nullptr ? value->asReal() : 0.0;
}

bool boolOf(CAttrMap& params, const char* name) {
    CAttrValue* value = params.findValue(name);
    return value != nullptr && value->asBool();
}

} // namespace

void CInputState::readSystemState(bool readPosition, bool copyToLast) {
    CWindowBackend* backend = CWindowBackend::current();
    if (backend == nullptr)
        return;
    if (readPosition)
        backend->pointerPosition(mouseX, mouseY);
    const std::uint32_t state = backend->pointerState();
    alt = (state & CNativeEvent::kAlt) != 0;
    ctrl = (state & CNativeEvent::kCtrl) != 0;
    shift = (state & CNativeEvent::kShift) != 0;
    buttonL = (state & CNativeEvent::kLeftButton) != 0;
    buttonR = (state & CNativeEvent::kRightButton) != 0;
    if (readPosition && copyToLast) {
        dragMouseX = mouseX;
        dragMouseY = mouseY;
    }
}

void CInputState::setFromEvent(CAttrMap& params, bool positionOnly) {
    mouseX = realOf(params, "x");
    mouseY = realOf(params, "y");
    if (!positionOnly) {
        buttonL = boolOf(params, "is-button-l");
        buttonR = boolOf(params, "is-button-r");
        setModifiersFromEvent(params);
    }
    dragMouseX = mouseX;
    dragMouseY = mouseY;
}

void CInputState::setModifiersFromEvent(CAttrMap& params) {
    alt = boolOf(params, "is-alt");
    ctrl = boolOf(params, "is-ctrl");
    shift = boolOf(params, "is-shift");
}

} // namespace tal
