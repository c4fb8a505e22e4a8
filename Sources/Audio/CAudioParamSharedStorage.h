#pragma once

#include "Core/CObject.h"

namespace tal {

class CAppData;

// "audio:param-shared-storage", inside a process definition: a parameter (param, relative to the
// process) whose group 0 element 0 lives in an application-data item (data-name) shared by every
// plug-in instance of one scope (storage-type "local", "group" or "global"). The process graph hands
// the declaration to the collector's shared parameters. Built with the shared description,
// read-only afterwards.
class CAudioParamSharedStorage : public CObject {
public:
    // The application-data scopes, narrowest first.
    enum class Scope { kLocal, kGroup, kGlobal };

    CAudioParamSharedStorage() = default;
    ~CAudioParamSharedStorage() override = default;

    // --- life cycle ---
    // Checks param, data-name and storage-type, in that order.
    [[nodiscard]] CError* init() override;

    // --- queries ---
    const CString& getParamName() const { return mParamName; }
    const CString& getDataName() const { return mDataName; }
    Scope getScope() const { return mScope; }
    // The process-wide application-data scope of getScope().
    CAppData* getAppData() const;

private:
    CString mParamName;
    CString mDataName;
    Scope mScope = Scope::kLocal;
};

} // namespace tal
