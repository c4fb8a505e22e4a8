#include "Audio/Viz/CAudioVizDataVScope.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

#include <cstring>

namespace tal {

CError* CAudioVizDataVScope::save(COutputStream& out) const {
    CError* err = CAudioVizData::save(out);
    if (err == nullptr) err = out.write32(std::uint32_t(data.count()));
    if (err == nullptr && data.count() > 0) {
        for (std::int32_t i = 0; err == nullptr && i < data.count(); ++i) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &data[i], sizeof bits);
            err = out.write32(bits);
        }
    }
    if (err == nullptr) err = out.write32(std::uint32_t(gridSizes.count()));
    for (int i = 0; err == nullptr && i < gridSizes.count(); ++i)
        err = out.write32(std::uint32_t(gridSizes[i]));
    return traceError(err);
}

CError* CAudioVizDataVScope::load(CInputStream& in) {
    data.resize(0);
    gridSizes.clear();
    gridPointers.clear();
    gridSizesCopy.clear();
    std::int32_t n = 0;
    CError* err = CAudioVizData::load(in);
    if (err == nullptr) err = readCount(in, n, 4, 4);
    if (err == nullptr) {
        data.resize(n);
        for (std::int32_t i = 0; err == nullptr && i < n; ++i) {
            std::uint32_t bits = 0;
            err = in.read32(bits);
            std::memcpy(&data[i], &bits, sizeof bits);
        }
    }
    std::int32_t m = 0;
    if (err == nullptr) err = readCount(in, m, 4, 0);
    if (err == nullptr) {
        gridSizes.setCount(m);
        for (std::int32_t i = 0; err == nullptr && i < m; ++i)
            err = in.read32(gridSizes[i]);
    }
    if (err == nullptr && requiredFloats() != n)
        err = newError("@talstr_CAudioVizDataVScope_BadGrid Scope frame holds %1 floats, its grids need %2.",
                       CString::emptyString, CString(n), CString(requiredFloats()));
    if (err != nullptr) {
        data.resize(0);
        gridSizes.clear();
        return traceError(err);
    }
    updateLayout(false);
    return nullptr;
}

std::int32_t CAudioVizDataVScope::requiredFloats() const noexcept {
    std::int64_t total = 0;
    for (std::int32_t s : gridSizes) {
        if (s < 0)
            return -1;
        total += std::int64_t(s) * s;
        if (total > INT32_MAX)
            return -1;
    }
    return std::int32_t(total);
}

void CAudioVizDataVScope::updateLayout(bool reset) {
    const int channels = gridSizes.count();
    gridPointers.setCount(channels);
    gridSizesCopy.setCount(channels);
    if (reset) {
        const std::int32_t total = requiredFloats();
        data.resizeZeroed(total < 0 ? 0 : total);
    }
    std::int64_t offset = 0;
    for (int i = 0; i < channels; ++i) {
        const std::int32_t s = gridSizes[i];
        gridSizesCopy[i] = s;
        gridPointers[i] = data.data() + offset;
        offset += std::int64_t(s) * s;
    }
}

CAudioVizDataVScope* CAudioVizDataVScope::cloneVScope() const {
    auto* copy = new CAudioVizDataVScope;
    copy->copyCommon(*this);
    copy->data.assign(data.data(), data.count());
    copy->gridSizes = gridSizes;
    copy->updateLayout(false);
    return copy;
}

} // namespace tal
