#include "Other/CImageResampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tal {

namespace {

// Budget, in bytes, of the source rows and float rows one band touches.
constexpr double kBandBudget = 5500000.0;
// Largest half-width of the window, in source pixels (lobes x step when shrinking).
constexpr double kMaxReach = 1024.0;

// Sum over the taps of weight x value, per channel; w and v run over taps x CH interleaved floats.
template <int CH>
inline void dotTaps(const float* __restrict w, const float* __restrict v, std::int32_t taps, float* out) noexcept {
    float acc[CH] = {};
    for (std::int32_t j = 0; j < taps; ++j)
        for (int c = 0; c < CH; ++c)
            acc[c] += w[j * CH + c] * v[j * CH + c];
    for (int c = 0; c < CH; ++c)
        out[c] = acc[c];
}

std::uint8_t clampByte(float v) noexcept { return std::uint8_t(v); }

// Clamps a row of floats to 0..255 and rounds them to bytes: groups of four round halves to even,
// a last group of one to three values rounds halves up.
void storeRow(const float* values, std::int32_t count, std::uint8_t* out) noexcept {
    const std::int32_t whole = count & ~3;
    for (std::int32_t i = 0; i < whole; ++i)
        out[i] = clampByte(std::nearbyint(std::clamp(values[i], 0.0f, 255.0f)));
    for (std::int32_t i = whole; i < count; ++i)
        out[i] = clampByte(std::floor(std::clamp(values[i], 0.0f, 255.0f) + 0.5f));
}

// Turns the caller's step and start into the positive step and the source position of the centre
// of destination sample 0. False for an unusable value.
bool axisStep(double step, double start, std::int32_t sourceLength, std::int32_t destLength, double& outStep,
              double& outStart) {
    if (!std::isfinite(step) || !std::isfinite(start))
        return false;
    if (step < 0.0) {
        outStep = -step;
        outStart = start;
    } else {
        outStep = step == 0.0 ? double(sourceLength) / double(destLength) : step;
        outStart = start - 0.5 + outStep / 2.0;
    }
    // Positions must stay well inside the integer range, and the step must be a real one.
    const double last = outStart + outStep * double(destLength);
    return outStep > 0.0 && std::fabs(outStart) < 1e9 && std::fabs(last) < 1e9;
}

} // namespace

std::int32_t CImageResampler::resample(const std::uint8_t* src, std::int32_t sw, std::int32_t sh, std::uint8_t* dst,
                                       std::int32_t dw, std::int32_t dh, std::int32_t channels,
                                       const CResampleParams* params) {
    if (src == nullptr || dst == nullptr || src == dst || sw < 0 || sh < 0 || dw < 1 || dh < 1)
        return 0;
    if (channels < 1 || channels > 4)
        return 0;
    const CResampleParams p = params != nullptr ? *params : CResampleParams{};
    if (!(p.lobes >= 2.0) || p.lobes > 64.0)
        return 0;
    const std::int32_t dstStride = p.destStride < 1 ? dw * channels : p.destStride;
    if (sw == 0 || sh == 0) {
        for (std::int32_t y = 0; y < dh; ++y)
            std::memset(dst + std::int64_t(y) * dstStride, 0, std::size_t(dw) * std::size_t(channels));
        return dh;
    }
    const std::int32_t srcStride = p.sourceStride < 1 ? sw * channels : p.sourceStride;
    double stepX = 0.0, stepY = 0.0, startX = 0.0, startY = 0.0;
    if (!axisStep(p.stepX, p.startX, sw, dw, stepX, startX) || !axisStep(p.stepY, p.startY, sh, dh, stepY, startY))
        return 0;
    // A window wider than kMaxReach source pixels a side would need weight rows of megabytes.
    if (p.lobes * std::max(stepX, stepY) > kMaxReach || std::int64_t(dw) * channels > 0x7FFFFFF0)
        return 0;

    mVerticalKernel.init(channels, p.lobes, stepY);
    CResampleKernel* hk = &mVerticalKernel;
    if (stepX != stepY) {
        mHorizontalKernel.init(channels, p.lobes, stepX);
        hk = &mHorizontalKernel;
    }
    mVerticalAxis.init(sh, dh, mVerticalKernel, startY);
    mHorizontalAxis.init(sw, dw, *hk, startX);

    switch (channels) {
        case 1: run<1>(src, sw, sh, srcStride, dst, dw, dh, dstStride, mVerticalKernel, *hk); break;
        case 2: run<2>(src, sw, sh, srcStride, dst, dw, dh, dstStride, mVerticalKernel, *hk); break;
        case 3: run<3>(src, sw, sh, srcStride, dst, dw, dh, dstStride, mVerticalKernel, *hk); break;
        default: run<4>(src, sw, sh, srcStride, dst, dw, dh, dstStride, mVerticalKernel, *hk); break;
    }
    return dh;
}

template <int CH>
void CImageResampler::run(const std::uint8_t* src, std::int32_t sw, std::int32_t sh, std::int32_t srcStride,
                          std::uint8_t* dst, std::int32_t dw, std::int32_t dh, std::int32_t dstStride,
                          CResampleKernel& vk, CResampleKernel& hk) {
    const CResampleAxis& va = mVerticalAxis;
    const CResampleAxis& ha = mHorizontalAxis;
    const std::int64_t hBefore = ha.paddingBefore();
    const std::int64_t rowLength = (hBefore + sw + ha.paddingAfter()) * CH;
    const std::int64_t band = std::min<std::int64_t>(
        dh, std::max<std::int64_t>(8, std::int64_t(kBandBudget * dh / (double(srcStride) * sh + 1.0 + 4.0 * dh * rowLength))));
    const std::int64_t paddedRows = std::int64_t(va.paddingBefore()) + sh + va.paddingAfter();
    mColumn.reserve(std::max<std::int64_t>(paddedRows * CH, std::int64_t(dw) * CH) + 16);
    mBand.reserve(band * rowLength + 16);
    float* column = mColumn.data();
    float* bandRows = mBand.data();
    const std::int32_t vTaps = vk.taps(), hTaps = hk.taps();
    const std::int64_t vBefore = va.paddingBefore();

    for (std::int64_t b0 = 0; b0 < dh; b0 += band) {
        const std::int64_t b1 = std::min<std::int64_t>(dh, b0 + band);
        const std::int64_t firstRow = va.entry(std::int32_t(b0)).firstTap;
        const std::int64_t lastRow = va.entry(std::int32_t(b1 - 1)).firstTap + vTaps - 1;
        // Vertical pass: one source column at a time into the column buffer, then each output row
        // of the band gets its dot product at that column.
        for (std::int64_t x = 0; x < sw; ++x) {
            for (std::int64_t pr = firstRow; pr <= lastRow; ++pr) {
                const std::int64_t row = std::clamp<std::int64_t>(pr - vBefore, 0, sh - 1);
                const std::uint8_t* s = src + row * srcStride + x * CH;
                for (int c = 0; c < CH; ++c)
                    column[pr * CH + c] = float(s[c]);
            }
            for (std::int64_t i = b0; i < b1; ++i) {
                const CResampleAxis::CEntry& e = va.entry(std::int32_t(i));
                dotTaps<CH>(e.weights, column + e.firstTap * CH, vTaps, bandRows + (i - b0) * rowLength + (hBefore + x) * CH);
            }
        }
        // Horizontal pass: pad each band row with its edge pixels, filter it into the column
        // buffer and store it as bytes.
        for (std::int64_t i = b0; i < b1; ++i) {
            float* row = bandRows + (i - b0) * rowLength;
            for (std::int64_t x = 0; x < hBefore; ++x)
                for (int c = 0; c < CH; ++c)
                    row[x * CH + c] = row[hBefore * CH + c];
            const std::int64_t lastColumn = hBefore + sw - 1;
            for (std::int64_t x = lastColumn + 1; x < rowLength / CH; ++x)
                for (int c = 0; c < CH; ++c)
                    row[x * CH + c] = row[lastColumn * CH + c];
            for (std::int32_t d = 0; d < dw; ++d) {
                const CResampleAxis::CEntry& e = ha.entry(d);
                dotTaps<CH>(e.weights, row + e.firstTap * CH, hTaps, column + std::int64_t(d) * CH);
            }
            storeRow(column, dw * CH, dst + i * dstStride);
        }
    }
}

} // namespace tal
