#pragma once
#include <cstdint>

namespace tal {

class CColor;
struct CImageDraw;
class CImageLayer;
class CString;

// What a caption needs of the view that owns it: the colours of its colour table and palette, and
// image draws prepared at the window scale. The owning view implements it (forwarding to its colour
// table and its window's image-draw pool); the caption holds it without owning it.
// UI thread only (the prepare step).
class CCaptionTextHost {
public:
    virtual ~CCaptionTextHost() = default;

    // The colour of a slot of the view's colour table for its current colour state (the table's
    // fallback colour for a slot it lacks); null when the table follows no palette.
    virtual const CColor* captionColor(std::int32_t index) = 0;
    // A colour of the palette the view's table follows, at gradient position 0 (the palette's grey
    // fallback for a name it lacks); null when the table follows no palette.
    virtual const CColor* captionPaletteColor(const CString& name) = 0;
    // Takes a record from the window's image-draw pool and asks for the layer at the window scale,
    // tinted with the colour, at the opacity. The record is filled at once when the layer is ready
    // at that scale, else before painting. Null when no record can be had.
    virtual CImageDraw* requestCaptionImageDraw(const CImageLayer* layer, const CColor* color, double opacity) = 0;
};

} // namespace tal
