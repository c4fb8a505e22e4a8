#include "UI/CParamBridge.h"

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamData.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CAttrMap.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Other/Interface/CParamInterfaceClientConnector.h"

#include <algorithm>

namespace tal {

namespace {

CError* paramThunk(CObject* object, CAttrValue*) {
    return traceError(static_cast<CParamBridge*>(object)->onParamChanged(), object->getFullName());
}

CError* resetThunk(CObject* object, CAttrMap* args) {
    return traceError(static_cast<CParamBridge*>(object)->onReset(*args), object->getFullName());
}

std::int32_t intArg(CAttrMap& args, const char* name, std::int32_t fallback) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr ? value->asInt() : fallback;
}

bool boolArg(CAttrMap& args, const char* name) {
    CAttrValue* value = args.findValue(name);
    return value != nullptr && value->asBool();
}

const CByteBuffer& emptyBlock() {
    static const CByteBuffer empty;
    return empty;
}

} // namespace

CObject* CParamBridge::create() { return new CParamBridge(); }

void CParamBridge::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("param")) = &paramThunk;
    CEventHandler& reset = scheme->addEventHandler(CString("reset"));
    reset.withArgs = &resetThunk;
    reset.hasArgs = true;
}

CParamBridge::~CParamBridge() { delete mInfo; }

// --- life cycle ---

CError* CParamBridge::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mInterfaceClient.init(this, CString(), CString(), nullptr, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    return nullptr;
}

void CParamBridge::releaseLinks() {
    if (mInterfaceClient.owner != nullptr) {
        if (CAudioInterfaceClient* c = mInterfaceClient.resolve()) {
            if (mListenHandle != -1)
                c->unlistenParam(mListenHandle);
            if (mUndoId != -1)
                c->removeUndoData(mUndoId);
        }
        mListenHandle = -1;
        mUndoId = -1;
    }
    CObject::releaseLinks();
}

CAudioInterfaceClient* CParamBridge::client() { return mInterfaceClient.resolve(); }

// --- handlers ---

CError* CParamBridge::onParamChanged() {
    CAudioInterfaceClient* c = client();
    if (mListenHandle != -1) {
        if (c != nullptr)
            c->unlistenParam(mListenHandle);
        mListenHandle = -1;
        delete mInfo;
        mInfo = nullptr;
    }
    const CString& path = getTextAttr("param");
    if (!path.isEmpty() && c != nullptr)
        mListenHandle = c->listenParam(path, this);
    return nullptr;
}

CError* CParamBridge::onReset(CAttrMap& args) {
    if (mInfo == nullptr)
        return nullptr;
    std::int32_t undo = -1;
    if (CAttrValue* value = args.findValue("undo-id"))
        undo = parseInt(value->asText(), -1);
    resetValue(intArg(args, "group", 0), intArg(args, "element", 0), undo, boolArg(args, "do-create-undo"),
               boolArg(args, "use-first-element"));
    return nullptr;
}

CError* CParamBridge::onParamInfo(CInputStream& in) {
    std::int32_t hasInfo = 0;
    if (CError* error = in.read32(hasInfo))
        return traceError(error, getFullName());
    if (hasInfo != 0)
        return traceError(CAudioParamInfo::loadNew(mInfo, in), getFullName());
    delete mInfo;
    mInfo = nullptr;
    mStore.clear();
    return nullptr;
}

void CParamBridge::onParamUpdate(const CAudioParamChange& change) {
    if (mInfo == nullptr || change.elementSize != mInfo->getElementSize() ||
        change.dataType != mInfo->getDataType() || change.singleGroup != mInfo->isSingleGroup() ||
        change.singleElement != mInfo->isSingleElement())
        return;
    mStore.applyChange(change);
    CAttrMap args;
    args.findOrAdd("group")->value.setInt(change.group);
    args.findOrAdd("element-offset")->value.setInt(change.firstElement);
    args.findOrAdd("element-count")->value.setInt(change.count);
    args.findOrAdd("is-replacing")->value.setInt(change.truncate ? 1 : 0);
    CError* error = fireEvent(CString("param-change"), &args, false);
    reportError(&error);
}

// --- conversions ---

const CAudioParamConverter* CParamBridge::converterOf(int component) const {
    return mInfo != nullptr ? mInfo->getConverter(component) : nullptr;
}

double CParamBridge::toPlain(int component, double normalized) const {
    const CAudioParamConverter* cvt = converterOf(component);
    return cvt != nullptr ? cvt->toPlain(*mInfo, component, normalized) : 0.0;
}

double CParamBridge::toNormalized(int component, double plain) const {
    const CAudioParamConverter* cvt = converterOf(component);
    return cvt != nullptr ? cvt->toNormalized(*mInfo, component, plain) : 0.0;
}

double CParamBridge::toDisplay(int component, double normalized) const {
    const CAudioParamConverter* cvt = converterOf(component);
    return cvt != nullptr ? cvt->toDisplay(*mInfo, component, normalized) : 0.0;
}

double CParamBridge::fromDisplay(int component, double display) const {
    const CAudioParamConverter* cvt = converterOf(component);
    return cvt != nullptr ? cvt->fromDisplay(*mInfo, component, display) : 0.0;
}

double CParamBridge::parseText(const CString& text, int component, bool* ok) const {
    const CAudioParamConverter* cvt = converterOf(component);
    if (cvt == nullptr) {
        CAudioParamConverter::setOk(ok, false);
        return 0.0;
    }
    bool parsed = false;
    const double value = cvt->parseText(*mInfo, component, text, &parsed);
    CAudioParamConverter::setOk(ok, parsed);
    return parsed ? value : CAudioParamConverter::minimumOf(*mInfo, component);
}

void CParamBridge::formatValue(CString& out, int component, int precision, double plain) const {
    const CAudioParamConverter* cvt = converterOf(component);
    out = cvt != nullptr ? cvt->formatValue(*mInfo, component, &mStore.getData(), std::max(precision, 0), plain)
                         : CString();
}

void CParamBridge::formatNormalizedValue(CString& out, int component, int precision, double normalized) const {
    formatValue(out, component, precision, toPlain(component, normalized));
}

// --- reading ---

bool CParamBridge::isSingleGroup() const noexcept { return mInfo != nullptr && mInfo->isSingleGroup(); }

int CParamBridge::elementSize() const noexcept { return mInfo != nullptr ? mInfo->getElementSize() : 0; }

int CParamBridge::effectiveGroup(int group) const noexcept { return isSingleGroup() ? 0 : group; }

const double* CParamBridge::defaultsOf(int element) const {
    const int size = elementSize();
    if (size <= 0)
        return nullptr;
    const double* row = mStore.getDefaultRow();
    int count = mStore.getDefaultCount() / size;
    if (row == nullptr || count == 0) {
        // Before the format change arrives: the defaults of the info.
        const CAudioParamStorage& defaults = mInfo->getDefaultValues();
        row = defaults.getValues(0);
        count = defaults.getElementCount(0);
        if (row == nullptr || count == 0)
            return nullptr;
    }
    return element >= 0 && element < count ? row + std::size_t(element) * size : row;
}

const double* CParamBridge::lookup(int group, int element) const {
    if (mInfo == nullptr)
        return nullptr;
    group = effectiveGroup(group);
    if (mStore.isFormatSet() && group >= 0 && group < mStore.getGroupCount() && element >= 0 &&
        mStore.getElementCount(group) > element)
        return mStore.getValues(group) + std::size_t(element) * mStore.getElementSize();
    return defaultsOf(element);
}

void CParamBridge::getPlainValues(int group, int element, CUIParamValue& out) const {
    out = CUIParamValue();
    const double* values = lookup(group, element);
    if (values == nullptr)
        return;
    const int n = std::min(elementSize(), CUIParamValue::kComponents);
    for (int c = 0; c < n; ++c)
        out[c] = values[c];
}

void CParamBridge::getNormalizedValues(int group, int element, CUIParamValue& out) const {
    getPlainValues(group, element, out);
    const int n = std::min(elementSize(), CUIParamValue::kComponents);
    for (int c = 0; c < n; ++c)
        out[c] = toNormalized(c, out[c]);
}

void CParamBridge::getValueText(int group, int element, int component, CString& out, int precision) const {
    const double* values = lookup(group, element);
    if (values == nullptr || component < 0 || component >= elementSize()) {
        out = CString();
        return;
    }
    formatValue(out, component, precision, values[component]);
}

int CParamBridge::getElementCount(int group) const {
    if (mInfo == nullptr)
        return 0;
    group = effectiveGroup(group);
    return group < 0 ? 0 : mStore.getElementCount(group);
}

double CParamBridge::getDefaultNormalized(int element, int component) const {
    if (mInfo == nullptr)
        return 0.5;
    return toNormalized(component, getDefaultPlain(element, component));
}

double CParamBridge::getDefaultPlain(int element, int component) const {
    if (mInfo == nullptr || component < 0 || component >= elementSize())
        return 0.0;
    const double* defaults = defaultsOf(element);
    return defaults != nullptr ? defaults[component] : 0.0;
}

const CByteBuffer& CParamBridge::getDataItem(int group, int element, int component) const {
    const double* values = lookup(group, element);
    if (values == nullptr || component < 0 || component >= elementSize())
        return emptyBlock();
    return mStore.getData().getRaw(int(CAudioParamConverter::roundToInt(values[component])));
}

// --- writing ---

void CParamBridge::setNormalizedValue(int group, int element, const CUIParamValue& value) {
    setNormalizedValues(group, element, 1, &value, false);
}

void CParamBridge::setNormalizedValues(int group, int first, int count, const CUIParamValue* values,
                                       bool isReplacing) {
    const int size = elementSize();
    if (size <= 0 || count < 0)
        return;
    CArray<double> plain;
    plain.setCount(count * size);
    for (int e = 0; e < count; ++e)
        for (int c = 0; c < size; ++c) {
            const double x = c < CUIParamValue::kComponents ? values[e][c] : 0.0;
            plain[e * size + c] = toPlain(c, std::clamp(x, 0.0, 1.0));
        }
    setValues(group, first, count, plain.data(), isReplacing, true);
}

void CParamBridge::setPlainValue(int group, int element, const CUIParamValue& value) {
    const int size = elementSize();
    if (size <= 0)
        return;
    CArray<double> plain;
    plain.setCount(size);
    for (int c = 0; c < size; ++c)
        plain[c] = c < CUIParamValue::kComponents ? value[c] : 0.0;
    setValues(group, element, 1, plain.data(), false, true);
}

void CParamBridge::setValueText(int group, int element, int component, const CString& text) {
    const int size = elementSize();
    const double* current = lookup(group, element);
    if (size <= 0 || component < 0 || component >= size)
        return;
    CArray<double> values;
    values.setCount(size);
    for (int c = 0; c < size && current != nullptr; ++c)
        values[c] = current[c];
    const int type = mInfo->getDataType();
    if (type == CAudioParamStorage::kTypeString) {
        CAudioParamData items;
        for (int c = 0; c < size; ++c)
            if (c != component)
                values[c] = items.copyItem(int(CAudioParamConverter::roundToInt(values[c])), mStore.getData(), type);
        values[component] = items.addString(text);
        setValues(group, element, 1, values.data(), false, true, &items);
    } else if (type == CAudioParamStorage::kTypeFloat) {
        bool ok = false;
        const double plain = parseText(text, component, &ok);
        if (!ok)
            return;
        values[component] = plain;
        setValues(group, element, 1, values.data(), false, true);
    }
}

void CParamBridge::setDataItem(int group, int element, int component, CByteBuffer& item) {
    const int size = elementSize();
    const double* current = lookup(group, element);
    if (size <= 0 || component < 0 || component >= size || mInfo->getDataType() != CAudioParamStorage::kTypeRaw)
        return;
    CAudioParamData items;
    CArray<double> values;
    values.setCount(size);
    for (int c = 0; c < size; ++c)
        if (c != component && current != nullptr)
            values[c] = items.copyItem(int(CAudioParamConverter::roundToInt(current[c])), mStore.getData(),
                                       CAudioParamStorage::kTypeRaw);
    values[component] = items.addRaw(item);
    setValues(group, element, 1, values.data(), false, true, &items);
}

void CParamBridge::setValues(int group, int first, int count, const double* values, bool isReplacing,
                             bool applyLocally, const CAudioParamData* table) {
    if (mInfo == nullptr)
        return;
    group = effectiveGroup(group);
    const int size = mInfo->getElementSize();
    if (group < 0 || first < 0 || count < 0 || size <= 0)
        return;
    CAudioInterfaceClient* c = client();
    if (c == nullptr)
        return;
    mChanged = true;

    // Values of up to eight doubles stay inline; larger writes use the size-class allocator.
    const int existing = mStore.getElementCount(group);
    const int start = std::min(first, existing);
    const int total = first + count - start;
    CArray<double> out;
    out.setCount(total * size);
    for (int e = start; e < first; ++e) {
        const double* defaults = defaultsOf(e);
        for (int k = 0; k < size; ++k)
            out[(e - start) * size + k] = defaults != nullptr ? defaults[k] : 0.0;
    }
    std::copy(values, values + std::size_t(count) * size, out.data() + std::size_t(first - start) * size);

    // Float values are clamped to their component's range; string and raw values are item ids, which
    // are copied into a table of this change.
    const int type = mInfo->getDataType();
    CAudioParamData items;
    for (int i = 0; i < total * size; ++i) {
        if (type == CAudioParamStorage::kTypeFloat) {
            out[i] = CAudioParamConverter::clampToRange(*mInfo, i % size, out[i]);
        } else {
            const bool isGap = i < (first - start) * size;
            const CAudioParamData& source = (isGap || table == nullptr) ? mStore.getData() : *table;
            out[i] = items.copyItem(int(CAudioParamConverter::roundToInt(out[i])), source, type);
        }
    }

    const CAudioParamChange change = makeChange(group, start, total, isReplacing, out.data(), &items);
    c->changeParam(mListenHandle, change, mUndoId);
    if (applyLocally)
        onParamUpdate(change);
    // The audio side has queued its replies: fetch them now, within the same user action.
    if (CParamInterfaceClientConnector* connector = c->clientConnector()) {
        CError* error = connector->pollBaseData();
        reportError(&error);
    }
}

CAudioParamChange CParamBridge::makeChange(int group, int first, int count, bool isReplacing, const double* values,
                                           const CAudioParamData* table) const {
    CAudioParamChange change;
    change.group = group;
    change.firstElement = first;
    change.count = count;
    change.truncate = isReplacing;
    change.sender = this;
    change.elementSize = mInfo->getElementSize();
    change.dataType = mInfo->getDataType();
    change.singleGroup = mInfo->isSingleGroup();
    change.singleElement = mInfo->isSingleElement();
    change.values = values;
    change.table = table;
    return change;
}

// --- undo steps, resets, copies ---

CString CParamBridge::getGroupName(int group) {
    if (CAudioInterfaceClient* c = client())
        return c->getGroupName(group);
    return CString(group + 1);
}

CString CParamBridge::stepName(const char* suffix, const CArray<std::int32_t>* groups, int group) {
    CString name(mInfo->getVisualName(), suffix);
    if (mInfo->isSingleGroup())
        return name;
    name.append(" (");
    if (groups != nullptr && !groups->isEmpty()) {
        for (int i = 0; i < groups->count(); ++i) {
            if (i > 0)
                name.append(", ");
            name.append(getGroupName((*groups)[i]));
        }
    } else {
        name.append(getGroupName(group));
    }
    name.append(")");
    return name;
}

void CParamBridge::openUndo(int group, bool isMergeable, int mergeKey, const CArray<std::int32_t>* undoGroups,
                            bool noUndo) {
    if (mInfo == nullptr)
        return;
    if (noUndo) {
        mChanged = false;
        return;
    }
    CAudioInterfaceClient* c = client();
    if (c == nullptr)
        return;
    if (mUndoId != -1)
        c->removeUndoData(mUndoId);
    mUndoId = c->createUndoData(stepName(" change", undoGroups, group), isMergeable, mergeKey);
    mChanged = false;
}

void CParamBridge::attachUndo(int id) {
    if (id == mUndoId)
        return;
    if (id == -1) {
        mUndoId = -1;
        return;
    }
    if (mInfo == nullptr)
        return;
    if (mUndoId != -1)
        if (CAudioInterfaceClient* c = client())
            c->removeUndoData(mUndoId);
    mUndoId = id;
    mChanged = false;
}

void CParamBridge::submitUndo() {
    if (mUndoId == -1)
        return;
    if (CAudioInterfaceClient* c = client())
        c->submitUndoData(mUndoId, CString());
    mUndoId = -1;
}

void CParamBridge::resetValue(int group, int element, int undoId, bool createUndo, bool useFirstElement) {
    if (mInfo == nullptr)
        return;
    CAudioInterfaceClient* c = client();
    if (c == nullptr)
        return;
    const int g = group == -1 ? -1 : effectiveGroup(group);
    if (undoId != -1 || !createUndo) {
        c->resetParam(mListenHandle, g, element, undoId, useFirstElement);
        return;
    }
    int step = mUndoId;
    const bool ownStep = step == -1;
    if (ownStep) {
        const CString name = (g == -1 || mInfo->isSingleGroup())
                                 ? CString(mInfo->getVisualName(), " reset")
                                 : CString(mInfo->getVisualName(), " reset (") + getGroupName(g) + CString(")");
        step = c->createUndoData(name, false, -1);
    } else {
        mChanged = true;
    }
    c->resetParam(mListenHandle, g, element, step, useFirstElement);
    if (ownStep)
        c->submitUndoData(step, CString());
}

void CParamBridge::copyGroupValues(int sourceGroup, int targetGroup, int undoId) {
    if (mInfo == nullptr || mInfo->isSingleGroup() || sourceGroup < 0 || targetGroup < 0)
        return;
    CAudioInterfaceClient* c = client();
    if (c == nullptr)
        return;
    const int count = mStore.getElementCount(sourceGroup);
    const CAudioParamChange change = makeChange(targetGroup, 0, count, true,
                                                count > 0 ? mStore.getValues(sourceGroup) : nullptr, &mStore.getData());
    c->changeParam(mListenHandle, change, undoId);
}

} // namespace tal
