#pragma once
#include "UI/Controls/CFrame.h"

#include <memory>

namespace tal {

class CBandColor;

// "ui:frame-band": a frame that can take the colour of an equaliser band. A "color" written as "#"
// and six hexadecimal digits builds a band colour, tinted onto the "colorized-bands-color-modifier"
// palette colour as the curve editor tints its bands, and every piece and the centre are drawn in it
// at "color-opacity"; a palette colour name makes it a plain frame again. Owned by the object tree;
// UI thread, except paint (the frame's), which reads what prepareDraw set.
class CFrameBand : public CFrame {
public:
    static CObject* create();
    ~CFrameBand() override;

    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* attrColor(CAttrValue& value) override;
    [[nodiscard]] bool prepareDraw() override;

    const CBandColor* bandColor() const noexcept { return mBandColor.get(); }

private:
    std::unique_ptr<CBandColor> mBandColor;
    double mColorOpacity = 0.0;
    const CColor* mColorModifier = nullptr;   // not owned: the palette's
};

} // namespace tal
