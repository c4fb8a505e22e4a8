#include "Other/Interface/CParamInterfaceMessageWriter.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Log.h"

namespace tal {

CParamInterfaceMessageWriter::CParamInterfaceMessageWriter(const char* eventName) {
    check(mBuffer.writeString(CString(eventName)));
}

void CParamInterfaceMessageWriter::i32(std::int32_t value) { check(mBuffer.write32(std::uint32_t(value))); }

void CParamInterfaceMessageWriter::f64(double value) { check(mBuffer.writeDouble(value)); }

void CParamInterfaceMessageWriter::string(const CString& text) { check(mBuffer.writeString(text)); }

void CParamInterfaceMessageWriter::check(CError* error) {
    if (error != nullptr)
        reportError(&error);
}

} // namespace tal
