#pragma once
#include "UI/CCaptionText.h"
#include "UI/CView.h"
#include "UI/CViewCaptionHost.h"

namespace tal {

class CFontObject;

// "ui:caption": a one-line text label (button labels, panel and knob titles, ruler captions). Its
// only content is a CCaptionText fed from the attributes (font, title, colours, alignment); the
// text's box follows the view's rectangle and its measured size becomes the view's compact size.
// Colour name 0 of the view's table is the text colour, name 1 the shadow colour.
// Threads: UI thread, except paint, which the window's sector jobs run on workers (several sectors
// at once); paint only reads the glyph list prepareDraw built.
class CCaption : public CView {
public:
    static CObject* create();
    // The scheme of "ui:view" plus "font-name", "text-alignment", "text-alignment-v", "text-color"
    // and "title".
    static void initScheme(CObjectScheme* scheme);

    CCaption();
    ~CCaption() override;

    [[nodiscard]] CError* init() override;
    // Fixed compact sizes from "width" and "height", the text and shadow colours.
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    // Rebuilds the glyph list; false (nothing drawn) without a font.
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;
    // Measures the text and publishes "compact-width" and "compact-height" where they are "compact".
    [[nodiscard]] CError* updateContent() override;

    [[nodiscard]] virtual CError* attrFontName(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextAlignment(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextAlignmentV(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTitle(CAttrValue& value);

    // The measured size of the text (window pixels) without storing it.
    void getTextSize(double& width, double& height, bool precise) const;
    const CCaptionText& captionText() const noexcept { return mText; }

private:
    void setColorName(std::int32_t index, const CString& name);

    CViewCaptionHost mHost;
    CCaptionText mText;
};

} // namespace tal
