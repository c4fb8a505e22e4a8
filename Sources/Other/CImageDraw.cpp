#include "Other/CImageDraw.h"

#include "Other/CColor.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"

#include <algorithm>

namespace tal {

void CImageDraw::init(CImageDraw& record, const CImageLayer* layer, const CColor* color, bool keepColorOpacity,
                      double opacity) {
    record.weight = 0;
    if (!keepColorOpacity && color != nullptr)
        opacity *= color->opacity();
    if (!(opacity >= 0.005) || layer == nullptr || !layer->isPrepared())
        return;
    record.width = layer->width();
    record.height = layer->height();
    record.offsetX = layer->offsetX();
    record.offsetY = layer->offsetY();
    if (record.width == 0 || record.height == 0)
        return;
    record.channels = layer->channels();
    record.tintTable = color != nullptr ? color->toneTable() : nullptr;
    record.layer = layer;
    // Tinted layers draw their tones from the ramp: without one there is nothing to draw with.
    if (record.channels != 4 && record.tintTable == nullptr)
        return;
    record.weight = std::min(CLinearBitmap::weightOf(opacity), std::int32_t(32768));
    record.translucent = record.weight < CLinearBitmap::kOpaqueWeight;
}

} // namespace tal
