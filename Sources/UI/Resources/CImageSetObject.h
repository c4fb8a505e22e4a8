#pragma once

#include "Core/CObject.h"

namespace tal {

class CImage;
class CImageSet;

// "imageset": an object of the shared description that holds one image set, loaded from the
// embedded resource (or file) named by its attribute "file". Views find sets through these objects
// and captions resolve references such as "is.button#ArrowSm" through findImage.
// Loaded on the thread that builds the tree; afterwards read by any thread.
class CImageSetObject : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    ~CImageSetObject() override;

    // The handler of "file": loads the set of that name and replaces the current one on success;
    // on failure the current set stays. Ignored on a read-only object and for an empty name.
    [[nodiscard]] CError* attrFile(CAttrValue* value);

    // The loaded set, or null.
    CImageSet* imageSet() const noexcept { return mImageSet; }

    // The image of a range of the image-set object at a path from the shared object: the range's
    // first image when it is held; otherwise, with fallBack, image 0 of a non-empty set (which may
    // be null); else null. Null when the path names no loaded image-set object.
    static CImage* findImage(const CString& path, const CString& rangeName, bool fallBack);

private:
    CImageSet* mImageSet = nullptr;   // owned
};

} // namespace tal
