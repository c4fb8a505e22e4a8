#include "UI/CStyle.h"

#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CWindowSharedData.h"

namespace tal {

namespace {

using StyleAttrOp = CError* (CStyle::*)(CAttrValue&);

template <StyleAttrOp Op>
CError* styleAttrThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = (static_cast<CStyle*>(object)->*Op)(value != nullptr ? *value : none)) return traceError(err);
    return nullptr;
}

CError* paletteUpdatedThunk(CObject* object) {
    if (CError* err = static_cast<CStyle*>(object)->onPaletteUpdated()) return traceError(err);
    return nullptr;
}

// The enabled flag of a switch colour; fallback when it does not resolve.
bool switchOf(CTarget<CDynamicColor>& target, bool fallback) {
    CDynamicColor* color = target.resolve();
    return color != nullptr ? color->isEnabled() : fallback;
}

} // namespace

CObject* CStyle::create() { return new CStyle; }

void CStyle::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("ui-flat-panels")) = &styleAttrThunk<&CStyle::attrUiFlatPanels>;
    scheme->addAttrHandler(CString("ui-shadows")) = &styleAttrThunk<&CStyle::attrUiShadows>;
    scheme->addAttrHandler(CString("ui-spotlight")) = &styleAttrThunk<&CStyle::attrUiSpotlight>;
    scheme->addAttrHandler(CString("ui-textures")) = &styleAttrThunk<&CStyle::attrUiTextures>;
    CEventHandler& h = scheme->addEventHandler(CString("palette-updated"));
    h.plain = &paletteUpdatedThunk;
    h.withArgs = nullptr;
    h.hasArgs = false;
}

CStyle::~CStyle() = default;

CError* CStyle::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    const CString none;
    mPalette.init(this, CString("ui.palette"), none, nullptr, none);
    mPalette.isRequired = true;
    mPalette.listenEvent(CString("dynamic-palette-updated"), CString("palette-updated"));
    mFlatPanels.init(this, CString("ui.palette.FlatPanels"), none, nullptr, none);
    mLargerPanelBorder.init(this, CString("ui.palette.LargerPanelBorder"), none, nullptr, none);
    mMeterInnerBorder.init(this, CString("ui.palette.MeterInnerBorder"), none, nullptr, none);
    mWindowSharedData.init(this, CString("ui.window-shared-data"), none, nullptr, none);
    mWindowSharedData.isRequired = true;
    return nullptr;
}

CError* CStyle::attrUiFlatPanels(CAttrValue&) {
    if (CError* err = applyStyle()) return traceError(err, getFullName());
    return nullptr;
}

CError* CStyle::attrUiShadows(CAttrValue&) {
    if (CError* err = applyStyle()) return traceError(err, getFullName());
    return nullptr;
}

CError* CStyle::attrUiSpotlight(CAttrValue&) {
    if (CError* err = applyStyle()) return traceError(err, getFullName());
    return nullptr;
}

CError* CStyle::attrUiTextures(CAttrValue&) {
    if (CError* err = applyStyle()) return traceError(err, getFullName());
    return nullptr;
}

CError* CStyle::onPaletteUpdated() {
    if (CError* err = applyStyle()) return traceError(err, getFullName());
    return nullptr;
}

CError* CStyle::applyStyle() {
    const bool flat = switchOf(mFlatPanels, true);
    const bool larger = switchOf(mLargerPanelBorder, false);
    const bool meter = switchOf(mMeterInnerBorder, false);
    const bool shadows = getBoolAttr("ui-shadows");
    const bool spotlight = getBoolAttr("ui-spotlight");
    const bool textures = getBoolAttr("ui-textures");

    const struct {
        const char* name;
        const char* text;
    } texts[] = {
        {"title-frame-spread", larger ? "0.25" : "1"},
        {"title-frame-caption-border", larger ? "B4" : "B5.5"},
        {"title-frame-spread-overlays", larger ? "-1.75" : "-1"},
        {"meter-inner-border", meter ? "1" : "0"},
        {"meter-inner-border-spread", meter ? "3" : "2"},
        {"meter-inner-border-spread2", meter ? "5" : "4"},
    };
    for (const auto& t : texts) {
        if (CError* err = setAttr(CString(t.name), CString(t.text), true)) return traceError(err, getFullName());
    }
    if (CError* err = setIntAttr(CString("is-global-light-hidden"), spotlight ? 0 : 1, true))
        return traceError(err, getFullName());
    if (CError* err = setIntAttr(CString("is-shadow-hidden"), shadows ? 0 : 1, true)) return traceError(err, getFullName());
    const struct {
        const char* name;
        double value;
    } reals[] = {
        {"overlay-gradient-opacity", flat ? 0.0 : (spotlight ? 0.66 : 1.0)},
        {"scroller-shadow-opacity", shadows ? 0.33 : 0.0},
        {"overlay-texture-opacity", textures ? (flat ? 0.75 : 1.0) : (flat ? 0.0 : 0.33)},
        {"overlay-texture-opacity-bg", textures ? 1.0 : 0.0},
    };
    for (const auto& r : reals) {
        if (CError* err = setDoubleAttr(CString(r.name), r.value, true)) return traceError(err, getFullName());
    }
    const char* panel = textures ? "Panel" : (flat ? "Panel" : "RealisticPanel");
    if (CError* err = setAttr(CString("panel-color"), CString(panel), true)) return traceError(err, getFullName());
    const char* gradient = textures ? "PanelGradient" : "RealisticPanelGradient";
    if (CError* err = setAttr(CString("panel-gradient-color"), CString(gradient), true)) return traceError(err, getFullName());

    if (CWindowSharedData* shared = mWindowSharedData.get()) {
        const CStringList& windows = shared->windowList();
        for (int i = 0; i < windows.count(); ++i) {
            CObject* window = findObject(windows[i]);
            if (auto* view = window != nullptr ? dynamic_cast<CView*>(window->parent()) : nullptr) view->invalidate();
        }
    }
    return nullptr;
}

} // namespace tal
