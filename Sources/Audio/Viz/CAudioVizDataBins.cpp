#include "Audio/Viz/CAudioVizDataBins.h"

#include "Audio/Viz/CSpectrumValueReserve.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace tal {

namespace {
constexpr std::int32_t kTrailingBytes = 28;   // sample rate, FFT size, averaging type and time, window
}

CAudioVizDataSpectrum::~CAudioVizDataSpectrum() { returnReservedValues(); }

bool CAudioVizDataSpectrum::useReservedValues(std::int32_t bins) noexcept {
    const std::int32_t order = CSpectrumValueReserve::orderOfBins(bins);
    double* block = order >= 0 ? CSpectrumValueReserve::take(order) : nullptr;
    if (block == nullptr)
        return false;
    returnReservedValues();
    values.adopt(block, bins);
    mReserveOrder = order;
    return true;
}

void CAudioVizDataSpectrum::returnReservedValues() noexcept {
    if (mReserveOrder < 0)
        return;
    CSpectrumValueReserve::give(mReserveOrder, values.detach());
    mReserveOrder = -1;
}

CError* CAudioVizDataSpectrum::save(COutputStream& out) const {
    CError* err = CAudioVizData::save(out);
    if (err == nullptr) err = out.write32(std::uint32_t(values.count()));
    for (std::int32_t k = 0; err == nullptr && k < values.count(); ++k)
        err = out.writeDouble(values[k]);
    if (err == nullptr) err = out.writeDouble(sampleRate);
    if (err == nullptr) err = out.write32(std::uint32_t(fftSize));
    if (err == nullptr) err = out.write32(std::uint32_t(averagingType));
    if (err == nullptr) err = out.writeDouble(averagingTime);
    if (err == nullptr) err = out.write32(std::uint32_t(window));
    return traceError(err);
}

CError* CAudioVizDataSpectrum::load(CInputStream& in) {
    returnReservedValues();
    values.resize(0);
    std::int32_t n = 0;
    CError* err = CAudioVizData::load(in);
    if (err == nullptr) err = readCount(in, n, 8, kTrailingBytes);
    if (err == nullptr) {
        values.resize(n);
        for (std::int32_t k = 0; err == nullptr && k < n; ++k)
            err = in.readDouble(values[k]);
    }
    if (err == nullptr) err = in.readDouble(sampleRate);
    if (err == nullptr) err = in.read32(fftSize);
    if (err == nullptr) err = in.read32(averagingType);
    if (err == nullptr) err = in.readDouble(averagingTime);
    if (err == nullptr) err = in.read32(window);
    return traceError(err);
}

CAudioVizDataSpectrum* CAudioVizDataSpectrum::cloneSpectrum() const {
    auto* copy = new CAudioVizDataSpectrum;
    copy->copyCommon(*this);
    copy->values.assign(values.data(), values.count());
    copy->sampleRate = sampleRate;
    copy->fftSize = fftSize;
    copy->averagingType = averagingType;
    copy->averagingTime = averagingTime;
    copy->window = window;
    return copy;
}

} // namespace tal
