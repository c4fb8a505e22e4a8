#include "Other/CImageSet.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemoryReaderStatic.h"
#include "Core/COutputStream.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"
#include "Other/CImage.h"

#include <string>

namespace tal {

CImageSet::~CImageSet() { clear(); }

void CImageSet::clear() {
    for (std::int32_t i = mImages.count() - 1; i >= 0; --i)
        delete mImages[i];
    mImages.setCount(0);
    mRanges.clear();
}

bool CImageSet::setImage(std::int32_t index, CImage* image) {
    if (index < 0 || index > kMaxIndex) {
        delete image;
        return false;
    }
    if (index >= mImages.count()) {
        const std::int32_t old = mImages.count();
        mImages.setCount(index + 1);
        for (std::int32_t i = old; i <= index; ++i)
            mImages[i] = nullptr;
    }
    delete mImages[index];
    mImages[index] = image;
    return true;
}

void CImageSet::setRange(const CString& name, std::int32_t first, std::int32_t last) {
    mRanges.findOrAdd(name)->value = CImageRange{first, last};
}

std::int32_t CImageSet::getRangeIndex(const CString& name) const {
    if (const auto* node = mRanges.find(name))
        return node->value.first;
    if (!name.isEmpty()) {
        const std::string line = std::string("Range not found <") + name.narrowed().chars8() + ">";
        writeLog(line.c_str(), true);
    }
    return 0;
}

CError* CImageSet::read(CInputStream& in) {
    clear();
    mBody.alloc(0);
    std::uint32_t version = 0;
    if (CError* err = in.read32(version))
        return traceError(err);
    if (version != 1)
        return nullptr;
    if (CError* err = in.readCompressedDataDRIX(mBody, 0))
        return traceError(err);
    return readBody();
}

CError* CImageSet::readBody() {
    CMemoryReaderStatic body(mBody.data(), mBody.size());
    std::int32_t rangeCount = 0;
    if (CError* err = body.read32(rangeCount))
        return traceError(err);
    for (std::int32_t i = 0; i < rangeCount; ++i) {
        CString name;
        CImageRange range;
        if (CError* err = body.readString(name))
            return traceError(err);
        if (CError* err = body.read32(range.first))
            return traceError(err);
        if (CError* err = body.read32(range.last))
            return traceError(err);
        mRanges.findOrAdd(name)->value = range;
    }
    std::int32_t imageCount = 0;
    if (CError* err = body.read32(imageCount))
        return traceError(err);
    for (std::int32_t i = 0; i < imageCount; ++i) {
        std::int32_t index = 0;
        if (CError* err = body.read32(index))
            return traceError(err);
        if (index < 0 || index > kMaxIndex)
            return newError("@talstr_CImageSet_read_BadIndex Damaged image set: image index %1 is out of range.",
                            CString::emptyString, CString(std::to_string(index).c_str()));
        CImage* image = new CImage;
        if (CError* err = image->read(body)) {
            delete image;
            return traceError(err);
        }
        setImage(index, image);
    }
    return nullptr;
}

CError* CImageSet::write(COutputStream& out) const {
    if (CError* err = out.write32(1))
        return traceError(err);
    CWriteSeqBuffer body;
    CError* err = body.write32(std::uint32_t(mRanges.count()));
    for (auto* node = mRanges.first(); node != nullptr && err == nullptr; node = mRanges.next(node)) {
        err = body.writeString(node->key);
        if (err == nullptr)
            err = body.write32(std::uint32_t(node->value.first));
        if (err == nullptr)
            err = body.write32(std::uint32_t(node->value.last));
    }
    std::int32_t held = 0;
    for (const CImage* image : mImages)
        held += image != nullptr ? 1 : 0;
    if (err == nullptr)
        err = body.write32(std::uint32_t(held));
    for (std::int32_t i = 0; i < mImages.count() && err == nullptr; ++i) {
        if (mImages[i] == nullptr)
            continue;
        err = body.write32(std::uint32_t(i));
        if (err == nullptr)
            err = mImages[i]->write(body);
    }
    if (err != nullptr)
        return traceError(err);
    CByteBuffer joined;
    body.moveTo(joined);
    if (CError* werr = out.writeCompressedDataDRIX(joined, 0))
        return traceError(werr);
    return nullptr;
}

} // namespace tal
