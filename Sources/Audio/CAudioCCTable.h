#pragma once

#include "Core/CAppDataListener.h"
#include "Core/CObject.h"
#include "Core/CRecursiveMutex.h"

namespace tal {

class CAudioParam;

// "audio:cctable": the controller table of one plug-in instance, 128 slots (controller numbers 0 to
// 127) each naming a parameter, read from the local application-data item "ccmap" when the
// instance's tree is built. A slot holds an object of the tree found by its path only when that
// object is a CAudioParam; parameters are not objects of the tree, so every slot stays empty and
// no controller reaches a parameter through the table. Later writes of "ccmap" are not loaded.
// Owned by the instance's tree; loaded on the main thread; the table lock guards the slots.
class CAudioCCTable : public CObject {
public:
    static constexpr int kSlotCount = 128;

    CAudioCCTable() : mListener(this) {}
    ~CAudioCCTable() override;

    // --- life cycle: main thread ---
    // Attaches to the local scope under "ccmap" and loads the table; a load error is logged and
    // dropped.
    [[nodiscard]] CError* initChilds() override;
    void releaseLinks() override;

    // Empties every slot, then reads "ccmap": an i32 count, then per entry an i32 controller number
    // and a stream string path. An absent or empty item is no error. A damaged item ends the load
    // with an error; an entry whose number lies outside 0 to 127 is logged and skipped.
    [[nodiscard]] CError* load();

    // The parameter of a controller number, or null (also for numbers outside 0 to 127).
    CAudioParam* getSlot(int controller);

private:
    // Hears writes of "ccmap" and ignores them: the table is read once.
    class CListener : public CAppDataListener<CAudioCCTable> {
    public:
        using CAppDataListener<CAudioCCTable>::CAppDataListener;
        ~CListener() override { detach(); }
        void update(const CUpdateRecord*) override {}
    };

    CListener mListener;
    CRecursiveMutex mTableLock;
    CAudioParam* mSlots[kSlotCount] = {};  // under mTableLock
};

} // namespace tal
