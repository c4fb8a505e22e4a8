#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CAudioVizDataSpectrum;

// The working record behind one drawn spectrum curve: the latest spectrum frame of every channel
// slot, their combination into one spectrum, and its display points, one per visible pixel column,
// with a spectral tilt, optional fractional-octave smoothing, interpolation where bins are sparse,
// peak binning where they are dense, a level-to-pixel mapping and an offset mode.
// Owned by its spectrum view, which fills the settings and geometry; editor thread only.
class CSpectrumCurve {
public:
    struct CPoint {
        double x = 0.0;
        double y = 0.0;
    };
    // One row of the smoothing table: width in octaves and window factor.
    struct CSmoothing {
        double octaves;
        double factor;
    };
    static constexpr std::int32_t kSmoothingCount = 16;   // index 0 is off

    CSpectrumCurve();
    ~CSpectrumCurve();
    CSpectrumCurve(const CSpectrumCurve&) = delete;
    CSpectrumCurve& operator=(const CSpectrumCurve&) = delete;

    // --- channel slots ---
    std::int32_t slotCount() const noexcept { return std::int32_t(mSpectra.size()); }
    // Grows or shrinks to n slots; new slots are empty and not present.
    void setSlotCount(std::int32_t n);
    // The frame of slot i (null when empty); the curve owns it.
    CAudioVizDataSpectrum* spectrum(std::int32_t i) const noexcept;
    // Replaces slot i's frame (i within the slot count) with a copy of frame and marks it present.
    void setSpectrum(std::int32_t i, const CAudioVizDataSpectrum& frame);
    bool isPresent(std::int32_t i) const noexcept;
    void setPresent(std::int32_t i, bool isPresent) noexcept;

    // --- operations ---
    // Combines the present slots that match the first present one in bin count and sample rate:
    // the per-bin maximum for the "Max" types, else the mean. Afterwards combined() holds dB values.
    void combineChannels();
    // Recomputes the points from the slots and the settings; no points for impossible geometry
    // (frequency low above half the sample rate, fewer than 2 columns or bins, empty range).
    void buildPoints();
    // Sets the point count, points zeroed.
    void setPointCount(std::int32_t count);

    // --- results ---
    const std::vector<CPoint>& points() const noexcept { return mPoints; }
    // The combined spectrum (dB values after combineChannels); null before the first combination.
    const CAudioVizDataSpectrum* combined() const noexcept { return mCombined.get(); }
    // The combined values before the dB conversion.
    const std::vector<double>& linearValues() const noexcept { return mLinear; }
    double sampleRate() const noexcept { return mSampleRate; }
    std::int32_t binCount() const noexcept { return mBinCount; }

    static const CSmoothing& smoothingOf(std::int32_t index) noexcept;
    // Monotone cubic interpolation of count samples at position x (0 .. count - 1).
    static double interpolate(const double* v, std::int32_t count, double x) noexcept;

    // --- settings, written by the owning view ---
    double slope = 0.0;               // tilt, dB per octave around 1 kHz
    std::int32_t smoothingIndex = 0;  // 0 off, 1 .. 15 the smoothing table
    std::int32_t offsetMode = 0;      // 1 normalise (top at the top edge), 2 centre, else none
    bool isAlign0db = false;          // fixed 3.01 dB correction instead of the FFT-size one
    double freqLow = 0.0;             // Hz at column 0
    double freqHigh = 0.0;            // Hz at column width - 1
    std::int32_t width = 0;           // visible columns
    double levelLow = 0.0;            // dB at the bottom
    double levelHigh = 0.0;           // dB at the top
    double gainShift = 0.0;           // dB added to the curve
    double left = 0.0;                // window x of column 0
    double top = 0.0;                 // window y of levelHigh
    double bottom = 0.0;              // window y of levelLow

private:
    struct CTiltKey {
        std::int32_t width = -1;
        double slope = 0.0;
        double freqLow = 0.0;
        double freqHigh = 0.0;
        std::int32_t fftSize = 0;
        bool isAlign0db = false;
        bool operator==(const CTiltKey&) const = default;
    };

    void updateTilt(double ratio);
    // The smoothed level (dB) around bin position g.
    double smoothedLevel(double g, const CSmoothing& smoothing) const;

    std::vector<std::unique_ptr<CAudioVizDataSpectrum>> mSpectra;
    std::vector<std::uint8_t> mPresent;
    std::vector<CPoint> mPoints;
    double mSampleRate = 0.0;
    std::int32_t mBinCount = 0;
    std::unique_ptr<CAudioVizDataSpectrum> mCombined;
    std::vector<double> mLinear;
    std::vector<double> mSmoothed;
    std::vector<double> mTilt;
    CTiltKey mTiltKey;
};

} // namespace tal
