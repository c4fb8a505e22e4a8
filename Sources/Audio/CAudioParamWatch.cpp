#include "Audio/CAudioParamWatch.h"

#include "Audio/CAudioParamChange.h"

namespace tal {

bool CAudioParamWatch::matches(const CAudioParamChange& change) const noexcept {
    if (change.group == CAudioParamChange::kFormatGroup)
        return true;
    const bool groupHit = change.group == group || group == -1 || (change.singleGroup && change.group == 0);
    if (!groupHit)
        return false;
    return element == -1 || (change.singleElement && change.firstElement == 0) ||
           (element >= change.firstElement && element < change.firstElement + change.count) ||
           (change.truncate && element >= change.firstElement);
}

void CAudioParamWatch::raise(const CAudioParamChange& change) const noexcept {
    if (changed != nullptr)
        *changed = true;
    if (groupMask != nullptr)
        *groupMask = change.group == CAudioParamChange::kFormatGroup ? 0xFFFFFFFFu
                                                                      : 1u << (unsigned(change.group) % 32u);
}

} // namespace tal
