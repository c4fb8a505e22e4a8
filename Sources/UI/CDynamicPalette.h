#pragma once
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Other/CColor.h"
#include "UI/CUIParamUpdateHandler.h"

#include <cstdint>
#include <memory>

namespace tal {

class CByteBuffer;
class CDynamicColor;
class CDynamicColorData;
class CUIParam;

// "ui:dynamic-palette": the editor's palette. Its CDynamicColor children register under their
// names (and hover names); getColor answers every view's question for the CColor of a name at a
// gradient position, with a grey fallback (and a log line) for names it does not know and for
// colours not built yet. It owns the built data of every colour and keeps it in the local
// application-data item "ui-palette-cache", so that the editor opens with finished ramps.
// The editable colours travel as the raw data item of the UI parameter ".ui-param-palette":
// a new value is applied to the colours (those it does not name return to their
// "copy-default-from" colour or their defaults), and an edit of a colour after the palette is
// built stores the whole item as one undoable gesture. Announces "dynamic-palette-updated" after
// an apply or stored edit and "palette-updated-from-param" after a parameter change. Fills the
// value list "color-list" for the colour editor. Owns the data records and the fallback colour;
// points at the colours. Editor thread only.
class CDynamicPalette : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CDynamicPalette() override;

    // --- life cycle ---
    // Loads the cache (a damaged one is logged and dropped), declares the slot, builds the fallback.
    [[nodiscard]] CError* init() override;
    // Applies the parameter when its value is there, and fills the colour list.
    [[nodiscard]] CError* initChilds() override;
    // Writes the cache when a colour was rebuilt since it was read or written.
    void detachFromParent() override;
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;

    // --- lookups ---
    // The colour of a name at a gradient position 0..1; never null after init.
    CColor* getColor(const CString& name, double position);
    const CColor& fallbackColor() const noexcept { return mFallback; }
    CDynamicColor* findColor(const CString& name) const;

    // --- used by the colours ---
    // The record kept under name, replaced by a new one unless it has n entries and a hover colour
    // exactly when hoverable (n 0: any record, or a new empty one).
    CDynamicColorData* getColorData(const CString& name, std::int32_t n, bool hoverable);
    void registerColor(CDynamicColor* owner, const CString& name, const CString& hoverName);
    // Forgets a colour that goes away: the names mapped to it, and an alias's own names.
    void unregisterColor(CDynamicColor* color);
    // A colour was rebuilt: marks the cache; outside an apply, once built, stores and announces.
    [[nodiscard]] CError* onColorChanged();

    // --- operations ---
    [[nodiscard]] CError* applyPaletteParam();
    // Applies a palette item as if it were the parameter's value (an empty item does nothing).
    [[nodiscard]] CError* applyPaletteItem(const CByteBuffer& bytes);
    [[nodiscard]] CError* storePaletteParam();
    [[nodiscard]] CError* buildColorList();
    // Writes the parameter item of the current colour values (version 1).
    [[nodiscard]] CError* writePaletteItem(CByteBuffer& out) const;

    bool isCacheDirty() const noexcept { return mCacheDirty; }
    int dataCount() const noexcept { return mData.count(); }

private:
    [[nodiscard]] CError* loadCache();
    void saveCache();
    CUIParam* paletteParam() const;
    // Reads the version-1 entries into the colours they name.
    [[nodiscard]] CError* readPaletteItem(const CByteBuffer& item);
    // Returns a colour that the item did not name to its reset values.
    [[nodiscard]] CError* resetColor(CDynamicColor* color);
    void logTime(const char* what, std::uint64_t since);

    CSortedMap<CString, std::unique_ptr<CDynamicColorData>> mData;
    CSortedMap<CString, CDynamicColor*> mColors;  // not owned
    CSortedMap<CString, CDynamicColor*> mHovers;  // not owned
    CColor mFallback;
    bool mCacheDirty = false;
    std::int32_t mPaletteSlotId = -1;
    bool mIsApplying = false;
};

} // namespace tal
