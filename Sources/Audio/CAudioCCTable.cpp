#include "Audio/CAudioCCTable.h"

#include "Audio/CAudioParam.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/Log.h"
#include "Core/RecordTags.h"

#include <mutex>

namespace tal {

namespace {
const CString kItemName("ccmap");
// The smallest entry: the controller number and an empty path's byte count.
constexpr std::int64_t kMinEntryBytes = 8;
} // namespace

CAudioCCTable::~CAudioCCTable() {
    mListener.detach();
}

CError* CAudioCCTable::initChilds() {
    if (CError* err = CObject::initChilds()) return traceError(err, getFullName());
    mListener.setNotifier(&CAppData::localScope(), reinterpret_cast<std::intptr_t>(&kItemName));
    reportError(load());
    return nullptr;
}

void CAudioCCTable::releaseLinks() {
    mListener.detach();
    CObject::releaseLinks();
}

CError* CAudioCCTable::load() {
    std::lock_guard<CRecursiveMutex> guard(mTableLock);
    for (CAudioParam*& slot : mSlots) slot = nullptr;

    CByteBuffer item;
    CAppData::localScope().read(kItemName, item, kTagAppData, false);
    if (item.isEmpty()) return nullptr;

    CMemoryReader in(item.data(), std::int32_t(item.size()));
    std::int32_t count = 0;
    if (CError* err = in.read32(count)) return traceError(err, getFullName());
    if (count < 0 || count > in.getRemainingSize() / kMinEntryBytes)
        return newError("@talstr_CAudioCCTable_load_BadCount Controller map entry count %1 does not fit the %2 bytes "
                        "left.",
                        getFullName(), CString(count), CString(std::int64_t(in.getRemainingSize())));
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t controller = 0;
        CString path;
        if (CError* err = in.read32(controller)) return traceError(err, getFullName());
        if (CError* err = in.readString(path)) return traceError(err, getFullName());
        if (controller < 0 || controller >= kSlotCount) {
            CString line("Controller map entry for controller ");
            line.append(CString(controller)).append(" ('").append(path).append("') is out of range; skipped.");
            writeLog(line.narrowed().chars8(), true);
            continue;
        }
        // Only a parameter can take a slot; objects of the tree never are one.
        mSlots[controller] = dynamic_cast<CAudioParam*>(findObject(path));
    }
    return nullptr;
}

CAudioParam* CAudioCCTable::getSlot(int controller) {
    if (controller < 0 || controller >= kSlotCount) return nullptr;
    std::lock_guard<CRecursiveMutex> guard(mTableLock);
    return mSlots[controller];
}

} // namespace tal
