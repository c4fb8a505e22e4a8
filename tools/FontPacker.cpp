#include "FontPacker.h"

#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <memory>

namespace delmaro_tool {

namespace {

using namespace tal;

struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct LibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

// Metrics are kept to 1/8 pixel, like the hand-set values of the base and title fonts.
double eighths(double v) { return std::round(v * 8.0) / 8.0; }

// A coverage layer from raw one-byte rows.
CImage* glyphImage(const std::vector<std::uint8_t>& pixels, int width, int height, int offsetX, int offsetY,
                   double scale, double advance) {
    auto* layer = new CImageLayer;
    layer->init(0, width, height, offsetX, offsetY, scale, advance, 0, 0, 0, 1, 255, pixels.data(), 8);
    layer->assignBlock(pixels.data(), std::int32_t(pixels.size()), false);
    auto* image = new CImage;
    image->addLayer(layer);
    return image;
}

// The stand-in for characters without glyph: an open box of the cap height.
CImage* boxGlyph(double capHeight, double scale, double advance) {
    const int w = std::max(4, int(std::lround(advance * 0.7))), h = std::max(6, int(std::lround(capHeight)));
    const int t = std::max(1, int(std::lround(scale)));
    std::vector<std::uint8_t> px(std::size_t(w * h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < t || y < t || x >= w - t || y >= h - t)
                px[std::size_t(y * w + x)] = 255;
    return glyphImage(px, w, h, int(std::lround((advance - w) / 2)), -h, scale, advance);
}

} // namespace

std::vector<int> fontCharacterCodes() {
    std::vector<int> codes;
    for (int c = 32; c <= 126; ++c)
        codes.push_back(c);
    for (int c = 160; c <= 255; ++c)
        if (c != 173)
            codes.push_back(c);
    const int extra[] = {305,  338,  339,  352,  353,  376,  381,  382,  402,  710,  732,  937,  956,  960,  8211,
                         8212, 8216, 8217, 8218, 8220, 8221, 8222, 8224, 8226, 8230, 8240, 8249, 8250, 8364, 8482,
                         8592, 8593, 8594, 8595, 8710};
    codes.insert(codes.end(), std::begin(extra), std::end(extra));
    return codes;
}

bool packFont(const FontPackOptions& options, CFont& font, std::string& error) {
    font.clear();
    if (options.faces.empty() || !(options.size > 0.0) || !(options.scale > 0.0)) {
        error = "a font needs at least one face, a positive size and a positive scale";
        return false;
    }
    FT_Library raw = nullptr;
    if (FT_Init_FreeType(&raw) != 0) {
        error = "FreeType does not start";
        return false;
    }
    std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter> library(raw);
    std::vector<FacePtr> faces;
    const double px = options.size * options.scale;
    for (const std::string& path : options.faces) {
        FT_Face face = nullptr;
        if (FT_New_Face(library.get(), path.c_str(), 0, &face) != 0) {
            error = "cannot open the font face '" + path + "'";
            return false;
        }
        faces.emplace_back(face);
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(px * 64.0)), 72, 72) != 0) {
            error = "the face '" + path + "' cannot be set to " + std::to_string(px) + " pixels";
            return false;
        }
    }
    FT_Face primary = faces[0].get();
    const double unitsToPx = px / primary->units_per_EM;
    double capHeight = 0.7 * px;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(primary, FT_SFNT_OS2)); os2 != nullptr && os2->sCapHeight > 0)
        capHeight = os2->sCapHeight * unitsToPx;

    const std::int32_t raise = std::int32_t(std::lround(options.raise * options.scale));
    for (const int code : fontCharacterCodes()) {
        FT_Face face = nullptr;
        for (const FacePtr& f : faces)
            if (FT_Get_Char_Index(f.get(), FT_ULong(code)) != 0) {
                face = f.get();
                break;
            }
        if (face == nullptr)
            continue;
        if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_TARGET_LIGHT) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_LIGHT) != 0) {
            error = "glyph " + std::to_string(code) + " does not render";
            return false;
        }
        const FT_GlyphSlot slot = face->glyph;
        // The unhinted advance, kept to 1/64 layer pixel, plus tracking.
        const double advance = std::round(slot->linearHoriAdvance / 1024.0) / 64.0 + options.tracking * options.scale;
        const FT_Bitmap& bm = slot->bitmap;
        const int w = int(bm.width), h = int(bm.rows);
        std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[std::size_t(y * w + x)] = bm.buffer[std::ptrdiff_t(y) * bm.pitch + x];
        font.setImage(code, glyphImage(pixels, w, h, slot->bitmap_left, -slot->bitmap_top - raise, options.scale,
                                       advance));
    }
    if (font.image(CFont::kFallbackGlyph) == nullptr)
        font.setImage(CFont::kFallbackGlyph, boxGlyph(capHeight, options.scale, 0.6 * px));

    if (options.haveMetrics) {
        font.setMetrics(options.metrics[0], options.metrics[1], options.metrics[2], options.metrics[3]);
    } else {
        const double ascent = primary->ascender * unitsToPx / options.scale;
        const double descent = -primary->descender * unitsToPx / options.scale;
        font.setMetrics(eighths(ascent), eighths(descent), eighths(0.2 * options.size),
                        eighths(capHeight / options.scale));
    }
    return true;
}

} // namespace delmaro_tool
