#include "UI/Controls/CFrameBand.h"

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/NumberText.h"
#include "Other/CBandColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CViewColorTable.h"

namespace tal {

CObject* CFrameBand::create() { return new CFrameBand(); }

CFrameBand::~CFrameBand() = default;

CError* CFrameBand::initChilds() {
    if (CError* error = CFrame::initChilds())
        return traceError(error, getFullName());
    mColorOpacity = getDoubleAttr("color-opacity");
    // The palette is set on the root view's colour table.
    CDynamicPalette* palette = rootView() != nullptr && rootView()->colorTable() != nullptr
                                   ? rootView()->colorTable()->palette() : nullptr;
    mColorModifier = palette != nullptr ? palette->getColor(getTextAttr("colorized-bands-color-modifier"), 0.0) : nullptr;
    return nullptr;
}

CError* CFrameBand::attrColor(CAttrValue& value) {
    const CString text = value.asText();
    if (text.isEmpty() || text.charAt(0) != '#') {
        mBandColor.reset();
        if (CError* error = CFrame::attrColor(value))
            return traceError(error, getFullName());
        return nullptr;
    }
    // Up to six digits after the "#"; text that is no hexadecimal number gives white.
    const std::int32_t rgb = parseInt(CString("$").append(CString(text, 1, text.length() > 7 ? 6 : -1)), -1);
    if (mBandColor == nullptr)
        mBandColor = std::make_unique<CBandColor>();
    const double channels[3] = {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0};
    mBandColor->update(channels, mColorModifier, true);
    // The band colour's own opacity is the frame's "color-opacity" (the record is ours to change).
    const_cast<CColor&>(mBandColor->color()).setOpacity(mColorOpacity);
    invalidate();
    return nullptr;
}

bool CFrameBand::prepareDraw() {
    mColorOverride = mBandColor != nullptr ? &mBandColor->color() : nullptr;
    const bool draws = CFrame::prepareDraw();
    if (mBandColor != nullptr)
        mFillColor = &mBandColor->color();
    return draws;
}

} // namespace tal
