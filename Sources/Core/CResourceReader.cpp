#include "Core/CResourceReader.h"

#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/CResourceMap.h"

namespace tal {

CResourceReader::~CResourceReader() = default;

CError* CResourceReader::open(const CString& name) {
    mInner.reset();
    mEmbedded = false;
    if (const CResourceMap::CPayload* payload = CResourceMap::find(name)) {
        mInner = std::make_unique<CMemoryReaderStatic>(payload->data, payload->size);
        mEmbedded = true;
        return nullptr;
    }
    auto file = std::make_unique<CFileReader>();
    CError* err = file->open(name, false);
    mInner = std::move(file);
    return err ? traceError(err) : nullptr;
}

CError* CResourceReader::notOpen() const {
    return newError("@talstr_CResourceReader_read_NotOpen No resource opened.");
}

const std::uint8_t* CResourceReader::getDataPtr() { return mInner ? mInner->getDataPtr() : nullptr; }

std::int64_t CResourceReader::getRemainingSize() { return mInner ? mInner->getRemainingSize() : -1; }

CError* CResourceReader::skip(std::int32_t count) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->skip(count))
        return traceError(err);
    return nullptr;
}

CError* CResourceReader::read(void* destination, std::int32_t count) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->read(destination, count))
        return traceError(err);
    return nullptr;
}

CError* CResourceReader::readUpTo(void* destination, std::int32_t& count) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->readUpTo(destination, count))
        return traceError(err);
    return nullptr;
}

CError* CResourceReader::getPosition(std::uint64_t& position) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->getPosition(position))
        return traceError(err);
    return nullptr;
}

CError* CResourceReader::setPosition(std::uint64_t position) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->setPosition(position))
        return traceError(err);
    return nullptr;
}

CError* CResourceReader::getSize(std::uint64_t& size) {
    if (!mInner)
        return notOpen();
    if (CError* err = mInner->getSize(size))
        return traceError(err);
    return nullptr;
}

} // namespace tal
