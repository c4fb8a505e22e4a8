#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"

namespace tal {

class CDynamicColor;
class CDynamicPalette;
class CWindowSharedData;

// "ui:style" (the object "ui.style"): derives the editor's style attributes (frame spreads and
// borders, shadow and spotlight visibility, overlay and texture opacities, panel colour names), to
// which views bind, from three feature switches of the palette ("FlatPanels", "LargerPanelBorder",
// "MeterInnerBorder") and the preferences "ui-shadows", "ui-spotlight" and "ui-textures"; then
// repaints every open window. It derives whenever one of "ui-flat-panels", "ui-shadows",
// "ui-spotlight", "ui-textures" is set and whenever the palette announces "dynamic-palette-updated".
// Owned by the object tree; UI thread only.
class CStyle : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    CStyle() = default;
    ~CStyle() override;

    // Sets up the references to the palette, its switches and the shared window data; derives
    // nothing yet.
    [[nodiscard]] CError* init() override;

    // --- handlers: each derives the style ---
    [[nodiscard]] virtual CError* attrUiFlatPanels(CAttrValue& value);
    [[nodiscard]] virtual CError* attrUiShadows(CAttrValue& value);
    [[nodiscard]] virtual CError* attrUiSpotlight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrUiTextures(CAttrValue& value);
    [[nodiscard]] virtual CError* onPaletteUpdated();

    // Sets the derived attributes in order and repaints every open window. The first failing set
    // ends it (the attributes set so far stay) and is returned.
    [[nodiscard]] CError* applyStyle();

private:
    CTarget<CDynamicColor> mFlatPanels;
    CTarget<CDynamicColor> mLargerPanelBorder;
    CTarget<CDynamicColor> mMeterInnerBorder;
    CTarget<CDynamicPalette> mPalette;
    CTarget<CWindowSharedData> mWindowSharedData;
};

} // namespace tal
