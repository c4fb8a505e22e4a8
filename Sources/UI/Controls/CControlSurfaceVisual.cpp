#include "UI/Controls/CControlSurfaceVisual.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Other/CBrush.h"
#include "Other/CColor.h"
#include "Other/CColorSwatch.h"
#include "UI/CParamBridge.h"
#include "UI/CSector.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamValue.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"

#include <algorithm>
#include <cmath>

namespace tal {
namespace {

constexpr double kEpsilon = 2.2204461e-16;

bool isSame(double a, double b) noexcept { return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * kEpsilon; }

// The integer nearest to v, halves away from zero.
std::int32_t nearest(double v) noexcept {
    return static_cast<std::int32_t>(v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5));
}

double snap128(double v) noexcept { return nearest(v * 128.0) / 128.0; }

} // namespace

CControlSurfaceVisual::~CControlSurfaceVisual() { mColorSwatch.reset(); }

double CControlSurfaceVisual::windowScale() const noexcept {
    return area() != nullptr ? area()->windowScale() : 1.0;
}

void CControlSurfaceVisual::frameSize(std::int32_t frame, double& width, double& height) {
    std::int32_t w = 0;
    std::int32_t h = 0;
    getImageSetFrameSize(*this, frame, true, true, w, h);
    width = w;
    height = h;
}

CColorSwatch* CControlSurfaceVisual::swatchOf(CLayerRecord& record) {
    if (record.colorSwatch.owner != nullptr)
        if (CColorSwatch* own = record.colorSwatch.resolve())
            return own;
    return mColorSwatch.owner != nullptr ? mColorSwatch.resolve() : nullptr;
}

void CControlSurfaceVisual::setMainColour(const CString& name) {
    CViewColorTable* table = colorTable();
    if (table != nullptr && !(table->prefix() == name))
        table->setPrefix(name);
}

// --- layout ---

CError* CControlSurfaceVisual::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CControlSurfaceEvents::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    updatePlotRect();
    if (CError* error = updatePointDisplay())
        return traceError(error, getFullName());
    return nullptr;
}

void CControlSurfaceVisual::updatePlotRect() {
    const CAreaRect total = surfaceRect();
    double padX = 0.0;
    double padY = 0.0;
    bool needX = false;
    bool needY = false;
    if (mIsSliderMode) {
        for (const auto& record : mLayers) {
            if (record->pointCount >= 2) {
                if (record->isVertical)
                    needX = true;
                else
                    needY = true;
            }
            for (std::int32_t i = 0; i < record->pointCount; ++i) {
                double w = 0.0;
                double h = 0.0;
                frameSize(record->isVertical ? 100 : 200, w, h);
                if (record->isVertical && h / 2.0 > padY)
                    needY = true;
                if (!record->isVertical && w / 2.0 > padX)
                    needX = true;
                padX = std::max(padX, w / 2.0);
                padY = std::max(padY, h / 2.0);
            }
        }
    }
    if (!needX)
        padX = 0.0;
    if (!needY)
        padY = 0.0;
    CAreaRect plot{padX, padY, std::max(total.width - 2.0 * padX, 0.001), std::max(total.height - 2.0 * padY, 0.001)};
    if (isSame(plot.x, mPlotRect.x) && isSame(plot.y, mPlotRect.y) && isSame(plot.width, mPlotRect.width) &&
        isSame(plot.height, mPlotRect.height))
        return;
    mPlotRect = plot;
}

CError* CControlSurfaceVisual::updatePointDisplay() {
    const CAreaRect total = surfaceRect();
    const double originX = total.x + mPlotRect.x;
    const double originY = total.y + mPlotRect.y;
    const std::size_t previousSliders = mSliders.size();
    mSliders.clear();
    mPointDisplay.clear();
    mSegments.clear();
    const double scale = windowScale();
    for (std::int32_t index = layerCount() - 1; index >= 0; --index) {
        CLayerRecord& record = *mLayers[static_cast<std::size_t>(index)];
        CColorSwatch* swatch = swatchOf(record);
        if (swatch == nullptr)
            return makeError(nullptr, CString(__FILE__), __LINE__, getFullName(),
                             CString("@talstr_CControlSurfaceVisual_NoSwatch Unable to locate color swatch"));
        if (!record.isVisible || record.order.empty())
            continue;
        for (std::size_t k = 0; k < record.order.size(); ++k) {
            const std::int32_t p = record.order[k];
            const std::int32_t next = k + 1 < record.order.size() ? record.order[k + 1] : -1;
            const CControlPoint& point = *record.pointRecord(p);
            const std::int32_t frame = mIsSliderMode ? (record.isVertical ? 100 : 200) : point.kind * 10;
            double w = 0.0;
            double h = 0.0;
            frameSize(frame, w, h);
            if (!mIsSliderMode) {
                w *= 0.85;
                h *= 0.85;
            } else if (record.isVertical) {
                w *= 0.65;
            } else {
                h *= 0.65;
            }
            if (point.kind == 3) {
                w *= 0.7;
                h *= 0.7;
            }
            CPointDisplay display;
            double xv = point.x;
            double yv = mIsGluedStateValid ? point.gluedY : point.y;
            const double v = mIsGluedStateValid ? point.gluedY : point.rawY;
            display.isInRange = -1e-5 < point.rawX && point.rawX < 1.00001 && -1e-5 < v && v < 1.00001;
            if (mIsSimpleXyParamMode && (k == 0 || k + 1 == record.order.size())) {
                display.isEmphasised = true;
                w *= 1.3;
                h *= 1.3;
            }
            xv = std::clamp(xv, 0.0, 1.0);
            yv = std::clamp(yv, 0.0, 1.0);
            const double x = xv * (mPlotRect.width - 1.0) + mPlotRect.x;
            double y = (1.0 - yv) * mPlotRect.height + mPlotRect.y;
            if (point.kind == 3) {
                display.isAnchor = true;
                if (point.isFixedY)
                    y = mPlotRect.y + mPlotRect.height - 15.0 * scale;
            }
            display.x = x;
            display.y = y;
            display.colourName = swatch->colorName(point.colour);
            if (record.paramFilterMode != nullptr) {
                CUIParamValue type;
                record.paramFilterMode->getPlainValue(type, p, -1);
                if (type[0] == 0.0) {
                    display.colourName = swatch->colorName(0);
                    display.isBandOff = true;
                }
            }
            const double xr = snap128(x);
            const double yr = snap128(y);
            display.screenX = nearest(total.x + xr);
            display.screenY = nearest(total.y + yr);
            if (mIsSliderMode && record.isEditable) {
                // The tables grow with the points: no fixed room to overrun.
                CSlider slider;
                slider.ref = {index, p};
                slider.handle[0] = display.screenX;
                slider.handle[1] = display.screenY;
                double wa = 0.0, ha = 0.0, wb = 0.0, hb = 0.0;
                frameSize(frame + 4, wa, ha);
                frameSize(frame + 2, wb, hb);
                double clip[4];
                if (record.isVertical) {
                    slider.bar[0] = xr - wb / 2.0;
                    slider.bar[1] = mPlotRect.y;
                    slider.bar[2] = 2.0 * nearest(wb / 2.0);
                    slider.bar[3] = mPlotRect.height;
                    slider.endA[0] = display.screenX;
                    slider.endA[1] = nearest(total.y + mPlotRect.y + mPlotRect.height);
                    slider.endB[0] = display.screenX;
                    slider.endB[1] = nearest(total.y + mPlotRect.y);
                    clip[0] = 0.0;
                    clip[1] = mPlotRect.y + hb / 2.0;
                    clip[2] = total.width;
                    clip[3] = mPlotRect.height - (hb + ha) / 2.0;
                } else {
                    slider.bar[0] = mPlotRect.x;
                    slider.bar[1] = yr - hb / 2.0;
                    slider.bar[2] = mPlotRect.width;
                    slider.bar[3] = 2.0 * nearest(hb / 2.0);
                    slider.endA[0] = nearest(total.x + mPlotRect.x + mPlotRect.width);
                    slider.endA[1] = display.screenY;
                    slider.endB[0] = nearest(total.x + mPlotRect.x);
                    slider.endB[1] = display.screenY;
                    clip[0] = mPlotRect.x + wb / 2.0;
                    clip[1] = 0.0;
                    clip[2] = mPlotRect.width - (wb + wa) / 2.0;
                    clip[3] = total.height;
                }
                slider.frameBase = frame;
                // One draw item per slider position, made on first use and kept.
                while (mSliderDrawItems.size() <= mSliders.size())
                    mSliderDrawItems.push_back(addDrawItem());
                slider.drawItem = mSliderDrawItems[mSliders.size()];
                setDrawItemRect(*this, slider.drawItem, clip[0], clip[1], clip[2], clip[3]);
                mSliders.push_back(slider);
                mWasLastLayerVertical = record.isVertical;
            }
            display.frameBase = frame;
            display.layer = index;
            display.point = p;
            display.hitLeft = xr - w / 2.0;
            display.hitTop = yr - h / 2.0;
            display.hitWidth = w;
            display.hitHeight = h;
            mPointDisplay.push_back(display);
            if (record.isDragSegments && next >= 0 && next < record.pointCount) {
                const CControlPoint& to = *record.pointRecord(next);
                CSegmentDisplay segment;
                segment.start = {index, p};
                segment.end = {index, next};
                segment.startX = point.x * (mPlotRect.width - 1.0) + originX;
                segment.startY = (1.0 - point.y) * mPlotRect.height + originY;
                segment.endX = to.x * (mPlotRect.width - 1.0) + originX;
                segment.endY = (1.0 - to.y) * mPlotRect.height + originY;
                segment.isEditable = record.isEditable;
                mSegments.push_back(segment);
            }
        }
    }
    if (mSliders.size() != previousSliders)
        if (CError* error = fireEvent(CString("slider-count-changed"), nullptr, false))
            return traceError(error, getFullName());
    return nullptr;
}

// --- drawing ---

bool CControlSurfaceVisual::isHighlighted(const CPointDisplay& record) {
    const CControlPointRef ref{record.layer, record.point};
    bool selected = mSelection != nullptr && mSelection->isPointSelected(ref);
    if (mIsAreaDragActive && !mIsZoomDragActive && isInAreaRect(record.x, record.y)) {
        const CLayerRecord* owner = layer(record.layer);
        selected = owner != nullptr && !owner->isInactive && !owner->arePointsHidden && (owner->isEditable || selected);
    }
    return selected || ref == mCurrentPoint;
}

void CControlSurfaceVisual::addImage(std::int32_t frame, std::int32_t x, std::int32_t y, std::int32_t drawItem,
                                     bool tileX, bool tileY, const CColor* bandColour, double opacity, bool topLeft) {
    auto op = std::make_unique<CDrawOp>();
    op->kind = CDrawOp::kImage;
    op->frame = frame;
    op->drawItem = drawItem;
    op->tileX = tileX;
    op->tileY = tileY;
    op->bandColour = bandColour;
    op->imageOpacity = opacity;
    op->mainColour = colorTable() != nullptr ? colorTable()->prefix() : CString();
    drawImageSetFrame(*this, op->image, frame, true, false, bandColour, opacity);
    // Point frames are centred on their position; edge frames start at it.
    op->x = topLeft ? x : x - op->image.width / 2;
    op->y = topLeft ? y : y - op->image.height / 2;
    mDisplayList.push_back(std::move(op));
}

void CControlSurfaceVisual::addFill(std::int32_t drawItem, std::int32_t colourSlot) {
    const CColor* colour = colorTable() != nullptr ? colorTable()->getColor(colourSlot) : nullptr;
    if (colour == nullptr || drawItem < 0)
        return;
    auto op = std::make_unique<CDrawOp>();
    op->kind = CDrawOp::kFill;
    op->drawItem = drawItem;
    op->colour = colour;
    op->opacity = 255;
    mDisplayList.push_back(std::move(op));
}

void CControlSurfaceVisual::addLine(const double a[2], const double b[2], const CColor* colour, double brushDiameter) {
    if (colour == nullptr)
        return;
    auto op = std::make_unique<CDrawOp>();
    op->kind = CDrawOp::kLine;
    op->linePoints[0] = a[0];
    op->linePoints[1] = a[1];
    op->linePoints[2] = b[0];
    op->linePoints[3] = b[1];
    op->colour = colour;
    CCurveDraw& curve = op->line.curve;
    curve.points = op->linePoints;
    curve.count = 2;
    curve.color = colour;
    curve.opacity = 1.0;
    curve.rampIndex = 255;
    curve.brush = CBrushCache::getBrush(brushDiameter);
    selectBrushRenderer(*this, op->line, false, false, false, 0, 0.0, 0.0, 0.0);
    mDisplayList.push_back(std::move(op));
}

bool CControlSurfaceVisual::prepareDraw() {
    if (mIsPointLayoutDirty) {
        mIsPointLayoutDirty = false;
        reportError(updatePointDisplay());
    }
    if (mIsBandPopupOpened) {
        mIsBandPopupOpened = false;
        mAreReadoutsDirty = false;
    }
    if (mAreReadoutsDirty) {
        mAreReadoutsDirty = false;
        reportError(updateCurrentGraphPoint(false));
    }
    reportError(activateSelection());
    if (mSelection != nullptr)
        mSelection->applyPendingCurrent();
    mDisplayList.clear();
    const bool isEmpty = !mIsSliderMode && !mIsAreaDragActive && mSegments.empty() && !mIsSimpleXyParamMode &&
                         mPointDisplay.empty() && !mIsCrosshairShown;
    if (isEmpty || (mIsSimpleXyParamMode && mIsSweepRunning) || area() == nullptr || colorTable() == nullptr)
        return false;
    const CString savedMain = colorTable()->prefix();
    const CAreaRect total = surfaceRect();
    const double scale = windowScale();
    const bool hideUnselected = mIsBandHidingEnabled && mIsPointDragActive && !mIsAreaDragActive;
    if (mIsSliderMode) {
        setMainColour(CString("CSSliderBarPit"));
        for (const CSlider& slider : mSliders) {
            addImage(slider.frameBase + 2, slider.endB[0], slider.endB[1], 1, false, false, nullptr, 1.0, false);
            addImage(slider.frameBase + 3, slider.endB[0], slider.endB[1], slider.drawItem, false, false, nullptr, 1.0,
                     false);
            addImage(slider.frameBase + 4, slider.endA[0], slider.endA[1], 1, false, false, nullptr, 1.0, false);
        }
    } else {
        if (mIsCrosshairShown && !mIsRightButtonHeld) {
            addFill(mCrosshairDrawItemH, kCrosshair);
            addFill(mCrosshairDrawItemV, kCrosshair);
        }
        if (mIsDrawSegments) {
            for (std::size_t i = 0; i < mSegments.size(); ++i) {
                const CSegmentDisplay& segment = mSegments[i];
                const bool isHovered = static_cast<std::int32_t>(i) == mHoverSegment && !mIsResortDuringDrag;
                const double a[2] = {segment.startX, segment.startY};
                const double b[2] = {segment.endX, segment.endY};
                addLine(a, b, colorTable()->getColor(segment.isEditable ? kSegment : kSegmentUnderlay),
                        (isHovered ? mBrushSizeHoveredSegment : mBrushSizeSegment) * scale);
            }
        }
        if (mIsSimpleXyParamMode && mSegments.empty() && layerCount() > 0) {
            const CLayerRecord* current = currentLayerRecord();
            if (current != nullptr && current->paramXy != nullptr && current->paramXy->bridge() != nullptr) {
                const double y = total.y + mPlotRect.y + mPlotRect.height / 2.0;
                const double a[2] = {total.x + mPlotRect.x, y};
                const double b[2] = {total.x + mPlotRect.x + mPlotRect.width, y};
                addLine(a, b, colorTable()->getColor(kSegment), mBrushSizeHorizonSegment * scale);
            }
        }
    }
    auto isSkipped = [&](const CPointDisplay& record) {
        const CLayerRecord* owner = layer(record.layer);
        return (mIsSweepRunning && CControlPointRef{record.layer, record.point} == mSweepPoint) || owner == nullptr ||
               owner->isFreeformOn;
    };
    for (std::size_t i = 0; i < mPointDisplay.size(); ++i) {
        const CPointDisplay& record = mPointDisplay[i];
        const CLayerRecord* owner = layer(record.layer);
        if (isSkipped(record) || owner->arePointsHidden || (hideUnselected && !isHighlighted(record)))
            continue;
        if (record.isAnchor) {
            while (mCurrentLineDrawItems.size() <= i)
                mCurrentLineDrawItems.push_back(addDrawItem());
            setDrawItemRect(*this, mCurrentLineDrawItems[i], record.x, 0.0, 1.0, total.height);
            addFill(mCurrentLineDrawItems[i], kCurrentLine);
        }
        const CControlPointRef ref{record.layer, record.point};
        const bool isHovered = (mIsMouseButtonHeld && owner->isHitTestable()) ||
                               std::find(mDraggedPoints.begin(), mDraggedPoints.end(), ref) != mDraggedPoints.end();
        const CString mainName = isHovered ? record.colourName + CString("_Hover") : record.colourName;
        setMainColour(mainName);
        std::int32_t frame = record.frameBase;
        if (mIsSliderMode) {
            if (mSelection != nullptr && mSelection->isPointSelected(ref)) {
                frame += 1;
            } else if (!mIsShadowHidden) {
                setMainColour(CString("Shadow"));
                addImage(frame + 5, record.screenX, record.screenY, 1, false, false, nullptr, 1.0, false);
                setMainColour(mainName);
            }
        } else if (record.frameBase < 10) {
            if (mIsBandHidingEnabled) {
                if (isHighlighted(record))
                    frame += 300;
            } else if (record.isEmphasised) {
                frame += 400;
            }
        }
        double opacity = owner->isInactive ? 0.25 : 1.0;
        if (!record.isInRange && !mIsSliderMode)
            opacity *= 0.5;
        const CColor* bandColour = nullptr;
        if (mIsColorizedBandsEnabled && total.width > 0.0 && !record.isBandOff) {
            if (mBandColors.count() != static_cast<int>(mPointDisplay.size()))
                mBandColors.resize(static_cast<int>(mPointDisplay.size()));
            double rgb[3];
            CColor::hueToRGB(rgb, (record.screenX - total.x) / total.width);
            mBandColors[static_cast<int>(i)].update(rgb, colorTable()->getColor(kPointModifier), true);
            bandColour = &mBandColors[static_cast<int>(i)].color();
        }
        addImage(frame, record.screenX, record.screenY, 1, false, false, bandColour, opacity, false);
    }
    if (mIsSnapAddBand && (mCurveHoverPoint[0] != 0.0 || mCurveHoverPoint[1] != 0.0) &&
        (!mIsPressGestureActive || mIsAddOnDragPending)) {
        setMainColour(CString("CSPoint"));
        const std::int32_t x = nearest(total.x + mPlotRect.x + mCurveHoverPoint[0] * (mPlotRect.width - 1.0));
        const std::int32_t y = nearest(total.y + mPlotRect.y + (1.0 - mCurveHoverPoint[1]) * mPlotRect.height);
        const CColor* bandColour = nullptr;
        if (mIsColorizedBandsEnabled && total.width > 0.0) {
            double rgb[3];
            CColor::hueToRGB(rgb, mCurveHoverPoint[0]);
            mSnapColour.update(rgb, colorTable()->getColor(kPointModifier), true);
            bandColour = &mSnapColour.color();
        }
        addImage(0, x, y, 1, false, false, bandColour, 0.5, false);
    }
    if (!mIsSliderMode) {
        setMainColour(CString("CSSelectLine"));
        if (!hideUnselected) {
            for (const CPointDisplay& record : mPointDisplay) {
                if (isSkipped(record) || !isHighlighted(record))
                    continue;
                std::int32_t frame = 0;
                double opacity = 0.5;
                if (CControlPointRef{record.layer, record.point} == mCurrentPoint) {
                    frame = record.frameBase < 10 ? record.frameBase + 20 : record.frameBase + 10;
                    if (frame >= 40 && frame <= 49)
                        frame += 30;
                    opacity = 1.0;
                } else {
                    frame = record.frameBase + 10;
                }
                if (frame >= 10 && frame <= 29) {
                    if (mIsBandHidingEnabled)
                        frame += 300;
                    else if (record.isEmphasised)
                        frame += 400;
                }
                addImage(frame, record.screenX, record.screenY, 1, false, false, nullptr, opacity, false);
            }
        }
        if (mIsAreaDragActive && mAreaDrawItem >= 0) {
            addFill(mAreaDrawItem, kSelectBg);
            addImage(50, mAreaEdgeTopLeft[0], mAreaEdgeTopLeft[1], mAreaDrawItem, true, false, nullptr, 1.0, true);
            addImage(50, mAreaEdgeBottomRight[0], mAreaEdgeBottomRight[1], mAreaDrawItem, true, false, nullptr, 1.0,
                     true);
            addImage(60, mAreaEdgeTopLeft[0], mAreaEdgeTopLeft[1], mAreaDrawItem, false, true, nullptr, 1.0, true);
            addImage(60, mAreaEdgeBottomRight[0], mAreaEdgeBottomRight[1], mAreaDrawItem, false, true, nullptr, 1.0,
                     true);
        }
    }
    setMainColour(savedMain);
    return true;
}

void CControlSurfaceVisual::paint(CSector& sector) {
    for (const auto& op : mDisplayList) {
        switch (op->kind) {
        case CDrawOp::kImage:
            drawImageSetItem(*this, sector, op->image, op->x, op->y, op->drawItem, op->tileX, op->tileY);
            break;
        case CDrawOp::kLine:
            runBrushRenderer(sector, op->line);
            break;
        case CDrawOp::kFill:
            fillDrawItem(*this, sector, op->drawItem, *op->colour, op->opacity);
            break;
        default:
            break;
        }
    }
}

} // namespace tal
