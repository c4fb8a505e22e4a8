#include "Audio/VST/CInputStreamVST.h"

#include "Core/CError.h"
#include "Core/CString.h"

#include "pluginterfaces/base/ibstream.h"

namespace tal {

using namespace Steinberg;

CError* CInputStreamVST::read(void* destination, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    int32 got = 0;
    const tresult result = mHostStream != nullptr ? mHostStream->read(destination, count, &got) : kResultFalse;
    if (result != kResultOk)
        return newError("@talstr_CInputStreamVST_read_HostError The host stream refused to read %1 bytes.",
                        CString::emptyString, CString(count));
    if (got != count)
        return newError("@talstr_CInputStreamVST_read_ShortRead The host stream delivered %1 of %2 bytes.",
                        CString::emptyString, CString(got), CString(count));
    return nullptr;
}

CError* CInputStreamVST::readUpTo(void* destination, std::int32_t& count) {
    if (count <= 0) {
        count = 0;
        return nullptr;
    }
    int32 got = 0;
    const tresult result = mHostStream != nullptr ? mHostStream->read(destination, count, &got) : kResultFalse;
    if (result != kResultOk) {
        const std::int32_t wanted = count;
        count = 0;
        return newError("@talstr_CInputStreamVST_readUpTo_HostError The host stream refused to read %1 bytes.",
                        CString::emptyString, CString(wanted));
    }
    count = got < 0 ? 0 : (got > count ? count : got);
    return nullptr;
}

} // namespace tal
