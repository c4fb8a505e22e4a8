#include "fft/FftPlan.h"

#include "fft/FftMemory.h"
#include "fft/FftSineTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tal::fft {

namespace {

// Large-plan schedules, indexed by complex order 0..30 (0 where a level never uses the entry).
struct ScheduleTables {
    std::int8_t splitOrder[31] = {};
    std::int8_t workOrder[31] = {};
};

constexpr ScheduleTables makeSchedule(int level) {
    ScheduleTables t;
    for (int m = 0; m <= 30; ++m) {
        int a = 0, g = 0;
        switch (level) {
        case 0:
            if (m >= 15 && m <= 18) a = 4;
            else if (m == 19 || m == 20) a = 6;
            else if (m >= 21) a = 8;
            if (m == 15) g = 8;
            else if (m >= 16 && m <= 18) g = 10;
            else if (m == 19 || m == 20) g = 13;
            else if (m >= 21) g = 14;
            break;
        case 2:
            if (m >= 17 && m <= 19) { a = 6; g = 10; }
            else if (m == 20) { a = 7; g = 11; }
            else if (m >= 21) { a = 8; g = 13; }
            break;
        case 3:
            if (m == 17 || m == 18) { a = 6; g = 10; }
            else if (m >= 19) { a = 8; g = 13; }
            break;
        default:
            if (m >= 18 && m <= 21) { a = 4; g = 9; }
            else if (m >= 22) { a = 8; g = 13; }
            break;
        }
        t.splitOrder[m] = static_cast<std::int8_t>(a);
        t.workOrder[m] = static_cast<std::int8_t>(g);
    }
    return t;
}

constexpr ScheduleTables kSchedule0 = makeSchedule(0);
constexpr ScheduleTables kSchedule2 = makeSchedule(2);
constexpr ScheduleTables kSchedule3 = makeSchedule(3);
constexpr ScheduleTables kSchedule4 = makeSchedule(4);

constexpr std::int32_t kMiB = 1048576;
constexpr int kBlockFrom = 15;

const FftLevelParams kLevelParams[4] = {
    {5, 6, 15, 18, 14, 19, 6, 131072, kSchedule0.splitOrder, kSchedule0.workOrder, 17, 8 * kMiB, 2, kBlockFrom},
    {5, 6, 17, 17, 16, 18, 5, 32768, kSchedule2.splitOrder, kSchedule2.workOrder, 22, 64 * kMiB, 2, kBlockFrom},
    {5, 6, 17, 19, 16, 18, 5, 32768, kSchedule3.splitOrder, kSchedule3.workOrder, 23, 128 * kMiB, 2, kBlockFrom},
    {4, 7, 18, 17, 17, 18, 5, 32768, kSchedule4.splitOrder, kSchedule4.workOrder, 23, 128 * kMiB, 4, kBlockFrom},
};

constexpr std::int64_t pow2(int e) { return std::int64_t{1} << e; }

struct LargeSizes {
    std::int64_t size = 0, work = 0;
};

LargeSizes largePlanSizes(const FftLevelParams& lp, int m, int depth) {
    const int a = lp.splitOrder[m];
    const int r = m - a;
    LargeSizes s;
    if (r <= lp.innerLimit) {
        s.size = align64(16 * pow2(r) + 16);
        s.work = align64(16 * pow2(r));
    } else {
        s = largePlanSizes(lp, r, depth + 1);
    }
    s.size += 16 * pow2(m - 1);
    s.work = std::max(s.work, 16 * pow2(lp.workOrder[m]));
    if (depth == 0) {
        if (m >= lp.twoPartIndexFrom) {
            const int b = lp.blockOrder;
            s.size += 4 * pow2(m - 2 * b) + 4 * pow2(2 * b - 2) + 64;
            s.work = std::max<std::int64_t>(s.work, lp.largeMinWork);
        } else {
            s.size += align64(pow2(m) + 4);
        }
    }
    return s;
}

std::int64_t splitTableBytes(const FftLevelParams& lp, int order) {
    if (order >= lp.twoLevelSplitOrder) return align64(pow2(order - 7) + 8192);
    return align64(4 * pow2(order));
}

bool validFlag(std::int32_t flag) { return flag == 1 || flag == 2 || flag == 4 || flag == 8; }

}  // namespace

std::uint8_t* buildLargeBody(const FftLevelParams& lp, RealFFTSpec* spec, int m, int depth,
                             const FftSineSource& src, std::uint8_t* pos) {
    const int a = lp.splitOrder[m];
    const int r = m - a;
    if (r <= lp.innerLimit) {
        spec->twiddleTable = reinterpret_cast<double*>(pos);
        buildBlockTwiddles(r, lp.lanes, src, spec->twiddleTable);
        pos += align64(16 * pow2(r) + 16);
    } else {
        pos = buildLargeBody(lp, spec, r, depth + 1, src, pos);
    }
    spec->largeTwiddles[depth] = reinterpret_cast<double*>(pos);
    buildColumnTwiddles(m, a, std::min(pow2(r), pow2(std::max(0, lp.workOrder[m] - a))), lp.lanes, src,
                        spec->largeTwiddles[depth]);
    return pos + 16 * pow2(m - 1);
}

const FftLevelParams& fftLevelParams(int level) {
    switch (level) {
    case 2: return kLevelParams[1];
    case 3: return kLevelParams[2];
    case 4: return kLevelParams[3];
    default: return kLevelParams[0];
    }
}

FftPlanSizes fftPlanSizes(int level, int order) {
    const FftLevelParams& lp = fftLevelParams(level);
    FftPlanSizes s;
    if (order <= lp.directMax) {
        s.spec = 200;
        return s;
    }
    const std::int64_t n = pow2(order), h = n / 2;
    const std::int64_t split = splitTableBytes(lp, order);
    if (order <= lp.splitOnlyMax) {
        s.spec = 2 * split + 256;
    } else if (order <= lp.complexMax) {
        s.spec = align64(16 * h + 16) + align64(h + 4) + 2 * split + 256;
        s.tempSize = align64(16 * h);
        s.work = s.tempSize + 64;
    } else {
        const LargeSizes large = largePlanSizes(lp, order - 1, 0);
        s.spec = large.size + 2 * split + 256;
        s.tempSize = large.work;
        s.work = large.work + 64;
    }
    if (order > 10) s.init = align64(2 * n + 8) + 64;
    return s;
}

std::int32_t fftGetSize(int level, std::int32_t order, std::int32_t flag, std::int32_t /*hint*/,
                        std::int32_t* specSize, std::int32_t* initSize, std::int32_t* workSize) {
    if (order < 0 || order > 30) return kFFTOrderError;
    if (!specSize || !initSize || !workSize) return kFFTNullPointer;
    if (!validFlag(flag)) return kFFTFlagError;
    if (order > kRealFFTMaxOrder) return kFFTOrderError;
    const FftPlanSizes s = fftPlanSizes(level, order);
    *specSize = static_cast<std::int32_t>(s.spec);
    *initSize = static_cast<std::int32_t>(s.init);
    *workSize = static_cast<std::int32_t>(s.work);
    return kFFTNoError;
}

std::int32_t fftInit(int level, RealFFTSpec** specOut, std::int32_t order, std::int32_t flag,
                     std::int32_t hint, std::uint8_t* specMem, std::uint8_t* initBuf) {
    if (!specOut) return kFFTNullPointer;
    if (order < 0 || order > kRealFFTMaxOrder) return kFFTOrderError;
    if (!specMem) return kFFTNullPointer;

    std::uint8_t* base = alignPtr64(specMem);
    (void)fftZero(base, static_cast<std::int32_t>(sizeof(RealFFTSpec)));
    RealFFTSpec* spec = reinterpret_cast<RealFFTSpec*>(base);
    spec->hint = hint;
    spec->order = order;
    const std::int64_t n = pow2(order);
    switch (flag) {
    case kFFTScaleForward: spec->scaleForward = 1; spec->factor = 1.0 / static_cast<double>(n); break;
    case kFFTScaleInverse: spec->scaleInverse = 1; spec->factor = 1.0 / static_cast<double>(n); break;
    case kFFTScaleSqrt:
        spec->scaleForward = spec->scaleInverse = 1;
        spec->factor = 1.0 / std::sqrt(static_cast<double>(n));
        break;
    case kFFTNoScale: break;
    default: spec->id = 0; return kFFTFlagError;
    }
    spec->id = kRealFFTSpecId;

    const FftLevelParams& lp = fftLevelParams(level);
    if (order <= lp.directMax) {
        *specOut = spec;
        return kFFTNoError;
    }
    FftSineSource src{kSineTable1024, 10};
    if (order > 10) {
        if (!initBuf) return kFFTNullPointer;
        double* sine = reinterpret_cast<double*>(alignPtr64(initBuf));
        buildQuarterSineTable(order, sine);
        src = FftSineSource{sine, order};
    }

    const int m = order - 1;
    std::uint8_t* pos = base + sizeof(RealFFTSpec);
    if (order <= lp.splitOnlyMax) {
        pos = base + 192;
    } else if (order <= lp.complexMax) {
        spec->bitRevTable = reinterpret_cast<std::int32_t*>(pos);
        pos = buildBitRevTable(m, spec->bitRevTable);
        spec->twiddleTable = reinterpret_cast<double*>(pos);
        if (order >= lp.blockTransformFrom) buildBlockTwiddles(m, lp.lanes, src, spec->twiddleTable);
        else buildStageTwiddles(m, src, spec->twiddleTable);
        pos = alignPtr64(spec->twiddleTable + 2 * pow2(m));
        spec->tempSize = static_cast<std::int32_t>(align64(16 * pow2(m)));
    } else {
        spec->bitRevTable = reinterpret_cast<std::int32_t*>(pos);
        pos = m < lp.twoPartIndexFrom ? buildBitRevTable(m, spec->bitRevTable)
                                      : buildLargeIndexTable(m, lp.blockOrder, spec->bitRevTable);
        pos = buildLargeBody(lp, spec, m, 0, src, pos);
        spec->tempSize = static_cast<std::int32_t>(largePlanSizes(lp, m, 0).work);
    }
    const bool twoLevel = order >= lp.twoLevelSplitOrder;
    spec->splitTable = reinterpret_cast<double*>(pos);
    pos = buildSplitTable(order, twoLevel, src, spec->splitTable);
    spec->splitTableB = reinterpret_cast<double*>(pos);
    buildSplitTableB(order, twoLevel, src, spec->splitTableB);
    *specOut = spec;
    return kFFTNoError;
}

int fftStagePlan(int m, int radices[16]) {
    int count = 0, left = m;
    if (left % 2 == 1) {
        radices[count++] = 8;
        left -= 3;
    }
    while (left > 0) {
        radices[count++] = 4;
        left -= 2;
    }
    return count;
}

void FftSineSource::cosNegSin(std::int64_t a, int p, double& c, double& ns) const noexcept {
    const std::int64_t sigma = pow2(order - p);
    const std::int64_t q = pow2(p) / 4;
    if (a <= q) {
        c = s[(q - a) * sigma];
        ns = -s[a * sigma];
    } else if (a <= 2 * q) {
        c = -s[(a - q) * sigma];
        ns = -s[(2 * q - a) * sigma];
    } else if (a <= 3 * q) {
        c = -s[(3 * q - a) * sigma];
        ns = s[(a - 2 * q) * sigma];
    } else {
        c = s[(a - 3 * q) * sigma];
        ns = s[(4 * q - a) * sigma];
    }
}

std::uint8_t* buildQuarterSineTable(int order, double* out) {
    const std::int64_t n = pow2(order);
    const double x = 6.283185307179586 / static_cast<double>(n);
    for (std::int64_t j = 0; j <= n / 8; ++j) out[j] = std::sin(static_cast<double>(j) * x);
    for (std::int64_t j = n / 8 + 1; j <= n / 4; ++j) out[j] = std::cos(static_cast<double>(n / 4 - j) * x);
    return alignPtr64(out + n / 4 + 1);
}

std::uint8_t* buildBitRevTable(int m, std::int32_t* out) {
    if (m < 2) return reinterpret_cast<std::uint8_t*>(out);
    const std::int64_t count = pow2(m - 2);
    std::int64_t v = 0;
    out[0] = 0;
    for (std::int64_t i = 1; i < count; ++i) {
        std::int64_t h = count / 2;
        while (h >= 1 && h <= v) {
            v -= h;
            h /= 2;
        }
        v += h;
        out[i] = static_cast<std::int32_t>(2 * v);
    }
    out[count] = 0;
    return alignPtr64(out + count + 1);
}

std::uint8_t* buildSwapList(int bits, std::int32_t* out) {
    if (bits < 2) return reinterpret_cast<std::uint8_t*>(out);
    const int rbits = bits - 2;
    const std::int64_t slots = pow2(rbits);
    std::int64_t front = 0, back = slots - 1, v = 0;
    for (std::int64_t i = 1; i < slots; ++i) {
        std::int64_t h = slots / 2;
        while (h >= 1 && h <= v) {
            v -= h;
            h /= 2;
        }
        v += h;
        if (i < v) {
            out[front++] = static_cast<std::int32_t>(4 * i);
            out[front++] = static_cast<std::int32_t>(4 * v);
        } else if (i == v) {
            out[back--] = static_cast<std::int32_t>(4 * i);
        }
    }
    out[front] = 0;
    out[slots] = 0;
    return alignPtr64(out + slots + 1);
}

std::uint8_t* buildLargeIndexTable(int m, int blockOrder, std::int32_t* out) {
    const int bits = m - 2 * blockOrder;
    const std::int64_t count = pow2(bits);
    std::int64_t v = 0;
    out[0] = 0;
    for (std::int64_t i = 1; i < count; ++i) {
        std::int64_t h = count / 2;
        while (h >= 1 && h <= v) {
            v -= h;
            h /= 2;
        }
        v += h;
        out[i] = static_cast<std::int32_t>(v << blockOrder);
    }
    return buildSwapList(2 * blockOrder, out + count);
}

std::uint8_t* buildStageTwiddles(int m, const FftSineSource& src, double* out) {
    int radices[16];
    const int stages = fftStagePlan(m, radices);
    double* w = out;
    std::int64_t n = pow2(m);
    int p = m;  // log2 of the current sub-length
    for (int st = 0; st < stages; ++st) {
        const int r = radices[st];
        const std::int64_t len = n / r;  // butterflies of this stage
        if (len > 1) {
            for (int k = 1; k < r; ++k) {
                for (std::int64_t j = 0; j < len; ++j) src.cosNegSin(j * k, p, w[j], w[len + j]);
                w += 2 * len;
            }
        }
        n = len;
        p -= (r == 8 ? 3 : r == 4 ? 2 : 1);
    }
    return alignPtr64(out + 2 * pow2(m));
}

namespace {

// Stage twiddles of the small complex transforms (2^4 to 2^6 points) that plans of the direct
// orders use without tables of their own; built before main from the constant sine table.
struct SmallTwiddles {
    alignas(64) double table[3][2 * 64];
    SmallTwiddles() {
        for (int m = 4; m <= 6; ++m) buildStageTwiddles(m, FftSineSource{kSineTable1024, 10}, table[m - 4]);
    }
};
const SmallTwiddles kSmallTwiddles;

}  // namespace

const double* fftSmallStageTwiddles(int m) { return kSmallTwiddles.table[m - 4]; }

int fftBlockPlan(int s, int radices[16]) {
    int count = 0, left = s;
    for (; left % 3 != 0 && left >= 2; left -= 2) radices[count++] = 4;
    for (; left >= 3; left -= 3) radices[count++] = 8;
    return count;
}

int fftColumnPlan(int a, int radices[8]) {
    int count = 0;
    for (int left = a; left > 0;) {
        const bool four = left == 2 || left == 4 || left == 6;
        radices[count++] = four ? 4 : 8;
        left -= four ? 2 : 3;
    }
    return count;
}

namespace {

int log2Radix(int radix) { return radix == 8 ? 3 : 2; }

// Stores the twiddles e^(-2 pi i q p_l / 2^bits), q = 1..radix-1, of the lanes positions p_l as
// lanes real parts then lanes imaginary parts per q; returns the end.
double* storeTwiddleUnit(const std::int64_t* p, int lanes, int radix, int bits, const FftSineSource& src,
                         double* out) {
    const std::int64_t mask = pow2(bits) - 1;
    for (int q = 1; q < radix; ++q, out += 2 * lanes)
        for (int l = 0; l < lanes; ++l) src.cosNegSin((q * p[l]) & mask, bits, out[l], out[lanes + l]);
    return out;
}

}  // namespace

std::uint8_t* buildBlockTwiddles(int s, int lanes, const FftSineSource& src, double* out) {
    int radices[16];
    const int passes = fftBlockPlan(s, radices);
    int bits = log2Radix(radices[0]);  // log2 of the sub-transform size before each later pass
    for (int pass = 1; pass < passes; ++pass) {
        const int r = radices[pass];
        const std::int64_t b = pow2(bits);
        bits += log2Radix(r);
        for (std::int64_t j = 0; j < b; j += lanes) {
            std::int64_t p[4];
            for (int l = 0; l < lanes; ++l) p[l] = j + l;
            out = storeTwiddleUnit(p, lanes, r, bits, src, out);
        }
    }
    return alignPtr64(out);
}

std::uint8_t* buildColumnTwiddles(int m, int a, std::int64_t K, int lanes, const FftSineSource& src, double* out) {
    const int r = m - a;
    const std::int64_t s = pow2(r);
    int radices[8];
    const int passes = fftColumnPlan(a, radices);
    for (std::int64_t k0 = 0; k0 < s; k0 += K) {
        std::int64_t w = K;  // positions per group of the pass: K columns times the rows combined so far
        int bits = r;        // log2 of the sub-transform size before the pass
        for (int pass = 0; pass < passes; ++pass) {
            const int radix = radices[pass];
            const bool last = pass == passes - 1;
            bits += log2Radix(radix);
            // Position j of the gathered block stands for column k0 + j % K of row offset j / K.
            const auto position = [&](std::int64_t j) { return k0 + j % K + s * (j / K); };
            for (std::int64_t j = 0; j < (last ? w / 2 : w); j += lanes) {
                std::int64_t p[4];
                for (int l = 0; l < lanes; ++l) p[l] = position(j + l);
                if (!last) {
                    out = storeTwiddleUnit(p, lanes, radix, bits, src, out);
                    continue;
                }
                // Last radix-4 pass: B = e^(-2 pi i p / f), then A = e^(-2 pi i p / (f/2)).
                const std::int64_t mask = pow2(bits) - 1;
                for (int l = 0; l < lanes; ++l) src.cosNegSin(p[l] & mask, bits, out[l], out[lanes + l]);
                for (int l = 0; l < lanes; ++l)
                    src.cosNegSin(p[l] & (mask >> 1), bits - 1, out[2 * lanes + l], out[3 * lanes + l]);
                out += 4 * lanes;
            }
            w *= radix;
        }
    }
    return alignPtr64(out);
}

namespace {

// Two-level form: 512 fine twiddles e^(-2 pi i k / N), k = 1..512, then the coarse ones for
// k = 512 g, g = 0..N/2048 - 1, each as a (cos, -sin) pair.
std::uint8_t* buildTwoLevelSplit(int order, const FftSineSource& src, double* out) {
    const std::int64_t n = pow2(order);
    for (std::int64_t k = 1; k <= 512; ++k) src.cosNegSin(k, order, out[2 * (k - 1)], out[2 * (k - 1) + 1]);
    double* coarse = out + 1024;
    for (std::int64_t g = 0; g < n / 2048; ++g) src.cosNegSin(512 * g, order, coarse[2 * g], coarse[2 * g + 1]);
    return alignPtr64(coarse + 2 * (n / 2048));
}

}  // namespace

std::uint8_t* buildSplitTable(int order, bool twoLevel, const FftSineSource& src, double* out) {
    if (twoLevel) return buildTwoLevelSplit(order, src, out);
    // Normal form: C_k = cos(2 pi k / N) / 2 for k = 1..N/4, then S_k = (1 - sin(2 pi k / N)) / 2.
    const std::int64_t quarter = pow2(order) / 4;
    const std::int64_t sigma = pow2(src.order - order);
    for (std::int64_t k = 1; k <= quarter; ++k) {
        out[k - 1] = 0.5 * src.s[(quarter - k) * sigma];
        out[quarter + k - 1] = 0.5 - (src.s[k * sigma] * 0.5);
    }
    return alignPtr64(out + 2 * quarter);
}

std::uint8_t* buildSplitTableB(int order, bool twoLevel, const FftSineSource& src, double* out) {
    if (twoLevel) return buildTwoLevelSplit(order, src, out);
    const std::int64_t quarter = pow2(order) / 4;
    const std::int64_t sigma = pow2(src.order - order);
    for (std::int64_t k = 1; k <= quarter; ++k) {
        out[k - 1] = src.s[(quarter - k) * sigma];
        out[quarter + k - 1] = -src.s[k * sigma];
    }
    return alignPtr64(out + 2 * quarter);
}

}  // namespace tal::fft
