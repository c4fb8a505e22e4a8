#include "UI/Controls/CControlSurfaceEvents.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CMinMax.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CValueList.h"

#include <string>

namespace tal {
CControlSurfaceEvents::~CControlSurfaceEvents() {
    mUpdateTimer.reset();
    mInterfaceClient.reset();
}

CError* CControlSurfaceEvents::fireColorizedChanged() {
    if (lifeStage() < 3)
        return nullptr;
    return traceError(fireEvent(CString("colorized-bands-enable-changed"), nullptr, false), getFullName());
}

CError* CControlSurfaceEvents::attrColorizedBandsEnable() {
    // Simple xy curves have no bands to colour.
    const bool value = !mIsSimpleXyParamMode && getBoolAttr("colorized-bands-enable");
    if (!store(mIsColorizedBandsEnabled, value))
        return nullptr;
    if (CError* error = fireColorizedChanged())
        return traceError(error, getFullName());
    invalidate();
    return nullptr;
}

CError* CControlSurfaceEvents::attrIsBandHidingEnabled() {
    if (store(mIsBandHidingEnabled, getBoolAttr("is-band-hiding-enabled")))
        invalidate();
    return nullptr;
}

CError* CControlSurfaceEvents::attrIsCrosshairShown() {
    if (store(mIsCrosshairShown, getBoolAttr("is-crosshair-shown")))
        invalidate();
    return nullptr;
}

CError* CControlSurfaceEvents::attrIsGluedMode() {
    if (!store(mIsGluedMode, getBoolAttr("is-glued-mode")))
        return nullptr;
    if (!mIsGluedMode)
        mIsGluedStateValid = false;
    mIsPointLayoutDirty = true;
    markLayoutChanged();
    return nullptr;
}

CError* CControlSurfaceEvents::attrIsSliderMode() {
    if (store(mIsSliderMode, getBoolAttr("is-slider-mode"))) {
        mIsPointLayoutDirty = true;
        markLayoutChanged();
    }
    return nullptr;
}

CError* CControlSurfaceEvents::attrUiStyleShadowHidden() {
    mIsShadowHidden = getBoolAttr("ui-style-shadow-hidden");
    invalidate();
    return nullptr;
}

CError* CControlSurfaceEvents::attrUpdateFps() {
    const std::int32_t fps = getIntAttr("update-fps");
    CObject* timer = mUpdateTimer.owner != nullptr ? mUpdateTimer.resolve() : nullptr;
    if (fps <= 0) {
        if (timer != nullptr) {
            mUpdateTimer.reset();
            timer->release();
        }
        return nullptr;
    }
    if (timer != nullptr)
        return traceError(timer->setIntAttr(CString("fps"), fps, true), getFullName());
    CAttrMap attrs;
    attrs.findOrAdd("fps")->value.setInt(fps);
    CObject* child = nullptr;
    if (CError* error = createChild(child, getTextAttr("timer-tag"), CString("update-timer"), false, &attrs, nullptr))
        return traceError(error, getFullName());
    mUpdateTimer.init(this, child->getFullName(), CString(), this, CString());
    mUpdateTimer.isRequired = true;
    return nullptr;
}

CError* CControlSurfaceEvents::onMinMaxUpdate(CAttrMap& args) {
    CAttrValue* sender = args.findValue(CString("sender"));
    const CString name = sender != nullptr ? sender->asText() : CString();
    CMinMax* range = dynamic_cast<CMinMax*>(findObject(name));
    if (range == nullptr) {
        std::string line = "Unable to find min/max object: " + std::string(name.narrowed().chars8());
        if (!getFullName().isEmpty())
            line += " // " + std::string(getFullName().narrowed().chars8());
        writeLog(line.c_str(), true);
        return nullptr;
    }
    for (std::int32_t i = 0; i < layerCount(); ++i) {
        CLayerRecord& record = *layer(i);
        const bool isX = record.minMaxX.owner != nullptr && record.minMaxX.resolve() == range;
        const bool isY = record.minMaxY.owner != nullptr && record.minMaxY.resolve() == range;
        CUIParam* params[3] = {(isX || isY) ? record.paramXy : nullptr, isX ? record.paramX : nullptr,
                               isY ? record.paramY : nullptr};
        for (CUIParam* param : params)
            if (param != nullptr)
                if (CError* error = onLayerParamChanged(i, param, 0, 0))
                    return traceError(error, getFullName());
    }
    return nullptr;
}

// --- commands ---

CError* CControlSurfaceEvents::onPopupResult(CAttrMap& args) {
    if (CError* error = CControlSurfaceBase::onPopupResult(args))
        return traceError(error, getFullName());
    if (mSelection == nullptr)
        return nullptr;
    CAttrValue* indexValue = args.findValue(CString("index"));
    const std::int32_t index = indexValue != nullptr ? indexValue->asInt() : -1;
    const std::vector<CControlPointRef> selected = mSelection->selected;
    for (const CControlPointRef& ref : selected) {
        CLayerRecord* record = layer(ref.layer);
        if (getPoint(ref) == nullptr || record == nullptr)
            continue;
        auto* list = dynamic_cast<CValueList*>(findObject(record->filterModeValueList));
        if (list == nullptr)
            continue;
        const std::int32_t d = index - list->fixedItemCount();
        if ((!mIsSimpleXyParamMode && d == -2) || (mIsSimpleXyParamMode && d == -1))
            return traceError(removePoint(ref, false, -1, true, nullptr), getFullName());
        if (d >= 0 && record->paramFilterMode != nullptr) {
            mUndoCollector.addParam(record->paramFilterMode);
            CUIParamValue value;
            value[0] = d;
            record->paramFilterMode->setPlainValue(ref.point, -1, value);
            mUndoCollector.commit(CString());
        }
    }
    return nullptr;
}

CError* CControlSurfaceEvents::onReset(CAttrMap& args) {
    auto* client = dynamic_cast<CParamInterfaceClient*>(mInterfaceClient.owner != nullptr ? mInterfaceClient.resolve()
                                                                                           : nullptr);
    if (client == nullptr)
        return nullptr;
    CAttrValue* title = args.findValue(CString("title"));
    CAttrValue* group = args.findValue(CString("group"));
    CString name("Control surface reset");
    if (title != nullptr && !title->asText().isEmpty()) {
        auto* audio = dynamic_cast<CAudioInterfaceClient*>(client);
        const CString groupName = audio != nullptr ? audio->getGroupName(group != nullptr ? group->asInt() : 0)
                                                   : CString();
        name = title->asText() + CString(" (") + groupName + CString(") reset");
    }
    const std::int32_t id = client->createUndoData(name, false, -1);
    for (const auto& record : mLayers)
        if (!record->isInactive && record->isEditable)
            resetLayerPoint(*record, -1, id);
    client->submitUndoData(id, CString());
    return nullptr;
}

CError* CControlSurfaceEvents::onSelNext() {
    if (!mIsSimpleXyParamMode && mSelection != nullptr)
        mSelection->selectNeighbour(1);
    return nullptr;
}

CError* CControlSurfaceEvents::onSelPrev() {
    if (!mIsSimpleXyParamMode && mSelection != nullptr)
        mSelection->selectNeighbour(-1);
    return nullptr;
}

CError* CControlSurfaceEvents::onUnholdTimer() { return traceError(releaseHeldNotifications(), getFullName()); }

CError* CControlSurfaceEvents::onUpdateTimer() { return traceError(flushPointChanges(), getFullName()); }

CError* CControlSurfaceEvents::onDynamicPaletteUpdated() {
    refreshReadouts();
    return nullptr;
}

} // namespace tal
