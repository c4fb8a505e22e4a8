#pragma once
#include "Core/CArray.h"
#include "UI/CCaptionText.h"
#include "UI/CView.h"
#include "UI/CViewCaptionHost.h"

#include <cstdint>

namespace tal {

class CFontObject;

// "ui:ruler-area": the view that holds and draws the label captions of a ruler. The ruler sizes and
// places it (usually a "window-overlay" child of the ruler) around the union of its label boxes and
// fills the captions in its layout pass; colour slot 0 ("text-color") is the text colour.
// Owned by the object tree; owns its captions. UI thread, except paint, which draws the glyph lists
// prepareDraw built and may run on several workers at once.
class CRulerArea : public CView {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CRulerArea();
    ~CRulerArea() override;

    // Colour slot 0 from "text-color".
    [[nodiscard]] CError* init() override;
    // Builds the glyph lists; false when one fails (no font) and true with no captions.
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // Deletes captions from the end, or appends new ones (owner this view, the font, text colour 0,
    // the alignments, right margin 2 and scale), until there are count.
    void resizeCaptions(std::int32_t count, CFontObject* font, std::int32_t alignH, std::int32_t alignV, double scale);
    // The captions, owned by this view; valid until the next resizeCaptions.
    CArray<CCaptionText*>& captions() noexcept { return mCaptions; }

private:
    CViewCaptionHost mHost;
    CArray<CCaptionText*> mCaptions;
};

} // namespace tal
