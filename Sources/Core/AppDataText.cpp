#include "Core/AppDataText.h"

#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Core/RecordTags.h"

namespace tal {

namespace {
// The longest string that a stream string read accepts; a longer one could never be read back.
constexpr std::int32_t kMaxTextBytes = 61440;
} // namespace

CString readAppDataString(CAppData* scope, const CString& name, const CString& defaultText) {
    if (scope == nullptr) return defaultText;
    CByteBuffer bytes;
    scope->read(name, bytes, kTagAppString, false);
    if (bytes.isEmpty()) return defaultText;
    CMemoryReader reader(bytes.data(), bytes.size());
    CString text;
    if (CError* err = reader.readString(text)) {
        delete err;
        return CString();
    }
    return text;
}

void writeAppDataString(CAppData* scope, const CString& name, const CString& text, const void* sender) {
    if (scope == nullptr) return;
    CWriteSeqBuffer stream;
    if (CError* err = stream.writeString(text)) {
        delete err;
        return;
    }
    if (stream.getSize() - 4 > kMaxTextBytes) {
        writeLog("Application data: a text longer than 61440 bytes is not stored.", true);
        return;
    }
    CByteBuffer bytes;
    stream.moveTo(bytes);
    scope->write(name, bytes, sender, kTagAppString);
}

} // namespace tal
