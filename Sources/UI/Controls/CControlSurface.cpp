#include "UI/Controls/CControlSurface.h"

#include "Core/CError.h"
#include "Other/CColorSwatch.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "UI/CViewColorTable.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CControlSurface::create() { return new CControlSurface; }

void CControlSurface::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    using S = CControlSurfaceEvents;
    addAttrOf<S, &S::attrColorizedBandsEnable>(scheme, "colorized-bands-enable");
    addAttrOf<S, &S::attrIsBandHidingEnabled>(scheme, "is-band-hiding-enabled");
    addAttrOf<S, &S::attrIsCrosshairShown>(scheme, "is-crosshair-shown");
    addAttrOf<S, &S::attrIsGluedMode>(scheme, "is-glued-mode");
    addAttrOf<S, &S::attrIsSliderMode>(scheme, "is-slider-mode");
    addAttrOf<S, &S::attrUiStyleShadowHidden>(scheme, "ui-style-shadow-hidden");
    addAttrOf<S, &S::attrUpdateFps>(scheme, "update-fps");
    addArgsEventOf<S, &S::onMinMaxUpdate>(scheme, "min-max-update");
    addArgsEventOf<S, &S::onReset>(scheme, "reset");
    addPlainEventOf<S, &S::onSelNext>(scheme, "sel-next");
    addPlainEventOf<S, &S::onSelPrev>(scheme, "sel-prev");
    addPlainEventOf<S, &S::onUnholdTimer>(scheme, "unhold-timer");
    addPlainEventOf<S, &S::onUpdateTimer>(scheme, "update-timer");
}

CControlSurface::~CControlSurface() {
    mPalette.reset();
}

CError* CControlSurface::init() {
    if (CError* error = CControlSurfaceVisual::init())
        return traceError(error, getFullName());
    if (CError* error = activateSelection())
        return traceError(error, getFullName());
    mGraph.init(this, CString(), CString(), this, CString("graph"));
    mInterfaceClient.init(this, CString(), CString(), this, CString("interface-client"));
    mColorSwatch.init(this, CString(), CString(), this, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    mPalette.init(this, CString("ui.palette"), CString(), this, CString());
    mPalette.listenEvent(CString("dynamic-palette-updated"), CString("dynamic-palette-updated"));
    // Without an interface client the gestures' undo steps go nowhere.
    if (auto* client = dynamic_cast<CParamInterfaceClient*>(mInterfaceClient.resolve()))
        mUndoCollector.attach(client);
    mBrushSizeHorizonSegment = getDoubleAttr("brush-size-horizon-segment");
    mBrushSizeHoveredSegment = getDoubleAttr("brush-size-hovered-segment");
    mBrushSizeSegment = getDoubleAttr("brush-size-segment");
    mIsDblclickAddPoint = getBoolAttr("is-dblclick-add-point");
    mIsDrawSegments = getBoolAttr("is-draw-segments");
    mIsFreehandModeAllowed = getBoolAttr("is-freehand-mode-allowed");
    mIsScaleMultiplePoints = getBoolAttr("is-scale-multiple-points");
    mIsSelectionAreaEnabled = getBoolAttr("is-selection-area-enabled");
    mIsSimpleXyIgnoreMinmax = getBoolAttr("is-simple-xy-ignore-minmax");
    mIsSimpleXyParamMode = getBoolAttr("is-simple-xy-param-mode");
    mIsSnapAddBand = getBoolAttr("is-snap-add-band");
    mIsSnapAddBandToCurrent = getBoolAttr("is-snap-add-band-to-current");
    mIsSweepingEnabled = getBoolAttr("is-sweeping-enabled");
    mIsZoomingEnabled = getBoolAttr("is-zooming-enabled");
    mMaxDistToSegment = getDoubleAttr("max-dist-to-segment");
    mMaxPointNumberShown = getIntAttr("max-point-number-shown");
    mMinDistToSegmentVertex = getDoubleAttr("min-dist-to-segment-vertex");
    if (mIsSimpleXyParamMode)
        mIsFreehandModeAllowed = true;
    mAreReadoutsDirty = true;
    // The readout views bind to these; they start in a defined state whatever the description says.
    if (CError* error = setAttr(CString("curpos-active-color"), CString("Default"), true))
        return traceError(error, getFullName());
    if (CError* error = setAttr(CString("curpos-alignment"), CString("bottom"), true))
        return traceError(error, getFullName());
    const std::pair<const char*, std::int32_t> readouts[] = {
        {"curpos-band-sel", -1},    {"curpos-hide-labels", 1},   {"curpos-hide-spectrum", 1},
        {"curpos-hide-values", 1},  {"curpos-hide-td-values", 1},
    };
    for (const auto& [name, value] : readouts)
        if (CError* error = setIntAttr(CString(name), value, false))
            return traceError(error, getFullName());
    mPlotRect.width = mPlotRect.height = 0.001;
    mAreaDrawItem = addDrawItem();
    mCrosshairDrawItemH = addDrawItem();
    mCrosshairDrawItemV = addDrawItem();
    mIsCrosshairShown = false;
    mIsShowHairlines = getBoolAttr("is-show-hairlines");
    const CString colours[] = {CString("/CSSelectBG"),        CString("/CSSelectLine"),
                               CString("/CSSegment"),         getTextAttr("segment-underlay-color"),
                               CString("/CrosshairLine"),     CString("/GraphCurrentLines"),
                               getTextAttr("colorized-bands-color-modifier")};
    for (int i = 0; i < 7; ++i)
        colorTable()->setColorName(i, colours[i]);
    mAddBandAutoTypes.clear();
    parseAddBandAutoTypes(getTextAttr("add-band-auto-types"), mAddBandAutoTypes);
    return nullptr;
}

CError* CControlSurface::initChilds() {
    if (CError* error = CControlSurfaceVisual::initChilds())
        return traceError(error, getFullName());
    if (CError* error = mSweep.init(this))
        return traceError(error, getFullName());
    refreshReadouts();
    if (CError* error = fireEvent(CString("control-surface-ready"), nullptr, false))
        return traceError(error, getFullName());
    return traceError(fireEvent(CString("colorized-bands-enable-changed"), nullptr, false), getFullName());
}

} // namespace tal
