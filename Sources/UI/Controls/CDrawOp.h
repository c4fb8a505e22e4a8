#pragma once
#include "Core/CString.h"
#include "UI/CImageDrawList.h"
#include "UI/CLineDraw.h"

#include <cstdint>

namespace tal {

class CColor;

// One entry of the curve editor's display list: an image-set frame, a fill of a draw item or a
// brush line, prepared on the UI thread and replayed unchanged by paint on the render workers.
// Owned by the surface's display list, which is rebuilt every frame.
struct CDrawOp {
    enum Kind : std::int32_t { kImage = 0, kFill = 1, kLine = 2 };

    std::int32_t kind = kImage;
    std::int32_t x = 0;           // image: top-left corner in window pixels
    std::int32_t y = 0;
    std::int32_t drawItem = 1;    // the item that clips the operation (1: the whole view)
    bool tileX = false;
    bool tileY = false;
    const CColor* colour = nullptr;   // fill; not owned (the palette's)
    std::int32_t opacity = 255;       // fill tone
    std::int32_t frame = -1;          // image: the image-set frame drawn
    double imageOpacity = 1.0;        // image: the opacity it was prepared with
    const CColor* bandColour = nullptr;   // image: the band colour of its first layer, if any
    CString mainColour;               // image: the colour name that tinted it
    double linePoints[4] = {0.0, 0.0, 0.0, 0.0};   // line: two points in window pixels
    CLineDraw line;
    CImageDrawList image;
};

} // namespace tal
