#pragma once

#include "Core/CArray.h"
#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

#include <cstdint>

namespace tal {

class CError;
class CImageLayer;
class CInputStream;
class COutputStream;

// An image of an image set or font: a stack of layers drawn in list order, first at the bottom,
// each tinted with its own colour; layer 0 gives the image's logical size, colour and tone.
// Created and read by the image-set reader and kept as long as the set; owns its layers.
// Read on the loading thread, then only read (layers' copy lists have their own lock).
class CImage : public CCheckedObject, public CPoolAllocated {
public:
    CImage() = default;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;
    ~CImage() override;

    // --- records: an i16 layer count, then the layers ---
    // Replaces the layers with those read. A count of zero or less gives no layers. On an error the
    // image holds the layers read before the failing one and that one, left empty.
    [[nodiscard]] CError* read(CInputStream& in);
    // Writes the record, stopping at the first failing layer.
    [[nodiscard]] CError* write(COutputStream& out) const;
    // Destroys every layer.
    void clear();

    // --- queries ---
    int layerCount() const noexcept { return mLayers.count(); }
    CImageLayer* layer(int i) const noexcept { return mLayers[i]; }
    // Takes ownership of a layer, appended on top (asset tools and tests).
    void addLayer(CImageLayer* layer) { mLayers.add(layer); }

private:
    CArray<CImageLayer*> mLayers;   // owned
};

} // namespace tal
