#pragma once
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CColorSwatch;
class CSpectrum;
class CUIParam;
class CVizExchange;

// "ui:spectrum-container": the overlay view behind the equaliser curves that owns the analyser
// spectrum views. It keeps a live slot, an underlay slot, import slots (spectra exported by other
// instances) and static slots (stored records in UI parameters); for each enabled slot it makes one
// primary CSpectrum child and, with a secondary visualisation name, a secondary one. It maps its UI
// parameters onto the slots, forwards "freeze" to the live children, and fills two label lists
// with the names and colours of the imported and static spectra. Draws nothing itself.
// Owned by the object tree; it owns its children through the tree. UI thread only.
class CSpectrumContainer : public CView, public CUIParamUpdateHandler {
public:
    // One spectrum slot and the children made for it.
    struct CSpectrumSlot {
        std::int32_t colorIndex = 0;
        double gainShift = 0.0;
        CString groupSelector;
        bool isEnabled = false;
        bool isFilled = false;
        bool isImported = false;
        bool isStatic = false;
        bool isVisible = true;
        CSpectrum* primary = nullptr;    // not owned: a child, forgotten when released
        CSpectrum* secondary = nullptr;  // not owned: a child
        std::int32_t madeFor = 0;
        std::int32_t exportSlot = -1;
        CString secondaryVizName;
    };
    static constexpr std::int32_t kReferenceCurveCount = 8;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CSpectrumContainer();
    ~CSpectrumContainer() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onFreeze(CAttrMap& args);
    [[nodiscard]] virtual CError* onSpecImportListReady();
    [[nodiscard]] virtual CError* onSpecStaticListReady();
    [[nodiscard]] virtual CError* onUpdateSlotNames();

    // --- operations ---
    // Applies a changed parameter (one of the eight the container knows; others: nothing).
    [[nodiscard]] CError* updateParamState(CUIParam* param);
    // Creates, updates or releases the children of a slot to match its fields.
    [[nodiscard]] CError* updateSlotChildren(CSpectrumSlot& slot);
    [[nodiscard]] CError* updateAllChildren();
    [[nodiscard]] CError* updateImportList();
    [[nodiscard]] CError* updateStaticSpectra();
    // Resets the live and underlay children.
    void clearLiveSpectra();
    // The primary child of static slot i; null outside the slots.
    CSpectrum* getStaticSpectrum(std::int32_t i) const;
    // Whether the live primary (k = 0) or secondary (k = 1) child shows a spectrum.
    bool hasLiveSpectrumData(std::int32_t k) const;
    // Stores the live child k's spectrum in static slot s and enables it.
    [[nodiscard]] CError* captureLiveSpectrum(std::int32_t s, std::int32_t k);
    // Stores reference curve m (0 .. 7: slopes of 0, -3, -6 and -4.5 dB per octave, A, B and C
    // weighting, a -4.5 dB per octave band-limited curve) in static slot s and enables it.
    [[nodiscard]] CError* generateReferenceSpectrum(std::int32_t s, std::int32_t m);

    // --- queries ---
    CSpectrumSlot& liveSlot() noexcept { return mLiveSlot; }
    CSpectrumSlot& underlaySlot() noexcept { return mUnderlaySlot; }
    std::int32_t importSlotCount() const noexcept { return std::int32_t(mImportSlots.size()); }
    CSpectrumSlot& importSlot(std::int32_t i) noexcept { return *mImportSlots[std::size_t(i)]; }
    std::int32_t staticSlotCount() const noexcept { return std::int32_t(mStaticSlots.size()); }
    CSpectrumSlot& staticSlot(std::int32_t i) noexcept { return *mStaticSlots[std::size_t(i)]; }

private:
    static void setSlotCount(std::vector<std::unique_ptr<CSpectrumSlot>>& slots, std::int32_t n);
    CError* createSpectrum(CSpectrumSlot& slot, const CString& secondaryVizName, bool isStatic, CSpectrum*& out);
    static CError* applySlot(CSpectrum* child, const CSpectrumSlot& slot);
    // Releases a slot's children later, through the event bridge.
    static void releaseChildren(CSpectrumSlot& slot);
    CString colorNameOf(std::int32_t index);

    CTarget<CColorSwatch> mColorSwatch;
    std::vector<std::unique_ptr<CSpectrumSlot>> mImportSlots;
    std::int32_t mImportSlotCountAttr = -1;
    CSpectrumSlot mLiveSlot;
    CTarget<CObject> mImportListView;
    CTarget<CObject> mStaticListView;
    std::vector<std::unique_ptr<CSpectrumSlot>> mStaticSlots;
    CUIParam* mImportSlotsParam = nullptr;    // not owned: children
    CUIParam* mImportColorParam = nullptr;
    CUIParam* mUnderlayGroupParam = nullptr;
    CUIParam* mStaticColorParam = nullptr;
    CUIParam* mStaticDataParam = nullptr;
    CUIParam* mStaticEnableParam = nullptr;
    CUIParam* mStaticNameParam = nullptr;
    CUIParam* mStaticShiftParam = nullptr;
    CSpectrumSlot mUnderlaySlot;
    bool mIsUseUnderlay = false;
    CTarget<CVizExchange> mVizExchange;
};

} // namespace tal
