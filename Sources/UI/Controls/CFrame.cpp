#include "UI/Controls/CFrame.h"

#include "Core/CError.h"
#include "Other/CColor.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/CViewDrawItem.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

// Rounds half away from zero.
std::int32_t roundAway(double x) noexcept { return std::int32_t(x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x)); }

double scaleOf(const CView& view) noexcept { return view.area() != nullptr ? view.area()->windowScale() : 1.0; }

} // namespace

CObject* CFrame::create() { return new CFrame(); }

void CFrame::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addPlainEventOf<CFrame, &CFrame::onCaptionChanged>(scheme, "caption-changed");
}

CFrame::~CFrame() { mCaptionTarget.reset(); }

std::int32_t CFrame::pieceFrame(std::int32_t column, std::int32_t row) noexcept {
    static constexpr std::int32_t kFrames[kColumns][kRows] = {{6, 1, 4}, {3, 8, 0}, {7, 2, 5}, {3, -1, -1}};
    return kFrames[column][row];
}

bool CFrame::drawsPiece(std::int32_t column, std::int32_t row) const noexcept {
    if (column == 3 && row != 0)
        return false;
    if (column == 1 && row == 1 && !mIsTexturedBackground)
        return false;
    if (mHasCornersOnly && (row == 1 || column == 1 || column == 3))
        return false;
    return true;
}

CError* CFrame::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mCaptionTarget.init(this, CString(), CString(), this, CString("path-caption"));
    mCaptionTarget.listenEvent(CString("title-changed"), CString("caption-changed"));
    mHasBorders = getBoolAttr("has-borders");
    mHasCenter = getBoolAttr("has-center");
    mHasCornersOnly = getBoolAttr("has-corners-only");
    mIsFixedFrame = getBoolAttr("is-fixed-frame");
    mIsIgnoreColorOpacity = getBoolAttr("is-ignore-color-opacity");
    mIsTexturedBackground = getBoolAttr("is-textured-background");
    mTexturedBackgroundOffsetX = getIntAttr("textured-background-offset-x");
    if ((mHasBorders || mHasCornersOnly) && !mHasPieceItems) {
        for (std::int32_t column = 0; column < kColumns; ++column)
            for (std::int32_t row = 0; row < kRows; ++row)
                mPieceItems[3 * column + row] = addDrawItem();
        mHasPieceItems = true;
    }
    const CString secondLayer = getTextAttr("second-layer-color");
    if (!secondLayer.isEmpty() && colorTable() != nullptr) {
        colorTable()->setColorName(0, CString());
        colorTable()->setColorName(1, CString("/") + secondLayer);
    }
    return nullptr;
}

double CFrame::getOpaqueFraction(CSector&, const CPixelRect&) { return mIsOpaque ? 1.0 : 0.0; }

CError* CFrame::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    mIsLayoutDirty = true;
    return nullptr;
}

CError* CFrame::onCaptionChanged() {
    mIsLayoutDirty = true;
    invalidate();
    return nullptr;
}

void CFrame::layoutFrameItems() {
    mIsLayoutValid = false;
    if (!mHasPieceItems)
        return;
    const CAreaRect& total = lastTotalRect();
    const CAreaRect& frame = mIsFixedFrame ? lastClipRect() : total;
    const double W = frame.width, H = frame.height;
    if (W < 0.1 || H < 0.1)
        return;
    std::int32_t size[8][2] = {};
    for (const std::int32_t image : {4, 5, 6, 7})
        getImageSetFrameSize(*this, image, true, true, size[image][0], size[image][1]);
    double left = std::max(size[6][0], size[4][0]), right = std::max(size[5][0], size[7][0]);
    double top = std::max(size[6][1], size[7][1]), bottom = std::max(size[5][1], size[4][1]);
    // Too small a frame takes the excess evenly from both sides, whatever their sizes.
    if (left + right > W) {
        const double half = (left + right - W) / 2.0;
        left -= half;
        right -= half;
    }
    if (top + bottom > H) {
        const double half = (top + bottom - H) / 2.0;
        top -= half;
        bottom -= half;
    }
    const double offsetX = mIsFixedFrame ? frame.x - total.x : 0.0;
    const double offsetY = mIsFixedFrame ? frame.y - total.y : 0.0;
    const double gap = 5.0 * scaleOf(*this);
    for (std::int32_t column = 0; column < 3; ++column)
        for (std::int32_t row = 0; row < 3; ++row) {
            const double widths[3] = {left, W - left - right, right};
            const double heights[3] = {top, H - top - bottom, bottom};
            const double xs[3] = {0.0, left, W - right};
            const double ys[3] = {0.0, top, H - bottom};
            double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
            if (widths[column] > 0.1 && heights[row] > 0.1) {
                x = xs[column], y = ys[row], width = widths[column], height = heights[row];
                if (column == 0 && row == 0)
                    mIsLayoutValid = true;
            }
            x += offsetX;
            y += offsetY;
            const std::int32_t item = mPieceItems[3 * column + row];
            if (column == 1 && row == 0) {
                // A caption splits the top edge into two equal parts, each a gap away from it.
                CView* caption = mCaptionTarget.resolve();
                const std::int32_t rightPart = mPieceItems[3 * 3];
                if (caption != nullptr && !caption->getTextAttr("title").isEmpty()) {
                    const double cw = caption->lastTotalRect().width;
                    width = width / 2.0 - cw / 2.0 - gap;
                    placeItem(item, x, y, width, height);
                    placeItem(rightPart, x + width + cw + 2.0 * gap, y, width, height);
                    continue;
                }
                clearDrawItemRect(*this, rightPart);
            }
            placeItem(item, x, y, width, height);
        }
}

void CFrame::placeItem(std::int32_t item, double x, double y, double width, double height) {
    if (width > 0.0 && height > 0.0)
        setDrawItemRect(*this, item, x, y, width, height);
    else
        clearDrawItemRect(*this, item);
}

void CFrame::alignFrameItems() {
    const std::int32_t shift = roundAway(mTexturedBackgroundOffsetX * scaleOf(*this));
    for (std::int32_t column = 0; column < kColumns; ++column)
        for (std::int32_t row = 0; row < kRows; ++row) {
            if (!drawsPiece(column, row))
                continue;
            std::int32_t width = 0, height = 0;
            getImageSetFrameSize(*this, pieceFrame(column, row), true, true, width, height);
            const CPixelRect& item = drawItem(mPieceItems[3 * column + row])->fullRect;
            std::int32_t* position = mPiecePositions[3 * column + row];
            position[0] = column == 2 ? item.x + item.width - width : item.x;
            position[1] = row == 2 ? item.y + item.height - height : item.y;
            if (column == 1 || column == 3)
                position[0] += shift;
        }
}

bool CFrame::prepareDraw() {
    mIsOpaque = false;
    if (!mHasBorders && !mHasCornersOnly) {
        if (!getImageSetFrameColor(*this, 5, true, mFillColor, mFillColorIndex) || mFillColor == nullptr) {
            mFillColor = nullptr;
            return false;
        }
        mIsOpaque = mFillColor->opacity() > 0.99;
        return true;
    }
    if (mIsLayoutDirty) {
        mIsLayoutDirty = false;
        layoutFrameItems();
        alignFrameItems();
    }
    if (!mIsLayoutValid)
        return true;
    mFillColor = nullptr;
    mFillColorIndex = 0;
    if (mHasCenter && !mIsTexturedBackground && getImageSetFrameColor(*this, 5, true, mFillColor, mFillColorIndex) &&
        mFillColor != nullptr)
        mIsOpaque = mFillColor->opacity() > 0.99;
    for (std::int32_t column = 0; column < kColumns; ++column)
        for (std::int32_t row = 0; row < kRows; ++row) {
            if ((column == 3 && row != 0) || (column == 1 && row == 1 && !mIsTexturedBackground))
                continue;
            drawImageSetFrame(*this, mPieceImages[column + 4 * row], pieceFrame(column, row), true,
                              mIsIgnoreColorOpacity, mColorOverride, 1.0);
        }
    return true;
}

void CFrame::paint(CSector& sector) {
    if (!mHasBorders && !mHasCornersOnly) {
        if (mFillColor != nullptr)
            fillDrawItem(*this, sector, 1, *mFillColor, mFillColorIndex);
        return;
    }
    if (!mIsLayoutValid)
        return;
    if (mFillColor != nullptr)
        fillDrawItem(*this, sector, mPieceItems[3 * 1 + 1], *mFillColor, mFillColorIndex);
    for (std::int32_t column = 0; column < kColumns; ++column)
        for (std::int32_t row = 0; row < kRows; ++row) {
            if (!drawsPiece(column, row))
                continue;
            const std::int32_t* position = mPiecePositions[3 * column + row];
            drawImageSetItem(*this, sector, mPieceImages[column + 4 * row], position[0], position[1],
                             mPieceItems[3 * column + row], column == 1 || column == 3, row == 1);
        }
}

} // namespace tal
