#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Other/CLinearBitmap.h"

#include <cstdint>

namespace tal {

class CCaptionTextHost;
class CColor;
class CFont;
class CFontObject;
struct CImageDraw;
class CImageLayer;

// One line of text in a bitmap font, laid out into glyph draws placed in window pixels and drawn
// into the bitmaps of a repaint. The text may hold inline images "[IMG=set#range]" (tinted with the
// text colour) or "[IMG=set#range:Colour]" (tinted with a palette colour); any other "[" is bad
// markup: it is logged and the characters up to the next "]" are skipped. A shadow (an outline of
// four one-pixel passes and a drop shadow towards the lower right) is drawn under the text when the
// shadow colour index is 0 or more.
// Embedded in its owner, which fills in the fields below, stores getSize's result as the text size,
// calls buildGlyphList in its prepare step and draw for every sector it paints.
// Threads: getSize and buildGlyphList on the UI thread; draw on any number of paint workers at
// once (it only reads the glyph list).
struct CCaptionText {
    // One placed draw: its position in window pixels and the prepared image (owned by the window).
    struct CGlyphDraw {
        std::int32_t x = 0, y = 0;
        CImageDraw* draw = nullptr;
    };

    // The size of the text in window pixels: width as the pen advances, height the font's line box
    // (or a taller inline image). Only the last character's advance is rounded (to 1/1000 pixel when
    // precise, else to whole pixels); the others are truncated as the pen positions are. 0 x 0
    // without a font or text.
    void getSize(double& width, double& height, bool precise) const;
    // Rebuilds the glyph list: the shadow passes, then the text. False, the list left as it was,
    // when no font object is set. A glyph that gets no colour (the view's table follows no palette)
    // is not drawn.
    bool buildGlyphList();
    // Draws the glyph list into a sector bitmap whose top left is at (originX, originY) in window
    // pixels, inside clip (bitmap coordinates).
    void draw(CLinearBitmap& bitmap, std::int32_t originX, std::int32_t originY, const CPixelRect& clip) const;

    // The glyph at position p of the text: its layer (null when there is none) and, for an inline
    // image, its colour name ("Text" for the text colour); p moves to the last character consumed.
    const CImageLayer* getGlyph(const CFont& font, std::int32_t& p, CString& colorName) const;
    // Appends one pass of the text, offset by (dx, dy), in one colour (null: each glyph's own).
    void addGlyphPass(const CFont& font, const CColor* color, double dx, double dy);

    // The regular font of the font object, or null.
    const CFont* regularFont() const;

    std::int32_t textColorIndex = 0;     // slot of the owner's colour table for the text
    std::int32_t shadowColorIndex = -1;  // slot for the shadow; below 0: no shadow
    CFontObject* fontObject = nullptr;   // not owned; the regular style is used
    double rightSideGap = 0.0;           // unscaled pixels kept free at the right (right alignment)
    CString text;
    std::int32_t alignH = -1;            // 0 centre, 1 right, else left
    std::int32_t alignV = -1;            // 0 centre, 1 bottom, else top
    double textWidth = 0.0, textHeight = 0.0;   // window pixels, from getSize
    double boxLeft = 0.0, boxTop = 0.0, boxWidth = 0.0, boxHeight = 0.0;   // window pixels
    double rightInset = 0.0;             // window pixels taken off the box's right side (right alignment)
    double scale = 1.0;                  // window scale
    CArray<CGlyphDraw> glyphs;
    CCaptionTextHost* host = nullptr;    // not owned: the owning view
};

} // namespace tal
