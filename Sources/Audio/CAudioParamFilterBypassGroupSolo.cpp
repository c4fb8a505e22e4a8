#include "Audio/CAudioParamFilterBypassGroupSolo.h"

#include "Audio/CAudioParamStorage.h"

namespace tal {

void CAudioParamFilterBypassGroupSolo::filterChange(const Record* sources, const Record* destinations,
                                                    const CAudioParamChange& change, const CAudioParamContext& context) {
    double bypass = 1.0;
    const CAudioParamStorage& solo = *sources[0].current;
    for (int g = 0; g < solo.getGroupCount(); ++g) {
        if (solo.getElementCount(g) >= 1 && solo.getValue(g, 0, 0) >= 0.5) {
            bypass = 0.0;
            break;
        }
    }
    applyOne(destinations[0], 0, bypass, change, context);
}

} // namespace tal
