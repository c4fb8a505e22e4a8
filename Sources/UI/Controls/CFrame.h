#pragma once
#include "Core/CTarget.h"
#include "UI/CImageDrawList.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CColor;

// "ui:frame-base" and "ui:shadow": the framed panel. Up to ten pieces cut from the view's image set
// (four corners, four edges, a tiled centre texture and the right part of a top edge split by a
// caption) drawn around a centre filled with the colour of frame image 5; reports itself opaque when
// that colour is. Frames 0..8 after the "image-set-range" shift: bottom, left, right and top edges,
// bottom-left, bottom-right, top-left and top-right corners, centre texture.
// Pieces are addressed by (column, row): columns 0 left, 1 middle, 2 right, 3 the split top edge's
// right part; rows 0 top, 1 middle, 2 bottom.
// Owned by the object tree. UI thread, except paint, which reads only what prepareDraw prepared.
class CFrame : public CView {
public:
    static constexpr std::int32_t kColumns = 4;
    static constexpr std::int32_t kRows = 3;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CFrame() override;

    [[nodiscard]] CError* init() override;
    double getOpaqueFraction(CSector& sector, const CPixelRect& opaque) override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    void paint(CSector& sector) override;
    [[nodiscard]] bool prepareDraw() override;

    // The handler of "caption-changed": layout again at the next frame.
    [[nodiscard]] virtual CError* onCaptionChanged();
    // The piece rectangles (draw items), from the corner sizes and the caption.
    virtual void layoutFrameItems();
    // The window-pixel position of each piece's image inside its draw item.
    virtual void alignFrameItems();

    // --- queries ---
    // The draw item of a piece, or -1 when the frame has no piece items.
    std::int32_t pieceItem(std::int32_t column, std::int32_t row) const noexcept {
        return mHasPieceItems ? mPieceItems[3 * column + row] : -1;
    }
    void piecePosition(std::int32_t column, std::int32_t row, std::int32_t& x, std::int32_t& y) const noexcept {
        x = mPiecePositions[3 * column + row][0];
        y = mPiecePositions[3 * column + row][1];
    }
    bool isLayoutValid() const noexcept { return mIsLayoutValid; }
    bool isOpaque() const noexcept { return mIsOpaque; }
    const CColor* fillColor() const noexcept { return mFillColor; }

    // Whether paint draws a piece.
    bool drawsPiece(std::int32_t column, std::int32_t row) const noexcept;

protected:
    // The frame image of a piece.
    static std::int32_t pieceFrame(std::int32_t column, std::int32_t row) noexcept;
    // Sets a piece's draw item (view-relative), or empties it when it has no area.
    void placeItem(std::int32_t item, double x, double y, double width, double height);

    const CColor* mColorOverride = nullptr;   // not owned: set by subclasses before CFrame::prepareDraw
    CTarget<CView> mCaptionTarget;
    const CColor* mFillColor = nullptr;       // not owned
    std::int32_t mFillColorIndex = 0;
    CImageDrawList mPieceImages[kColumns * kRows];   // column + 4 x row
    std::int32_t mPieceItems[kColumns * kRows] = {};  // 3 x column + row
    std::int32_t mPiecePositions[kColumns * kRows][2] = {};   // 3 x column + row
    bool mHasBorders = true;
    bool mHasCenter = true;
    bool mHasCornersOnly = false;
    bool mIsFixedFrame = false;
    bool mIsLayoutValid = false;
    bool mIsIgnoreColorOpacity = false;
    bool mIsTexturedBackground = false;
    bool mIsLayoutDirty = true;
    std::int32_t mTexturedBackgroundOffsetX = 0;
    bool mIsOpaque = false;
    bool mHasPieceItems = false;
};

} // namespace tal
