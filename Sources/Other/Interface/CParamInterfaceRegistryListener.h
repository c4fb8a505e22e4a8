#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>

namespace tal {

class CAudioPreset;
class CAudioPresetBank;
class CError;
class CString;
class CStringList;

// What an editor object implements to work on a registry's presets and programs through the
// interface client. Called on the editor's thread: onRegistryListen from listenRegistry, the others
// while the client processes replies.
class CParamInterfaceRegistryListener : public CCheckedObject {
public:
    // The listening has begun; the handle is already known, so requests may be sent from here.
    virtual void onRegistryListen() = 0;
    // The preset names of the session bank (isFactory false; current = the current program) or of
    // the factory bank (current -1), each as the bank stores it: the registry id, ":" and the name.
    virtual void onRegistryUpdate(bool isFactory, const CString& registryId, const CStringList& names,
                                  std::int32_t current);
    // The answer to requestPreset or requestBank; the record belongs to the caller.
    [[nodiscard]] virtual CError* onPresetData(std::int32_t requestId, CAudioPreset& preset);
    [[nodiscard]] virtual CError* onBankData(std::int32_t requestId, CAudioPresetBank& bank);
};

} // namespace tal
