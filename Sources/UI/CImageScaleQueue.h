#pragma once
#include "Core/CArray.h"

#include <cstdint>
#include <map>

namespace tal {

class CImageLayer;
struct CImageDraw;

// The image layers requested at one window scale: those already scaled (ready, served at once)
// and those waiting with the draw records that need them, plus the work estimate of the waiting
// ones. Owned by the shared window data; the scaled copies belong to the layers' own caches.
// Guarded by the shared data's prepare lock while preparation jobs run.
struct CImageScaleQueue {
    double scale = 1.0;
    std::map<const CImageLayer*, CImageLayer*> ready;              // source layer -> copy at this scale
    std::map<CImageLayer*, CArray<CImageDraw*>> pending;          // layer -> records waiting for it
    std::int64_t scaledPixels = 0;                                 // work counter a
    std::int64_t weightedSourcePixels = 0;                        // work counter b
};

} // namespace tal
