#pragma once
#include "Core/CObject.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/Controls/CControlPoint.h"

#include <cstdint>

namespace tal {

class CControlSurfaceBase;
class CObjectScheme;

// "ui:control-surface-layer": one set of editable points of the curve editor (the equaliser bands).
// It registers a layer record with its parent surface, binds the UI parameters named "ui-param-x",
// "ui-param-y", "ui-param-count" ... to that record, builds the initial points from its attributes
// and forwards every parameter notification to the surface. A child of the surface in the object
// tree; its record stays with the surface. Editor thread only.
class CControlSurfaceLayer : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CControlSurfaceLayer() override;

    // --- life cycle ---
    // Registers with the parent surface (an error when the parent is not one).
    [[nodiscard]] CError* init() override;
    // Builds the first points.
    [[nodiscard]] CError* initChilds() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- attribute handlers ---
    [[nodiscard]] virtual CError* attrBasePointNum();
    [[nodiscard]] virtual CError* attrColor();
    [[nodiscard]] virtual CError* attrFreeformDrawingDistanceThreshold();
    [[nodiscard]] virtual CError* attrFreeformDrawingPointCount();
    [[nodiscard]] virtual CError* attrIsBalanced();
    [[nodiscard]] virtual CError* attrIsDragSegments();
    [[nodiscard]] virtual CError* attrIsEditable();
    [[nodiscard]] virtual CError* attrIsFixedX();
    [[nodiscard]] virtual CError* attrIsFixedY();
    [[nodiscard]] virtual CError* attrIsSorted();
    [[nodiscard]] virtual CError* attrIsVertical();
    [[nodiscard]] virtual CError* attrIsHidden();
    [[nodiscard]] virtual CError* attrLinkedLayer();
    [[nodiscard]] virtual CError* attrKind();
    [[nodiscard]] virtual CError* attrMinDistance();
    [[nodiscard]] virtual CError* attrMinMaxX();
    [[nodiscard]] virtual CError* attrMinMaxY();
    [[nodiscard]] virtual CError* attrMinMaxYAlt();

    // --- queries ---
    std::int32_t layerIndex() const noexcept { return mLayerIndex; }
    const CControlPoint& defaultPoint() const noexcept { return mDefaultPoint; }

    // Builds the points from "point-count" and the default point and hands them to the surface.
    [[nodiscard]] CError* buildPoints();

private:
    // Builds the points again once the first build has run (handlers before it only store).
    [[nodiscard]] CError* rebuildPoints();
    // Binds a range attribute's object into the record through bind; the lookup error otherwise.
    [[nodiscard]] CError* findRange(const CString& path, CString& fullName);

    CControlPoint mDefaultPoint;
    CControlSurfaceBase* mSurface = nullptr;  // not owned: the parent, which outlives the layer
    bool mIsBalanced = false;
    bool mIsVertical = false;
    bool mIsBuilt = false;
    std::int32_t mLayerIndex = -1;
    CUIParam* mCountParam = nullptr;  // not owned: a child
};

} // namespace tal
