#include "Audio/Processes/CModFilterIIR.h"

namespace tal {

void CModFilterIIR::runModules() noexcept {
    const CArray<CAudioModule*>& list = runList();
    int i = 0;
    while (i < list.count()) {
        auto* a = static_cast<CModFilterIIRModule*>(list[i]);
        if (i + 1 < list.count()) {
            auto* b = static_cast<CModFilterIIRModule*>(list[i + 1]);
            if (a->canPairWith(*b)) {
                CModFilterIIRModule::processPair(*a, *b);
                i += 2;
                continue;
            }
        }
        a->process();
        ++i;
    }
}

} // namespace tal
