#pragma once
#include "Core/CArray.h"

#include <cstdint>

namespace tal {

struct CImageDraw;

// The prepared draws of one image-set frame a control draws: one record per layer of the frame
// (records of the window's pool, valid for the frame in which they were requested) and the frame's
// size in window pixels. Owned by the control and refilled every frame.
struct CImageDrawList {
    std::int32_t width = 0;
    std::int32_t height = 0;
    CArray<CImageDraw*> records;   // not owned
};

} // namespace tal
