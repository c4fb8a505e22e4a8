#include "UI/CDynamicPalette.h"

#include "Core/CAppData.h"
#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CStringList.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Core/RecordTags.h"
#include "Platform/CMonotonicClock.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicColorData.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/HexColor.h"

#include <cstdio>
#include <string>

namespace tal {

namespace {

const CString kCacheName("ui-palette-cache");
constexpr std::uint32_t kCacheVersion = 2;
constexpr std::uint32_t kItemVersion = 1;

} // namespace

CObject* CDynamicPalette::create() { return new CDynamicPalette(); }

void CDynamicPalette::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CDynamicPalette::~CDynamicPalette() = default;

// --- life cycle ---

void CDynamicPalette::logTime(const char* what, std::uint64_t since) {
    const std::uint64_t now = getMonotonicNanos();
    char line[160];
    std::snprintf(line, sizeof line, "Dynamic palette init time %s: %.4f s @ %.4f s", what,
                  nanosToSeconds(now - since), nanosToSeconds(now - CApplication::startTimeNs()));
    const CString& fullName = getFullName();
    const std::string text = fullName.isEmpty() ? std::string(line) : std::string(line) + " // " + fullName.chars8();
    writeLog(text.c_str(), true);
}

CError* CDynamicPalette::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    const std::uint64_t t0 = getMonotonicNanos();
    mCacheDirty = false;
    mIsApplying = false;
    if (CError* error = loadCache()) {
        // A damaged cache would otherwise stop every editor from opening, and is only rewritten
        // after a successful close: drop it and rebuild everything.
        logError(traceError(error, getFullName()));
        delete error;
        mData.clear();
        mCacheDirty = true;
    }
    mPaletteSlotId = registerUIParam(CString(".ui-param-palette"), true);
    logTime("1", t0);
    mFallback.buildToneRamp(69, 69, 69, 0.5, 1.0, 0.0);
    return nullptr;
}

CError* CDynamicPalette::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    const std::uint64_t t0 = getMonotonicNanos();
    if (CError* error = applyPaletteParam())
        return traceError(error, getFullName());
    if (CError* error = buildColorList())
        return traceError(error, getFullName());
    logTime("2", t0);
    return nullptr;
}

void CDynamicPalette::detachFromParent() {
    saveCache();
    CObject::detachFromParent();
}

CError* CDynamicPalette::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    if (lifeStage() < 4)
        return nullptr;
    if (info.slotId == mPaletteSlotId)
        if (CError* error = applyPaletteParam())
            return traceError(error, getFullName());
    return traceError(fireEvent(CString("palette-updated-from-param"), false), getFullName());
}

// --- lookups ---

CColor* CDynamicPalette::getColor(const CString& name, double position) {
    CColor* color = nullptr;
    if (auto* node = mColors.find(name))
        color = node->value->getGradientColor(position);
    else if (auto* hover = mHovers.find(name))
        color = hover->value->getHoverColor(position);
    else {
        const CString& fullName = getFullName();
        std::string line = std::string("Color not found: '") + name.chars8() + "'";
        if (!fullName.isEmpty())
            line += std::string(" // ") + fullName.chars8();
        writeLog(line.c_str(), true);
        return &mFallback;
    }
    // A colour whose ramp is not built yet (no cache, parameter not applied) is never drawn.
    return color != nullptr && color->toneTable() != nullptr ? color : &mFallback;
}

CDynamicColor* CDynamicPalette::findColor(const CString& name) const {
    auto* node = mColors.find(name);
    return node != nullptr ? node->value : nullptr;
}

// --- used by the colours ---

CDynamicColorData* CDynamicPalette::getColorData(const CString& name, std::int32_t n, bool hoverable) {
    auto* node = mData.findOrAdd(name);
    std::unique_ptr<CDynamicColorData>& record = node->value;
    if (record == nullptr || record->entryCount() != n || record->hasHover() != hoverable)
        record = std::make_unique<CDynamicColorData>(n, hoverable);
    return record.get();
}

void CDynamicPalette::registerColor(CDynamicColor* owner, const CString& name, const CString& hoverName) {
    mColors.findOrAdd(name)->value = owner;
    if (!hoverName.isEmpty())
        mHovers.findOrAdd(hoverName)->value = owner;
}

void CDynamicPalette::unregisterColor(CDynamicColor* color) {
    for (CSortedMap<CString, CDynamicColor*>* map : {&mColors, &mHovers}) {
        for (auto* node = map->first(); node != nullptr;) {
            auto* next = map->next(node);
            if (node->value == color)
                map->removeNode(node);
            node = next;
        }
    }
    if (color->isAlias()) {
        mColors.remove(color->name());
        mHovers.remove(color->hoverName());
    }
}

CError* CDynamicPalette::onColorChanged() {
    mCacheDirty = true;
    if (mIsApplying || lifeStage() < 4)
        return nullptr;
    if (CError* error = storePaletteParam())
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("dynamic-palette-updated"), false), getFullName());
}

// --- the palette parameter ---

CUIParam* CDynamicPalette::paletteParam() const {
    if (!hasNamedSlots() || !isUIParamActive())
        return nullptr;
    return getActiveUIParam(mPaletteSlotId);
}

CError* CDynamicPalette::readPaletteItem(const CByteBuffer& item) {
    CMemoryReader in(item.data(), item.size());
    std::uint32_t version = 0;
    if (CError* error = in.read32(version))
        return traceError(error, getFullName());
    if (version != kItemVersion)
        return nullptr;
    for (;;) {
        CString name;
        if (CError* error = in.readString(name))
            return traceError(error, getFullName());
        if (name.isEmpty())
            return nullptr;
        double brightness = 0.0, contrast = 0.0, opacity = 0.0;
        std::int32_t tone = -1, tone2 = -1, tone3 = -1;
        for (double* field : {&brightness, &contrast, &opacity})
            if (CError* error = in.readDouble(*field))
                return traceError(error, getFullName());
        for (std::int32_t* field : {&tone, &tone2, &tone3})
            if (CError* error = in.read32(*field))
                return traceError(error, getFullName());
        CDynamicColor* color = findColor(name);
        if (color == nullptr)
            continue;
        color->setLoadedFromParam(true);
        if (color->isBrightnessEditable())
            if (CError* error = color->setDoubleAttr(CString("brightness"), brightness, true))
                return traceError(error, getFullName());
        if (color->isContrastEditable())
            if (CError* error = color->setDoubleAttr(CString("contrast"), contrast, true))
                return traceError(error, getFullName());
        if (color->isOpacityEditable())
            if (CError* error = color->setDoubleAttr(CString("opacity"), opacity, true))
                return traceError(error, getFullName());
        if (color->isToneEditable())
            if (CError* error = color->setAttr(CString("tone"), formatHexColor(tone), true))
                return traceError(error, getFullName());
    }
}

CError* CDynamicPalette::resetColor(CDynamicColor* color) {
    CDynamicColor* source = color->copyDefaultFrom().isEmpty() ? nullptr : findColor(color->copyDefaultFrom());
    const struct {
        bool editable;
        const char* attr;
        double defaultValue;
    } reals[] = {
        {color->isBrightnessEditable(), "brightness", color->defaultBrightness()},
        {color->isContrastEditable(), "contrast", color->defaultContrast()},
        {color->isOpacityEditable(), "opacity", color->defaultOpacity()},
    };
    for (const auto& real : reals) {
        if (!real.editable)
            continue;
        const double value = source == nullptr ? real.defaultValue
                             : real.attr[0] == 'b' ? source->getDoubleAttr("brightness")
                             : real.attr[0] == 'c' ? source->getDoubleAttr("contrast")
                                                   : source->getDoubleAttr("opacity");
        if (CError* error = color->setDoubleAttr(CString(real.attr), value, true))
            return traceError(error, getFullName());
    }
    if (color->isToneEditable()) {
        const CString tone = source != nullptr ? source->getTextAttr("tone") : formatHexColor(color->defaultTone());
        if (CError* error = color->setAttr(CString("tone"), tone, true))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CDynamicPalette::applyPaletteParam() {
    CUIParam* param = paletteParam();
    const CByteBuffer* item = param != nullptr ? param->getDataItem(0, 0) : nullptr;
    if (item == nullptr)
        return nullptr;
    const CByteBuffer bytes(*item);   // the parameter's copy may change while colours react
    return applyPaletteItem(bytes);
}

CError* CDynamicPalette::applyPaletteItem(const CByteBuffer& bytes) {
    if (bytes.size() == 0)
        return nullptr;
    mIsApplying = true;
    for (auto* node = mColors.first(); node != nullptr; node = mColors.next(node)) {
        node->value->setReady(false);
        node->value->setLoadedFromParam(false);
    }
    // A truncated or damaged item (a stored state or preset file) is logged, and every colour is
    // still reset and readied below, so that later edits are stored and announced.
    if (CError* readError = readPaletteItem(bytes)) {
        logError(readError);
        delete readError;
    }
    CError* error = nullptr;
    for (auto* node = mColors.first(); node != nullptr && error == nullptr; node = mColors.next(node)) {
        CDynamicColor* color = node->value;
        if (!color->isLoadedFromParam() && color->isEditable())
            error = resetColor(color);
        if (error == nullptr) {
            color->setReady(true);
            error = traceError(color->update(), getFullName());
        }
    }
    mIsApplying = false;
    if (error != nullptr)
        return error;
    return traceError(fireEvent(CString("dynamic-palette-updated"), false), getFullName());
}

CError* CDynamicPalette::writePaletteItem(CByteBuffer& out) const {
    CWriteSeqBuffer buffer;
    if (CError* error = buffer.write32(kItemVersion))
        return traceError(error, getFullName());
    for (auto* node = mColors.first(); node != nullptr; node = mColors.next(node)) {
        CDynamicColor* color = node->value;
        if (!color->isEditable())
            continue;
        CError* error = buffer.writeString(node->key);
        for (const char* attr : {"brightness", "contrast", "opacity"})
            if (error == nullptr)
                error = buffer.writeDouble(attr[0] == 'b'   ? color->getDoubleAttr("brightness")
                                           : attr[0] == 'c' ? color->getDoubleAttr("contrast")
                                                            : color->getDoubleAttr("opacity"));
        for (const CString* tone : {&color->getTextAttr("tone"), &color->getTextAttr("tone2"), &color->getTextAttr("tone3")})
            if (error == nullptr)
                error = buffer.write32(std::uint32_t(parseHexColor(*tone)));
        if (error != nullptr)
            return traceError(error, getFullName());
    }
    if (CError* error = buffer.writeString(CString()))
        return traceError(error, getFullName());
    buffer.moveTo(out);
    return nullptr;
}

CError* CDynamicPalette::storePaletteParam() {
    CUIParam* param = paletteParam();
    if (param == nullptr)
        return nullptr;
    CByteBuffer bytes;
    if (CError* error = writePaletteItem(bytes))
        return error;
    param->beginEdit(true, -1, nullptr, false);
    param->setDataItem(0, 0, bytes);
    param->endEdit(false);
    return nullptr;
}

// --- the colour list ---

CError* CDynamicPalette::buildColorList() {
    CValueList* list = nullptr;
    if (CError* error = findObjectByAttr(list, CString("color-list"), true))
        return traceError(error, getFullName());
    CStringList items;
    for (int i = 0; i < childCount(); ++i) {
        CObject* object = child(i);
        if (auto* color = dynamic_cast<CDynamicColor*>(object)) {
            if (color->isEditable()) {
                const CString name = color->getShortName();
                items.add(CString("[IMG=is.button#Color:") + name + CString("] ") + color->getTextAttr("title") +
                          CString(";") + name);
            }
        } else if (object->tag() == CString("core:object") && !object->getTextAttr("title").isEmpty()) {
            items.add(CValueList::formatItemEnabled(CString("[IMG=is.button#Color:Invisible] [B]") +
                                                        object->getTextAttr("title") +
                                                        CString("[/B][IMG=is.button#IconCMD:Invisible]"),
                                                    false));
        }
    }
    return traceError(list->setItems(items), getFullName());
}

// --- the cache ---

CError* CDynamicPalette::loadCache() {
    CByteBuffer body;
    CAppData::localScope().read(kCacheName, body, kTagAppData, false);
    mCacheDirty = false;
    if (body.size() == 0)
        return nullptr;
    CMemoryReader in(body.data(), body.size());
    std::uint32_t version = 0;
    if (CError* error = in.read32(version))
        return traceError(error, getFullName());
    if (version != kCacheVersion)
        return nullptr;
    std::uint32_t count = 0;
    if (CError* error = in.read32(count))
        return traceError(error, getFullName());
    for (std::uint32_t i = 0; i < count; ++i) {
        CString name;
        if (CError* error = in.readString(name))
            return traceError(error, getFullName());
        if (CError* error = getColorData(name, 0, false)->read(in))
            return traceError(error, getFullName());
    }
    return nullptr;
}

void CDynamicPalette::saveCache() {
    if (!mCacheDirty)
        return;
    mCacheDirty = false;
    CWriteSeqBuffer out;
    delete out.write32(kCacheVersion);   // the sequence buffer never fails
    delete out.write32(std::uint32_t(mData.count()));
    for (auto* node = mData.first(); node != nullptr; node = mData.next(node)) {
        CError* error = out.writeString(node->key);
        if (error == nullptr && node->value != nullptr)
            error = node->value->write(out);
        if (error != nullptr) {
            logError(traceError(error, getFullName()));
            delete error;
        }
    }
    CByteBuffer body;
    out.moveTo(body);
    CAppData::localScope().write(kCacheName, body, this, kTagAppData);
}

} // namespace tal
