#include "Audio/Filters/CDCDAWFilterWorkspace.h"

#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Filters/FirstOrderRoutines.h"

namespace tal {

CDCDAWFilterWorkspace* CDCDAWFilterWorkspace::of(CDCDAWContext& context) noexcept {
    if (CDCDAWContextWorkspace* existing = context.findWorkspace(kWorkspaceKey))
        return static_cast<CDCDAWFilterWorkspace*>(existing);
    CDCDAWFilterWorkspace* made = new CDCDAWFilterWorkspace(context);
    if (!context.setWorkspace(kWorkspaceKey, made))
        return nullptr;
    return made;
}

const CDCDAWFilterRoutines* CDCDAWFilterWorkspace::routineSet(int key, const CDCDAWRoutine* table, int tableSize) noexcept {
    if (key < kFirstOrderLowPass || key > kMaxKey)
        return nullptr;
    if (!mMade[key]) {
        const bool firstOrder = key == kFirstOrderLowPass || key == kFirstOrderHighPass || key == kFirstOrderHighPassGain;
        int process = 0;
        if (firstOrder)
            process = key == kFirstOrderLowPass ? 2 : key == kFirstOrderHighPass ? 3 : 4;
        else
            process = key - kBiquadCommon + 2;
        if (process >= tableSize)
            return nullptr;
        mSets[key] = {&table[0], &table[1], &table[process],
                      firstOrder ? static_cast<int>(sizeof(CFirstOrderState)) : static_cast<int>(sizeof(CBiquadState))};
        mMade[key] = true;
    }
    return &mSets[key];
}

} // namespace tal
