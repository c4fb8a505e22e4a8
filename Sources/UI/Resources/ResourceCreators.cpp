#include "UI/Resources/ResourceCreators.h"

#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"

namespace tal {

const CCreatorTableEntry kResourceCreatorTable[] = {
    {"font", &CFontObject::create, &CFontObject::initScheme},
    {"imageset", &CImageSetObject::create, &CImageSetObject::initScheme},
    {nullptr, nullptr, nullptr},
};

} // namespace tal
