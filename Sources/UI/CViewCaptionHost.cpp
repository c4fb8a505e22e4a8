#include "UI/CViewCaptionHost.h"

#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"

namespace tal {

namespace {

CDynamicPalette* paletteOf(CViewColorTable& table) {
    table.refresh();
    if (table.palette() != nullptr)
        return table.palette();
    return table.rootColors() != nullptr ? table.rootColors()->palette() : nullptr;
}

} // namespace

const CColor* CViewCaptionHost::captionColor(std::int32_t index) {
    CViewColorTable* table = mView.colorTable();
    if (table == nullptr || paletteOf(*table) == nullptr)
        return nullptr;
    return table->getColor(index);
}

const CColor* CViewCaptionHost::captionPaletteColor(const CString& name) {
    CViewColorTable* table = mView.colorTable();
    CDynamicPalette* palette = table != nullptr ? paletteOf(*table) : nullptr;
    return palette != nullptr ? palette->getColor(name, 0.0) : nullptr;
}

CImageDraw* CViewCaptionHost::requestCaptionImageDraw(const CImageLayer* layer, const CColor* color, double opacity) {
    return requestImageDraw(mView, const_cast<CImageLayer*>(layer), color, true, false, opacity);
}

} // namespace tal
