// libFuzzer target for the image-set and font readers: whatever the bytes, reading must fail
// cleanly or give a set whose images write back and read again to the same record, and whose
// layers scale and draw inside their memory. The first byte chooses set or font and a draw seed.
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "FuzzSupport.h"
#include "Other/CColor.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "Other/CLinearBitmap.h"

#include <cstdint>
#include <memory>
#include <vector>

using namespace tal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    const std::uint8_t seed = data[0];
    const bool font = (seed & 1) != 0;
    std::vector<std::uint8_t> bytes(data + 1, data + size);   // exact size: reads beyond are caught
    auto make = [font]() { return font ? std::unique_ptr<CImageSet>(new CFont) : std::make_unique<CImageSet>(); };
    std::unique_ptr<CImageSet> set = make();
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    if (CError* err = set->read(in)) {
        delete err;
        return 0;
    }
    // What was read writes back, and that record reads again to the same bytes.
    const CByteBuffer first = fuzz::written([&](COutputStream& out) { return set->write(out); });
    std::unique_ptr<CImageSet> again = make();
    CError* err = again->loadFromBuffer(first);
    fuzz::check(err == nullptr);
    const CByteBuffer second = fuzz::written([&](COutputStream& out) { return again->write(out); });
    fuzz::check(first == second);

    CColor tint;
    tint.buildLinearRamp(220, 180, 90);
    CLinearBitmap bitmap;
    delete bitmap.setSize(48, 32, true);
    const double scales[] = {1.0, 1.5, 2.0, 0.75};
    int drawn = 0;
    for (std::int32_t i = 0; i < set->imageCount() && drawn < 8; ++i) {
        const CImage* image = set->image(i);
        if (image == nullptr)
            continue;
        ++drawn;
        for (int k = 0; k < image->layerCount() && k < 3; ++k) {
            CImageLayer* layer = image->layer(k);
            if (std::int64_t(layer->width()) * layer->height() > 4096 * 16)
                continue;   // keeps each run short; large layers are no different
            CImageDraw record;
            CImageDraw::init(record, layer->getScaled(scales[(seed >> 1) & 3]), &tint, false, 1.0);
            bitmap.drawImage(record, std::int32_t(seed % 30) - 10, std::int32_t(seed / 9 % 20) - 5,
                             CPixelRect{0, 0, 48, 32});
        }
    }
    return 0;
}
