#include "UI/CWindowRenderer.h"

#include "Core/CObjectScheme.h"

namespace tal {

CObject* CWindowRenderer::create() { return new CWindowRenderer; }

void CWindowRenderer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    static const char* const kEvents[] = {"content-ready", "update-window-bounds", "close-window", "minimize-window",
                                          "popup-close", "update-window-origin", "focus-lost", "move-mouse-cursor",
                                          "wrap-around-mouse-cursor"};
    for (const char* name : kEvents) {
        CEventHandler& h = scheme->addEventHandler(CString(name));
        h.hasArgs = true;
        h.withArgs = [](CObject*, CAttrMap*) -> CError* { return nullptr; };
    }
}

CWindowRenderer* CWindowRenderer::getOutermostWindow() { return this; }

double CWindowRenderer::getMouseScale() { return 1.0; }

CError* CWindowRenderer::updateActualPosition(bool) { return nullptr; }

} // namespace tal
