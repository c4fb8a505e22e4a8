#include "UI/CStateSwitch.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"

#include <cmath>
#include <string>

namespace tal {

const char* const CStateSwitch::kSimpleValue = "*simple-value*";

namespace {

void splitAt(const CString& text, std::uint32_t separator, bool skipEmpty, CStringList& out) {
    text.split(out, separator, skipEmpty, true);
}

bool isReservedName(const CString& name) {
    for (const char* reserved : {"full-name", "if", "state-attrs", "state-tag", "state-target"})
        if (name.equals(reserved))
            return true;
    return false;
}

// Whether object is ancestor or the object itself.
bool contains(const CObject* ancestor, const CObject* object) {
    for (const CObject* o = object; o != nullptr; o = o->parent())
        if (o == ancestor)
            return true;
    return false;
}

} // namespace

CObject* CStateSwitch::create() { return new CStateSwitch(); }

void CStateSwitch::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CStateSwitch::~CStateSwitch() {
    for (int i = mTargets.count() - 1; i >= 0; --i)
        delete mTargets[i];
    for (int i = mStates.count() - 1; i >= 0; --i)
        delete mStates[i];
}

CUIParam* CStateSwitch::findParam(const CString& key) const {
    const auto* node = mParams.find(key);
    return node != nullptr ? node->value : nullptr;
}

CError* CStateSwitch::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    CStringList paths;
    splitAt(getTextAttr("target"), ' ', true, paths);
    for (int i = 0; i < paths.count(); ++i) {
        auto* target = new CTarget<CObject>;
        target->init(this, paths[i], CString(), nullptr, CString());
        target->isRequired = true;
        mTargets.add(target);
    }
    mDefaultBridge = getTextAttr("bridge");
    if (mDefaultBridge.isEmpty() && getBoolAttr("is-simple-value"))
        mDefaultBridge = CString(kSimpleValue);
    if (CError* error = registerState(this))
        return traceError(error, getFullName());
    if (CError* error = applyStates(true))
        return traceError(error, getFullName());
    return nullptr;
}

void CStateSwitch::onUIParamRegistered(CUIParam* param) {
    const CString key = param->bridge() != nullptr ? param->bridge()->getFullName() : CString(kSimpleValue);
    mParams.findOrAdd(key)->value = param;
}

CError* CStateSwitch::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    return traceError(applyStates(false), getFullName());
}

CError* CStateSwitch::registerState(CObject* node) {
    if (!node->tag().equals("ui:state-data")) {
        for (int i = 0; i < node->childCount(); ++i)
            if (CError* error = registerState(node->child(i)))
                return traceError(error, getFullName());
        return nullptr;
    }
    const CString condition = node->getTextAttr("if");
    const CString stateTag = node->getTextAttr("state-tag");
    const CString stateTarget = node->getTextAttr("state-target");
    CStringList names;
    const CString& attrs = node->getTextAttr("state-attrs");
    if (!attrs.isEmpty())
        splitAt(attrs, ' ', false, names);
    if (names.count() == 0 && stateTag.isEmpty())
        return newError("@talstr_CStateSwitch_registerState_NoStateAttrs Both state-attrs and state-tag are empty in %1",
                        getFullName(), node->getFullName());
    CAttrMap values;
    for (int i = 0; i < names.count(); ++i) {
        if (isReservedName(names[i]))
            return newError(
                "@talstr_CStateSwitch_registerState_ReservedStateName Reserved attribute name specified in state-attrs in %1",
                getFullName(), node->getFullName());
        CAttrValue* own = node->attrs().findValue(names[i]);
        values.findOrAdd(names[i].narrowed().chars8())->value.setText(own != nullptr ? own->asText() : CString());
    }
    CSwitchState* state = &mDefaultState;
    if (!condition.isEmpty()) {
        state = new CSwitchState;
        mStates.add(state);
        if (CError* error = buildExpression(condition, state->condition))
            return traceError(error, getFullName());
    }
    if (!stateTag.isEmpty())
        state->stateTag = stateTag;
    CAttrMap& target = state->attrsByTarget.findOrAdd(stateTarget)->value;
    for (auto* value = values.first(); value != nullptr; value = CAttrMap::next(value))
        target.findOrAdd(value->key.narrowed().chars8())->value.copyTyped(value->value);
    for (int i = 0; i < node->childCount(); ++i)
        if (CError* error = registerState(node->child(i)))
            return traceError(error, getFullName());
    return nullptr;
}

CError* CStateSwitch::buildExpression(const CString& text, CArray<CSwitchCondGroup*>& condition) {
    CStringList groups;
    splitAt(text, '|', true, groups);
    if (groups.count() == 0)
        return newError("@talstr_CStateSwitch_buildExpression_CondGroupsEmpty Condition group list cannot be empty: '%1'",
                        getFullName(), text);
    for (int g = 0; g < groups.count(); ++g) {
        auto* group = new CSwitchCondGroup;
        condition.add(group);
        CStringList comparisons;
        splitAt(groups[g], '&', true, comparisons);
        if (comparisons.count() == 0)
            return newError("@talstr_CStateSwitch_buildExpression_CondsEmpty Condition list cannot be empty: '%1'",
                            getFullName(), groups[g]);
        for (int c = 0; c < comparisons.count(); ++c) {
            auto* cond = new CSwitchCond;
            group->conds.add(cond);
            CStringList sides;
            splitAt(comparisons[c], '=', true, sides);
            CString name, values;
            if (sides.count() == 2) {
                name = sides[0].trim();
                values = sides[1].trim();
            } else if (sides.count() == 1) {
                if (mDefaultBridge.isEmpty())
                    return newError("@talstr_CStateSwitch_buildExpression_NoDefBridge Default bridge name is not set.",
                                    getFullName());
                name = mDefaultBridge;
                values = sides[0].trim();
            } else {
                return newError("@talstr_CStateSwitch_buildExpression_BadSyntax Invalid 'if' attribute syntax.",
                                getFullName());
            }
            if (!name.isEmpty() && name.charAt(name.length() - 1) == '!') {
                cond->negate = true;
                CString shorter;
                shorter.appendSub(name, 0, name.length() - 1);
                name = shorter.trim();
            }
            const int open = name.findChar('[');
            const int close = open >= 0 ? name.findChar(']', open + 1) : -1;
            if (open >= 0 && close >= 0) {
                CString index, before;
                index.appendSub(name, open + 1, close - open - 1);
                cond->elementOffset = parseInt(index, 0);
                before.appendSub(name, 0, open);
                name = before.trim();
            }
            if (!values.isEmpty() && values.charAt(0) == '!') {
                cond->negate = true;
                CString rest;
                rest.appendSub(values, 1, values.length() - 1);
                values = rest.trim();
            }
            // A bridge named by a path is kept by its full name, the key of the parameter map.
            if (!name.equals(kSimpleValue)) {
                CParamBridge* bridge = nullptr;
                if (CError* error = findObjectChecked(bridge, name))
                    return traceError(error, getFullName());
                name = bridge->getFullName();
            }
            cond->bridgeName = name;
            CStringList pieces;
            splitAt(values, ' ', true, pieces);
            if (pieces.count() == 0)
                return newError("@talstr_CStateSwitch_buildExpression_ValuesEmpty Value list cannot be empty: '%1'",
                                getFullName(), comparisons[c]);
            for (int v = 0; v < pieces.count(); ++v) {
                if (pieces[v].charAt(0) == '!')
                    return newError(
                        "@talstr_CStateSwitch_buildExpression_NotNotAllowed The '!' sign is only allowed before the list of values: '%1'",
                        getFullName(), values);
                bool ok = false;
                cond->values.add(parseInt(pieces[v], 0, &ok));
                if (!ok)
                    return newError("@talstr_CStateSwitch_buildExpression_InvalidValue Invalid integer value '%1'",
                                    getFullName(), pieces[v]);
            }
            if (!name.equals(kSimpleValue))
                if (CError* error = ensureBridgeParam(name))
                    return traceError(error, getFullName());
        }
    }
    return nullptr;
}

CError* CStateSwitch::ensureBridgeParam(const CString& fullName) {
    if (mParams.contains(fullName))
        return nullptr;
    CParamBridge* bridge = nullptr;
    if (CError* error = findObjectChecked(bridge, fullName))
        return traceError(error, getFullName());
    CAttrMap initial;
    initial.findOrAdd("bridge")->value.setText(bridge->getFullName());
    initial.findOrAdd("element")->value.setText(CString("{*/^ element}"));
    initial.findOrAdd("group-selector")->value.setText(getTextAttr("group-selector"));
    CUIParam* param = nullptr;
    // The description's template "ui:ui-param" when there is one, else the plain tag.
    if (CError* error = createChild(param, CString("ui:ui-param"), CString("ui-param-dynamic"), false, &initial, nullptr))
        return traceError(error, getFullName());
    return nullptr;
}

std::int32_t CStateSwitch::nearestInt(double v) noexcept {
    return std::int32_t(v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v));
}

bool CStateSwitch::evaluate(const CArray<CSwitchCondGroup*>& condition) {
    for (int g = 0; g < condition.count(); ++g) {
        const CSwitchCondGroup& group = *condition[g];
        bool holds = true;
        for (int c = 0; c < group.conds.count() && holds; ++c) {
            const CSwitchCond& cond = *group.conds[c];
            CUIParam* param = findParam(cond.bridgeName);
            if (param == nullptr) {
                std::string line = "No UIParam for " + std::string(cond.bridgeName.narrowed().chars8());
                const CString fullName = getFullName();
                if (!fullName.isEmpty())
                    line += " // " + std::string(fullName.narrowed().chars8());
                writeLog(line.c_str(), true);
                continue;
            }
            CUIParamValue value;
            param->getPlainValue(value, cond.elementOffset, -1);
            const std::int32_t v = nearestInt(value[0]);
            bool listed = false;
            for (int i = 0; i < cond.values.count() && !listed; ++i)
                listed = cond.values[i] == v;
            holds = listed != cond.negate;
        }
        if (holds)
            return true;
    }
    return false;
}

CError* CStateSwitch::applyStates(bool force) {
    if (lifeStage() <= 3 && !force)
        return nullptr;
    CArray<CSwitchState*> holding;
    for (int i = 0; i < mStates.count(); ++i)
        if (evaluate(mStates[i]->condition))
            holding.add(mStates[i]);
    if (holding.count() == 0)
        return traceError(applyState(mDefaultState), getFullName());
    for (int i = 0; i < holding.count(); ++i)
        if (CError* error = applyState(*holding[i]))
            return traceError(error, getFullName());
    return nullptr;
}

CError* CStateSwitch::applyState(CSwitchState& state) {
    if (!state.stateTag.isEmpty())
        if (CError* error = applyStateTag(state.stateTag))
            return traceError(error, getFullName());
    for (auto* entry = state.attrsByTarget.first(); entry != nullptr; entry = state.attrsByTarget.next(entry)) {
        CStringList paths;
        splitAt(entry->key, ' ', true, paths);
        for (int i = 0; i < paths.count(); ++i) {
            CObject* object = nullptr;
            if (CError* error = findObjectChecked(object, paths[i]))
                return traceError(error, getFullName());
            if (CError* error = object->setAttrs(entry->value, true))
                return traceError(error, getFullName());
        }
    }
    return nullptr;
}

CError* CStateSwitch::applyStateTag(const CString& tag) {
    if (tag == mAppliedStateTag)
        return nullptr;
    for (int i = 0; i < mTargets.count(); ++i) {
        CTarget<CObject>& target = *mTargets[i];
        CObject* object = target.resolve();
        if (object == nullptr)
            continue;   // logged by the reference; nothing to replace
        // Releasing an object that holds the switch would destroy the running switch.
        if (contains(object, this))
            return newError("@talstr_CStateSwitch_applyStateTag_TargetHoldsSwitch A state tag cannot replace '%1', which holds the switch.",
                            getFullName(), object->getFullName());
        CObject* parent = object->parent();
        const CString name = object->getShortName();
        object->release();
        CObject* made = nullptr;
        // The template of that name when there is one, else the plain tag.
        if (CError* error = parent->createChild(made, tag, name, false, nullptr, nullptr))
            return traceError(error, getFullName());
        target.init(this, made->getFullName(), CString(), nullptr, CString());
        target.isRequired = true;
    }
    mAppliedStateTag = tag;
    return nullptr;
}

} // namespace tal
