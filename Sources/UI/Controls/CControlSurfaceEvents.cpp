#include "UI/Controls/CControlSurfaceEvents.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "UI/CMinMax.h"

#include <string>

namespace tal {
CControlSurfaceEvents::~CControlSurfaceEvents() { mUpdateTimer.reset(); }

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

CError* CControlSurfaceEvents::onDynamicPaletteUpdated() {
    refreshReadouts();
    return nullptr;
}

} // namespace tal
