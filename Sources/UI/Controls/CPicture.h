#pragma once
#include "Core/CTarget.h"
#include "UI/CImageDrawList.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

// "ui:picture": one image of the view's image set (frame 0 after the "image-set-range" shift),
// tinted by the view's colours, placed by a horizontal and a vertical alignment (optionally where
// another view places its own image), drawn inside an optional inset ("crop") and optionally tiled
// along x and/or y. A "compact" picture takes its image's size. Owned by the object tree; UI
// thread, except paint, which reads only what prepareDraw and the area update prepared.
class CPicture : public CView {
public:
    static CObject* create();
    ~CPicture() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* updateContent() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    void paint(CSector& sector) override;
    [[nodiscard]] bool prepareDraw() override;

    // --- queries ---
    std::int32_t imageX() const noexcept { return mImagePos[0]; }
    std::int32_t imageY() const noexcept { return mImagePos[1]; }
    std::int32_t alignH() const noexcept { return mAlignH; }
    std::int32_t alignV() const noexcept { return mAlignV; }
    std::int32_t drawItemIndex() const noexcept { return mDrawItemIndex; }

private:
    std::int32_t mImagePos[2] = {};
    CTarget<CView> mAlignmentTarget;
    std::int32_t mAlignH = -1;   // -1 left, 0 centre, 1 right
    std::int32_t mAlignV = -1;   // -1 top, 0 centre, 1 bottom
    double mCropBottom = 0.0, mCropLeft = 0.0, mCropRight = 0.0, mCropTop = 0.0;   // layout units
    CImageDrawList mImageDraws;
    bool mIsCrop = false;
    bool mIsTilingX = false, mIsTilingY = false;
    std::int32_t mDrawItemIndex = 1;
};

} // namespace tal
