#include "Audio/CAudioParamDataItem.h"

#include "Audio/CAudioParamDataItemRaw.h"
#include "Audio/CAudioParamDataItemString.h"

namespace tal {

CAudioParamDataItem* CAudioParamDataItem::create(int type) {
    if (type == kTypeString) return new CAudioParamDataItemString();
    if (type == kTypeRaw) return new CAudioParamDataItemRaw();
    return nullptr;
}

} // namespace tal
