#pragma once
#include <string>

namespace tal {
class CFont;
class CImageSet;
class CLinearBitmap;
}

// Specimen sheets of the asset tool and the reference-image tests: fonts and image sets drawn the
// way the editor draws them, through each layer's copy at the window scale and
// CLinearBitmap::drawImage, light on the editor's dark panel colour.
namespace delmaro_tool {

// A font: the text (UTF-8; empty: two sample lines), then every glyph the font holds in rows of
// 24, pen positions and baselines as captions place them.
void renderFontSheet(const tal::CFont& font, double scale, const std::string& text, tal::CLinearBitmap& out);
// An image set: every image in index order in a grid of 8 columns, each layer tinted with a
// sample colour of its colour slot.
void renderImageSetSheet(const tal::CImageSet& set, double scale, tal::CLinearBitmap& out);

} // namespace delmaro_tool
