#pragma once
#include "Core/CArray.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <cstdint>

namespace tal {

class CColor;
class CDynamicPalette;

// The colours of one view: colour names and image colour slot names relative to the view's base
// colour (the prefix), resolved through the palette once per colour state ("Hover", "Active"...),
// and handed out by index. A name "/Text" is absolute; "RAW" takes a colour the view computes itself
// (setRawColor). Resolution is lazy: refresh runs before every read and resolves again only after a
// change marked the table dirty or when the root table's palette changed.
// Made by its view and shared by the views naming that view in "shared-color": every user holds a
// share (addUser, releaseUser) and the last one to leave frees it, so a table outlives its owner
// while views still borrow it.
// Changed and refreshed on the UI thread only. Paint calls on other threads read resolved colours
// with colorInState and slotColorInState, which never refresh or write.
class CViewColorTable : public CPoolAllocated {
public:
    // --- life cycle ---
    // colorPath: the owner's full name (kept for log lines). A new table is dirty, has one empty
    // colour name, one empty slot name, the empty colour state (current), "Disabled" and
    // "DisabledText" as disabled colour names, and no palette.
    explicit CViewColorTable(const CString& colorPath);
    CViewColorTable(const CViewColorTable&) = delete;
    CViewColorTable& operator=(const CViewColorTable&) = delete;
    ~CViewColorTable();

    // --- sharing ---
    // The creator holds the first share. releaseUser returns true when the last share went: the
    // caller then deletes the table.
    void addUser() noexcept { ++mUsers; }
    [[nodiscard]] bool releaseUser() noexcept { return --mUsers <= 0; }

    // --- resolving and reading (UI thread) ---
    // Resolves every name in every state when dirty or when the root table's palette changed. Logs
    // "RootColors IS NULL" without a root table and "PALETTE IS NULL" without a palette.
    void refresh();
    // Colour index in the current state after a refresh; out of range: "WRONG COLOR INDEX %i" and the
    // palette's fallback colour (null without palette). Not owned.
    const CColor* getColor(int index);
    // Slot colour in the current state after a refresh; out of range: "WRONG SLOT INDEX %i (state %i)
    // // %p" and the fallback colour (null without palette). Not owned.
    const CColor* getSlotColor(int slot);

    // --- reading while painting (any thread; no refresh, no log) ---
    // The resolved colour or slot colour in state; null when out of range or not resolved.
    const CColor* colorInState(int index, int state) const noexcept;
    const CColor* slotColorInState(int slot, int state) const noexcept;

    // --- names (UI thread; every change marks the table dirty) ---
    // Grows the colour names to index + 1 (new names empty) and stores name. Negative index: nothing.
    void setColorName(int index, const CString& name);
    // Makes colour name index "RAW" and stores color (not owned) as its raw colour in every state.
    // Negative index: nothing.
    void setRawColor(int index, const CColor* color);
    // Grows the slot names to index + 1 (new names empty) and stores name. Negative index: nothing.
    void setSlotName(int index, const CString& name);
    // The base colour that relative names are appended to.
    void setPrefix(const CString& prefix);
    // Replaces both disabled colour names.
    void setDisabledNames(const CString& name);

    // --- colour states ---
    // The index of a colour-state name; -1 when absent.
    int findState(const CString& name) const noexcept;
    // The index of a colour-state name, appended (dirty) when absent.
    int addState(const CString& name);
    // Makes name the current state (adding it when absent); returns its index.
    int selectState(const CString& name);
    std::int32_t currentState() const noexcept { return mCurrentState; }

    // --- links ---
    // The palette colours are resolved from; set on the root view's table. Dirty when it changes.
    void setPalette(CDynamicPalette* palette);
    // The root view's table (this table for a root view), from which refresh takes the palette.
    void setRootColors(CViewColorTable* root) noexcept { mRootColors = root; }
    void setGradientPosition(double position) noexcept { mGradientPosition = position; }
    void markDirty() noexcept { mIsDirty = true; }

    // --- queries ---
    const CString& colorPath() const noexcept { return mColorPath; }
    const CString& prefix() const noexcept { return mPrefix; }
    const CStringList& colorNames() const noexcept { return mColorNames; }
    const CStringList& slotNames() const noexcept { return mSlotNames; }
    const CStringList& stateNames() const noexcept { return mStateNames; }
    const CString& disabledName() const noexcept { return mDisabledName; }
    const CString& disabledTextName() const noexcept { return mDisabledTextName; }
    const CColor* disabledColor() const noexcept { return mDisabledColor; }
    const CColor* disabledTextColor() const noexcept { return mDisabledTextColor; }
    CDynamicPalette* palette() const noexcept { return mPalette; }
    CViewColorTable* rootColors() const noexcept { return mRootColors; }
    double gradientPosition() const noexcept { return mGradientPosition; }
    bool isDirty() const noexcept { return mIsDirty; }

private:
    // The palette name of a colour or slot name in a state.
    CString paletteName(const CString& name, const CString& state) const;
    // Fills resolved with names × states palette lookups; "RAW" takes raw colours when useRaw.
    void resolve(CArray<const CColor*>& resolved, const CStringList& names, bool useRaw);
    const CColor* fallback() const noexcept;

    CString mColorPath;
    CString mPrefix;
    CArray<const CColor*> mColors;       // not owned: colour names × states, state-major
    CStringList mColorNames;
    CStringList mSlotNames;
    CStringList mStateNames;
    std::int32_t mCurrentState = 0;
    const CColor* mDisabledColor = nullptr;       // not owned
    CString mDisabledName;
    const CColor* mDisabledTextColor = nullptr;   // not owned
    CString mDisabledTextName;
    CDynamicPalette* mPalette = nullptr;          // not owned
    double mGradientPosition = 0.0;
    bool mIsDirty = true;
    CArray<const CColor*> mRawColors;             // not owned
    CViewColorTable* mRootColors = nullptr;       // not owned
    CArray<const CColor*> mSlotColors;            // not owned: slot names × states
    std::int32_t mUsers = 1;
};

} // namespace tal
