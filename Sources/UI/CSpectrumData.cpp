#include "UI/CSpectrumData.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/RecordTags.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tal {

namespace {

constexpr std::int32_t kVersion = 1;
constexpr std::int32_t kMaxCode = 4095;
// The mark in front of the group name of records that carry window type, floor and ceiling.
constexpr char kExtendedMark = '`';

// A level (dB) as its code over floor with `scale` codes per dB: nearest, halves away from zero.
std::uint16_t codeOf(double db, double floor, double scale) noexcept {
    const double x = std::round((db - floor) * scale);
    if (!(x > 0.0))
        return 0;
    return std::uint16_t(std::min(x, double(kMaxCode)));
}

} // namespace

CSpectrumData::CSpectrumData() { setDefaults(); }

std::uint32_t CSpectrumData::getTag() const { return kTagSpectrum; }

void CSpectrumData::setDefaults() {
    sampleRate = 44100.0;
    fftSize = 2048;
    spectrumType = 0;
    windowType = 0;
    averagingTime = 0.5;
    groupName = CString("Stereo");
    channelNames = CString("L+R");
    floorDb = -300.0;
    ceilingDb = 20.0;
    mBinCount = fftSize / 2 + 1;
    mCodes.alloc(packedSize(mBinCount));
    std::fill_n(mCodes.data(), mCodes.size(), std::uint8_t(0));
    updateScale();
}

void CSpectrumData::updateScale() noexcept {
    mScale = kMaxCode / (ceilingDb - floorDb);
    mStep = (ceilingDb - floorDb) / kMaxCode;
}

std::int32_t CSpectrumData::code(std::int32_t i) const noexcept {
    const std::uint8_t* p = mCodes.data() + (i >> 1) * 3;
    if ((i & 1) == 0)
        return p[0] | (p[1] & 0x0F) << 8;
    return (p[1] >> 4) | p[2] << 4;
}

void CSpectrumData::packCodes(const std::uint16_t* codes, std::int32_t n, std::uint8_t* out) noexcept {
    std::int32_t i = 0;
    for (; i + 1 < n; i += 2, out += 3) {
        const std::uint32_t a = codes[i], b = codes[i + 1];
        out[0] = std::uint8_t(a & 0xFF);
        out[1] = std::uint8_t((a >> 8) | (b & 0x0F) << 4);
        out[2] = std::uint8_t(b >> 4);
    }
    if (i < n) {
        out[0] = std::uint8_t(codes[i] & 0xFF);
        out[1] = std::uint8_t(codes[i] >> 8);
    }
}

CError* CSpectrumData::read(CInputStream& in) {
    std::int32_t version = 0;
    if (CError* error = in.read32(version))
        return traceError(error);
    if (version != kVersion) {
        setDefaults();
        return nullptr;
    }
    CString group;
    if (CError* error = in.readDouble(sampleRate))
        return traceError(error);
    if (CError* error = in.read32(fftSize))
        return traceError(error);
    if (CError* error = in.read32(spectrumType))
        return traceError(error);
    if (CError* error = in.readDouble(averagingTime))
        return traceError(error);
    if (CError* error = in.readString(group))
        return traceError(error);
    const bool isExtended = group.length() > 0 && group.charAt(0) == std::uint32_t(kExtendedMark);
    groupName = isExtended ? CString(group, 1, -1) : group;
    if (CError* error = in.readString(channelNames))
        return traceError(error);
    std::int32_t n = 0;
    if (CError* error = in.read32(n))
        return traceError(error);
    if (n < 0 || n > kMaxBins)
        return newError("@talstr_CSpectrumData_read_BadBinCount Damaged spectrum record: %1 bins.", CString(),
                        CString(n));
    const std::int32_t bytes = packedSize(n);
    const std::int64_t left = in.getRemainingSize();
    if (left >= 0 && left < bytes)
        return newError("@talstr_CSpectrumData_read_ShortData Damaged spectrum record: the codes are cut short.");
    CByteBuffer codes(bytes);
    if (CError* error = in.read(codes.data(), bytes))
        return traceError(error);
    double floor = -180.0, ceiling = 20.0;
    std::int32_t window = 0;
    if (isExtended) {
        if (CError* error = in.read32(window))
            return traceError(error);
        if (CError* error = in.readDouble(floor))
            return traceError(error);
        if (CError* error = in.readDouble(ceiling))
            return traceError(error);
    }
    if (!std::isfinite(floor) || !std::isfinite(ceiling) || !(ceiling > floor))
        return newError("@talstr_CSpectrumData_read_BadRange Damaged spectrum record: bad level range.");
    mCodes.swap(codes);
    mBinCount = n;
    windowType = window;
    floorDb = floor;
    ceilingDb = ceiling;
    updateScale();
    return nullptr;
}

CError* CSpectrumData::write(COutputStream& out) const {
    CString group("`");
    group.append(groupName);
    if (CError* error = out.write32(std::uint32_t(kVersion)))
        return traceError(error);
    if (CError* error = out.writeDouble(sampleRate))
        return traceError(error);
    if (CError* error = out.write32(std::uint32_t(fftSize)))
        return traceError(error);
    if (CError* error = out.write32(std::uint32_t(spectrumType)))
        return traceError(error);
    if (CError* error = out.writeDouble(averagingTime))
        return traceError(error);
    if (CError* error = out.writeString(group))
        return traceError(error);
    if (CError* error = out.writeString(channelNames))
        return traceError(error);
    if (CError* error = out.write32(std::uint32_t(mBinCount)))
        return traceError(error);
    if (CError* error = out.write(mCodes.data(), packedSize(mBinCount)))
        return traceError(error);
    if (CError* error = out.write32(std::uint32_t(windowType)))
        return traceError(error);
    if (CError* error = out.writeDouble(floorDb))
        return traceError(error);
    if (CError* error = out.writeDouble(ceilingDb))
        return traceError(error);
    return nullptr;
}

void CSpectrumData::setFromSpectrum(const CAudioVizDataSpectrum& spectrum, const CString& group,
                                    const CString& channels, bool isLinear) {
    sampleRate = spectrum.sampleRate;
    fftSize = spectrum.fftSize;
    spectrumType = spectrum.averagingType;
    windowType = spectrum.window;
    averagingTime = spectrum.averagingTime;
    groupName = group;
    channelNames = channels;
    floorDb = -300.0;
    ceilingDb = 20.0;
    updateScale();
    const std::int32_t n = spectrum.binCount();
    std::vector<std::uint16_t> codes(std::size_t(n) + 1);
    for (std::int32_t i = 0; i < n; ++i) {
        const double v = spectrum.values[i];
        if (isLinear)
            codes[std::size_t(i)] = v > 0.0 ? codeOf(20.0 * std::log10(v), floorDb, mScale) : 0;
        else
            codes[std::size_t(i)] = codeOf(v, floorDb, mScale);
    }
    mBinCount = n;
    mCodes.alloc(packedSize(n));
    packCodes(codes.data(), n, mCodes.data());
}

void CSpectrumData::getSpectrum(CAudioVizDataSpectrum& out, CString& group, CString& channels) const {
    out.channel = 0;
    out.group = 0;
    out.position = 0;
    out.time = 0.0;
    out.exportSlot = -1;
    out.sampleRate = sampleRate;
    out.fftSize = fftSize;
    out.averagingType = spectrumType;
    out.window = windowType;
    out.averagingTime = averagingTime;
    group = groupName;
    channels = channelNames;
    out.values.resize(mBinCount);
    for (std::int32_t i = 0; i < mBinCount; ++i)
        out.values[i] = std::pow(10.0, levelDb(i) / 20.0);
}

} // namespace tal
