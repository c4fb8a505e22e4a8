#pragma once
#include <cstdint>

// The 32-bit tags of compressed records and data sets. A tag's little-endian bytes spell its name.
namespace tal {

constexpr std::uint32_t makeRecordTag(const char (&name)[5]) noexcept {
    return std::uint32_t(std::uint8_t(name[0])) | std::uint32_t(std::uint8_t(name[1])) << 8 |
           std::uint32_t(std::uint8_t(name[2])) << 16 | std::uint32_t(std::uint8_t(name[3])) << 24;
}

constexpr std::uint32_t kTagPreset = makeRecordTag("aprs");       // one preset, the plug-in state
constexpr std::uint32_t kTagBank = makeRecordTag("abnk");         // a preset bank
constexpr std::uint32_t kTagSpectrum = makeRecordTag("aspc");     // spectrum data
constexpr std::uint32_t kTagAppList = makeRecordTag("alst");      // application-data preset lists
constexpr std::uint32_t kTagAppData = makeRecordTag("adat");      // application-data items
constexpr std::uint32_t kTagAppString = makeRecordTag("dstr");    // an application-data text
constexpr std::uint32_t kTagImageSet = makeRecordTag("imgs");     // data-set tag of image sets
constexpr std::uint32_t kTagFont = makeRecordTag("font");         // data-set tag of fonts
constexpr std::uint32_t kTagDrixImage = 0;                        // the DRIX record inside an image set

static_assert(kTagPreset == 0x73727061 && kTagBank == 0x6B6E6261);

} // namespace tal
