#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tal {

// The fields of one image layer record, written by hand in the stored byte order so that tests
// and fuzz seeds do not depend on the writer under test.
struct ImageLayerFields {
    std::int16_t colorIndex = 0;
    double scale = 2.0;
    std::int16_t width = 0, height = 0, offsetX = 0, offsetY = 0, extraWidth = 0, extraHeight = 0;
    std::int16_t anchor = 0, tone = 128;
    double advance = 0.0;
    std::int16_t channels = 4;
    std::uint8_t prepared = 0;
    std::vector<std::uint8_t> block;
    static constexpr std::int32_t kBlockSize = INT32_MIN;
    std::int32_t blockLength = kBlockSize;   // the length field; kBlockSize: the block's size
};

inline void appendLE(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

// Appends a CImageLayer record (colour index first).
inline void appendLayerRecord(std::vector<std::uint8_t>& out, const ImageLayerFields& f) {
    auto f64 = [&](double d) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &d, 8);
        appendLE(out, bits, 8);
    };
    appendLE(out, std::uint16_t(f.colorIndex), 2);
    f64(f.scale);
    for (std::int16_t v : {f.width, f.height, f.offsetX, f.offsetY, f.extraWidth, f.extraHeight, f.anchor, f.tone})
        appendLE(out, std::uint16_t(v), 2);
    f64(f.advance);
    appendLE(out, std::uint16_t(f.channels), 2);
    out.push_back(f.prepared);
    appendLE(out, std::uint32_t(f.blockLength != ImageLayerFields::kBlockSize ? f.blockLength : std::int32_t(f.block.size())), 4);
    out.insert(out.end(), f.block.begin(), f.block.end());
}

// A CImage record of these layers.
inline std::vector<std::uint8_t> imageRecord(const std::vector<ImageLayerFields>& layers) {
    std::vector<std::uint8_t> out;
    appendLE(out, std::uint16_t(layers.size()), 2);
    for (const ImageLayerFields& f : layers)
        appendLayerRecord(out, f);
    return out;
}

} // namespace tal
