#pragma once
#include <string>
#include <vector>

namespace tal {
class CFont;
}

// Rasterises a bitmap font for "delmaro-tool pack font": FreeType renders every glyph of the
// product's character list from the first face that has it, as a one-channel coverage layer at
// the artwork scale with its placement offsets and fractional advance.
namespace delmaro_tool {

struct FontPackOptions {
    std::vector<std::string> faces;   // font files, first preferred; later ones fill missing glyphs
    double size = 12.0;               // pixel size at scale 1
    double scale = 2.0;               // artwork scale of the layers
    double raise = 0.0;               // baseline shift upwards at scale 1 (superscripts)
    double tracking = 0.0;            // added to every advance at scale 1
    bool haveMetrics = false;
    double metrics[4] = {0, 0, 0, 0}; // ascent, descent, third, fourth; else taken from the first face
};

// The character codes every font holds when its faces have them: 32..126, 160..255 without the
// soft hyphen, and a few letters and symbols above (dashes, quotes, the euro, delta and so on).
std::vector<int> fontCharacterCodes();

// Fills font (cleared first). Glyph 164 is always present: drawn as a box when no face has it.
// Returns false with a reason in error.
bool packFont(const FontPackOptions& options, tal::CFont& font, std::string& error);

} // namespace delmaro_tool
