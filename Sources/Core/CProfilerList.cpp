#include "Core/CProfilerList.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/CTextReader.h"
#include "Core/CTextWriter.h"
#include "Core/Log.h"
#include "Core/NumberText.h"

namespace tal {

CProfilerList::CProfilerList(const CString& path) : mPath(path) {}

CProfilerList::~CProfilerList() = default;

void CProfilerList::add(const CString& name, int id) {
    mIds[name] = id;
    mNames[id] = name;
    if (id > mMaxId)
        mMaxId = id;
}

CError* CProfilerList::open(std::int32_t lockTimeoutMs) {
    mIds.clear();
    mNames.clear();
    mMaxId = -1;
    mFile = std::make_unique<CFileReader>();
    if (CError* error = mFile->open(mPath, true)) {
        mFile.reset();
        return traceError(error);
    }
    if (lockTimeoutMs >= 0) {
        bool locked = false;
        CError* error = mFile->lock(locked, lockTimeoutMs, 10);
        if (error == nullptr && !locked)
            error = newError("@talstr_CProfilerList_open File was not locked.");
        if (error != nullptr) {
            mFile.reset();
            return traceError(error);
        }
    }
    CTextReader reader;
    if (CError* error = reader.open(*mFile, false, CTextReader::kUTF8)) {
        mFile.reset();
        return traceError(error);
    }
    CStringList fields;
    CString field;
    for (;;) {
        std::uint32_t c = 0;
        if (CError* error = reader.readChar(c)) {
            mFile.reset();
            return traceError(error);
        }
        if (c == ';') {
            fields.add(field);
            field = CString();
            continue;
        }
        if (c != '\n' && c != 0) {
            CTextReader::appendCodePoint(field, c);
            continue;
        }
        if (!field.isEmpty() || !fields.isEmpty())
            fields.add(field);
        field = CString();
        if (!fields.isEmpty()) {
            bool ok = false;
            const int id = parseInt(fields[0].trim(), 0, &ok);
            if (ok && id >= 0)
                add(fields.count() > 1 ? fields[1] : CString(), id);
        }
        fields.clear();
        if (c == 0)
            break;
    }
    if (lockTimeoutMs < 0) {
        CError* error = mFile->close();
        mFile.reset();
        if (error != nullptr)
            return traceError(error);
    }
    return nullptr;
}

int CProfilerList::getId(const CString& name) {
    const auto it = mIds.find(name);
    if (it != mIds.end())
        return it->second;
    const int id = mMaxId + 1;
    add(name, id);
    return id;
}

const CString* CProfilerList::findName(int id) const {
    const auto it = mNames.find(id);
    return it == mNames.end() ? nullptr : &it->second;
}

CError* CProfilerList::save() {
    CTextWriter writer;
    CError* error = mFile != nullptr ? writer.open(*mFile) : writer.open(mPath);
    mFile.reset();
    if (error != nullptr)
        return traceError(error);
    for (const auto& [id, name] : mNames) {
        CString line(id);
        line.append(";");
        line.append(name);
        if (CError* writeError = writer.writeLine(line, true))
            return traceError(writeError);
    }
    if (CError* closeError = writer.close(true))
        return traceError(closeError);
    return nullptr;
}

} // namespace tal
