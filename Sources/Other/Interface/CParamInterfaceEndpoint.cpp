#include "Other/Interface/CParamInterfaceEndpoint.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CString.h"

namespace tal {

CError* CParamInterfaceEndpoint::runMessage(CObject& receiver, const std::uint8_t* data, std::int32_t size) {
    std::lock_guard<std::recursive_mutex> guard(mObjectMutex);
    CMemoryReader reader(data, size);
    CMemoryReader* outer = mReader;  // a handler may deliver a nested message to this object
    mReader = &reader;
    CString name;
    CError* error = reader.readString(name);
    if (error == nullptr)
        error = receiver.runEvent(name);
    mReader = outer;
    return error;
}

CError* CParamInterfaceEndpoint::readInts(CInputStream& in, std::initializer_list<std::int32_t*> values) {
    for (std::int32_t* value : values)
        if (CError* err = in.read32(*value))
            return traceError(err);
    return nullptr;
}

} // namespace tal
