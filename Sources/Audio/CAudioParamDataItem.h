#pragma once

#include "Core/CCheckedObject.h"
#include "Core/CPoolAllocated.h"

namespace tal {

class CError;
class CInputStream;
class COutputStream;

// One value of a string or raw parameter, held in a CAudioParamData table under an id.
class CAudioParamDataItem : public CCheckedObject, public CPoolAllocated {
public:
    enum : int { kTypeString = 1, kTypeRaw = 2 };

    CAudioParamDataItem() = default;
    CAudioParamDataItem(const CAudioParamDataItem&) = delete;
    CAudioParamDataItem& operator=(const CAudioParamDataItem&) = delete;
    ~CAudioParamDataItem() override = default;

    // A new item of the same type and content; the caller owns it.
    [[nodiscard]] virtual CAudioParamDataItem* clone() const = 0;
    // Writes the payload (a stream string or a byte block record).
    [[nodiscard]] virtual CError* save(COutputStream& out) const = 0;
    // Replaces the payload from a stream.
    [[nodiscard]] virtual CError* load(CInputStream& in) = 0;
    virtual int getType() const = 0;

    // A new empty item of a type (1 string, 2 raw), or null for any other type.
    [[nodiscard]] static CAudioParamDataItem* create(int type);
};

} // namespace tal
