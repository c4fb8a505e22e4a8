#pragma once
#include "Core/CTarget.h"
#include "UI/CImageDrawList.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CGlobalSettings;
class CMultiChangeDisplay;
class CUIParamController;

// "ui:simple-slider": a thumb moving along a three-piece pit, showing element 0 of its child UI
// parameter "ui-param". Frames of its image set: 0 thumb, 1 thumb while dragged, 2 to 4 the pit's
// start cap, middle and end cap, 5 the thumb's shadow. Horizontal (value 0 at the left) unless
// "is-vertical" (value 0 at the top). Presses on the thumb drag it through the child controller
// "ui-param-controller"; a double click resets; the wheel steps.
// Owned by the object tree. UI thread, except paint, which reads only what prepareDraw prepared.
class CSimpleSlider : public CView, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CSimpleSlider() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* onMouseExit() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    void paint(CSector& sector) override;
    [[nodiscard]] bool prepareDraw() override;
    [[nodiscard]] CError* updateContent() override;

    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) override;
    [[nodiscard]] CError* attrUiStyleShadowHidden();

    // Whether (x, y) in view coordinates lies within the central 80 % of the thumb.
    bool hitTestThumb(double x, double y) const noexcept;

    // --- queries ---
    double value() const noexcept { return mValue; }
    bool isHover() const noexcept { return mIsHover; }
    std::int32_t thumbX() const noexcept { return mThumbX; }
    std::int32_t thumbY() const noexcept { return mThumbY; }
    double travel() const noexcept { return mTravel; }
    const std::int32_t* pitPosition(int piece) const noexcept { return mPitPositions[piece]; }
    std::int32_t pitItem(int piece) const noexcept { return mPitItems[piece]; }
    CUIParamController* controller() const noexcept { return mController; }

private:
    enum { kPitStart = 0, kPitMiddle, kPitEnd };
    enum { kDrawPit0 = 0, kDrawPit1, kDrawPit2, kDrawShadow, kDrawThumb, kDrawThumbDragged, kDrawCount };
    bool isDragActive() const noexcept;

    double mGrabOffsetX = 0.0, mGrabOffsetY = 0.0;
    std::int32_t mThumbX = 0, mThumbY = 0;
    std::int32_t mThumbOriginX = 0, mThumbOriginY = 0;
    double mThumbWidth = 0.0, mThumbHeight = 0.0;
    double mTravel = 0.0;
    std::int32_t mPitPositions[3][2] = {};
    std::int32_t mPitItems[3] = {};
    CImageDrawList mImageDraws[kDrawCount];
    CTarget<CGlobalSettings> mGlobalSettings;
    bool mIsHover = false;
    bool mIsShadowHidden = false;
    bool mIsVertical = false;
    CTarget<CMultiChangeDisplay> mMultiChangeDisplay;
    double mValue = 0.0;
    CUIParamController* mController = nullptr;   // not owned: the child "ui-param-controller"
};

} // namespace tal
