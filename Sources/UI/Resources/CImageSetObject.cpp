#include "UI/Resources/CImageSetObject.h"

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Other/CImageSet.h"

namespace tal {

CObject* CImageSetObject::create() { return new CImageSetObject; }

void CImageSetObject::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    scheme->addAttrHandler(CString("file")) = [](CObject* object, CAttrValue* value) -> CError* {
        auto* self = static_cast<CImageSetObject*>(object);
        if (CError* err = self->attrFile(value))
            return traceError(err, self->getFullName());
        return nullptr;
    };
}

CImageSetObject::~CImageSetObject() { delete mImageSet; }

CError* CImageSetObject::attrFile(CAttrValue* value) {
    if (isReadOnly())
        return nullptr;
    const CString name = value != nullptr ? value->asText() : CString();
    if (name.isEmpty())
        return nullptr;
    auto* set = new CImageSet;
    if (CError* err = set->load(name)) {
        delete set;
        return traceError(err, getFullName());
    }
    delete mImageSet;
    mImageSet = set;
    return nullptr;
}

CImage* CImageSetObject::findImage(const CString& path, const CString& rangeName, bool fallBack) {
    const CObject* shared = CObject::sharedObject();
    if (shared == nullptr)
        return nullptr;
    const auto* object = dynamic_cast<const CImageSetObject*>(shared->findObject(path));
    if (object == nullptr || object->mImageSet == nullptr)
        return nullptr;
    const CImageSet& set = *object->mImageSet;
    if (CImage* image = set.image(set.getRangeIndex(rangeName)))
        return image;
    return fallBack && set.imageCount() > 0 ? set.image(0) : nullptr;
}

} // namespace tal
