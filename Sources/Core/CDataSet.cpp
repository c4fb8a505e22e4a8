#include "Core/CDataSet.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CFileWriter.h"
#include "Core/CMemoryReader.h"
#include "Core/COutputBufStream.h"
#include "Core/CResourceReader.h"
#include "Core/CWriteSeqBuffer.h"

namespace tal {

CError* CDataSet::load(const CString& name) {
    CResourceReader reader;
    if (CError* err = reader.open(name))
        return traceError(err);
    if (CError* err = read(reader))
        return traceError(err);
    return nullptr;
}

CError* CDataSet::loadFromBuffer(const CByteBuffer& buffer) {
    CMemoryReader reader(buffer.data(), buffer.size());
    if (CError* err = read(reader))
        return traceError(err);
    return nullptr;
}

CError* CDataSet::saveToBuffer(CByteBuffer& out) const {
    CWriteSeqBuffer bytes;
    if (CError* err = write(bytes))
        return traceError(err);
    bytes.moveTo(out);
    return nullptr;
}

CError* CDataSet::save(const CString& path) const {
    CFileWriter file;
    if (CError* err = file.open(path, false))
        return traceError(err);
    CError* failure = nullptr;
    {
        COutputBufStream buffered;
        if (CError* err = buffered.open(file))
            failure = traceError(err);
        else if (CError* err = write(buffered))
            failure = traceError(err);
        else if (CError* err = buffered.flush())
            failure = traceError(err);
        if (failure != nullptr) {
            file.discard();
            buffered.abandon();
        }
    }
    if (failure != nullptr)
        return failure;
    if (CError* err = file.close())
        return traceError(err);
    return nullptr;
}

} // namespace tal
