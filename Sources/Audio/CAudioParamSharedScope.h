#pragma once

#include "Core/CByteBuffer.h"
#include "Core/CString.h"

namespace tal {

// What a shared parameter needs of an application-data scope: named text and byte items shared by
// every plug-in instance of the process, and listeners told of each write with its sender.
// Implementations must call the listeners with none of their own locks held (copy the listeners,
// unlock, then call): a listener locks its parameter, and a thread that holds a parameter lock may
// read the scope.
class CAudioParamSharedScope {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // Any thread: the item of that name was written by sender.
        virtual void onSharedDataChanged(const CString& name, const void* sender) = 0;
    };

    virtual ~CAudioParamSharedScope() = default;
    // The text of an item, or def when there is none.
    virtual CString readText(const CString& name, const CString& def) = 0;
    virtual void writeText(const CString& name, const CString& text, const void* sender) = 0;
    // The bytes of an item (empty when there is none).
    virtual CByteBuffer readRaw(const CString& name) = 0;
    virtual void writeRaw(const CString& name, const CByteBuffer& bytes, const void* sender) = 0;
    virtual void addListener(const CString& name, Listener* listener) = 0;
    virtual void removeListener(const CString& name, Listener* listener) = 0;
};

} // namespace tal
