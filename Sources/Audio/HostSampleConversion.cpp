#include "Audio/HostSampleConversion.h"

#include "Audio/CDenormNoiseGen.h"

#include <emmintrin.h>

#include <algorithm>

namespace tal {

void readHostChannel(const void* source, bool is64, std::int32_t offset, std::int32_t length, CDenormNoiseGen* noise,
                     double* __restrict out) noexcept {
    if (length <= 0)
        return;
    if (source == nullptr) {
        if (noise != nullptr)
            noise->fill(out, length);
        else
            std::fill_n(out, length, 0.0);
        return;
    }
    if (is64) {
        const double* in = static_cast<const double*>(source) + offset;
        if (noise != nullptr)
            noise->addToDouble(in, out, length);
        else
            std::copy_n(in, length, out);
    } else {
        const float* __restrict in = static_cast<const float*>(source) + offset;
        if (noise != nullptr)
            noise->addToFloat(in, out, length);
        else
            for (std::int32_t i = 0; i < length; ++i)
                out[i] = double(in[i]);
    }
}

void writeHostChannel(const double* __restrict in, void* target, bool is64, std::int32_t offset,
                      std::int32_t count) noexcept {
    if (target == nullptr || count <= 0)
        return;
    if (is64) {
        std::copy_n(in, count, static_cast<double*>(target) + offset);
    } else {
        float* __restrict out = static_cast<float*>(target) + offset;
        std::int32_t i = 0;
        for (; i + 4 <= count; i += 4) {   // rounds as the scalar conversion does, four at a time
            const __m128 lo = _mm_cvtpd_ps(_mm_loadu_pd(in + i));
            const __m128 hi = _mm_cvtpd_ps(_mm_loadu_pd(in + i + 2));
            _mm_storeu_ps(out + i, _mm_movelh_ps(lo, hi));
        }
        for (; i < count; ++i)
            out[i] = float(in[i]);
    }
}

void clearHostChannel(void* target, bool is64, std::int32_t from, std::int32_t to) noexcept {
    if (target == nullptr || to <= from)
        return;
    if (is64)
        std::fill(static_cast<double*>(target) + from, static_cast<double*>(target) + to, 0.0);
    else
        std::fill(static_cast<float*>(target) + from, static_cast<float*>(target) + to, 0.0f);
}

} // namespace tal
