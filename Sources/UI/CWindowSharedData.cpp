#include "UI/CWindowSharedData.h"

namespace tal {

CObject* CWindowSharedData::create() { return new CWindowSharedData; }

void CWindowSharedData::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

} // namespace tal
