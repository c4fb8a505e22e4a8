#pragma once
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CString.h"

namespace tal {

// An info frame (type 1): a free text with one integer.
class CAudioVizDataInfo : public CAudioVizData {
public:
    CAudioVizDataInfo() noexcept : CAudioVizData(kTypeInfo) {}

    // --- the payload: common fields, string text (at most 61440 bytes to read back), i32 value ---
    [[nodiscard]] CError* save(COutputStream& out) const override;
    [[nodiscard]] CError* load(CInputStream& in) override;
    CAudioVizDataInfo* cloneInfo() const;

    CString text;
    std::int32_t value = 0;
};

} // namespace tal
