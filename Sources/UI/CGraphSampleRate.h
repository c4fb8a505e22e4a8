#pragma once
#include "Core/CTarget.h"
#include "UI/CView.h"

#include <cstdint>

namespace tal {

class CColor;
class CMinMax;
class CSampleRateMonitor;

// "ui:graph-sample-rate": an overlay view that marks the two Nyquist frequencies on the equaliser
// display with one-pixel vertical lines: half the effective (oversampled) rate and half the host
// rate, placed on the frequency range. Owned by the object tree. UI thread, except paint, which
// only fills the two prepared rectangles.
class CGraphSampleRate : public CView {
public:
    // What placing a marker does to its rectangle.
    enum class CPlacement { kKeep, kHide, kPlace };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CGraphSampleRate() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;

    // --- drawing ---
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* onMinMaxFreqUpdate();
    [[nodiscard]] virtual CError* onSampleRateUpdate();

    // Where a marker at frequency f goes on a view `width` pixels wide: kKeep (f not above 0, or an
    // empty range), kHide (outside the range), or kPlace at view x (whole pixels, 0 .. width - 1).
    static CPlacement markerPosition(const CMinMax& range, double f, double width, std::int32_t& x);
    // The draw item of marker 0 (effective rate) or 1 (host rate).
    std::int32_t markerItem(int marker) const noexcept { return mMarkerItems[marker]; }

private:
    void placeMarker(int marker, double f);

    const CColor* mMarkerColor = nullptr;  // not owned: the colour table's
    CTarget<CMinMax> mFrequencyRange;
    bool mIsDirty = true;
    std::int32_t mMarkerItems[2] = {-1, -1};
    CTarget<CSampleRateMonitor> mMonitor;
};

} // namespace tal
