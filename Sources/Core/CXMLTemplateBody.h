#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CPoolAllocated.h"
#include "Core/CString.h"
#include "Core/CTemplateBody.h"

#include <cstdint>

namespace tal {

class CXMLStringTable;

// The unbuilt body of a template of a compiled description: a leading u32 (the body tag index
// again) and one element node, whose attributes and children every instance of the template
// receives. Owned by its template placeholder object. The bytes point into the description's
// memory image (an embedded resource) or into a copy of their own (a description read from a
// file); they never change, so every instance is built from the same bytes and gets fresh children.
// Holds one reference to the description's string table. Used by the thread that owns its tree.
class CXMLTemplateBody : public CTemplateBody, public CPoolAllocated {
public:
    // Takes one reference to table. With borrowed the body bytes stay where they are and must
    // outlive the body; otherwise they are copied.
    CXMLTemplateBody(CXMLStringTable& table, const CString& bodyTag, const std::uint8_t* body, std::int32_t length,
                     bool borrowed);
    CXMLTemplateBody(const CXMLTemplateBody&) = delete;
    CXMLTemplateBody& operator=(const CXMLTemplateBody&) = delete;
    ~CXMLTemplateBody() override;

    // --- CTemplateBody ---
    const CString& bodyTag() const override { return mBodyTag; }
    [[nodiscard]] CError* buildAttrs(CObject& target) override;
    [[nodiscard]] CError* buildChildren(CObject& target) override;

    // --- queries ---
    bool isBorrowed() const noexcept { return mBorrowed; }
    const std::uint8_t* bodyBytes() const noexcept { return mBody; }
    std::int32_t bodyLength() const noexcept { return mLength; }

private:
    CByteBuffer mCopy;
    bool mBorrowed = false;
    const std::uint8_t* mBody = nullptr;
    std::int32_t mLength = 0;
    CString mBodyTag;
    CXMLStringTable* mTable;
};

} // namespace tal
