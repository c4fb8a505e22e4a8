#include "UI/CSectorMap.h"

namespace tal {

CSectorMap::~CSectorMap() = default;

void CSectorMap::invalidateSectors(const CAreaRect&, CView*) {}

void CSectorMap::moveView(CView*, const CAreaRect&, const CAreaRect&) {}

void CSectorMap::removeView(CView*, const CAreaRect&) {}

} // namespace tal
