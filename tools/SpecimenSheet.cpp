#include "SpecimenSheet.h"

#include "Core/CError.h"
#include "Other/CColor.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace delmaro_tool {

namespace {

using namespace tal;

constexpr int kPanel[3] = {28, 31, 36};
constexpr int kCell[3] = {40, 44, 51};

std::vector<int> decodeUtf8(const std::string& text) {
    std::vector<int> codes;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (extra < 0 || (extra > 0 && i + std::size_t(extra) >= text.size())) {
            codes.push_back(0xFFFD);
            ++i;
            continue;
        }
        int code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + std::size_t(k)]) & 0x3F);
        codes.push_back(code);
        i += std::size_t(extra) + 1;
    }
    return codes;
}

// Rounds half away from zero, as captions do.
double roundAway(double v) { return v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5); }

void fill(CLinearBitmap& bitmap, const int rgb[3], const CPixelRect& rect) {
    for (std::int32_t y = std::max(rect.y, 0); y < std::min(rect.y + rect.height, bitmap.height()); ++y)
        bitmap.drawHLine(rect.x, rect.x + rect.width - 1, y, rgb[0], rgb[1], rgb[2], 32768);
}

void drawLayer(CLinearBitmap& bitmap, CImageLayer* layer, double scale, const CColor& tint, std::int32_t x,
               std::int32_t y) {
    CImageDraw record;
    CImageDraw::init(record, layer->getScaled(scale), &tint, false, 1.0);
    bitmap.drawImage(record, x, y, CPixelRect{0, 0, bitmap.width(), bitmap.height()});
}

// The glyph layer of a code as captions pick it: the code's own, else the fallback glyph.
CImageLayer* glyphOf(const CFont& font, int code) {
    for (const int c : {code, int(CFont::kFallbackGlyph)})
        if (const CImage* image = font.image(c); image != nullptr && image->layerCount() > 0)
            return image->layer(0);
    return nullptr;
}

} // namespace

void renderFontSheet(const CFont& font, double scale, const std::string& text, CLinearBitmap& out) {
    std::vector<std::vector<int>> lines;
    if (text.empty()) {
        lines.push_back(decodeUtf8("The quick brown fox jumps over the lazy dog."));
        lines.push_back(decodeUtf8("Gain +3.5 dB  Freq 1.25 kHz  Q 0.71  \xE2\x88\x86 -12.0 \xE2\x80\x93 100%"));
    } else {
        lines.push_back(decodeUtf8(text));
    }
    const std::size_t sampleLines = lines.size();
    std::vector<int> held;
    for (std::int32_t c = 0; c < font.imageCount(); ++c)
        if (font.image(c) != nullptr && font.image(c)->layerCount() > 0)
            held.push_back(c);
    for (std::size_t i = 0; i < held.size(); i += 24)
        lines.emplace_back(held.begin() + std::ptrdiff_t(i), held.begin() + std::ptrdiff_t(std::min(held.size(), i + 24)));

    const std::int32_t margin = std::int32_t(roundAway(8 * scale));
    const std::int32_t gap = std::int32_t(roundAway(4 * scale));
    const std::int32_t lineHeight = std::int32_t(std::ceil((font.ascent() + font.descent()) * scale)) + gap;
    auto advanceOf = [&](const CImageLayer* g) { return std::int32_t(std::floor(scale * g->advance() * g->inverseScale())); };
    std::int32_t width = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        std::int32_t w = 0;
        for (const int code : lines[l])
            if (const CImageLayer* g = glyphOf(font, code))
                w += l < sampleLines ? advanceOf(g) : std::max(advanceOf(g), lineHeight / 2) + gap;
        width = std::max(width, w);
    }
    CError* err = out.setSize(width + 2 * margin, std::int32_t(lines.size()) * lineHeight + 2 * margin, true);
    delete err;
    fill(out, kPanel, CPixelRect{0, 0, out.width(), out.height()});
    CColor ink;
    ink.buildLinearRamp(234, 236, 240);
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const std::int32_t top = margin + std::int32_t(l) * lineHeight;
        const std::int32_t baseline = top + std::int32_t(roundAway(font.ascent() * scale));
        std::int32_t x = margin;
        for (const int code : lines[l]) {
            CImageLayer* g = glyphOf(font, code);
            if (g == nullptr)
                continue;
            if (l < sampleLines) {
                drawLayer(out, g, scale, ink, x, baseline);
                x += advanceOf(g);
            } else {
                // Glyph table: each glyph in a cell at least half a line wide, on a faint base line.
                const std::int32_t cell = std::max(advanceOf(g), lineHeight / 2);
                out.drawHLine(x, x + cell - 1, baseline, kCell[0], kCell[1], kCell[2], 32768);
                drawLayer(out, g, scale, ink, x + (cell - advanceOf(g)) / 2, baseline);
                x += cell + gap;
            }
        }
    }
}

void renderImageSetSheet(const CImageSet& set, double scale, CLinearBitmap& out) {
    // Sample colours per slot: a muted body, a light edge, an accent, then white.
    const int slotColours[4][3] = {{96, 108, 124}, {196, 202, 212}, {72, 160, 255}, {240, 240, 240}};
    CColor tints[4];
    for (int i = 0; i < 4; ++i)
        tints[i].buildLinearRamp(slotColours[i][0], slotColours[i][1], slotColours[i][2]);

    std::vector<std::int32_t> indices;
    std::int32_t cellW = 0, cellH = 0;
    for (std::int32_t i = 0; i < set.imageCount(); ++i) {
        const CImage* image = set.image(i);
        if (image == nullptr || image->layerCount() == 0)
            continue;
        indices.push_back(i);
        const CImageLayer* base = image->layer(0);
        cellW = std::max(cellW, std::int32_t(std::ceil(base->width() * base->inverseScale() * scale)));
        cellH = std::max(cellH, std::int32_t(std::ceil(base->height() * base->inverseScale() * scale)));
    }
    const std::int32_t pad = std::int32_t(roundAway(6 * scale));
    cellW += 2 * pad;
    cellH += 2 * pad;
    const std::int32_t columns = std::min<std::int32_t>(8, std::max<std::int32_t>(1, std::int32_t(indices.size())));
    const std::int32_t rows = (std::int32_t(indices.size()) + columns - 1) / columns;
    const std::int32_t gap = std::int32_t(roundAway(2 * scale));
    CError* err = out.setSize(columns * (cellW + gap) + gap, std::max(1, rows) * (cellH + gap) + gap, true);
    delete err;
    fill(out, kPanel, CPixelRect{0, 0, out.width(), out.height()});
    for (std::size_t n = 0; n < indices.size(); ++n) {
        const CImage* image = set.image(indices[n]);
        const std::int32_t cx = gap + std::int32_t(n % std::size_t(columns)) * (cellW + gap);
        const std::int32_t cy = gap + std::int32_t(n / std::size_t(columns)) * (cellH + gap);
        fill(out, kCell, CPixelRect{cx, cy, cellW, cellH});
        const CImageLayer* base = image->layer(0);
        const std::int32_t w = std::int32_t(std::ceil(base->width() * base->inverseScale() * scale));
        const std::int32_t h = std::int32_t(std::ceil(base->height() * base->inverseScale() * scale));
        const std::int32_t x = cx + (cellW - w) / 2, y = cy + (cellH - h) / 2;
        for (int k = 0; k < image->layerCount(); ++k) {
            CImageLayer* layer = image->layer(k);
            drawLayer(out, layer, scale, tints[std::clamp(layer->colorIndex(), 0, 3)], x, y);
        }
    }
}

} // namespace delmaro_tool
