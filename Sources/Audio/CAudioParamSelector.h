#pragma once

namespace tal {

struct CAudioParamChange;
struct CAudioParamContext;

// A parameter registry whose enumerated bank a parameter selects: the change path calls it after
// storing and handing off a change of that parameter, under the parameter's lock.
class CAudioParamSelector {
public:
    virtual ~CAudioParamSelector() = default;
    virtual void onSelectorChange(const CAudioParamChange& change, const CAudioParamContext& context) = 0;
};

} // namespace tal
