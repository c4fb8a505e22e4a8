#include "UI/Controls/CColorFill.h"

#include "UI/CViewDrawHelpers.h"

namespace tal {

CObject* CColorFill::create() {
    auto* fill = new CColorFill();
    fill->mFillColor.setOpacity(1.0);
    return fill;
}

void CColorFill::paint(CSector& sector) { fillDrawItem(*this, sector, 1, mFillColor, 255); }

} // namespace tal
