#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CDataSet.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioVizDataSpectrum;

// A stored spectrum snapshot (record tag "aspc"): the analysis settings, a group and a channel
// name text, and one 12-bit level code per bin over the dB range floor..ceiling, two codes packed
// in three bytes. The form of static spectra held in UI data parameters and of spectrum files.
// A plain value owned by its user; one thread at a time.
class CSpectrumData : public CDataSet {
public:
    static constexpr std::int32_t kMaxBins = 65537;   // a record claiming more bins is damaged

    CSpectrumData();

    // --- CDataSet ---
    std::uint32_t getTag() const override;
    // Version 1 records; any other version is not an error and gives the default record (1025
    // silent bins, 44100 Hz). A damaged record (bin count below 0 or above kMaxBins, codes beyond
    // the data, floor or ceiling not finite, ceiling not above floor) fails; fields read before
    // the failure stay.
    [[nodiscard]] CError* read(CInputStream& in) override;
    [[nodiscard]] CError* write(COutputStream& out) const override;

    // --- conversion ---
    // Fills the record from a spectrum payload: values linear magnitudes (isLinear) or dB, coded
    // over -300..20 dB, rounded to the nearest code and clamped.
    void setFromSpectrum(const CAudioVizDataSpectrum& spectrum, const CString& groupName, const CString& channelNames,
                         bool isLinear);
    // Fills out (header reset: channel 0, group 0, position 0, time 0, export slot -1) with the
    // stored settings and one linear magnitude per bin.
    void getSpectrum(CAudioVizDataSpectrum& out, CString& groupName, CString& channelNames) const;

    // --- queries ---
    std::int32_t binCount() const noexcept { return mBinCount; }
    // The code of bin i (0 .. binCount - 1) and its level in dB.
    std::int32_t code(std::int32_t i) const noexcept;
    double levelDb(std::int32_t i) const noexcept { return code(i) * mStep + floorDb; }
    const CByteBuffer& packedCodes() const noexcept { return mCodes; }
    // Bytes of n packed codes.
    static std::int32_t packedSize(std::int32_t n) noexcept { return n * 3 / 2 + (n & 1); }
    // Packs codes (0 .. 4095) into out, packedSize(n) bytes.
    static void packCodes(const std::uint16_t* codes, std::int32_t n, std::uint8_t* out) noexcept;

    // --- the record's fields ---
    double sampleRate = 44100.0;
    std::int32_t fftSize = 2048;
    std::int32_t spectrumType = 0;
    std::int32_t windowType = 0;
    double averagingTime = 0.5;
    CString groupName;
    CString channelNames;
    double floorDb = -300.0;
    double ceilingDb = 20.0;

private:
    void setDefaults();
    void updateScale() noexcept;

    CByteBuffer mCodes;
    std::int32_t mBinCount = 0;
    double mScale = 0.0;
    double mStep = 0.0;
};

} // namespace tal
