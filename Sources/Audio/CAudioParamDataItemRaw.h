#pragma once

#include "Audio/CAudioParamDataItem.h"
#include "Core/CByteBuffer.h"

namespace tal {

// A raw item: a byte block.
class CAudioParamDataItemRaw : public CAudioParamDataItem {
public:
    CAudioParamDataItemRaw() = default;

    [[nodiscard]] CAudioParamDataItem* clone() const override;
    [[nodiscard]] CError* save(COutputStream& out) const override;
    [[nodiscard]] CError* load(CInputStream& in) override;
    int getType() const override { return kTypeRaw; }

    const CByteBuffer& getBlock() const { return mBlock; }
    CByteBuffer& getBlock() { return mBlock; }

private:
    CByteBuffer mBlock;
};

} // namespace tal
