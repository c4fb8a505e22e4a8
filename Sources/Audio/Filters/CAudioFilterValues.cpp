#include "Audio/Filters/CAudioFilterValues.h"

namespace tal {

bool CAudioFilterValueMap::add(std::string_view name, int position) noexcept {
    for (int i = 0; i < mCount; ++i) {
        if (mEntries[i].name == name) {
            mEntries[i].position = position;
            return true;
        }
    }
    if (mCount == kCapacity)
        return false;
    mEntries[mCount++] = {name, position};
    return true;
}

int CAudioFilterValueMap::find(std::string_view name) const noexcept {
    for (int i = 0; i < mCount; ++i)
        if (mEntries[i].name == name)
            return mEntries[i].position;
    return -1;
}

const CAudioFilterValueMap& CAudioFilterValueMap::standard() noexcept {
    static const CAudioFilterValueMap map = [] {
        CAudioFilterValueMap m;
        m.add("freq", 0);
        m.add("gain", 1);
        m.add("bw", 2);
        return m;
    }();
    return map;
}

bool CAudioFilterValues::read(std::string_view name, double& value) const noexcept {
    if (names == nullptr || values == nullptr)
        return false;
    const int position = names->find(name);
    if (position < 0 || position >= count)
        return false;
    value = values[position];
    return true;
}

} // namespace tal
