#include "Other/CImageLayer.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CImageResampler.h"
#include "Platform/CSpinLock.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tal {

namespace {

// Guards every layer's copy list and the workspace pool: held for list searches, appends and pool
// pushes and pops only, never while pixels are resampled or encoded.
CSpinLock& copyLock() {
    static CSpinLock lock;
    return lock;
}

// Resampler workspaces, reused from copy to copy with their cached weights; freed at exit.
struct CWorkspacePool {
    CImageResampler* head = nullptr;
    ~CWorkspacePool() {
        while (head != nullptr) {
            CImageResampler* next = head->next;
            delete head;
            head = next;
        }
    }
};

CWorkspacePool& workspacePool() {
    static CWorkspacePool pool;
    return pool;
}

// The longest run a header can give.
constexpr std::int32_t kMaxRun = 8191;

enum : int { kTransparent = 0, kTranslucent = 1, kOpaque = 2 };

// Collects the runs of one row and writes them with their headers.
class CRunWriter {
public:
    CRunWriter(CWriteSeqBuffer& out, std::int32_t channels)
        : mOut(out), mChannels(channels), mOpaqueSize(channels == 4 ? 4 : channels - 1),
          mBytes(std::size_t(channels) * kMaxRun) {}

    // Adds one pixel of a class with its stored bytes (translucent: channels bytes; opaque: the
    // opaque size; transparent: none).
    void add(int cls, const std::uint8_t* bytes) {
        if (cls != mClass || mLength == kMaxRun)
            close();
        if (mLength == 0) {
            mClass = cls;
            mRepeated = true;
        }
        const std::int32_t n = cls == kTranslucent ? mChannels : cls == kOpaque ? mOpaqueSize : 0;
        std::uint8_t* to = mBytes.data() + std::size_t(mLength) * std::size_t(n);
        if (cls == kOpaque && mLength > 0 && std::memcmp(bytes, mBytes.data(), std::size_t(std::min(n, 3))) != 0)
            mRepeated = false;
        std::memcpy(to, bytes, std::size_t(n));
        ++mLength;
        if (cls != kTransparent)
            mRowDrawn = true;
    }
    // Ends the row; false when nothing was written because the whole row was one transparent run.
    bool endRow(std::int32_t width) {
        if (!mRowDrawn && mLength == width && mClass == kTransparent) {
            mLength = 0;
            return false;
        }
        close();
        mRowDrawn = false;
        return true;
    }

private:
    void close() {
        if (mLength == 0)
            return;
        const int type = mClass == kTransparent ? 0 : mClass == kTranslucent ? 1 : mRepeated ? 3 : 2;
        const std::uint32_t header = std::uint32_t(mLength) << 3 | std::uint32_t(type);
        std::uint8_t head[2];
        std::int32_t headBytes = 1;
        if (mLength <= 31) {
            head[0] = std::uint8_t(header);
        } else {
            head[0] = std::uint8_t(header | 4);
            head[1] = std::uint8_t(header >> 8);
            headBytes = 2;
        }
        discard(mOut.write(head, headBytes));
        std::int32_t bytes = 0;
        if (type == 1)
            bytes = mLength * mChannels;
        else if (type == 2)
            bytes = mLength * mOpaqueSize;
        else if (type == 3)
            bytes = mOpaqueSize;
        discard(mOut.write(mBytes.data(), bytes));
        mLength = 0;
    }
    static void discard(CError* err) { delete err; }   // writing into memory cannot fail

    CWriteSeqBuffer& mOut;
    std::int32_t mChannels;
    std::int32_t mOpaqueSize;
    std::vector<std::uint8_t> mBytes;   // the current run's pixel bytes
    int mClass = kTransparent;
    std::int32_t mLength = 0;
    bool mRepeated = true;
    bool mRowDrawn = false;
};

} // namespace

CImageLayer::~CImageLayer() {
    for (CImageLayer* copy : mCopies)
        delete copy;
}

CError* CImageLayer::read(CInputStream& in) {
    std::uint16_t index = 0;
    if (CError* err = in.read16(index))
        return traceError(err);
    if (CError* err = CImageLayerData::read(in))
        return err;
    mColorIndex = std::int16_t(index);
    return nullptr;
}

CError* CImageLayer::write(COutputStream& out) const {
    if (CError* err = out.write16(std::uint16_t(mColorIndex)))
        return traceError(err);
    return CImageLayerData::write(out);
}

void CImageLayer::init(std::int32_t colorIndex, std::int32_t width, std::int32_t height, std::int32_t offsetX,
                       std::int32_t offsetY, double scale, double advance, std::int32_t extraWidth,
                       std::int32_t extraHeight, std::int32_t anchor, std::int32_t channels, std::int32_t tone,
                       const std::uint8_t* pixels, std::int32_t bitsPerPixel) {
    mColorIndex = std::int16_t(colorIndex);
    setGeometry(width, height, offsetX, offsetY, extraWidth, extraHeight, anchor);
    setScale(scale);
    mAdvance = advance;
    mChannels = channels;
    mPrepared = false;
    if (tone < 0 && pixels != nullptr)
        tone = toneOf(pixels, width, height, bitsPerPixel == 32 ? 4 : channels);
    mTone = tone;
}

std::int32_t CImageLayer::toneOf(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                                 std::int32_t channels) noexcept {
    if (channels == 4) {
        if (width < 2 || height < 2)
            return 255;
        const std::int32_t cols = std::min(width - 1, 6), rows = std::min(height - 1, 6);
        std::int64_t sum = 0;
        for (std::int32_t y = 1; y <= rows; ++y)
            for (std::int32_t x = 1; x <= cols; ++x)
                sum += pixels[(std::int64_t(y) * width + x) * 4];
        const std::int64_t n = std::int64_t(cols) * rows;
        return std::int32_t((2 * sum + n) / (2 * n));
    }
    if (width <= 0 || height <= 0)
        return 255;
    return pixels[0];
}

void CImageLayer::encodeRuns(const std::uint8_t* pixels, std::int32_t bitsPerPixel) {
    const int alphaByte = bitsPerPixel == 8 ? 0 : bitsPerPixel == 16 ? 1 : bitsPerPixel == 32 ? 3 : -1;
    const std::int64_t pixelBytes = bitsPerPixel / 8;
    const std::int32_t channels = mChannels;
    const std::int64_t tableSize = 2 + 4 * std::int64_t(mHeight);
    CByteBuffer block{std::int32_t(tableSize)};
    std::uint8_t* table = block.data();
    std::memset(table, 0, std::size_t(tableSize));
    table[0] = std::uint8_t(mHeight);
    table[1] = std::uint8_t(mHeight >> 8);
    mPrepared = true;
    mInPlace = nullptr;
    mInPlaceSize = 0;
    CWriteSeqBuffer runs;
    if (mWidth > 0 && pixels != nullptr) {
        CRunWriter writer(runs, channels);
        for (std::int32_t r = 0; r < mHeight; ++r) {
            const std::int32_t offset = std::int32_t(tableSize) + runs.getSize();
            const std::uint8_t* s = pixels + std::int64_t(r) * mWidth * pixelBytes;
            for (std::int32_t x = 0; x < mWidth; ++x, s += pixelBytes) {
                const int a = alphaByte >= 0 ? s[alphaByte] : 255;
                std::uint8_t bytes[4];
                int cls = kTransparent;
                if (a >= 254) {
                    cls = kOpaque;
                    if (channels == 4) {
                        bytes[0] = s[2], bytes[1] = s[1], bytes[2] = s[0], bytes[3] = 255;
                    } else {
                        bytes[0] = s[0];
                    }
                } else if (a >= 4) {
                    cls = kTranslucent;
                    if (channels == 4)
                        bytes[0] = s[2], bytes[1] = s[1], bytes[2] = s[0], bytes[3] = std::uint8_t(a);
                    else if (channels == 2)
                        bytes[0] = s[0], bytes[1] = std::uint8_t(a);
                    else
                        bytes[0] = std::uint8_t(a);
                }
                writer.add(cls, bytes);
            }
            const std::int32_t entry = writer.endRow(mWidth) ? offset : 0;
            std::memcpy(table + 2 + 4 * std::int64_t(r), &entry, 4);
        }
    }
    CByteBuffer body;
    runs.moveTo(body);
    block.resize(std::int32_t(tableSize) + body.size());
    std::memcpy(block.data() + tableSize, body.data(), std::size_t(body.size()));
    mBlock = std::move(block);
}

bool CImageLayer::getScaledGeometry(const CImageLayerData& layer, double scale, CScaledGeometry& g) {
    if (scale == layer.scale()) {
        g = CScaledGeometry{layer.width(), layer.height(), layer.offsetX(), layer.offsetY(), 0.0, 0.0, 1.0};
        return true;
    }
    const double r = scale * layer.inverseScale();
    // A copy at less than 1/256 of the layer's resolution would need an enormous window.
    if (!(r > 1.0 / 256.0) || !std::isfinite(r))
        return false;
    const double q = 1.0 / r;
    struct Axis {
        std::int32_t size, offset;
        int anchor;
        std::int32_t outSize = 0, outOffset = 0;
        double start = 0.0;
    };
    Axis axes[2] = {{layer.width(), layer.offsetX(), layer.anchor() & 3},
                    {layer.height(), layer.offsetY(), (layer.anchor() >> 2) & 3}};
    for (Axis& a : axes) {
        const double offset = std::floor(double(a.offset) * r);
        const double f = offset * q - a.offset;   // in (-q, 0]: where the copy's edge lies in the source
        const double extent = (double(a.size) - f) * r;
        const double size = std::ceil(std::trunc(extent * 128.0) / 128.0);
        if (!(size >= 0.0 && size <= kMaxCopySide) || std::fabs(offset) > 1e9)
            return false;
        a.outSize = std::int32_t(size);
        a.outOffset = std::int32_t(offset);
        a.start = f + q / 2.0 - 0.5;
        const double slack = size - extent;
        if (a.anchor == 2)
            a.start += slack * q;
        else if (a.anchor == 1)
            a.start += slack * q / 2.0;
    }
    g = CScaledGeometry{axes[0].outSize, axes[1].outSize, axes[0].outOffset, axes[1].outOffset,
                        axes[0].start,   axes[1].start,   q};
    return true;
}

CImageLayer* CImageLayer::findCopy(double scale) const noexcept {
    for (CImageLayer* copy : mCopies)
        if (copy->mScale == scale)
            return copy;
    return nullptr;
}

int CImageLayer::copyCount() const {
    CSpinLockGuard guard(copyLock());
    return mCopies.count();
}

CImageLayer* CImageLayer::getScaled(double scale) {
    if (mPrepared)
        return this;
    if (!(scale > 0.0) || !std::isfinite(scale))
        scale = 0.0;   // one empty copy serves every unusable scale (a NaN would never match a key)
    CImageResampler* workspace = nullptr;
    {
        CSpinLockGuard guard(copyLock());
        if (CImageLayer* copy = findCopy(scale))
            return copy;
        CWorkspacePool& pool = workspacePool();
        workspace = pool.head;
        if (workspace != nullptr)
            pool.head = workspace->next;
    }
    if (workspace == nullptr)
        workspace = new CImageResampler;
    CImageLayer* copy = new CImageLayer;
    copy->mScale = scale;
    copy->mInverseScale = scale > 0.0 ? 1.0 / scale : 0.0;
    copy->mColorIndex = mColorIndex;
    copy->mAnchor = mAnchor;
    copy->mChannels = mChannels;
    makeCopy(*copy, *workspace);

    CSpinLockGuard guard(copyLock());
    CWorkspacePool& pool = workspacePool();
    workspace->next = pool.head;
    pool.head = workspace;
    if (CImageLayer* existing = findCopy(scale)) {
        delete copy;   // another thread made the same copy meanwhile
        return existing;
    }
    mCopies.add(copy);
    return copy;
}

void CImageLayer::makeCopy(CImageLayer& copy, CImageResampler& workspace) {
    const double scale = copy.mScale;
    CScaledGeometry g;
    bool usable = scale > 0.0 && getScaledGeometry(*this, scale, g);
    if (usable && !mPrepared) {
        if (CError* err = checkBlock()) {   // a layer set up by hand whose block does not match
            delete err;
            usable = false;
        }
    }
    if (!usable) {
        copy.mWidth = copy.mHeight = 0;
        copy.mTone = mTone >= 0 ? mTone : 255;
        copy.encodeRuns(nullptr, mChannels * 8);
        return;
    }
    copy.mWidth = g.width;
    copy.mHeight = g.height;
    copy.mOffsetX = g.offsetX;
    copy.mOffsetY = g.offsetY;
    if (scale == mScale) {
        copy.mTone = mTone >= 0 ? mTone : toneOf(block(), mWidth, mHeight, mChannels);
        copy.encodeRuns(block(), mChannels * 8);
        return;
    }
    const std::int64_t bytes = std::int64_t(g.width) * g.height * mChannels;
    std::vector<std::uint8_t> pixels(std::size_t(bytes), 0);
    if (bytes > 0) {
        const CResampleParams params{0, 0, -g.step, -g.step, g.startX, g.startY, 3.0};
        if (workspace.resample(block(), mWidth, mHeight, pixels.data(), g.width, g.height, mChannels, &params) == 0)
            std::fill(pixels.begin(), pixels.end(), std::uint8_t(0));
    }
    copy.mTone = mTone >= 0 ? mTone : toneOf(pixels.data(), g.width, g.height, mChannels);
    copy.encodeRuns(pixels.data(), mChannels * 8);
}

} // namespace tal
