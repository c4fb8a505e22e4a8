#include "UI/CValueListAudio.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CDynListColorSwatch.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSelector.h"
#include "UI/CUIParam.h"
#include "UI/SchemeThunks.h"

#include <cstdio>

namespace tal {

namespace {

const char* const kModeNames[] = {"manual",     "audio-groups", "audio-curgroup",       "audio-channels",
                                  "audio-ins",  "audio-min-max", "audio-outs",          "audio-routing-labels",
                                  "audio-enum-value", "audio-param-values"};

const char* const kRoutingModeNames[] = {"full",          "active-channels",
                                         "active-channel-names", "active-in-channel-labels",
                                         "active-groups", "active-groups-with-channels",
                                         "active-group-per-channel"};

const char* const kRoleNames[] = {"ui-param-grouping",   "ui-param-group-names", "ui-param-in-channel-names",
                                  "ui-param-in-routing", "ui-param-ms-pairs",    "ui-param-sidechain",
                                  "ui-param-channel-mute", "ui-param-value",     "ui-param-group-color"};

template <std::size_t N>
int indexIn(const char* const (&names)[N], const CString& text) {
    for (std::size_t i = 0; i < N; ++i)
        if (text.equals(names[i]))
            return int(i);
    return -1;
}

} // namespace

CObject* CValueListAudio::create() { return new CValueListAudio(); }

void CValueListAudio::initScheme(CObjectScheme* scheme) {
    CValueList::initScheme(scheme);
    addAttrOf<CValueListAudio, &CValueListAudio::onShowAllGroupsChanged>(scheme, "routing-label-show-all-groups");
    addAttrOf<CValueListAudio, &CValueListAudio::onValueCountChanged>(scheme, "value-count");
    addArgsEventOf<CValueListAudio, &CValueListAudio::onGroupChange>(scheme, "group-change");
}

CValueListAudio::~CValueListAudio() {
    mGroupSelector.reset();
    mInterfaceClient.reset();
}

// --- life cycle ---

CError* CValueListAudio::init() {
    if (CError* error = CValueList::init())
        return traceError(error, getFullName());
    const CString& modeText = getTextAttr("mode");
    mMode = indexIn(kModeNames, modeText);
    if (mMode < 0)
        return newError("@talstr_CValueListAudio_init_BadMode Invalid value list mode specified: %1", getFullName(),
                        modeText);
    mHideReserve = getBoolAttr("is-hide-reserve");
    switch (mMode) {
    case kModeCurrentGroup:
        requireRole(kRoleGroupNames);
        bindGroupSelector();
        break;
    case kModeMinMax: {
        mFormat = getTextAttr("format");
        mMaximum = getDoubleAttr("max-value");
        mMinimum = getDoubleAttr("min-value");
        const CString& formatId = getTextAttr("format-id");
        mDisplayFormat = formatId.equals("knob-circle") ? 1 : formatId.equals("normal") ? -1 : 2;
        break;
    }
    case kModeEnumValue:
    case kModeParamValues:
        requireRole(kRoleValue);
        break;
    default:
        break;
    }

    const char* countEvent = mMode == kModeGroups     ? "update-group-count"
                             : mMode == kModeChannels ? "update-internal-channel-count"
                             : (mMode == kModeIns || mMode == kModeOuts || mMode == kModeRoutingLabels)
                                 ? "update-io-channel-counts"
                                 : nullptr;
    if (countEvent != nullptr) {
        mInterfaceClient.init(this, CString("ui.interface-client"), CString(), nullptr, CString());
        mInterfaceClient.isRequired = true;
        if (mInterfaceClient.resolve() == nullptr)
            return newError("@talstr_CValueListAudio_init_NoClient Unable to locate interface client.", getFullName());
        if (mMode == kModeGroups)
            requireRole(kRoleGroupNames);
        if (mMode == kModeRoutingLabels) {
            requireRole(kRoleInRouting);
            requireRole(kRoleGroupNames);
            requireRole(kRoleInNames);
            requireRole(kRoleGrouping);
        }
        mInterfaceClient.listenEvent(CString(countEvent), CString("update-values"));
        if (mMode == kModeRoutingLabels) {
            const CString& routingText = getTextAttr("routing-label-mode");
            mRoutingMode = indexIn(kRoutingModeNames, routingText);
            if (mRoutingMode < 0)
                return newError("@talstr_CValueListAudio_init_BadRoutingMode Invalid routing label mode specified: %1",
                                getFullName(), routingText);
            if (mRoutingMode != kRoutingActiveGroups && mRoutingMode != kRoutingActiveGroupsWithChannels)
                bindGroupSelector();
        }
    }

    switch (mMode) {
    case kModeGroups:
    case kModeCurrentGroup:
        if (CError* error = createParamChild("ui-param-group-names", "ui.group-names-bridge", false))
            return traceError(error, getFullName());
        break;
    case kModeIns:
        if (CError* error = createParamChild("ui-param-in-channel-names", "ui.in-channel-names-bridge", false))
            return traceError(error, getFullName());
        break;
    case kModeMinMax:
    case kModeEnumValue:
    case kModeParamValues: {
        const CString& bridge = getTextAttr("bridge");
        if (!bridge.isEmpty())
            if (CError* error = createParamChild("ui-param-value", bridge.chars8(), true))
                return traceError(error, getFullName());
        break;
    }
    case kModeRoutingLabels: {
        static const char* const kChildren[][2] = {
            {"ui-param-in-channel-names", "ui.in-channel-names-bridge"},
            {"ui-param-group-names", "ui.group-names-bridge"},
            {"ui-param-grouping", "ui.grouping-bridge"},
            {"ui-param-in-routing", "ui.in-routing-bridge"},
        };
        for (const auto& c : kChildren)
            if (CError* error = createParamChild(c[0], c[1], false))
                return traceError(error, getFullName());
        static const char* const kOptional[][2] = {
            {"ui-param-ms-pairs", "ui.ms-pairs-bridge"},
            {"ui-param-sidechain", "ui.sidechain-bridge"},
            {"ui-param-channel-mute", "ui.sidechain-mute-bridge"},
        };
        for (const auto& c : kOptional)
            if (findObject(CString(c[1])) != nullptr)
                if (CError* error = createParamChild(c[0], c[1], false))
                    return traceError(error, getFullName());
        break;
    }
    default:
        break;
    }
    mAllActive = computeAllActive();
    return nullptr;
}

CError* CValueListAudio::createParamChild(const char* name, const char* bridge, bool withGroupSelector) {
    CAttrMap attrs;
    attrs.findOrAdd("bridge")->value.setText(CString(bridge));
    if (withGroupSelector) {
        const CString& selector = getTextAttr("group-selector");
        if (!selector.isEmpty())
            attrs.findOrAdd("group-selector")->value.setText(selector);
    }
    CObject* child = nullptr;
    return createChild(child, getTextAttr("ui-param-tag"), CString(name), false, nullptr, &attrs);
}

void CValueListAudio::bindGroupSelector() {
    mGroupSelector.init(this, CString(), CString(), nullptr, CString("group-selector"));
    mGroupSelector.isRequired = true;
    mGroupSelector.listenEvent(CString("group-change"), CString("group-change"));
    mIsSelectorBound = true;
    if (CParamGroupSelector* selector = mGroupSelector.resolve())
        mCurrentGroup = selector->getCurrentGroup();
}

// --- handlers ---

CError* CValueListAudio::onShowAllGroupsChanged() {
    const bool show = getBoolAttr("routing-label-show-all-groups");
    if (show == mShowAllGroups)
        return nullptr;
    mShowAllGroups = show;
    return traceError(updateItems(), getFullName());
}

CError* CValueListAudio::onValueCountChanged() {
    const std::int32_t count = getIntAttr("value-count");
    if (count == mValueCount)
        return nullptr;
    mValueCount = count;
    return traceError(updateItems(), getFullName());
}

CError* CValueListAudio::onGroupChange(CAttrMap& args) {
    CAttrValue* indexArg = args.findValue("index");
    std::int32_t index = -1;
    if (indexArg != nullptr) {
        bool isNumber = false;
        index = parseInt(indexArg->asText(), -1, &isNumber);
        if (!isNumber)
            index = -1;
    }
    if (index == mCurrentGroup)
        return nullptr;
    mCurrentGroup = index;
    return traceError(updateItems(), getFullName());
}

// --- parameters ---

void CValueListAudio::onUIParamRegistered(CUIParam* param) {
    const int role = indexIn(kRoleNames, param->getShortName());
    if (role < 0)
        return;
    mRecords[role].param = param;
    mRecords[role].isActive = param->updateActive();
    // A parameter that registers inactive (its bridge has no information yet) must empty the list
    // as an activity change would.
    mAllActive = computeAllActive();
}

void CValueListAudio::onUIParamActivated(CUIParam* param) {
    CError* error = updateParamActivity(param, true);
    reportError(&error);
}

void CValueListAudio::onUIParamDeactivated(CUIParam* param) {
    CError* error = updateParamActivity(param, false);
    reportError(&error);
}

CError* CValueListAudio::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    return traceError(updateItems(), getFullName());
}

bool CValueListAudio::computeAllActive() const {
    for (int i = 0; i < mRequiredRoles.count(); ++i)
        if (mRecords[mRequiredRoles[i]].param == nullptr)
            return false;
    for (const CRoleRecord& record : mRecords)
        if (record.param != nullptr && !record.isActive)
            return false;
    return true;
}

CError* CValueListAudio::updateParamActivity(CUIParam* param, bool isActive) {
    for (int i = 0; i < mRequiredRoles.count(); ++i)
        if (mRecords[mRequiredRoles[i]].param == nullptr) {
            mAllActive = false;
            return nullptr;
        }
    const bool wasActive = mAllActive;
    for (CRoleRecord& record : mRecords)
        if (record.param == param)
            record.isActive = isActive;
    mAllActive = computeAllActive();
    if (mAllActive == wasActive)
        return nullptr;
    return traceError(updateItems(), getFullName());
}

CString CValueListAudio::roleText(Role role, std::int32_t i, bool questionWhenEmpty) const {
    CString text;
    if (CUIParam* param = mRecords[role].param)
        param->getValueText(i, text, 0, -1, 0);
    if (text.isEmpty() && questionWhenEmpty)
        text = "?";
    return text;
}

double CValueListAudio::roleReal(Role role, std::int32_t i) const {
    CUIParamValue value;
    if (CUIParam* param = mRecords[role].param)
        param->getPlainValue(value, i, -1);
    return value[0];
}

std::int32_t CValueListAudio::roleValue(Role role, std::int32_t i) const {
    return std::int32_t(CAudioParamConverter::roundToInt(roleReal(role, i)));
}

std::int32_t CValueListAudio::roleCount(Role role) const {
    CUIParam* param = mRecords[role].param;
    return param != nullptr ? param->getElementCount(-1) : 0;
}

std::int32_t CValueListAudio::roleValueInGroup(Role role, std::int32_t i, std::int32_t group) const {
    CUIParamValue value;
    if (CUIParam* param = mRecords[role].param)
        param->getPlainValue(value, i, group);
    return std::int32_t(CAudioParamConverter::roundToInt(value[0]));
}

CError* CValueListAudio::collectGroupColors(CStringList& colors) {
    colors.clear();
    if (!hasActive(kRoleGroupColor))
        return nullptr;
    CDynListColorSwatch* swatch = nullptr;
    if (CError* error = findObjectByAttr(swatch, CString("group-color-swatch"), false))
        return traceError(error, getFullName());
    if (swatch == nullptr)
        return nullptr;
    swatch->clearCache(0);
    swatch->setDisplayFlag(false);
    swatch->getItems(0, colors);
    return nullptr;
}

// --- items ---

CError* CValueListAudio::collectItems(CStringList& list) {
    if (!mAllActive) {
        list.clear();
        return nullptr;
    }
    CAudioInterfaceClient* client = mInterfaceClient.owner != nullptr ? mInterfaceClient.resolve() : nullptr;
    switch (mMode) {
    case kModeManual:
        return traceError(CValueList::collectItems(list), getFullName());
    case kModeGroups:
        for (std::int32_t i = 0; client != nullptr && i < client->groupCount(); ++i)
            list.add(roleText(kRoleGroupNames, i));
        break;
    case kModeCurrentGroup:
        list.add(mCurrentGroup < 0 ? CString("?") : roleText(kRoleGroupNames, mCurrentGroup));
        break;
    case kModeChannels:
        for (std::int32_t i = 0; client != nullptr && i < client->internalChannelCount(); ++i)
            list.add(CString(int(i + 1)));
        break;
    case kModeIns:
        if (client != nullptr) {
            const std::int32_t n = client->inputChannelCount();
            const std::int32_t firstSidechain = n - client->sidechainChannelCount();
            for (std::int32_t i = 0; i < n; ++i) {
                const CString name = roleText(kRoleInNames, i);
                if (i >= firstSidechain) {
                    CString marked("(");
                    list.add(marked.append(name).append(")"));
                } else {
                    list.add(name);
                }
            }
        }
        break;
    case kModeMinMax:
        collectMinMax(list);
        break;
    case kModeOuts:
        for (std::int32_t i = 1; client != nullptr && i <= client->outputChannelCount(); ++i) {
            CString out("OUT");
            list.add(out.append(CString(int(i))));
        }
        break;
    case kModeRoutingLabels:
        return traceError(collectRoutingLabels(list), getFullName());
    case kModeEnumValue:
        collectEnumValues(list);
        break;
    case kModeParamValues:
        if (CUIParam* param = mRecords[kRoleValue].param)
            for (std::int32_t i = 0; i < param->getElementCount(-1); ++i) {
                CString text;
                param->getValueText(i, text, 1, -1, 0);
                list.add(text);
            }
        break;
    default:
        break;
    }
    return nullptr;
}

bool CValueListAudio::isSingleRealFormat(const CString& format) {
    int reals = 0;
    const int n = format.length();
    for (int i = 0; i < n; ++i) {
        if (format.charAt(i) != '%')
            continue;
        ++i;
        if (i < n && format.charAt(i) == '%')
            continue;
        while (i < n && (format.charAt(i) == '-' || format.charAt(i) == '+' || format.charAt(i) == ' ' ||
                         format.charAt(i) == '#' || format.charAt(i) == '0'))
            ++i;
        for (int digits = 0; i < n && format.charAt(i) >= '0' && format.charAt(i) <= '9'; ++digits)
            if (++i, digits > 3)
                return false;
        if (i < n && format.charAt(i) == '.') {
            ++i;
            for (int digits = 0; i < n && format.charAt(i) >= '0' && format.charAt(i) <= '9'; ++digits)
                if (++i, digits > 3)
                    return false;
        }
        if (i >= n)
            return false;
        const std::uint32_t c = format.charAt(i);
        if (c != 'f' && c != 'F' && c != 'e' && c != 'E' && c != 'g' && c != 'G' && c != 'a' && c != 'A')
            return false;
        ++reals;
    }
    return reals == 1;
}

void CValueListAudio::collectMinMax(CStringList& list) {
    const std::int32_t n = mValueCount;
    CUIParam* param = mRecords[kRoleValue].param;
    const CString format = isSingleRealFormat(mFormat) ? mFormat : CString("%g");
    for (std::int32_t i = 0; i < n; ++i) {
        const double x = n == 1 ? 0.5 : double(i) / double(n - 1);
        CString text;
        if (param != nullptr && mDisplayFormat == -1) {
            param->getValueText(i, text, 0, -1, 0);
        } else if (param != nullptr) {
            if (CParamBridge* bridge = param->bridge())
                bridge->formatNormalizedValue(text, 0, mDisplayFormat, x);
        } else {
            char buffer[128];
            std::snprintf(buffer, sizeof buffer, format.narrowed().chars8(), mMinimum + (mMaximum - mMinimum) * x);
            text = buffer;
        }
        list.add(text);
    }
}

void CValueListAudio::collectEnumValues(CStringList& list) {
    CUIParam* param = mRecords[kRoleValue].param;
    if (param == nullptr)
        return;
    const bool indexMode = getBoolAttr("is-enum-index-mode");
    std::int64_t lo = getIntAttr("enum-min-index");
    std::int64_t hi = getIntAttr("enum-max-index");
    if (!indexMode) {
        lo = CAudioParamConverter::roundToInt(param->getMinValue(0));
        hi = CAudioParamConverter::roundToInt(param->getMaxValue(0));
    }
    if (hi == 8388608 || lo >= hi)
        return;
    const bool addEmpty = getBoolAttr("add-empty-value");
    const CString& separator = getTextAttr("separator-char");
    bool numbered = false;
    for (std::int64_t i = lo; i <= hi; ++i) {
        CString text;
        if (indexMode) {
            param->getValueText(std::int32_t(i), text, 0, -1, 0);
            list.add(text);
            continue;
        }
        if (numbered && i == 0 && addEmpty)
            continue;
        if (numbered) {
            text = CString(int(i));
            if (!separator.isEmpty() && addEmpty)
                text.append(separator).append(CString(int(i)));
        } else if (CParamBridge* bridge = param->bridge()) {
            bridge->formatValue(text, 0, 0, double(i));
        }
        if (i == lo && !numbered && text.equals("Reserve")) {
            numbered = true;
            --i;  // walk the first value again, as a number
            continue;
        }
        if (mHideReserve && text.equals("Reserve"))
            break;
        list.add(text);
    }
}

} // namespace tal
