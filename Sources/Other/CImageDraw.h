#pragma once

#include <cstdint>

namespace tal {

class CColor;
class CImageLayer;

// A prepared draw of one image layer: the ready (run-length) layer with its size and placement,
// the tint colour's tone ramp for 1- and 2-channel layers, and the opacity as an integer weight.
// Pooled and queued by the window that draws it; filled by init once the layer at the window scale
// is ready (until then the requested opacity and colour wait in the record). Drawn by
// CLinearBitmap::drawImage on the thread that paints the tile.
struct CImageDraw {
    // Fills the record for a ready (prepared) layer. Unless keepColorOpacity is set the opacity is
    // multiplied by the colour's. Opacity below 0.005 (or not a number), an empty layer, or a 1- or
    // 2-channel layer without a colour ramp to tint it gives weight 0: nothing is drawn.
    static void init(CImageDraw& record, const CImageLayer* layer, const CColor* color, bool keepColorOpacity,
                     double opacity);

    std::int32_t width = 0, height = 0;
    std::int32_t offsetX = 0, offsetY = 0;
    CImageDraw* next = nullptr;               // the window's list of pending draws
    const std::uint8_t* tintTable = nullptr;  // 256 RGBA entries of the tint colour's ramp
    const CImageLayer* layer = nullptr;
    std::int32_t channels = 0;
    std::int32_t weight = 0;                  // 0..32768; 0 or less draws nothing
    double requestedOpacity = 0.0;
    const CColor* tintColor = nullptr;
    bool keepColorOpacity = false;
    bool translucent = false;                 // weight below 32640
};

} // namespace tal
