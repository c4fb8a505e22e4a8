#pragma once

namespace tal {

class CAudioParam;

// A parameter registry that owns a parameter for "User" marking: when the parameter is edited, the
// owner's preset-name parameter is set to "User" (CAudioParam::markOwnerPresetsUser).
class CAudioParamOwner {
public:
    virtual ~CAudioParamOwner() = default;
    // The owner's preset-name parameter, or null.
    virtual CAudioParam* getPresetNameParam() = 0;
    // Whether the owner stores parameters that are only is-global.
    virtual bool isGlobalParamStorable() const = 0;
};

} // namespace tal
