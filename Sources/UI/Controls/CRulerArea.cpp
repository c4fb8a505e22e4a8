#include "UI/Controls/CRulerArea.h"

#include "Core/CError.h"
#include "UI/CSector.h"
#include "UI/CViewColorTable.h"

namespace tal {

CObject* CRulerArea::create() { return new CRulerArea(); }

void CRulerArea::initScheme(CObjectScheme* scheme) { CView::initScheme(scheme); }

CRulerArea::CRulerArea() : mHost(*this) {}

CRulerArea::~CRulerArea() { resizeCaptions(0, nullptr, 0, 0, 1.0); }

CError* CRulerArea::init() {
    if (CError* err = CView::init()) return traceError(err, getFullName());
    colorTable()->setColorName(0, getTextAttr("text-color"));
    return nullptr;
}

void CRulerArea::resizeCaptions(std::int32_t count, CFontObject* font, std::int32_t alignH, std::int32_t alignV,
                                double scale) {
    while (mCaptions.count() > count) {
        delete mCaptions[mCaptions.count() - 1];
        mCaptions.removeAt(mCaptions.count() - 1);
    }
    while (mCaptions.count() < count) {
        auto* caption = new CCaptionText;
        caption->host = &mHost;
        caption->fontObject = font;
        caption->textColorIndex = 0;
        caption->alignH = alignH;
        caption->alignV = alignV;
        caption->rightSideGap = 2.0;
        caption->scale = scale;
        mCaptions.add(caption);
    }
}

bool CRulerArea::prepareDraw() {
    for (std::int32_t i = 0; i < mCaptions.count(); ++i)
        if (!mCaptions[i]->buildGlyphList()) return false;
    return true;
}

void CRulerArea::paint(CSector& sector) {
    CPixelRect visible;
    if (!drawItem(0)->intersectContext(sector, visible)) return;
    for (std::int32_t i = 0; i < mCaptions.count(); ++i)
        mCaptions[i]->draw(*sector.target, sector.windowRect.x, sector.windowRect.y, visible);
}

} // namespace tal
