#pragma once
#include "UI/CCaptionTextHost.h"

namespace tal {

class CView;

// The caption host of a view: text and shadow colours from the view's colour table, inline image
// colours from the palette the table follows, glyph draws from the window's image-draw pool at the
// window scale (the disabled text colour on a disabled view). UI thread only.
class CViewCaptionHost : public CCaptionTextHost {
public:
    explicit CViewCaptionHost(CView& view) : mView(view) {}

    const CColor* captionColor(std::int32_t index) override;
    const CColor* captionPaletteColor(const CString& name) override;
    CImageDraw* requestCaptionImageDraw(const CImageLayer* layer, const CColor* color, double opacity) override;

private:
    CView& mView;   // the owner
};

} // namespace tal
