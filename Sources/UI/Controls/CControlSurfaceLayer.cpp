#include "UI/Controls/CControlSurfaceLayer.h"

#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "UI/CMinMax.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/Controls/CControlSurfaceBase.h"
#include "UI/SchemeThunks.h"

#include <cmath>
#include <memory>
#include <vector>

namespace tal {

CObject* CControlSurfaceLayer::create() { return new CControlSurfaceLayer; }

void CControlSurfaceLayer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    using L = CControlSurfaceLayer;
    addAttrOf<L, &L::attrBasePointNum>(scheme, "base-point-num");
    addAttrOf<L, &L::attrColor>(scheme, "color");
    addAttrOf<L, &L::attrFreeformDrawingDistanceThreshold>(scheme, "freeform-drawing-distance-threshold");
    addAttrOf<L, &L::attrFreeformDrawingPointCount>(scheme, "freeform-drawing-point-count");
    addAttrOf<L, &L::attrIsBalanced>(scheme, "is-balanced");
    addAttrOf<L, &L::attrIsDragSegments>(scheme, "is-drag-segments");
    addAttrOf<L, &L::attrIsEditable>(scheme, "is-editable");
    addAttrOf<L, &L::attrIsFixedX>(scheme, "is-fixed-x");
    addAttrOf<L, &L::attrIsFixedY>(scheme, "is-fixed-y");
    addAttrOf<L, &L::attrIsSorted>(scheme, "is-sorted");
    addAttrOf<L, &L::attrIsVertical>(scheme, "is-vertical");
    addAttrOf<L, &L::attrIsHidden>(scheme, "is-hidden");
    addAttrOf<L, &L::attrLinkedLayer>(scheme, "linked-layer");
    addAttrOf<L, &L::attrKind>(scheme, "kind");
    addAttrOf<L, &L::attrMinDistance>(scheme, "min-distance");
    addAttrOf<L, &L::attrMinMaxX>(scheme, "min-max-x");
    addAttrOf<L, &L::attrMinMaxY>(scheme, "min-max-y");
    addAttrOf<L, &L::attrMinMaxYAlt>(scheme, "min-max-y-alt");
}

CControlSurfaceLayer::~CControlSurfaceLayer() = default;

CError* CControlSurfaceLayer::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectChecked(mSurface, CString("^")))
        return traceError(error, getFullName());
    mLayerIndex = mSurface->registerLayer(getShortName());
    mSurface->layer(mLayerIndex)->filterModeValueList = resolvePath(getTextAttr("filter-mode-value-list"));
    return nullptr;
}

CError* CControlSurfaceLayer::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    mIsBuilt = true;
    return traceError(buildPoints(), getFullName());
}

CError* CControlSurfaceLayer::buildPoints() {
    if (mSurface == nullptr)
        return nullptr;
    std::int32_t n = getIntAttr("point-count");
    const bool isCounted = n != 0;
    if (!isCounted)
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->tag() == CString("ui:cs-point"))
                ++n;
    double v = n < 2 ? 0.5 : 0.0;
    const double step = n > 1 ? 1.0 / (n - 1) : 0.0;
    std::vector<std::unique_ptr<CControlPoint>> built;
    if (isCounted) {
        for (std::int32_t i = 0; i < n; ++i, v += step) {
            auto p = std::make_unique<CControlPoint>(mDefaultPoint);
            p->x = mIsVertical && mIsBalanced ? v : 0.0;
            p->y = !mIsVertical && mIsBalanced ? v : 0.0;
            p->rawX = p->x;
            p->rawY = p->y;
            built.push_back(std::move(p));
        }
    } else {
        for (int i = 0; i < childCount(); ++i) {
            CObject* c = child(i);
            if (c->tag() != CString("ui:cs-point"))
                continue;
            auto p = std::make_unique<CControlPoint>(mDefaultPoint);
            const bool hasColor = c->attrs().findValue(CString("color")) != nullptr;
            const std::int32_t colour = hasColor ? c->getIntAttr("color") : 0;
            p->colour = colour == -1 ? mDefaultPoint.colour : colour;
            if (c->attrs().findValue(CString("is-fixed-x")) != nullptr)
                p->isFixedX = c->getBoolAttr("is-fixed-x");
            if (c->attrs().findValue(CString("is-fixed-y")) != nullptr)
                p->isFixedY = c->getBoolAttr("is-fixed-y");
            const CString& kind = c->getTextAttr("kind");
            if (kind == CString("anchor"))
                p->kind = 3;
            else if (kind == CString("point"))
                p->kind = 0;
            p->x = c->attrs().findValue(CString("x")) != nullptr ? c->getDoubleAttr("x")
                                                                  : (mIsVertical && mIsBalanced ? v : 0.0);
            p->y = c->attrs().findValue(CString("y")) != nullptr ? c->getDoubleAttr("y")
                                                                  : (!mIsVertical && mIsBalanced ? v : 0.0);
            p->rawX = p->x;
            p->rawY = p->y;
            built.push_back(std::move(p));
            v += step;
        }
    }
    CLayerRecord* record = mSurface->layer(mLayerIndex);
    record->defaultPoint = mDefaultPoint;
    // The new list first (existing points keep their positions), then the count, which reads the
    // added points from the parameters.
    mSurface->installPoints(mLayerIndex, built);
    return traceError(mSurface->setPointCount(mLayerIndex, static_cast<std::int32_t>(built.size())), getFullName());
}

// --- CUIParamUpdateHandler ---

void CControlSurfaceLayer::onUIParamRegistered(CUIParam* param) {
    CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr;
    if (record == nullptr)
        return;
    const CString name = param->getShortName();
    struct Slot {
        const char* name;
        CUIParam* CLayerRecord::*field;
    };
    static const Slot slots[] = {
        {"ui-param-xy", &CLayerRecord::paramXy},
        {"ui-param-x", &CLayerRecord::paramX},
        {"ui-param-y", &CLayerRecord::paramY},
        {"ui-param-bw", &CLayerRecord::paramBw},
        {"ui-param-dyn", &CLayerRecord::paramDyn},
        {"ui-param-filter-mode", &CLayerRecord::paramFilterMode},
        {"ui-param-prev-filter-mode", &CLayerRecord::paramPrevFilterMode},
        {"ui-param-count", &CLayerRecord::paramCount},
        {"ui-param-sel", &CLayerRecord::paramSel},
        {"ui-param-hover", &CLayerRecord::paramHover},
        {"ui-param-reset", &CLayerRecord::paramReset},
        {"ui-param-freeform-drawing", &CLayerRecord::paramFreeformDrawing},
        {"ui-param-hide-points", &CLayerRecord::paramHidePoints},
    };
    for (const Slot& slot : slots) {
        if (name == CString(slot.name)) {
            record->*slot.field = param;
            if (slot.field == &CLayerRecord::paramCount)
                mCountParam = param;
            return;
        }
    }
}

void CControlSurfaceLayer::onUIParamActivated(CUIParam*) {
    if (mSurface != nullptr)
        mSurface->updateLayerActivity(mLayerIndex);
}

void CControlSurfaceLayer::onUIParamDeactivated(CUIParam*) {
    if (mSurface != nullptr)
        mSurface->setLayerInactive(mLayerIndex);
}

CError* CControlSurfaceLayer::onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) {
    if (mSurface == nullptr)
        return nullptr;
    if (param == mCountParam) {
        CUIParamValue value;
        param->getPlainValue(value, 0, -1);
        if (CError* error = setDoubleAttr(CString("point-count"), value[0], true))
            return traceError(error, getFullName());
        if (CError* error = rebuildPoints())
            return traceError(error, getFullName());
    }
    return traceError(mSurface->onLayerParamChanged(mLayerIndex, param, elementOffset, elementCount), getFullName());
}

// --- attribute handlers ---

namespace {

// Stores value; true when it changed.
template <class T>
bool store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

CError* CControlSurfaceLayer::rebuildPoints() { return mIsBuilt ? buildPoints() : nullptr; }

CError* CControlSurfaceLayer::attrBasePointNum() {
    const CString& text = getTextAttr("base-point-num");
    if (text.isEmpty())
        return nullptr;
    const auto code = static_cast<std::int32_t>(static_cast<unsigned char>(text.narrowed().chars8()[0]));
    return store(mDefaultPoint.labelBase, code) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrColor() {
    return store(mDefaultPoint.colour, getIntAttr("color")) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrFreeformDrawingDistanceThreshold() {
    if (CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr)
        record->freeformDistanceThreshold = getDoubleAttr("freeform-drawing-distance-threshold");
    return nullptr;
}

CError* CControlSurfaceLayer::attrFreeformDrawingPointCount() {
    if (CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr)
        record->freeformPointCount = getIntAttr("freeform-drawing-point-count");
    return nullptr;
}

CError* CControlSurfaceLayer::attrIsBalanced() {
    return store(mIsBalanced, getBoolAttr("is-balanced")) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrIsDragSegments() {
    if (mSurface != nullptr)
        mSurface->setLayerDragSegments(mLayerIndex, getBoolAttr("is-drag-segments"));
    return nullptr;
}

CError* CControlSurfaceLayer::attrIsEditable() {
    if (mSurface != nullptr)
        mSurface->setLayerEditable(mLayerIndex, getBoolAttr("is-editable"));
    return nullptr;
}

CError* CControlSurfaceLayer::attrIsFixedX() {
    return store(mDefaultPoint.isFixedX, getBoolAttr("is-fixed-x")) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrIsFixedY() {
    return store(mDefaultPoint.isFixedY, getBoolAttr("is-fixed-y")) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrIsSorted() {
    if (mSurface != nullptr)
        mSurface->setLayerSorted(mLayerIndex, getBoolAttr("is-sorted"));
    return nullptr;
}

CError* CControlSurfaceLayer::attrIsVertical() {
    mIsVertical = getBoolAttr("is-vertical");
    if (mSurface != nullptr)
        mSurface->setLayerVertical(mLayerIndex, mIsVertical);
    return nullptr;
}

CError* CControlSurfaceLayer::attrIsHidden() {
    if (mSurface != nullptr)
        mSurface->setLayerVisible(mLayerIndex, !getBoolAttr("is-hidden"));
    return nullptr;
}

CError* CControlSurfaceLayer::attrLinkedLayer() {
    if (CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr)
        record->linkedLayerName = getTextAttr("linked-layer");
    return nullptr;
}

CError* CControlSurfaceLayer::attrKind() {
    const CString& kind = getTextAttr("kind");
    std::int32_t value = mDefaultPoint.kind;
    if (kind == CString("anchor"))
        value = 3;
    else if (kind == CString("point"))
        value = 0;
    return store(mDefaultPoint.kind, value) ? rebuildPoints() : nullptr;
}

CError* CControlSurfaceLayer::attrMinDistance() {
    if (CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr)
        record->minDistance = getDoubleAttr("min-distance");
    return nullptr;
}

CError* CControlSurfaceLayer::findRange(const CString& path, CString& fullName) {
    CMinMax* range = nullptr;
    if (CError* error = findObjectChecked(range, path))
        return traceError(error, getFullName());
    fullName = range->getFullName();
    return nullptr;
}

CError* CControlSurfaceLayer::attrMinMaxX() {
    CString fullName;
    if (mSurface == nullptr)
        return nullptr;
    if (CError* error = findRange(getTextAttr("min-max-x"), fullName))
        return error;
    mSurface->setLayerMinMaxX(mLayerIndex, fullName);
    return nullptr;
}

CError* CControlSurfaceLayer::attrMinMaxY() {
    CString fullName;
    if (mSurface == nullptr)
        return nullptr;
    if (CError* error = findRange(getTextAttr("min-max-y"), fullName))
        return error;
    mSurface->setLayerMinMaxY(mLayerIndex, fullName);
    return nullptr;
}

CError* CControlSurfaceLayer::attrMinMaxYAlt() {
    CString fullName;
    CLayerRecord* record = mSurface != nullptr ? mSurface->layer(mLayerIndex) : nullptr;
    if (record == nullptr)
        return nullptr;
    if (CError* error = findRange(getTextAttr("min-max-y-alt"), fullName))
        return error;
    record->minMaxYAlt.init(mSurface, fullName, CString(), mSurface, CString());
    return nullptr;
}

} // namespace tal
