#pragma once

#include "Core/CPoolAllocated.h"
#include "Other/CAlignedFloats.h"
#include "Other/CResampleAxis.h"
#include "Other/CResampleKernel.h"

#include <cstdint>

namespace tal {

// How to resample: strides in bytes (below 1: packed rows), steps in source pixels per destination
// pixel (0: source length / destination length; negative: the magnitude is the step and the start
// is the source position of the centre of destination sample 0; positive: the start is the
// distance of the destination's edge from the source's edge), and the lobes of the window (2 or
// more).
struct CResampleParams {
    std::int32_t sourceStride = 0;
    std::int32_t destStride = 0;
    double stepX = 0.0;
    double stepY = 0.0;
    double startX = 0.0;
    double startY = 0.0;
    double lobes = 3.0;
};

// A resampling workspace: a separable windowed-sinc (Lanczos) resampler of interleaved 8-bit
// pixels in single-precision float, vertical pass first, output made in bands of rows that fit a
// cache-sized budget. Samples beyond the source's edges take the edge pixel's value; results are
// clamped to 0..255 and rounded. Every channel, alpha included, is filtered alike. Its kernels,
// sample tables and buffers are kept between calls, so a pooled workspace resamples the next copy
// of the same step without recomputing weights. One thread at a time.
class CImageResampler : public CPoolAllocated {
public:
    CImageResampler() = default;
    CImageResampler(const CImageResampler&) = delete;
    CImageResampler& operator=(const CImageResampler&) = delete;

    // Resamples src (sw x sh pixels of channels bytes, 1..4) into dst (dw x dh). Returns dh, or 0
    // when nothing was done: no source or destination, the same buffer for both, a negative source
    // size, a destination smaller than 1 x 1, channels outside 1..4, lobes outside 2..64, a step or
    // start that is not a finite number, or a shrink so strong that the window would reach more
    // than 1024 source pixels to each side. A source of zero width or height gives a zero destination.
    std::int32_t resample(const std::uint8_t* src, std::int32_t sw, std::int32_t sh, std::uint8_t* dst, std::int32_t dw,
                          std::int32_t dh, std::int32_t channels, const CResampleParams* params);

    CImageResampler* next = nullptr;   // link in the workspace pool

private:
    template <int CH>
    void run(const std::uint8_t* src, std::int32_t sw, std::int32_t sh, std::int32_t srcStride, std::uint8_t* dst,
             std::int32_t dw, std::int32_t dh, std::int32_t dstStride, CResampleKernel& vk, CResampleKernel& hk);

    CAlignedFloats mBand;
    CAlignedFloats mColumn;
    CResampleKernel mVerticalKernel;
    CResampleKernel mHorizontalKernel;
    CResampleAxis mVerticalAxis;
    CResampleAxis mHorizontalAxis;
};

} // namespace tal
