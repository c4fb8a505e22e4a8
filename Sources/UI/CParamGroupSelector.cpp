#include "UI/CParamGroupSelector.h"

#include "Core/NumberText.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CParamGroupSelector::create() { return new CParamGroupSelector(); }

void CParamGroupSelector::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CParamGroupSelector, &CParamGroupSelector::attrGroupIndex>(scheme, "group-index");
    addPlainEventOf<CParamGroupSelector, &CParamGroupSelector::onUpdateGroupCount>(scheme, "update-group-count");
}

CParamGroupSelector::~CParamGroupSelector() {
    mInterfaceClient.reset();
    mActiveGroupsList.reset();
}

// --- life cycle ---

CError* CParamGroupSelector::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mDisableOnAbsent = false;
    mGroupSlotId = registerUIParam(CString(".ui-param-group"), true);
    mLastAnnouncedGroup = -1;
    mGroupIndex = -1;
    mInterfaceClient.init(this, CString(), CString(), nullptr, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    mInterfaceClient.listenEvent(CString("update-group-count"), CString("update-group-count"));
    mActiveGroupsList.init(this, CString(), CString("update-group-count"), nullptr, CString("active-groups-list"));
    mActiveGroupsList.listenEvent(CString("values-changed"), CString("update-group-count"));
    return nullptr;
}

CError* CParamGroupSelector::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    mActiveGroupsList.resolve();
    return traceError(fireEvent(CString("group-selector-ready"), false), getFullName());
}

// --- handlers ---

CError* CParamGroupSelector::attrGroupIndex() { return setGroupIndex(getIntAttr("group-index")); }

CError* CParamGroupSelector::onUpdateGroupCount() { return updateGroup(); }

CError* CParamGroupSelector::onRegisteredUIParamChanged(const CUIParamChangeInfo&) { return updateGroup(); }

// --- operations ---

CUIParam* CParamGroupSelector::boundParam() const {
    return isUIParamActive() ? getActiveUIParam(mGroupSlotId) : nullptr;
}

std::int32_t CParamGroupSelector::parseItemGroup(const CString& item) {
    const int at = item.findLast(CString(";"));
    const CString number = at >= 0 ? CString(item, at + 1, -1) : CString();
    const std::int32_t n = at >= 0 ? parseInt(number, 0) : 1;
    return n >= 1 ? n - 1 : -1;
}

std::int32_t CParamGroupSelector::getCurrentGroup() {
    std::int32_t candidate = mGroupIndex;
    if (CUIParam* param = boundParam()) {
        CUIParamValue value;
        param->getPlainValue(value, 0, -1);
        const double x = value[0];
        const double rounded = x < 0.0 ? -std::floor(0.5 - x) : std::floor(x + 0.5);
        candidate = std::int32_t(std::int64_t(rounded));
    } else if (candidate < 0) {
        return candidate;
    }
    CValueList* list = mActiveGroupsList.resolve();
    if (list == nullptr || list->itemCount() == 0)
        return candidate;
    std::int32_t first = -1;
    for (int i = 0; i < list->itemCount(); ++i) {
        const std::int32_t group = parseItemGroup(list->itemValue(i));
        if (group < 0)
            continue;
        if (group == candidate)
            return candidate;
        if (first < 0)
            first = group;
    }
    return first >= 0 ? first : 0;
}

void CParamGroupSelector::getActiveGroups(CArray<std::int32_t>& out) {
    out.clear();
    CValueList* list = mActiveGroupsList.resolve();
    if (list == nullptr)
        return;
    for (int i = 0; i < list->itemCount(); ++i) {
        const std::int32_t group = parseItemGroup(list->itemValue(i));
        if (group < 0)
            continue;
        bool seen = false;
        for (int k = 0; k < out.count() && !seen; ++k)
            seen = out[k] == group;
        if (!seen)
            out.add(group);
    }
}

CError* CParamGroupSelector::setGroupIndex(std::int32_t index) {
    if (CUIParam* param = boundParam()) {
        CUIParamValue value;
        value[0] = double(index);
        param->setPlainValue(0, -1, value);
        return nullptr;
    }
    mGroupIndex = index;
    return updateGroup();
}

CError* CParamGroupSelector::updateGroup() {
    const std::int32_t current = getCurrentGroup();
    if (current == mLastAnnouncedGroup)
        return nullptr;
    mLastAnnouncedGroup = current;
    CAttrMap args;
    args.findOrAdd("index")->value.setInt(current);
    return traceError(fireEvent(CString("group-change"), &args, false), getFullName());
}

} // namespace tal
