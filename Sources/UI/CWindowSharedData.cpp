#include "UI/CWindowSharedData.h"

#include "Core/CError.h"

namespace tal {

CObject* CWindowSharedData::create() { return new CWindowSharedData; }

void CWindowSharedData::initScheme(CObjectScheme* scheme) { CObject::initScheme(scheme); }

CView* CWindowSharedData::getViewUnderMouse(CWindowRenderer*, int) { return nullptr; }

CError* CWindowSharedData::updateHoverPath(CView*) { return nullptr; }

void CWindowSharedData::showCursor(bool) {}

CError* CWindowSharedData::openWindow(const CString&, const CString& templateTag, const CString&, const CAttrMap&,
                                      const CString&, bool) {
    return newError("@talstr_CWindowSharedData_openWindow_NoOpener No window opener for '%1'.", getFullName(), templateTag);
}

void CWindowSharedData::requestImage(CImageDraw&, CImageLayer*, const CColor*, bool, double, double) {}

} // namespace tal
