#include "UI/Resources/CFontObject.h"

#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Other/CFont.h"

#include <cstring>

namespace tal {

namespace {

const char* const kStyleNames[CFontObject::kStyleCount] = {"bold", "bold-italic", "italic", "regular", "superscript"};

} // namespace

CObject* CFontObject::create() { return new CFontObject; }

void CFontObject::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CFontObject::~CFontObject() {
    for (int i = mStyles.count() - 1; i >= 0; --i)
        delete mStyles[i];
}

int CFontObject::styleIndex(const CString& name) noexcept {
    for (int i = 0; i < kStyleCount; ++i)
        if (name == CString(kStyleNames[i]))
            return i;
    return -1;
}

CError* CFontObject::initChilds() {
    if (CError* err = CObject::initChilds())
        return traceError(err, getFullName());
    for (int i = mStyles.count() - 1; i >= kStyleCount; --i)
        delete mStyles[i];
    const int old = mStyles.count() < kStyleCount ? mStyles.count() : kStyleCount;
    mStyles.setCount(kStyleCount);
    for (int i = old; i < kStyleCount; ++i)
        mStyles[i] = nullptr;
    for (int c = 0; c < childCount(); ++c) {
        CObject* style = child(c);
        if (!style->getBoolAttr("is-font-style"))
            continue;
        const CString name = style->getShortName();
        const int slot = styleIndex(name);
        if (slot < 0)
            return newError("@talstr_CFontObject_initChilds_UnknownFontStyle Unknown font style '%1'.", getFullName(),
                            name);
        delete mStyles[slot];
        mStyles[slot] = new CFont;
        if (CError* err = mStyles[slot]->load(style->getTextAttr("file")))
            return traceError(err, getFullName());
    }
    return nullptr;
}

} // namespace tal
