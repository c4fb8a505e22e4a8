#pragma once
#include "Other/CBandColor.h"
#include "UI/Controls/CControlSurfaceEvents.h"
#include "UI/Controls/CDrawOp.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CColorSwatch;

// The drawing layer of the curve editor. After every layout change it computes the plot rectangle
// and the screen geometry of every point, segment and slider (the records the hit tests and the
// selection work on); once per frame, on the UI thread, it turns the surface's state into a display
// list of image frames, fills and brush lines (prepareDraw); the render workers replay that list
// into their sectors (paint) without computing or changing anything.
// Owned by the object tree as part of the surface. UI thread, except paint.
class CControlSurfaceVisual : public CControlSurfaceEvents {
public:
    // One slider of slider mode: its bar, handle and the point it stands for.
    struct CSlider {
        std::int32_t frameBase = 0;
        std::int32_t endA[2] = {0, 0};
        std::int32_t endB[2] = {0, 0};
        std::int32_t drawItem = -1;
        std::int32_t handle[2] = {0, 0};
        double bar[4] = {0.0, 0.0, 0.0, 0.0};
        CControlPointRef ref;
    };

    CControlSurfaceVisual() = default;
    ~CControlSurfaceVisual() override;

    // --- layout ---
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    // The plot rectangle from the area (slider mode keeps half a handle free on the sliding axis);
    // the rulers follow a change.
    void updatePlotRect();
    // Rebuilds the point display, segment and slider records. Error "Unable to locate color swatch"
    // when neither the layer nor the surface has a colour swatch.
    [[nodiscard]] CError* updatePointDisplay() override;

    // --- drawing ---
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- queries ---
    const CAreaRect& plotRect() const noexcept { return mPlotRect; }
    const std::vector<CPointDisplay>& pointDisplay() const noexcept { return mPointDisplay; }
    const std::vector<CSegmentDisplay>& segments() const noexcept { return mSegments; }
    const std::vector<std::unique_ptr<CDrawOp>>& displayList() const noexcept { return mDisplayList; }
    const std::vector<CSlider>& sliders() const noexcept { return mSliders; }
    CBandColorArray& bandColors() noexcept { return mBandColors; }
    // Whether the record is drawn highlighted: selected (or inside a running rubber band), or current.
    bool isHighlighted(const CPointDisplay& record);

protected:
    // Colour-table indices of the curve editor's colours.
    enum ColourSlot : std::int32_t {
        kSelectBg = 0, kSelectLine = 1, kSegment = 2, kSegmentUnderlay = 3, kCrosshair = 4, kCurrentLine = 5,
        kPointModifier = 6,
    };
    // The frame size of the view's image set at the window scale; 0 x 0 without such a frame.
    void frameSize(std::int32_t frame, double& width, double& height);
    // The swatch of layer record (its own, else the surface's); null when neither resolves.
    CColorSwatch* swatchOf(CLayerRecord& record);
    double windowScale() const noexcept;
    // Sets the colour table's main colour name (the prefix that tints image frames) when it differs.
    void setMainColour(const CString& name);

    CTarget<CColorSwatch> mColorSwatch;
    std::int32_t mAreaDrawItem = -1;
    std::int32_t mCrosshairDrawItemH = -1;
    std::int32_t mCrosshairDrawItemV = -1;
    // The top-left and bottom-right image positions of the area rectangle's edges (frames 50, 60).
    std::int32_t mAreaEdgeTopLeft[2] = {0, 0};
    std::int32_t mAreaEdgeBottomRight[2] = {0, 0};
    double mBrushSizeHorizonSegment = 0.0;
    double mBrushSizeHoveredSegment = 0.0;
    double mBrushSizeSegment = 0.0;

private:
    // Appends an image operation of frame at the centre (x, y) in window pixels (topLeft: at that
    // corner) on drawItem.
    void addImage(std::int32_t frame, std::int32_t x, std::int32_t y, std::int32_t drawItem, bool tileX, bool tileY,
                  const CColor* bandColour, double opacity, bool topLeft);
    void addFill(std::int32_t drawItem, std::int32_t colourSlot);
    void addLine(const double a[2], const double b[2], const CColor* colour, double brushDiameter);

    CBandColorArray mBandColors;
    CBandColor mSnapColour;
    std::vector<std::unique_ptr<CDrawOp>> mDisplayList;
    std::vector<CSlider> mSliders;
    std::vector<std::int32_t> mCurrentLineDrawItems;   // anchor lines, one per point position
    std::vector<std::int32_t> mSliderDrawItems;        // slider clips, one per slider position
    bool mWasLastLayerVertical = false;
};

} // namespace tal
