// libFuzzer target for the image record reader: whatever the bytes, reading must fail cleanly or
// give layers whose blocks match their fields, so that writing, scaling and drawing them stay
// inside their memory.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CColor.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace tal;

namespace {

void drawLayer(const CImageLayer* layer, const CColor& tint, CLinearBitmap& bitmap, std::uint8_t seed) {
    CImageDraw record;
    CImageDraw::init(record, layer, &tint, false, (seed & 1) ? 1.0 : 0.55);
    const std::int32_t x = std::int32_t(seed % 40) - 20, y = std::int32_t(seed / 7 % 30) - 10;
    bitmap.drawImage(record, x, y, CPixelRect{seed % 9, seed % 5, 50, 40});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    const std::uint8_t seed = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);   // exact size: reads beyond are caught
    CImage image;
    CMemoryReaderStatic inPlace(bytes.data(), std::int32_t(bytes.size()));
    CMemoryReader copied(bytes.data(), std::int32_t(bytes.size()));
    CMemoryReader& in = (seed & 2) ? static_cast<CMemoryReader&>(inPlace) : copied;
    if (CError* err = image.read(in)) {
        delete err;
        return 0;
    }
    // What was read writes back to the bytes it came from.
    CWriteSeqBuffer out;
    if (CError* err = image.write(out)) {
        delete err;
        std::abort();
    }
    CByteBuffer written;
    out.moveTo(written);
    if (written.size() > std::int32_t(bytes.size()) || std::memcmp(written.data(), bytes.data(), std::size_t(written.size())) != 0)
        if (image.layerCount() > 0)
            std::abort();

    CColor tint;
    tint.buildLinearRamp(200, 100, 50);
    CLinearBitmap bitmap;
    if (CError* err = bitmap.setSize(64, 48, true))
        delete err;
    const double scales[] = {1.0, 1.5, 2.0, 3.0};
    for (int i = 0; i < image.layerCount() && i < 4; ++i) {
        CImageLayer* layer = image.layer(i);
        if (std::int64_t(layer->width()) * layer->height() > 4096 * 16)
            continue;   // keeps each run short; large layers are no different
        const double scale = scales[(seed >> 2) & 3];
        CScaledGeometry geometry;
        if (CImageLayer::getScaledGeometry(*layer, scale, geometry) &&
            std::int64_t(geometry.width) * geometry.height > 4096 * 16 * 9)
            continue;   // a layer whose own scale makes its copy far larger than the layer itself
        drawLayer(layer->getScaled(scale), tint, bitmap, seed);
        drawLayer(layer, tint, bitmap, std::uint8_t(seed + 17));
    }
    return 0;
}
