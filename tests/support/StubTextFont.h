#pragma once

#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"

#include <cstdint>

namespace tal {

// A bitmap font for text layout tests: ascent 10, descent 3, height 14; glyphs for the codes 1 to
// 199 (minus the codes in `missing`) with one empty layer of the given advance, and the fallback
// glyph 164 with advance `fallbackAdvance`.
inline void fillStubFont(CFont& font, double advance = 7.5, double fallbackAdvance = 9.0,
                         std::initializer_list<int> missing = {}) {
    for (int code = 1; code < 200; ++code) {
        bool skip = false;
        for (int m : missing)
            skip = skip || m == code;
        if (skip)
            continue;
        auto* layer = new CImageLayer;
        layer->init(0, 0, 0, 0, 0, 1.0, code == CFont::kFallbackGlyph ? fallbackAdvance : advance, 0, 0, 0, 1, 128,
                    nullptr, 8);
        auto* image = new CImage;
        image->addLayer(layer);
        font.setImage(code, image);
    }
    font.setMetrics(10.0, 3.0, 0.0, 14.0);
}

} // namespace tal
