#include "Core/CXMLTemplateBody.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CXMLLoader.h"
#include "Core/CXMLStringTable.h"

namespace tal {

CXMLTemplateBody::CXMLTemplateBody(CXMLStringTable& table, const CString& bodyTag, const std::uint8_t* body,
                                   std::int32_t length, bool borrowed)
    : mBorrowed(borrowed), mLength(length), mBodyTag(bodyTag), mTable(&table) {
    table.retain();
    if (borrowed) {
        mBody = body;
    } else {
        mCopy.assign(body, length);
        mBody = mCopy.data();
    }
}

CXMLTemplateBody::~CXMLTemplateBody() { mTable->release(); }

CError* CXMLTemplateBody::buildAttrs(CObject& target) {
    CXMLCursor cursor{mBody, mBody + mLength, mBody};
    if (CError* err = CXMLLoader::buildFromXML(target, cursor, *mTable, mBorrowed, false, true, false, true))
        return traceError(err, target.getFullName());
    return nullptr;
}

CError* CXMLTemplateBody::buildChildren(CObject& target) {
    CXMLCursor cursor{mBody, mBody + mLength, mBody};
    if (CError* err = CXMLLoader::buildFromXML(target, cursor, *mTable, mBorrowed, false, true, true, false))
        return traceError(err, target.getFullName());
    return nullptr;
}

} // namespace tal
