#pragma once
#include "Core/CObject.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CColor;
class CDynamicColorData;
class CDynamicPalette;

// "ui:dynamic-color": one named colour of the palette, a child (or grandchild) of the palette. Its
// attributes "tone", "tone2", "tone3" (hexadecimal "rrggbb"), "brightness", "contrast", "opacity"
// and "hover-brightness" describe tone ramps that it builds into the CDynamicColorData the palette
// keeps under its name; "gradient-size" entries blend tone to tone2 (and on to tone3), and
// "is-hoverable" adds a hover colour that is brighter by "hover-brightness". An alias
// ("is-copy-parent-color") builds nothing and answers with its parent colour's ramps.
// "editable-features" names what the colour editor may change (b, c, o, t; e: a feature switch,
// on while the brightness is above 0). Attribute changes rebuild only once the palette has
// applied its stored values (ready). Points at the palette and its data without owning them; the
// palette must outlive it (colours are its descendants), and it unregisters when destroyed.
// Editor thread only.
class CDynamicColor : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CDynamicColor() override;

    // Reads the defaults and flags, takes the data record and registers with the palette. Errors:
    // the palette lookup, "Parent dynamic color not found.", "Invalid characters in
    // editable-features attribute.", "Gradient size not defined." (then nothing is registered).
    [[nodiscard]] CError* init() override;

    // --- attribute handlers ---
    [[nodiscard]] virtual CError* onColorAttrChanged();
    [[nodiscard]] virtual CError* onHoverBrightnessChanged();

    // --- operations ---
    // Rebuilds from the current attributes when they changed, and tells the palette.
    [[nodiscard]] CError* update();
    // The gradient entry at position 0..1 (entry 0 outside), following aliases to their parent.
    CColor* getGradientColor(double position) const;
    // The hover colour, or the gradient entry when there is none.
    CColor* getHoverColor(double position) const;

    // --- queries and palette state ---
    const CString& name() const noexcept { return mName; }
    const CString& hoverName() const noexcept { return mHoverName; }
    const CString& copyDefaultFrom() const noexcept { return mCopyDefaultFrom; }
    CDynamicColorData* colorData() const noexcept { return mData; }
    bool isAlias() const noexcept { return mIsAlias; }
    bool isEnabled() const noexcept { return mIsEnabled; }
    bool isBrightnessEditable() const noexcept { return mEditBrightness; }
    bool isContrastEditable() const noexcept { return mEditContrast; }
    bool isOpacityEditable() const noexcept { return mEditOpacity; }
    bool isToneEditable() const noexcept { return mEditTone; }
    bool isEnableSwitch() const noexcept { return mEditEnable; }
    // At least one of brightness, contrast, opacity and tone is editable.
    bool isEditable() const noexcept { return mEditBrightness || mEditContrast || mEditOpacity || mEditTone; }
    double editableBrightnessMin() const noexcept { return mBrightnessMin; }
    double editableBrightnessMax() const noexcept { return mBrightnessMax; }
    double defaultBrightness() const noexcept { return mDefBrightness; }
    double defaultContrast() const noexcept { return mDefContrast; }
    double defaultOpacity() const noexcept { return mDefOpacity; }
    std::int32_t defaultTone() const noexcept { return mDefTone; }

    bool isReady() const noexcept { return mIsReady; }
    void setReady(bool ready) noexcept { mIsReady = ready; }
    bool isLoadedFromParam() const noexcept { return mIsLoadedFromParam; }
    void setLoadedFromParam(bool loaded) noexcept { mIsLoadedFromParam = loaded; }

    // "Button_Active" gives "Button_ActiveHover", "Panel" gives "Panel_Hover".
    static CString makeHoverName(const CString& name);

private:
    // The colour whose data this one shows: itself, or the end of its alias chain.
    const CDynamicColor* dataOwner() const;
    [[nodiscard]] CError* parseEditableFeatures(const CString& text);

    CDynamicColorData* mData = nullptr;  // not owned: kept by the palette
    CString mName;
    CString mHoverName;
    CString mCopyDefaultFrom;
    double mBrightnessMin = -25.0;
    double mBrightnessMax = 25.0;
    CDynamicPalette* mPalette = nullptr;  // not owned
    bool mIsReady = false;
    bool mIsAlias = false;
    bool mEditBrightness = false;
    bool mEditContrast = false;
    bool mEditEnable = false;
    bool mEditOpacity = false;
    bool mEditTone = false;
    bool mIsEnabled = false;
    bool mIsLoadedFromParam = false;
    bool mIsRegistered = false;
    double mDefBrightness = 0.0;
    double mDefContrast = 0.0;
    double mDefOpacity = 0.0;
    std::int32_t mDefTone = -1;
    std::int32_t mDefTone2 = -1;
    std::int32_t mDefTone3 = -1;
};

} // namespace tal
