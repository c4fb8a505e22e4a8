#include "UI/CCaptionText.h"

#include "Core/Log.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CCaptionTextHost.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"

#include <cmath>
#include <string>

namespace tal {

namespace {

// Positions are snapped to 1/128 pixel first, then to whole pixels (halves away from zero).
std::int32_t snapToPixel(double v) { return std::int32_t(std::round(std::round(v * 128.0) / 128.0)); }

// The character's code: the unsigned byte of an 8-bit text, the signed value of a 32-bit one.
std::int32_t codeAt(const CString& text, std::int32_t p) {
    const std::uint32_t c = text.charAt(p);
    return text.isWide() ? std::int32_t(c) : std::int32_t(c & 0xffu);
}

const CImageLayer* firstLayer(const CImage* image) {
    return image != nullptr && image->layerCount() > 0 ? image->layer(0) : nullptr;
}

CString substring(const CString& text, std::int32_t from, std::int32_t to) {
    CString part;
    if (to > from)
        part.appendSub(text, from, to - from);
    return part;
}

bool startsImageReference(const CString& text, std::int32_t p) {
    const char* const tag = "IMG=";
    if (p + 4 >= text.length())
        return false;
    for (int i = 0; i < 4; ++i)
        if (text.charAt(p + 1 + i) != std::uint32_t(static_cast<unsigned char>(tag[i])))
            return false;
    return true;
}

} // namespace

const CFont* CCaptionText::regularFont() const {
    return fontObject != nullptr ? fontObject->font(CFontObject::kRegular) : nullptr;
}

const CImageLayer* CCaptionText::getGlyph(const CFont& font, std::int32_t& p, CString& colorName) const {
    colorName = CString();
    if (text.charAt(p) != '[') {
        const std::int32_t code = codeAt(text, p);
        if (const CImageLayer* layer = code >= 0 ? firstLayer(font.image(code)) : nullptr)
            return layer;
        return font.imageCount() > CFont::kFallbackGlyph ? firstLayer(font.image(CFont::kFallbackGlyph)) : nullptr;
    }
    if (startsImageReference(text, p)) {
        const std::int32_t hash = text.findChar('#', p + 5);
        // The reference ends at the first "]" after "#"; a ":" counts only before it, so that a
        // colon later in the text does not swallow the reference.
        const std::int32_t end = hash < 0 ? -1 : text.findChar(']', hash + 1);
        if (end >= 0) {
            const std::int32_t colon = text.findChar(':', hash + 1);
            const bool hasColor = colon >= 0 && colon < end;
            const CString path = substring(text, p + 5, hash);
            const CString range = substring(text, hash + 1, hasColor ? colon : end);
            colorName = hasColor ? substring(text, colon + 1, end) : CString("Text");
            p = end;
            return firstLayer(CImageSetObject::findImage(path, range, true));
        }
    }
    const std::string line = std::string("Errors in caption: ") + text.narrowed().chars8();
    writeLog(line.c_str(), true);
    const std::int32_t close = text.findChar(']', p);
    p = close >= 0 ? close : text.length() - 1;
    return nullptr;
}

void CCaptionText::getSize(double& width, double& height, bool precise) const {
    width = 0.0;
    height = 0.0;
    const CFont* font = regularFont();
    if (font == nullptr || text.isEmpty())
        return;
    const double q = precise ? 1000.0 : 1.0;
    height = font->ascent() * scale + font->descent() * scale;
    CString colorName;
    for (std::int32_t p = 0; p < text.length(); ++p) {
        const CImageLayer* layer = getGlyph(*font, p, colorName);
        if (layer == nullptr)
            continue;
        const double inverse = layer->inverseScale();
        if (!colorName.isEmpty()) {
            width += std::round((layer->width() + layer->extraWidth()) * scale * inverse);
            height = std::max(height, (layer->height() + layer->extraHeight()) * scale * inverse);
        } else if (p == text.length() - 1) {
            width += std::round(q * scale * layer->advance() * inverse) / q;
        } else {
            width += std::floor(scale * layer->advance() * inverse);
        }
    }
}

bool CCaptionText::buildGlyphList() {
    const CFont* font = regularFont();
    if (font == nullptr)
        return false;
    glyphs.clear();
    if (text.isEmpty())
        return true;
    const CColor* shadow = shadowColorIndex >= 0 && host != nullptr ? host->captionColor(shadowColorIndex) : nullptr;
    if (shadow != nullptr) {   // without a colour for it the shadow is not drawn
        static const double kOutline[4][2] = {{-1.0, 0.0}, {0.0, -1.0}, {1.0, 0.0}, {0.0, 1.0}};
        for (const auto& offset : kOutline)
            addGlyphPass(*font, shadow, offset[0], offset[1]);
        const int n = int(std::round(scale));
        for (int k = 1; k <= n; ++k) {
            const double d = scale * 0.75 * k / n;
            addGlyphPass(*font, shadow, d, d);
        }
    }
    addGlyphPass(*font, nullptr, 0.0, 0.0);
    return true;
}

void CCaptionText::addGlyphPass(const CFont& font, const CColor* color, double dx, double dy) {
    double x0 = boxLeft;
    if (alignH == 1)
        x0 += (boxWidth - textWidth) - rightSideGap * scale - rightInset;
    else if (alignH == 0)
        x0 += std::max(0.0, (boxWidth - textWidth) / 2.0);
    double y0 = boxTop;
    if (alignV == 1)
        y0 += boxHeight - textHeight;
    else if (alignV == 0)
        y0 += (boxHeight - textHeight) / 2.0;
    if (text.isEmpty())
        return;
    const double ascent = font.ascent() * scale;
    const double descent = font.descent() * scale;
    const std::int32_t baseline = snapToPixel(y0 + dy + ascent + (textHeight - ascent - descent) / 2.0);
    double pen = x0 + dx;
    CString colorName;
    for (std::int32_t p = 0; p < text.length(); ++p) {
        const CImageLayer* layer = getGlyph(font, p, colorName);
        if (layer == nullptr)
            continue;
        const double inverse = layer->inverseScale();
        const bool isImage = !colorName.isEmpty();
        const CColor* glyphColor = color;
        if (glyphColor == nullptr && host != nullptr)
            glyphColor = isImage && !colorName.equals("Text") ? host->captionPaletteColor(colorName)
                                                              : host->captionColor(textColorIndex);
        CGlyphDraw glyph;
        glyph.x = snapToPixel(pen);
        double advance = 0.0;
        if (isImage) {
            glyph.y = snapToPixel(boxTop + boxHeight / 2.0 - (layer->height() + layer->extraHeight()) * scale * inverse / 2.0);
            advance = std::round((layer->width() + layer->extraWidth()) * scale * inverse);
        } else {
            glyph.y = baseline;
            advance = p == text.length() - 1 ? std::round(scale * layer->advance() * inverse)
                                             : std::floor(scale * layer->advance() * inverse);
        }
        if (glyphColor != nullptr && host != nullptr) {
            glyph.draw = host->requestCaptionImageDraw(layer, glyphColor, 1.0);
            if (glyph.draw != nullptr)
                glyphs.add(glyph);
        }
        pen += advance;
    }
}

void CCaptionText::draw(CLinearBitmap& bitmap, std::int32_t originX, std::int32_t originY,
                        const CPixelRect& clip) const {
    for (int i = 0; i < glyphs.count(); ++i) {
        const CGlyphDraw& glyph = glyphs[i];
        bitmap.drawImage(*glyph.draw, glyph.x - originX, glyph.y - originY, clip);
    }
}

} // namespace tal
