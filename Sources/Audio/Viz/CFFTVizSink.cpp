#include "Audio/Viz/CFFTVizSink.h"

#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/CAudioVizDataBins.h"

namespace tal {

void CFFTVizSink::attach(CAudioVizCollector* collector, const CString& ownerName) {
    mCollector = collector;
    mPrimary = collector != nullptr ? collector->getVizItem(ownerName) : nullptr;
    mSecondary = collector != nullptr ? collector->getVizItem(CString(ownerName, "-sec")) : nullptr;
}

void CFFTVizSink::postSpectrum(CAudioVizDataSpectrum* frame, bool secondary) {
    if (mCollector == nullptr) {
        delete frame;
        return;
    }
    mCollector->postVizData(secondary ? mSecondary : mPrimary, frame);
}

bool CFFTVizSink::dropOldest(bool secondary) {
    CAudioVizItem* item = secondary ? mSecondary : mPrimary;
    return mCollector != nullptr && item != nullptr && mCollector->dropOldestFrame(item);
}

} // namespace tal
