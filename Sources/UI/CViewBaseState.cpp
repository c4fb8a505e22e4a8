#include "UI/CViewBaseState.h"

#include "Core/CSharedAttribute.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CViewCommand.h"
#include "UI/CViewState.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace tal {

namespace {

// The text of an attribute of an object; empty when absent or not convertible.
CString textOf(const CObject& object, const char* name) {
    CAttrValue* value = object.attrs().findValue(name);
    return value != nullptr ? value->asText() : CString();
}

bool boolOf(const CObject& object, const char* name) {
    CAttrValue* value = object.attrs().findValue(name);
    return value != nullptr && value->asBool();
}

// A real read from text; 0 when it is not a well-formed number.
double realOf(const CString& text) {
    bool valid = false;
    const double v = parseDouble(text, &valid);
    return valid && std::isfinite(v) ? v : 0.0;
}

double realAttr(const CObject& object, const char* name) { return realOf(textOf(object, name)); }

bool endsWithPercent(const CString& text) { return text.length() > 0 && text.charAt(text.length() - 1) == '%'; }

void splitNames(const CString& text, CStringList& out, bool skipEmpty) { text.split(out, ' ', skipEmpty, true); }

const char* const kTweenNames[3] = {"opacity", "width", "height"};

CError* setStateThunk(CObject* object, CAttrMap* args) {
    CAttrMap none;
    if (CError* err = static_cast<CViewBaseState*>(object)->onSetState(args != nullptr ? *args : none))
        return traceError(err, object->getFullName());
    return nullptr;
}

CError* unsetStateThunk(CObject* object, CAttrMap* args) {
    CAttrMap none;
    if (CError* err = static_cast<CViewBaseState*>(object)->onUnsetState(args != nullptr ? *args : none))
        return traceError(err, object->getFullName());
    return nullptr;
}

CError* timerThunk(CObject* object) {
    if (CError* err = static_cast<CViewBaseState*>(object)->onTimer()) return traceError(err, object->getFullName());
    return nullptr;
}

} // namespace

void CViewBaseState::initScheme(CObjectScheme* scheme) {
    CViewBasePlacement::initScheme(scheme);
    CEventHandler& set = scheme->addEventHandler(CString("set-state"));
    set.withArgs = &setStateThunk;
    set.hasArgs = true;
    CEventHandler& timer = scheme->addEventHandler(CString("timer"));
    timer.plain = &timerThunk;
    timer.hasArgs = false;
    CEventHandler& unset = scheme->addEventHandler(CString("unset-state"));
    unset.withArgs = &unsetStateThunk;
    unset.hasArgs = true;
}

CViewBaseState::~CViewBaseState() {
    for (CCommandRun* run = CViewWatch::sInnermost; run != nullptr; run = run->mOuter)
        if (run->mView == this) run->mViewGone = true;
    delete mStateData;
}

// --- life cycle ---

CError* CViewBaseState::init() {
    if (CError* err = CViewBasePlacement::init()) return traceError(err, getFullName());
    const CString colorState = textOf(*this, "color-state");
    const CString imageSetRange = textOf(*this, "image-set-range");
    if (colorState.isEmpty() && imageSetRange.isEmpty() && !boolOf(*this, "has-view-states")) return nullptr;
    ensureStateData();
    mStateData->baseLook = CViewStateLook{CString(), colorState, imageSetRange};
    mStateData->shownLook = mStateData->baseLook;
    mStateData->targetLook = mStateData->baseLook;
    mStateData->nextLook = mStateData->baseLook;
    return nullptr;
}

CError* CViewBaseState::initChilds() {
    if (CError* err = CViewBasePlacement::initChilds()) return traceError(err, getFullName());
    if (CError* err = applyStates(false)) return traceError(err, getFullName());
    return nullptr;
}

// --- states ---

void CViewBaseState::ensureStateData() {
    if (mStateData == nullptr) mStateData = new CViewStateData;
}

CError* CViewBaseState::registerState(const CString& name, CViewState* state) {
    ensureStateData();
    mStateData->stateObjects.findOrAdd(name)->value = state;
    CAttrMap values;
    if (CError* err = addViewState(state, values)) return traceError(err, getFullName());
    for (auto* n = values.first(); n != nullptr; n = CAttrMap::next(n)) {
        if (n->key.equals("state-name")) continue;
        CAttrValue* own = attrs().findValue(n->key);
        mStateData->defaultAttrs.findOrAdd(n->key)->value.setText(own != nullptr ? own->asText() : CString());
    }
    return nullptr;
}

void CViewBaseState::unregisterState(const CString& name) {
    if (mStateData != nullptr) mStateData->stateObjects.remove(name);
}

CError* CViewBaseState::addViewState(CViewState* state, CAttrMap& out) {
    out.clear();
    CStringList names;
    splitNames(textOf(*state, "state-attrs"), names, false);
    // An empty text splits into one empty piece.
    if (names.count() == 0 || (names.count() == 1 && names[0].isEmpty()))
        return newError("@talstr_CViewBaseState_addViewState_NoStateAttrs The state-attrs attribute is empty in %1",
                        getFullName(), state->getFullName());
    out.findOrAdd("duration")->value.setReal(realAttr(*state, "duration"));
    out.findOrAdd("morph-duration")->value.setReal(realAttr(*state, "morph-duration"));
    for (int i = 0; i < names.count(); ++i) {
        const CString& name = names[i];
        if (name.equals("full-name") || name.equals("state-attrs") || name.equals("state-name") ||
            name.equals("duration") || name.equals("morph-duration"))
            return newError(
                "@talstr_CViewBaseState_addViewState_ReservedStateName Reserved attribute name specified in state-attrs in %1",
                getFullName(), state->getFullName());
        CAttrValue* own = state->attrs().findValue(name);
        out.findOrAdd(name)->value.setText(own != nullptr ? own->asText() : CString());
    }
    return nullptr;
}

CError* CViewBaseState::setState(const CString& names, bool isImmediate) {
    if (mStateData == nullptr || names.isEmpty()) return nullptr;
    CStringList list;
    splitNames(names, list, true);
    for (int i = 0; i < list.count(); ++i) mStateData->setStates.findOrAdd(list[i])->value = 1;
    if (CError* err = applyStates(isImmediate)) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseState::unsetState(const CString& names, bool isImmediate) {
    if (mStateData == nullptr || names.isEmpty()) return nullptr;
    CStringList list;
    splitNames(names, list, true);
    for (int i = 0; i < list.count(); ++i) mStateData->setStates.remove(list[i]);
    if (CError* err = applyStates(isImmediate)) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseState::toggleState(const CString& name, bool isImmediate) {
    if (mStateData == nullptr || name.isEmpty()) return nullptr;
    CError* err = mStateData->setStates.contains(name) ? unsetState(name, isImmediate) : setState(name, isImmediate);
    return err != nullptr ? traceError(err, getFullName()) : nullptr;
}

bool CViewBaseState::isStateSet(const CString& name) const {
    return mStateData != nullptr && mStateData->setStates.contains(name);
}

CError* CViewBaseState::applyStates(bool isImmediate) {
    if (mStateData == nullptr || lifeStage() < 3) return nullptr;
    CViewStateData& data = *mStateData;
    CAttrMap merged;
    for (auto* n = data.defaultAttrs.first(); n != nullptr; n = CAttrMap::next(n))
        merged.findOrAdd(n->key)->value.copyTyped(n->value);
    double tweenDuration = 0.0, morphDuration = 0.0;
    if (CAttrValue* v = merged.findValue("duration")) tweenDuration = realOf(v->asText());
    if (CAttrValue* v = merged.findValue("morph-duration")) morphDuration = realOf(v->asText());

    CString fullName;
    CAttrMap values;
    for (auto* s = data.setStates.first(); s != nullptr; s = decltype(data.setStates)::next(s)) {
        if (!fullName.isEmpty()) fullName.append(" ");
        fullName.append(s->key);
        auto* object = data.stateObjects.find(s->key);
        if (object == nullptr) continue;
        if (CError* err = addViewState(object->value, values)) return traceError(err, getFullName());
        tweenDuration = values.findValue("duration")->asReal();
        morphDuration = values.findValue("morph-duration")->asReal();
        for (auto* n = values.first(); n != nullptr; n = CAttrMap::next(n)) {
            if (n->key.equals("duration") || n->key.equals("morph-duration")) continue;
            if (n->key.equals("color-state")) {
                const CString& text = n->value.asText();
                CAttrValue& mergedColor = merged.findOrAdd("color-state")->value;
                CString composed = text.length() > 0 && text.charAt(0) == '/' ? CString(text, 1, -1)
                                                                               : CString(mergedColor.asText()).append(text);
                mergedColor.setText(composed);
            } else {
                merged.findOrAdd(n->key)->value.copyTyped(n->value);
            }
        }
    }
    if (isImmediate) tweenDuration = morphDuration = 0.0;

    CViewStateLook look = data.shownLook;
    look.stateName = fullName;
    bool lookChanged = false;
    for (auto* n = merged.first(); n != nullptr; n = CAttrMap::next(n)) {
        const CString text = n->value.asText();
        CError* err = nullptr;
        if (n->key.equals("color-state")) {
            look.colorState = text;
            lookChanged = true;
        } else if (n->key.equals("image-set-range")) {
            look.imageSetRange = text;
            lookChanged = true;
        } else {
            int tween = -1;
            for (int t = 0; t < 3; ++t)
                if (n->key.equals(kTweenNames[t])) tween = t;
            err = tween >= 0 ? startTween(data.tweens[tween], n->key, text, tweenDuration) : setAttr(n->key, text, true);
        }
        if (err != nullptr) return traceError(err, getFullName());
        if (mStateData == nullptr) return nullptr;
    }
    if (lookChanged) {
        if (CError* err = startMorph(look, morphDuration)) return traceError(err, getFullName());
    }
    return nullptr;
}

// --- commands ---

void CViewBaseState::addCommand(const CString& event, CViewCommand* command) {
    ensureStateData();
    CArray<CViewCommand*>& list = mStateData->commandLists.findOrAdd(event)->value;
    for (CViewCommand* c : list)
        if (c == command) return;
    list.add(command);
}

void CViewBaseState::removeCommand(const CString& event, CViewCommand* command) {
    if (mStateData == nullptr) return;
    auto* node = mStateData->commandLists.find(event);
    if (node == nullptr) return;
    CArray<CViewCommand*>& list = node->value;
    for (int i = 0; i < list.count(); ++i) {
        if (list[i] != command) continue;
        list.removeAt(i);
        for (CCommandRun* run = CViewWatch::sInnermost; run != nullptr; run = run->mOuter) {
            if (run->mView != this) continue;
            if (run->mCurrent == command) run->mCommandGone = true;
            if (i <= run->mIndex) --run->mIndex;   // the later commands moved down one place
        }
        break;
    }
    if (list.count() == 0) mStateData->commandLists.removeNode(node);
}

CError* CViewBaseState::runCommand(const CString& event, CAttrMap* args) {
    if (mStateData == nullptr || !mStateData->commandLists.contains(event)) return nullptr;
    CCommandRun run(this);
    const CString fullName = getFullName();   // kept for the trace line of a view released meanwhile
    for (run.mIndex = 0;; ++run.mIndex) {
        // The list is looked up again each time: an action may have changed or removed it.
        if (run.mViewGone || mStateData == nullptr) return nullptr;
        auto* node = mStateData->commandLists.find(event);
        if (node == nullptr || run.mIndex >= node->value.count()) return nullptr;
        run.mCurrent = node->value[run.mIndex];
        run.mCommandGone = false;
        CError* err = runOneCommand(run.mCurrent, event, args, run);
        if (err != nullptr) return traceError(err, fullName);
        if (run.mViewGone) return nullptr;
    }
}

CError* CViewBaseState::runOneCommand(CViewCommand* command, const CString& event, CAttrMap* args, CCommandRun& run) {
    CViewStateData& data = *mStateData;
    const bool animating = data.isTweening || data.isMorphing;
    const CString setCondition = textOf(*command, "condition-state-set");
    if (!setCondition.isEmpty() && (!data.setStates.contains(setCondition) || animating)) return nullptr;
    const CString unsetCondition = textOf(*command, "condition-state-unset");
    if (!unsetCondition.isEmpty() && (data.setStates.contains(unsetCondition) || animating)) return nullptr;

    if (!textOf(*command, "run-event").isEmpty()) {
        if (CError* err = runEventAction(command, event, args, run)) return err;
        if (run.stopped()) return nullptr;
    }
    using StateAction = CError* (CViewBaseState::*)(const CString&, bool);
    const std::pair<const char*, StateAction> stateActions[] = {
        {"set-state", &CViewBaseState::setState},
        {"unset-state", &CViewBaseState::unsetState},
        {"toggle-state", &CViewBaseState::toggleState},
    };
    for (const auto& [attr, action] : stateActions) {
        const CString names = textOf(*command, attr);
        if (names.isEmpty()) continue;
        auto* target = dynamic_cast<CViewBaseState*>(findObject(textOf(*command, "state-target")));
        if (target != nullptr) {
            if (CError* err = (target->*action)(names, false)) return err;
            if (run.stopped()) return nullptr;
        }
    }
    const CString setName = textOf(*command, "set-attr");
    if (!setName.isEmpty()) {
        CObject* target = findObject(textOf(*command, "set-attr-target"));
        if (target == nullptr) target = this;
        if (CError* err = target->setAttr(setName, textOf(*command, "set-attr-value"), true)) return err;
        if (run.stopped()) return nullptr;
    }
    const CString toggleName = textOf(*command, "toggle-attr");
    if (!toggleName.isEmpty()) {
        CObject* target = findObject(textOf(*command, "toggle-attr-target"));
        if (target == nullptr) target = this;
        CAttrValue* value = target->attrs().findValue(toggleName);
        const bool wasSet = value != nullptr && value->asBool();
        if (CError* err = target->setIntAttr(toggleName, wasSet ? 0 : 1, true)) return err;
        if (run.stopped()) return nullptr;
    }
    const CString sharedPath = textOf(*command, "reset-shared-attr");
    if (!sharedPath.isEmpty()) {
        if (auto* shared = dynamic_cast<CSharedAttribute*>(findObject(sharedPath))) {
            if (CError* err = shared->storeValue(textOf(*shared, "def-value"))) return err;
        }
    }
    return nullptr;
}

CError* CViewBaseState::runEventAction(CViewCommand* command, const CString& event, CAttrMap* args, CCommandRun& run) {
    CStringList targets;
    splitNames(textOf(*command, "run-event-target"), targets, true);
    const CString runEvent = textOf(*command, "run-event");
    const CString paramsPath = textOf(*command, "run-event-params");
    const CString forward = textOf(*command, "run-event-forward-params");
    const bool bridged = boolOf(*command, "is-run-event-bridged");
    for (int t = 0; t < targets.count(); ++t) {
        CObject* target = findObject(targets[t]);
        CAttrMap map;
        if (CObject* params = command->findObject(paramsPath)) {
            for (int c = 0; c < params->childCount(); ++c) {
                CObject* child = params->child(c);
                if (!child->tag().equals("ui:param-data"))
                    return newError("@talstr_CViewBaseState_runCommand_NoParamData Unexpected tag '%1', expected <param>.",
                                    getFullName(), child->tag());
                map.findOrAdd(textOf(*child, "attr"))->value.setText(textOf(*child, "value"));
            }
            const CString popupTag = textOf(*params, "popup-tag");
            if (!popupTag.isEmpty()) map.findOrAdd("popup-tag")->value.setText(popupTag);
        }
        if (args != nullptr && !forward.isEmpty()) {
            CStringList names;
            splitNames(forward, names, true);
            for (int i = 0; i < names.count(); ++i)
                if (CAttrValue* v = args->findValue(names[i])) map.findOrAdd(names[i])->value.copyTyped(*v);
        }
        if (target == nullptr) {
            char line[1024];
            std::snprintf(line, sizeof line, "Target not found: '%s' (command %s)", targets[t].narrowed().chars8(),
                          event.narrowed().chars8());
            const CString& viewName = getFullName();
            if (viewName.isEmpty()) {
                writeLog(line, true);
            } else {
                char full[1280];
                std::snprintf(full, sizeof full, "%s // %s", line, viewName.narrowed().chars8());
                writeLog(full, true);
            }
            continue;
        }
        if (bridged) {
            target->postBridgedEvent(getFullName(), runEvent, map);
        } else {
            if (CError* err = target->runEvent(runEvent, &map)) return err;
            if (run.stopped()) return nullptr;
        }
    }
    return nullptr;
}

// --- animations ---

double CViewBaseState::ease(double progress) noexcept {
    const double p = progress < 0.0 ? 0.0 : progress > 1.0 ? 1.0 : progress;
    return (std::sin(p * std::numbers::pi - std::numbers::pi / 2.0) + 1.0) * 0.5;
}

CError* CViewBaseState::startMorph(const CViewStateLook& look, double duration) {
    if (mStateData == nullptr) return nullptr;
    CViewStateData& data = *mStateData;
    const double now = getTime();
    if (data.shownLook.stateName == data.targetLook.stateName) {
        data.targetLook = look;
        data.morphStart = now;
        data.morphEnd = now + duration;
    }
    data.nextLook = look;
    data.morphDuration = duration;
    data.isMorphing = true;
    updateMorph();
    if (data.isMorphing) {
        subscribeRender();
        return nullptr;
    }
    if (CError* err = runStateReady()) return traceError(err, getFullName());
    return nullptr;
}

void CViewBaseState::updateMorph() {
    if (mStateData == nullptr) return;
    CViewStateData& data = *mStateData;
    if (data.shownLook.stateName == data.targetLook.stateName) {
        data.isMorphing = false;
    } else {
        const double now = getTime();
        const double span = data.morphEnd - data.morphStart;
        const double f = span <= 0.0 ? 1.0 : ease((now - data.morphStart) / span);
        data.morphFraction = f;
        if (f > 0.95) {
            data.shownLook = data.targetLook;
            data.targetLook = data.nextLook;
            data.morphStart = now;
            data.morphEnd = now + data.morphDuration;
            data.morphFraction = 0.0;
        }
    }
    invalidate();
}

CError* CViewBaseState::startTween(CViewStateTween& tween, const CString& name, const CString& target, double duration) {
    if (mStateData == nullptr) return nullptr;
    const double now = getTime();
    tween.attrName = name;
    tween.isDone = false;
    tween.startTime = now;
    tween.endTime = now + duration;
    CAttrValue* own = attrs().findValue(name);
    CString startText = own != nullptr ? own->asText() : CString();
    CString targetText = target;
    tween.isPercent = endsWithPercent(startText);
    tween.isTargetPercent = endsWithPercent(targetText);
    if (tween.isPercent) startText = CString(startText, 0, startText.length() - 1);
    if (tween.isTargetPercent) targetText = CString(targetText, 0, targetText.length() - 1);
    tween.startValue = realOf(startText);
    tween.targetValue = realOf(targetText);
    if (tween.isPercent != tween.isTargetPercent) {
        tween.startValue = tween.targetValue;
        tween.isPercent = tween.isTargetPercent;
    }
    mStateData->isTweening = true;
    if (CError* err = updateTweens()) return traceError(err, getFullName());
    if (mStateData == nullptr) return nullptr;
    if (mStateData->isTweening) {
        subscribeRender();
        return nullptr;
    }
    if (CError* err = runStateReady()) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseState::stepTween(CViewStateTween& tween, bool& running) {
    if (tween.isDone) return nullptr;
    const double now = getTime();
    const double span = tween.endTime - tween.startTime;
    double value = span <= 0.0 ? tween.targetValue
                               : tween.startValue + (tween.targetValue - tween.startValue) * ease((now - tween.startTime) / span);
    // Kept between start and target in either direction, so that fades out and shrinks ease too.
    const double low = std::fmin(tween.startValue, tween.targetValue);
    const double high = std::fmax(tween.startValue, tween.targetValue);
    tween.value = std::fmin(std::fmax(value, low), high);
    if (now > tween.endTime) {
        tween.value = tween.targetValue;
        tween.isDone = true;
    } else {
        running = true;
    }
    CError* err = nullptr;
    if (tween.isPercent) {
        CString text;
        formatFixedPoint(text, std::llround(tween.value * 10000.0), 4);
        err = setAttr(tween.attrName, text.append("%"), true);
    } else {
        err = setDoubleAttr(tween.attrName, tween.value, true);
    }
    return err != nullptr ? traceError(err, getFullName()) : nullptr;
}

CError* CViewBaseState::updateTweens() {
    if (mStateData == nullptr) return nullptr;
    mStateData->isTweening = false;
    for (int t = 0; t < 3; ++t) {
        bool running = false;
        CError* err = stepTween(mStateData->tweens[t], running);
        if (mStateData == nullptr) return err;
        if (running) mStateData->isTweening = true;
        if (err != nullptr) return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CViewBaseState::runStateReady() {
    if (CError* err = runCommand(CString("state-ready"), nullptr)) return traceError(err, getFullName());
    return nullptr;
}

CString CViewBaseState::windowName() const {
    const CObject* rootView = rootPlacement();
    return rootView != nullptr ? textOf(*rootView, "window") : CString();
}

void CViewBaseState::subscribeRender() {
    const CString window = windowName();
    if (!window.isEmpty()) listenObject(window, CString("render"), CString("timer"));
}

void CViewBaseState::unsubscribeRender() {
    const CString window = windowName();
    if (!window.isEmpty()) unlistenObject(window, CString("render"));
}

double CViewBaseState::getTime() { return 0.0; }

CError* CViewBaseState::onSetState(CAttrMap& args) {
    const CString names = args.findOrAdd("state")->value.asText();
    if (CError* err = setState(names, false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseState::onUnsetState(CAttrMap& args) {
    const CString names = args.findOrAdd("state")->value.asText();
    if (CError* err = unsetState(names, false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBaseState::onTimer() {
    if (mStateData == nullptr) return nullptr;
    if (mStateData->isMorphing) updateMorph();
    if (mStateData->isTweening) {
        if (CError* err = updateTweens()) return traceError(err, getFullName());
        if (mStateData == nullptr) return nullptr;
    }
    if (mStateData->isMorphing || mStateData->isTweening) return nullptr;
    CCommandRun watch(this);
    if (CError* err = runStateReady()) return traceError(err, getFullName());
    if (!watch.mViewGone) unsubscribeRender();
    return nullptr;
}

} // namespace tal
