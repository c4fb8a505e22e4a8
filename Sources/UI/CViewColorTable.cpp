#include "UI/CViewColorTable.h"

#include "Core/Log.h"
#include "UI/CDynamicPalette.h"

#include <cstdio>

namespace tal {

namespace {

const CString kRawName("RAW");

// Grows a name list to index + 1 and stores name; whether anything changed.
bool storeName(CStringList& names, int index, const CString& name) {
    bool changed = false;
    if (index >= names.count()) {
        names.resize(index + 1);
        changed = true;
    }
    if (!(names[index] == name)) {
        names[index] = name;
        changed = true;
    }
    return changed;
}

} // namespace

CViewColorTable::CViewColorTable(const CString& colorPath)
    : mColorPath(colorPath), mDisabledName("Disabled"), mDisabledTextName("DisabledText") {
    mColorNames.addEmpty();
    mSlotNames.addEmpty();
    mStateNames.addEmpty();
}

CViewColorTable::~CViewColorTable() = default;

// --- resolving ---

const CColor* CViewColorTable::fallback() const noexcept {
    return mPalette != nullptr ? &mPalette->fallbackColor() : nullptr;
}

CString CViewColorTable::paletteName(const CString& name, const CString& state) const {
    CString result;
    if (name.length() > 0 && name.charAt(0) == '/')
        result = CString(name, 1, -1);
    else
        result = mPrefix + name;
    if (!state.isEmpty()) result.append("_").append(state);
    return result;
}

void CViewColorTable::resolve(CArray<const CColor*>& resolved, const CStringList& names, bool useRaw) {
    const int n = names.count();
    resolved.setCount(n * mStateNames.count());
    for (int s = 0; s < mStateNames.count(); ++s) {
        for (int i = 0; i < n; ++i) {
            const CColor* color = nullptr;
            if (useRaw && names[i] == kRawName)
                color = i < mRawColors.count() ? mRawColors[i] : fallback();
            else
                color = mPalette->getColor(paletteName(names[i], mStateNames[s]), mGradientPosition);
            resolved[s * n + i] = color;
        }
    }
}

void CViewColorTable::refresh() {
    if (mRootColors == nullptr) {
        writeLog("RootColors IS NULL", true);
        return;
    }
    if (!mIsDirty && mPalette == mRootColors->mPalette) return;
    mIsDirty = false;
    mPalette = mRootColors->mPalette;
    if (mPalette == nullptr) {
        writeLog("PALETTE IS NULL", true);
        return;
    }
    resolve(mColors, mColorNames, true);
    resolve(mSlotColors, mSlotNames, false);
    mDisabledColor = mPalette->getColor(mDisabledName, 0.0);
    mDisabledTextColor = mPalette->getColor(mDisabledTextName, 0.0);
}

const CColor* CViewColorTable::getColor(int index) {
    refresh();
    const std::int64_t k = std::int64_t(index) + std::int64_t(mColorNames.count()) * mCurrentState;
    if (index >= 0 && k < mColors.count()) return mColors[int(k)];
    char line[64];
    std::snprintf(line, sizeof line, "WRONG COLOR INDEX %i", index);
    writeLog(line, true);
    return fallback();
}

const CColor* CViewColorTable::getSlotColor(int slot) {
    refresh();
    const std::int64_t k = std::int64_t(slot) + std::int64_t(mSlotNames.count()) * mCurrentState;
    if (slot >= 0 && k < mSlotColors.count()) return mSlotColors[int(k)];
    char line[96];
    std::snprintf(line, sizeof line, "WRONG SLOT INDEX %i (state %i) // %p", slot, int(mCurrentState),
                  static_cast<const void*>(this));
    writeLog(line, true);
    return fallback();
}

const CColor* CViewColorTable::colorInState(int index, int state) const noexcept {
    const int n = mColorNames.count();
    if (index < 0 || index >= n || state < 0) return nullptr;
    const std::int64_t k = std::int64_t(state) * n + index;
    return k < mColors.count() ? mColors[int(k)] : nullptr;
}

const CColor* CViewColorTable::slotColorInState(int slot, int state) const noexcept {
    const int n = mSlotNames.count();
    if (slot < 0 || slot >= n || state < 0) return nullptr;
    const std::int64_t k = std::int64_t(state) * n + slot;
    return k < mSlotColors.count() ? mSlotColors[int(k)] : nullptr;
}

// --- names ---

void CViewColorTable::setColorName(int index, const CString& name) {
    if (index < 0) return;
    if (storeName(mColorNames, index, name)) mIsDirty = true;
}

void CViewColorTable::setRawColor(int index, const CColor* color) {
    if (index < 0) return;
    setColorName(index, kRawName);
    if (index >= mRawColors.count()) mRawColors.setCount(index + 1);
    mRawColors[index] = color;
    mIsDirty = true;
}

void CViewColorTable::setSlotName(int index, const CString& name) {
    if (index < 0) return;
    if (storeName(mSlotNames, index, name)) mIsDirty = true;
}

void CViewColorTable::setPrefix(const CString& prefix) {
    if (mPrefix == prefix) return;
    mPrefix = prefix;
    mIsDirty = true;
}

void CViewColorTable::setDisabledNames(const CString& name) {
    mDisabledName = name;
    mDisabledTextName = name;
    mIsDirty = true;
}

// --- colour states ---

int CViewColorTable::findState(const CString& name) const noexcept { return mStateNames.indexOf(name); }

int CViewColorTable::addState(const CString& name) {
    int index = mStateNames.indexOf(name);
    if (index < 0) {
        mStateNames.add(name);
        index = mStateNames.count() - 1;
        mIsDirty = true;
    }
    return index;
}

int CViewColorTable::selectState(const CString& name) {
    mCurrentState = addState(name);
    return mCurrentState;
}

void CViewColorTable::setPalette(CDynamicPalette* palette) {
    if (mPalette == palette) return;
    mPalette = palette;
    mIsDirty = true;
}

} // namespace tal
