#pragma once
#include "Core/CAppDataListener.h"

namespace tal {

class CSharedAttribute;

// The listener of a shared attribute: hears every write of its item on the writing thread and
// only posts the owner's "update" event through the owner's event bridge.
class CSharedAttributeListener : public CAppDataListener<CSharedAttribute> {
public:
    using CAppDataListener<CSharedAttribute>::CAppDataListener;
    ~CSharedAttributeListener() override { detach(); }
    void update(const CUpdateRecord* record) override;
};

} // namespace tal
