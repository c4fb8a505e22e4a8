#include "Other/CImageLayerData.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"

#include <cmath>
#include <cstring>

namespace tal {

namespace {

std::int32_t loadI32(const std::uint8_t* p) noexcept {
    std::uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return std::int32_t(v);
}

// Reads one signed 16-bit field, sign-extended.
CError* read16s(CInputStream& in, std::int32_t& value) {
    std::uint16_t raw = 0;
    if (CError* err = in.read16(raw))
        return err;
    value = std::int16_t(raw);
    return nullptr;
}

CError* damaged(const char* what, std::source_location where = std::source_location::current()) {
    return newError(CErrorSite("@talstr_CImageLayerData_Damaged Damaged image layer: %1.", where),
                    CString::emptyString, CString(what));
}

// True when a run-length block has height rows whose runs lie inside the block, after the row
// table, and cover exactly width pixels each.
bool runsAreValid(const std::uint8_t* block, std::int64_t size, std::int32_t width, std::int32_t height,
                  std::int32_t channels) {
    const std::int64_t table = 2 + 4 * std::int64_t(height);
    if (size < table)
        return false;
    if ((block[0] | block[1] << 8) != (height & 0xFFFF))
        return false;
    const std::int64_t opaqueBytes = channels == 4 ? 4 : channels - 1;
    for (std::int32_t r = 0; r < height; ++r) {
        const std::int64_t offset = loadI32(block + 2 + 4 * std::int64_t(r));
        if (offset == 0)
            continue;
        if (offset < table || offset >= size)
            return false;
        std::int64_t pos = offset, covered = 0;
        while (covered < width) {
            if (pos >= size)
                return false;
            std::uint32_t header = block[pos++];
            if (header & 4) {
                if (pos >= size)
                    return false;
                header |= std::uint32_t(block[pos++]) << 8;
            }
            const std::int64_t length = header >> 3;
            if (length == 0 || covered + length > width)
                return false;
            std::int64_t bytes = 0;
            switch (header & 3) {
                case 1: bytes = length * channels; break;
                case 2: bytes = length * opaqueBytes; break;
                case 3: bytes = opaqueBytes; break;
                default: break;
            }
            if (bytes > size - pos)
                return false;
            pos += bytes;
            covered += length;
        }
    }
    return true;
}

} // namespace

std::int32_t CImageLayerData::rowOffset(std::int32_t r) const noexcept { return loadI32(block() + 2 + 4 * r); }

void CImageLayerData::reset() { *this = CImageLayerData(); }

void CImageLayerData::setScale(double scale) noexcept {
    mScale = scale;
    mInverseScale = 1.0 / scale;
}

void CImageLayerData::setGeometry(std::int32_t width, std::int32_t height, std::int32_t offsetX, std::int32_t offsetY,
                                  std::int32_t extraWidth, std::int32_t extraHeight, std::int32_t anchor) noexcept {
    mWidth = width;
    mHeight = height;
    mOffsetX = offsetX;
    mOffsetY = offsetY;
    mExtraWidth = extraWidth;
    mExtraHeight = extraHeight;
    mAnchor = anchor;
}

void CImageLayerData::assignBlock(const void* bytes, std::int32_t count, bool prepared) {
    mBlock.assign(bytes, count);
    mInPlace = nullptr;
    mInPlaceSize = 0;
    mPrepared = prepared;
}

CError* CImageLayerData::checkBlock() const {
    if (!(mScale > 0.0) || !std::isfinite(mScale))
        return damaged("the scale is not a positive number");
    if (!std::isfinite(mAdvance))
        return damaged("the advance is not a number");
    if (mWidth < 0 || mHeight < 0)
        return damaged("negative size");
    if (mChannels != 1 && mChannels != 2 && mChannels != 4)
        return damaged("channels not 1, 2 or 4");
    if (!mPrepared) {
        if (std::int64_t(mWidth) * mHeight * mChannels != blockSize())
            return damaged("the pixel block does not hold width x height x channels bytes");
        return nullptr;
    }
    if (!runsAreValid(block(), blockSize(), mWidth, mHeight, mChannels))
        return damaged("malformed run-length rows");
    return nullptr;
}

CError* CImageLayerData::read(CInputStream& in) {
    CImageLayerData d;
    double scale = 0.0;
    if (CError* err = in.readDouble(scale))
        return traceError(err);
    d.setScale(scale);
    std::int32_t* fields[] = {&d.mWidth,      &d.mHeight,      &d.mOffsetX, &d.mOffsetY,
                              &d.mExtraWidth, &d.mExtraHeight, &d.mAnchor,  &d.mTone};
    for (std::int32_t* field : fields)
        if (CError* err = read16s(in, *field))
            return traceError(err);
    if (CError* err = in.readDouble(d.mAdvance))
        return traceError(err);
    if (CError* err = read16s(in, d.mChannels))
        return traceError(err);
    std::uint8_t prepared = 0;
    if (CError* err = in.read8(prepared))
        return traceError(err);
    if (prepared > 1)
        return damaged("unknown pixel block form");
    d.mPrepared = prepared == 1;
    if (const std::uint8_t* bytes = in.getDataPtr()) {
        std::int32_t length = 0;
        if (CError* err = in.read32(length))
            return traceError(err);
        if (length < 0)
            return damaged("negative pixel block length");
        if (CError* err = in.skip(length))
            return traceError(err);
        d.mInPlace = bytes + 4;
        d.mInPlaceSize = length;
    } else if (CError* err = in.readByteBuffer(d.mBlock)) {
        return traceError(err);
    }
    if (CError* err = d.checkBlock())
        return err;
    *this = std::move(d);
    return nullptr;
}

CError* CImageLayerData::write(COutputStream& out) const {
    if (CError* err = out.writeDouble(mScale))
        return traceError(err);
    const std::int32_t fields[] = {mWidth, mHeight, mOffsetX, mOffsetY, mExtraWidth, mExtraHeight, mAnchor, mTone};
    for (std::int32_t field : fields)
        if (CError* err = out.write16(std::uint16_t(field)))
            return traceError(err);
    if (CError* err = out.writeDouble(mAdvance))
        return traceError(err);
    if (CError* err = out.write16(std::uint16_t(mChannels)))
        return traceError(err);
    if (CError* err = out.write8(mPrepared ? 1 : 0))
        return traceError(err);
    if (CError* err = out.write32(std::uint32_t(blockSize())))
        return traceError(err);
    if (CError* err = out.write(block(), blockSize()))
        return traceError(err);
    return nullptr;
}

} // namespace tal
