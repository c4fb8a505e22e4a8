#pragma once
#include "Audio/Viz/CAudioVizData.h"
#include "Audio/Viz/CVizInlineArray.h"

namespace tal {

// A spectrum frame (type 3): linear magnitudes of bins 0 (DC) to n - 1, as the spectrum analyser
// accumulates them, with the settings they were measured with.
class CAudioVizDataSpectrum : public CAudioVizData {
public:
    CAudioVizDataSpectrum() noexcept : CAudioVizData(kTypeSpectrum) {}
    ~CAudioVizDataSpectrum() override;   // a reserved value block goes back to the reserve

    // --- the payload: common fields, i32 n, n f64 values, f64 sample rate, i32 FFT size,
    // i32 averaging type, f64 averaging time, i32 window (56 + 8n bytes) ---
    [[nodiscard]] CError* save(COutputStream& out) const override;
    [[nodiscard]] CError* load(CInputStream& in) override;
    CAudioVizDataSpectrum* cloneSpectrum() const;

    std::int32_t binCount() const noexcept { return values.count(); }

    // Storage for `bins` values from the spectrum value reserve (long spectra, no allocation):
    // false, and the values unchanged, when the reserve holds no such size or has no free block.
    bool useReservedValues(std::int32_t bins) noexcept;
    bool hasReservedValues() const noexcept { return mReserveOrder >= 0; }

    CVizInlineArray<double, 8> values;
    double sampleRate = 0.0;
    std::int32_t fftSize = 0;       // analysis length N; the spectrum has N/2 + 1 bins
    std::int32_t averagingType = 0; // 0 RT Avg, 1 Max, 2 Avg, 3 RT Max, 4 RT Sigma
    double averagingTime = 0.0;     // seconds: elapsed since reset (Max, Avg) or the time constant
    std::int32_t window = 0;        // 0 Hann, 1 Blackman, 2 Hi-Res, 3 Dome

private:
    void returnReservedValues() noexcept;

    std::int32_t mReserveOrder = -1;   // the reserve order of the value block, -1 when not reserved
};

} // namespace tal
