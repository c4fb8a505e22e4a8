#include "UI/CSpectrumCurve.h"

#include "Audio/Viz/CAudioVizDataBins.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tal {

namespace {

constexpr CSpectrumCurve::CSmoothing kSmoothing[CSpectrumCurve::kSmoothingCount] = {
    {0.0, 1.0},          // off
    {1.0 / 6.0, 1.0},    {1.0 / 5.0, 1.0},  {1.0 / 4.0, 1.0}, {1.0 / 3.0, 1.01}, {1.0 / 2.0, 1.04},
    {2.0 / 3.0, 1.06},   {3.0 / 4.0, 1.09}, {1.0, 1.13},      {1.5, 1.19},       {2.0, 1.22},
    {2.5, 1.27},         {1.0 / 9.0, 1.0},  {1.0 / 12.0, 1.0}, {1.0 / 24.0, 1.0}, {1.0 / 48.0, 1.0},
};

constexpr double kSilenceDb = -300.0;

// The Hann weights 0.5 - 0.5 cos(q pi / 6) of the interpolated samples q = 0 .. 12 of a narrow window.
constexpr int kSampleWeightCount = 13;
constexpr double kSampleWeights[kSampleWeightCount] = {
    0.0,  0.0669872981077807, 0.25, 0.5, 0.75, 0.9330127018922193, 1.0, 0.9330127018922194, 0.75, 0.5, 0.25,
    0.0669872981077807, 0.0};

double toDb(double v) noexcept { return 20.0 * std::log10(std::fabs(v) + 1e-15); }

double signOf(double z) noexcept { return z < 0.0 ? -1.0 : 1.0; }

} // namespace

CSpectrumCurve::CSpectrumCurve() = default;
CSpectrumCurve::~CSpectrumCurve() = default;

const CSpectrumCurve::CSmoothing& CSpectrumCurve::smoothingOf(std::int32_t index) noexcept {
    return kSmoothing[index > 0 && index < kSmoothingCount ? index : 0];
}

// --- channel slots ---

void CSpectrumCurve::setSlotCount(std::int32_t n) {
    n = std::max(n, 0);
    mSpectra.resize(std::size_t(n));
    mPresent.resize(std::size_t(n), 0);
}

CAudioVizDataSpectrum* CSpectrumCurve::spectrum(std::int32_t i) const noexcept {
    return i >= 0 && i < slotCount() ? mSpectra[std::size_t(i)].get() : nullptr;
}

void CSpectrumCurve::setSpectrum(std::int32_t i, const CAudioVizDataSpectrum& frame) {
    if (i < 0 || i >= slotCount())
        return;
    mSpectra[std::size_t(i)].reset(frame.cloneSpectrum());
    mPresent[std::size_t(i)] = 1;
}

bool CSpectrumCurve::isPresent(std::int32_t i) const noexcept {
    return i >= 0 && i < std::int32_t(mPresent.size()) && mPresent[std::size_t(i)] != 0;
}

void CSpectrumCurve::setPresent(std::int32_t i, bool isPresent) noexcept {
    if (i >= 0 && i < std::int32_t(mPresent.size()))
        mPresent[std::size_t(i)] = isPresent ? 1 : 0;
}

void CSpectrumCurve::setPointCount(std::int32_t count) { mPoints.assign(std::size_t(std::max(count, 0)), CPoint()); }

// --- combination ---

void CSpectrumCurve::combineChannels() {
    if (!mCombined)
        mCombined = std::make_unique<CAudioVizDataSpectrum>();
    mSampleRate = 0.0;
    mBinCount = 0;
    const std::size_t m = std::min(mSpectra.size(), mPresent.size());
    const CAudioVizDataSpectrum* first = nullptr;
    for (std::size_t i = 0; i < m && first == nullptr; ++i)
        if (mPresent[i] != 0 && mSpectra[i])
            first = mSpectra[i].get();
    const std::int32_t n = first != nullptr ? first->binCount() : 0;
    if (first != nullptr) {
        mCombined->sampleRate = first->sampleRate;
        mCombined->fftSize = first->fftSize;
        mCombined->averagingType = first->averagingType;
        mCombined->window = first->window;
        mCombined->averagingTime = first->averagingTime;
        mSampleRate = first->sampleRate;
        mBinCount = n;
    }
    if (n <= 1) {
        mCombined->values.resize(0);
        mLinear.clear();
        return;
    }
    const bool isMax = (first->averagingType & ~2) == 1;
    mLinear.assign(std::size_t(n), 0.0);
    double* out = mLinear.data();
    int joined = 0;
    for (std::size_t i = 0; i < m; ++i) {
        const CAudioVizDataSpectrum* s = mSpectra[i].get();
        if (mPresent[i] == 0 || s == nullptr || s->binCount() != n || s->sampleRate != first->sampleRate)
            continue;
        const double* v = &s->values[0];
        if (joined == 0)
            std::copy_n(v, n, out);
        else if (isMax)
            for (std::int32_t k = 0; k < n; ++k)
                out[k] = std::max(out[k], v[k]);
        else
            for (std::int32_t k = 0; k < n; ++k)
                out[k] += v[k];
        ++joined;
    }
    if (!isMax && joined > 1) {
        const double scale = 1.0 / joined;
        for (std::int32_t k = 0; k < n; ++k)
            out[k] *= scale;
    }
    mCombined->values.resize(n);
    double* db = &mCombined->values[0];
    for (std::int32_t k = 0; k < n; ++k)
        db[k] = toDb(out[k]);
}

// --- interpolation and smoothing ---

double CSpectrumCurve::interpolate(const double* v, std::int32_t s, double x) noexcept {
    if (s <= 0)
        return kSilenceDb;
    std::int32_t k = std::int32_t(std::floor(x));
    double u = x - k;
    if (k < 0) {
        k = 0;
        u = 0.0;
    } else if (k > s - 1) {
        k = s - 1;
        u = 0.0;
    }
    const double a = v[k > 0 ? k - 1 : 0];
    const double b = v[k];
    double d, e;
    if (k < s - 2) {
        d = v[k + 1];
        e = v[k + 2];
    } else {
        d = e = k + 1 < s ? v[k + 1] : v[k];
    }
    const double m0 = (signOf(b - a) + signOf(d - b)) *
                      std::min({std::fabs(b - a), std::fabs(d - b), std::fabs(d - a) / 4.0});
    const double t0 = (m0 + (d - 0.4 * b - 0.6 * a) / 2.0) / 2.0;
    const double m1 = (signOf(e - d) + signOf(d - b)) *
                      std::min({std::fabs(e - d), std::fabs(d - b), std::fabs(e - b) / 4.0});
    const double t1 = (m1 + (0.6 * e + 0.4 * d - b) / 2.0) / 2.0;
    return b + t0 * u + (3.0 * (d - b) - 2.0 * t0 - t1) * u * u + (2.0 * (b - d) + t0 + t1) * u * u * u;
}

double CSpectrumCurve::smoothedLevel(double g, const CSmoothing& smoothing) const {
    const std::int32_t n = mBinCount;
    const double m = g * std::exp2(-1.5 * smoothing.octaves);
    const double L = g + smoothing.factor * (g - m);
    const double t = L - m;
    const double k0d = std::ceil(m);
    if (k0d >= n)
        return kSilenceDb;
    const std::int32_t k0 = std::int32_t(k0d);
    double a = 0.0, b = 0.0;
    if (t > 5.0) {
        const double* v = mLinear.data();
        const double lastD = std::floor(L);
        const std::int32_t k1 = std::max(k0, std::int32_t(std::min(lastD, double(n - 1))));
        // Hann weights 0.5 - 0.5 cos(2 pi (k - m) / t) by the cosine recurrence, run as two
        // interleaved recurrences (even and odd bins, step 2 delta) so that neither waits on the
        // other: cos(a + 2d) = 2 cos(2d) cos(a) - cos(a - 2d).
        const double delta = 2.0 * std::numbers::pi / t;
        const double twoCos2 = 2.0 * std::cos(2.0 * delta);
        double cEven = std::cos(delta * (k0 - m)), cEvenPrev = std::cos(delta * (k0 - 2 - m));
        double cOdd = std::cos(delta * (k0 + 1 - m)), cOddPrev = std::cos(delta * (k0 - 1 - m));
        double sumEven = 0.0, sumOdd = 0.0, weightsEven = 0.0, weightsOdd = 0.0;
        std::int32_t k = k0;
        for (; k + 1 <= k1; k += 2) {
            const double wEven = 0.5 - 0.5 * cEven, wOdd = 0.5 - 0.5 * cOdd;
            sumEven += wEven * v[k];
            sumOdd += wOdd * v[k + 1];
            weightsEven += wEven;
            weightsOdd += wOdd;
            const double nextEven = twoCos2 * cEven - cEvenPrev;
            const double nextOdd = twoCos2 * cOdd - cOddPrev;
            cEvenPrev = cEven;
            cEven = nextEven;
            cOddPrev = cOdd;
            cOdd = nextOdd;
        }
        if (k <= k1) {
            const double w = 0.5 - 0.5 * cEven;
            sumEven += w * v[k];
            weightsEven += w;
        }
        double sum = sumEven + sumOdd, weights = weightsEven + weightsOdd;
        if (lastD >= n) {
            const double twoCos = 2.0 * std::cos(delta);
            double c = std::cos(delta * (k1 + 1 - m));
            double cPrev = std::cos(delta * (k1 - m));
            // Bins beyond the spectrum take a value extrapolated from its last eight.
            auto at = [v](std::int32_t i) { return v[std::max(i, 0)]; };
            const double e = (2.0 * (at(k1 - 3) + at(k1 - 2) + at(k1 - 1) + at(k1)) -
                              (at(k1 - 7) + at(k1 - 6) + at(k1 - 5) + at(k1 - 4))) /
                             4.0;
            const std::int32_t last = std::int32_t(lastD);
            for (std::int32_t j = k1 + 1; j <= last; ++j) {
                const double w = 0.5 - 0.5 * c;
                sum += w * e;
                weights += w;
                const double next = twoCos * c - cPrev;
                cPrev = c;
                c = next;
            }
        }
        a = toDb(sum / (1e-300 + weights));
    }
    if (t < 10.0) {
        const double* db = &mCombined->values[0];
        double sum = 0.0, weights = 0.0;
        for (int q = 0;; ++q) {
            const double x = m + q * t / 12.0;
            if (!(x < L) || std::floor(x) >= n)
                break;
            const double w = q < kSampleWeightCount ? kSampleWeights[q] : 0.5 - 0.5 * std::cos(q * std::numbers::pi / 6.0);
            sum += w * interpolate(db, n, x);
            weights += w;
        }
        b = sum / (1e-300 + weights);
    }
    if (t <= 5.0)
        return b;
    if (t >= 10.0)
        return a;
    return a * (t / 5.0 - 1.0) + b * (2.0 - t / 5.0);
}

// --- points ---

void CSpectrumCurve::updateTilt(double ratio) {
    const CTiltKey key{width, slope, freqLow, freqHigh, mCombined->fftSize, isAlign0db};
    if (key == mTiltKey && std::int32_t(mTilt.size()) == width)
        return;
    mTiltKey = key;
    const std::int32_t fft = mCombined->fftSize;
    const double z = isAlign0db ? 3.01 : fft > 0 ? 10.0 * std::log10(fft / 2048.0) : 0.0;
    const double base = std::log2(freqLow / 1000.0), step = std::log2(ratio);
    mTilt.resize(std::size_t(width));
    for (std::int32_t i = 0; i < width; ++i)
        mTilt[std::size_t(i)] = slope * (base + i * step) + z;
}

void CSpectrumCurve::buildPoints() {
    combineChannels();
    const double fL = freqLow, fH = freqHigh, R = mSampleRate;
    const std::int32_t W = width, n = mBinCount;
    if (!(2.0 * fL <= R) || !(fL > 0.0) || !(fH > fL) || W < 2 || n < 2) {
        mPoints.clear();
        return;
    }
    const double r = std::exp(std::log(fH / fL) / (W - 1));
    updateTilt(r);

    const CSmoothing& smoothing = smoothingOf(smoothingIndex);
    const bool isSmoothed = smoothingIndex >= 1 && smoothingIndex < kSmoothingCount;
    const double* source = &mCombined->values[0];
    std::int32_t count = n;
    double cutOff = n;
    double h = 0.0;
    if (isSmoothed) {
        const double octaves = std::log2(fH / fL);
        const std::int32_t K = std::int32_t(std::ceil(16.0 * octaves / std::sqrt(smoothing.octaves) + 1.0));
        const double P = (K - 1) / octaves;
        const double binsPerHz = 2.0 * n / R;
        mSmoothed.resize(std::size_t(K));
        for (std::int32_t j = 0; j < K; ++j)
            mSmoothed[std::size_t(j)] = smoothedLevel(fL * std::exp2(j / P) * binsPerHz, smoothing);
        source = mSmoothed.data();
        count = K;
        cutOff = P * std::log2(R / 2.0 / fL);
        h = double(K - 1) / (W - 1);
    }

    mPoints.resize(std::size_t(W));
    const double halfStep = std::sqrt(r);
    double position = fL * 2.0 * n / R;
    bool isDense = false;
    std::int32_t made = 0;
    for (std::int32_t i = 0; i < W; ++i) {
        double start, end;
        if (isSmoothed) {
            position = i * h;
            start = (i - 0.5) * h;
            end = (i + 0.5) * h;
        } else {
            if (i > 0)
                position *= r;
            start = position / halfStep;
            end = position * halfStep;
        }
        if (position >= cutOff)
            break;
        double value;
        if (!isDense && end - start < 1.0) {
            value = interpolate(source, count, position);
        } else {
            isDense = true;
            const std::int32_t first = std::int32_t(std::clamp(std::round(start), 0.0, double(count - 1)));
            std::int32_t last = std::int32_t(std::clamp(std::round(end), 0.0, double(count)));
            last = std::max(last, first + 1);
            value = *std::max_element(source + first, source + last);
        }
        mPoints[std::size_t(i)].x = i + left;
        mPoints[std::size_t(i)].y = value + mTilt[std::size_t(i)];
        ++made;
    }
    mPoints.resize(std::size_t(made));

    const double span = levelHigh - levelLow != 0.0 ? levelHigh - levelLow : 1.0;
    const double pixels = bottom - top;
    for (CPoint& p : mPoints)
        p.y = bottom - (p.y - levelLow) / span * pixels;
    double shift = -gainShift * pixels / span;
    if (!mPoints.empty()) {
        if (offsetMode == 1) {
            double highest = mPoints[0].y;
            for (const CPoint& p : mPoints)
                highest = std::min(highest, p.y);
            shift += top - highest;
        } else if (offsetMode == 2) {
            double sum = 0.0;
            for (const CPoint& p : mPoints)
                sum += p.y;
            shift += (top + bottom) / 2.0 - sum / double(mPoints.size());
        }
    }
    if (shift != 0.0)
        for (CPoint& p : mPoints)
            p.y += shift;
}

} // namespace tal
