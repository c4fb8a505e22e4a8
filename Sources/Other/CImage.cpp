#include "Other/CImage.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Other/CImageLayer.h"

namespace tal {

CImage::~CImage() { clear(); }

void CImage::clear() {
    for (CImageLayer* layer : mLayers)
        delete layer;
    mLayers.setCount(0);
}

CError* CImage::read(CInputStream& in) {
    clear();
    std::uint16_t raw = 0;
    if (CError* err = in.read16(raw))
        return traceError(err);
    const std::int32_t count = std::int16_t(raw);
    if (count <= 0)
        return nullptr;
    mLayers.reserve(count);
    for (std::int32_t i = 0; i < count; ++i) {
        CImageLayer* layer = new CImageLayer;
        mLayers.add(layer);
        if (CError* err = layer->read(in))
            return traceError(err);
    }
    return nullptr;
}

CError* CImage::write(COutputStream& out) const {
    if (CError* err = out.write16(std::uint16_t(mLayers.count())))
        return traceError(err);
    for (const CImageLayer* layer : mLayers)
        if (CError* err = layer->write(out))
            return traceError(err);
    return nullptr;
}

} // namespace tal
