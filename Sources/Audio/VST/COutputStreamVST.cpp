#include "Audio/VST/COutputStreamVST.h"

#include "Core/CError.h"
#include "Core/CString.h"

#include "pluginterfaces/base/ibstream.h"

namespace tal {

using namespace Steinberg;

CError* COutputStreamVST::write(const void* source, std::int32_t count) {
    if (count <= 0)
        return nullptr;
    int32 written = 0;
    const tresult result =
        mHostStream != nullptr ? mHostStream->write(const_cast<void*>(source), count, &written) : kResultFalse;
    if (result != kResultOk)
        return newError("@talstr_COutputStreamVST_write_HostError The host stream refused to write %1 bytes.",
                        CString::emptyString, CString(count));
    if (written != count)
        return newError("@talstr_COutputStreamVST_write_ShortWrite The host stream took %1 of %2 bytes.",
                        CString::emptyString, CString(written), CString(count));
    return nullptr;
}

} // namespace tal
