#pragma once
#include "Audio/Viz/CFFTFrameSink.h"

namespace tal {

class CAudioVizCollector;
class CString;
struct CAudioVizItem;

// Hands a spectrum analyser's frames to the instance's visualisation collector: the primary
// spectrum to the item named after the analysing process, the secondary one to that name followed
// by "-sec". This is what the spectrum module sets up in its init.
class CFFTVizSink : public CFFTFrameSink {
public:
    CFFTVizSink() = default;

    // Registers (or finds) the two items. Null collector: frames are dropped.
    void attach(CAudioVizCollector* collector, const CString& ownerName);
    // Audio thread.
    void postSpectrum(CAudioVizDataSpectrum* frame, bool secondary) override;
    bool dropOldest(bool secondary) override;

    CAudioVizItem* primaryItem() const noexcept { return mPrimary; }
    CAudioVizItem* secondaryItem() const noexcept { return mSecondary; }

private:
    CAudioVizCollector* mCollector = nullptr;
    CAudioVizItem* mPrimary = nullptr;
    CAudioVizItem* mSecondary = nullptr;
};

} // namespace tal
