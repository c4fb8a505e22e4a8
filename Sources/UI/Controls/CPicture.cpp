#include "UI/Controls/CPicture.h"

#include "Core/CError.h"
#include "UI/CViewArea.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/CViewDrawItem.h"

#include <cmath>

namespace tal {

namespace {

// Where an image of size `image` starts inside [start, start + size) by an alignment: -1 the start,
// 1 the end, 0 centred with halves rounded away from zero. No clamping.
std::int32_t alignedStart(std::int32_t start, std::int32_t size, std::int32_t image, std::int32_t alignment) noexcept {
    if (alignment < 0)
        return start;
    if (alignment > 0)
        return start + size - image;
    const double half = (size - image) / 2.0;
    return start + std::int32_t(half >= 0.0 ? std::floor(half + 0.5) : -std::floor(0.5 - half));
}

} // namespace

CObject* CPicture::create() { return new CPicture(); }

CPicture::~CPicture() { mAlignmentTarget.reset(); }

CError* CPicture::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    const CString& h = getTextAttr("pic-alignment-h");
    mAlignH = h.equals("center") ? 0 : h.equals("right") ? 1 : -1;
    const CString& v = getTextAttr("pic-alignment-v");
    mAlignV = v.equals("center") ? 0 : v.equals("bottom") ? 1 : -1;
    mAlignmentTarget.init(this, CString(), CString(), this, CString("pic-alignment-target"));
    mCropLeft = mCropTop = mCropRight = mCropBottom = 0.0;
    const CString crop = getTextAttr("crop");
    mIsCrop = !crop.equals("0");
    mIsTilingX = getBoolAttr("is-tiling-x");
    mIsTilingY = getBoolAttr("is-tiling-y");
    if (mIsCrop) {
        if (!crop.isEmpty())
            parseBorder(crop, mCropLeft, mCropTop, mCropRight, mCropBottom, false, false);
        mDrawItemIndex = addDrawItem();
    } else {
        mDrawItemIndex = 1;
    }
    return nullptr;
}

CError* CPicture::updateContent() {
    std::int32_t width = 0, height = 0;
    getImageSetFrameSize(*this, 0, true, false, width, height);
    if (CError* error = setDoubleAttr(CString("compact-width"), width, true))
        return traceError(error, getFullName());
    if (CError* error = setDoubleAttr(CString("compact-height"), height, true))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CPicture::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    if (mIsCrop) {
        // The insets are kept in layout units and scaled here, so a later change of the window
        // scale keeps them in proportion.
        const double s = area() != nullptr ? area()->windowScale() : 1.0;
        setDrawItemRect(*this, mDrawItemIndex, mCropLeft * s, mCropTop * s,
                        lastTotalRect().width - (mCropLeft + mCropRight) * s,
                        lastTotalRect().height - (mCropTop + mCropBottom) * s);
    }
    CView* target = mAlignmentTarget.resolve();
    CView& alignView = target != nullptr ? *target : *this;
    // Item 1 stands for the clip rectangle. A target without the picture's crop item aligns within
    // its clip rectangle.
    const std::int32_t index = mDrawItemIndex >= alignView.drawItemCount() ? 1 : mDrawItemIndex;
    const CPixelRect& item = index == 1 ? alignView.drawItem(0)->fullRect : alignView.drawItem(index)->fullRect;
    if (imageSetFrameIndex(alignView, 0, true) < 0)
        return nullptr;
    std::int32_t width = 0, height = 0;
    getImageSetFrameSize(alignView, 0, true, true, width, height);
    mImagePos[0] = alignedStart(item.x, item.width, width, mAlignH);
    mImagePos[1] = alignedStart(item.y, item.height, height, mAlignV);
    return nullptr;
}

bool CPicture::prepareDraw() {
    drawImageSetFrame(*this, mImageDraws, 0, true, false, nullptr, 1.0);
    return true;
}

void CPicture::paint(CSector& sector) {
    drawImageSetItem(*this, sector, mImageDraws, mImagePos[0], mImagePos[1], mDrawItemIndex, mIsTilingX, mIsTilingY);
}

} // namespace tal
