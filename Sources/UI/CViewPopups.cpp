#include "UI/CViewPopups.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "UI/CScaleRecord.h"
#include "UI/CView.h"
#include "UI/CViewArea.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"

#include <memory>
#include <string>

namespace tal {

namespace {

// The arguments of "popup-toggle" that the new window does not receive.
const char* const kToggleOnlyArgs[] = {"do-showerror", "is-manual-coords", "is-same-width", "shift-x",
                                       "shift-y",      "tag",              "width-modif"};

// The list of views a popup result passed, one full name per line, carried with the result.
const char* const kResultChain = "popup-result-chain";

void copyMap(const CAttrMap& from, CAttrMap& to) {
    for (auto* n = from.first(); n != nullptr; n = CAttrMap::next(n))
        to.findOrAdd(n->key.narrowed().chars8())->value.copyTyped(n->value);
}

CString textArg(const CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? v->asText() : CString();
}
bool boolArg(const CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr && v->asBool();
}
double realArg(const CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? v->asReal() : 0.0;
}

bool chainHolds(const CString& chain, const CString& name) {
    CStringList names;
    chain.split(names, '\n', true, true);
    for (int i = 0; i < names.count(); ++i)
        if (names[i] == name)
            return true;
    return false;
}

} // namespace

void CViewPopups::forgetLocalPopup() {
    mLocalPopupPath.reset();
    mIsLocalPopupOpen = false;
}

CError* CViewPopups::toggle(CView& view, CViewPopups* mainRoot, const CAttrMap& args) {
    const CString tag = textArg(args, "popup-tag");
    const bool alwaysCreate = boolArg(args, "is-popup-toggle-always-create");
    CString closing;
    bool hadLocal = false;
    if (mLocalPopupPath != nullptr) {
        CObject* local = view.findObject(*mLocalPopupPath);
        if (local == nullptr) {
            forgetLocalPopup();
        } else {
            hadLocal = true;
            closing = local->getFullName();
            if (CError* error = local->runEvent(CString("close-window")))
                return traceError(error, view.getFullName());
            if (!alwaysCreate) {
                forgetLocalPopup();
                return nullptr;
            }
        }
    }
    if (!hadLocal && mainRoot != nullptr) {
        if (const auto* entry = mainRoot->registry.find(tag)) {
            if (auto* window = dynamic_cast<CWindowRenderer*>(view.findObject(entry->value))) {
                closing = window->getFullName();
                if (CError* error = window->runEvent(CString("close-window")))
                    return traceError(error, view.getFullName());
                if (!alwaysCreate)
                    return nullptr;
            }
        }
    }
    CWindowRenderer* renderer = view.getWindowRenderer();
    CWindowSharedData* shared = view.windowSharedData();
    if (tag.isEmpty() || renderer == nullptr || shared == nullptr)
        return nullptr;
    const bool showErrors = boolArg(args, "do-showerror");
    CAttrMap attrs;
    copyMap(args, attrs);
    for (const char* key : kToggleOnlyArgs)
        attrs.remove(CString(key));
    attrs.findOrAdd("opener")->value.setText(view.getFullName());
    CScaleRecord scale;
    if (view.area() != nullptr) {
        scale.windowScale = view.area()->windowScale();
        scale.invPixelRatio = 1.0 / view.area()->pixelRatio();
    }
    const CAreaRect total = view.area() != nullptr ? view.area()->totalRect() : CAreaRect{};
    double x = realArg(args, "shift-x") * scale.windowScale;
    double y = realArg(args, "shift-y") * scale.windowScale;
    if (boolArg(args, "is-manual-coords")) {
        attrs.findOrAdd("is-manual-coords")->value.setInt(1);
    } else {
        x += total.x;
        y += total.y + total.height;
    }
    CError* positionError = renderer->updateActualPosition(true);
    if (positionError != nullptr) {
        logError(positionError);
        delete positionError;
    }
    attrs.findOrAdd("window-x")->value.setReal(x * scale.invPixelRatio + renderer->getDoubleAttr("actual-x"));
    attrs.findOrAdd("window-y")->value.setReal(y * scale.invPixelRatio + renderer->getDoubleAttr("actual-y"));
    if (boolArg(args, "is-same-width"))
        attrs.findOrAdd("popup-width")->value.setReal(
            (realArg(args, "width-modif") * scale.windowScale + total.width) / scale.windowScale);
    else
        attrs.findOrAdd("popup-width")->value.setText(CString("compact"));
    attrs.findOrAdd("window-tag")->value.setText(tag);
    const std::int32_t number = ++shared->popupCounter();
    CString name("popup-");
    name.append(CString(std::to_string(number).c_str()));
    CView* parent = &view;
    if (tag.equals("ui:spectrum-editor"))
        if (CView* main = view.getMainRootView())
            parent = main;
    if (CError* error = shared->openWindow(parent->getFullName(), tag, name, attrs, closing, showErrors))
        return traceError(error, view.getFullName());
    return nullptr;
}

void CViewPopups::created(CView& view, CViewPopups* mainRoot, const CAttrMap& args) {
    const CString window = textArg(args, "window");
    if (boolArg(args, "is-local-popup")) {
        if (window.isEmpty())
            mLocalPopupPath.reset();
        else
            mLocalPopupPath = std::make_unique<CString>(window);
        mIsLocalPopupOpen = true;
        return;
    }
    if (mainRoot != nullptr && view.getWindowRenderer() != nullptr)
        mainRoot->registry.findOrAdd(textArg(args, "window-tag"))->value = window;
}

CError* CViewPopups::result(CView& view, CAttrMap& args) {
    const CString self = view.getFullName();
    // A result that comes back to a view it already passed (itself, or a longer cycle of targets)
    // ends there.
    if (textArg(args, "source") == self || chainHolds(textArg(args, kResultChain), self)) {
        std::string line = "Infinite loop caused by popup-result-target";
        if (!self.isEmpty())
            line += " // " + std::string(self.narrowed().chars8());
        writeLog(line.c_str(), true);
        return nullptr;
    }
    if (CError* error = view.runCommand(CString("popup-result"), &args))
        return traceError(error, self);
    const CString& targetPath = view.getTextAttr("popup-result-target");
    if (CObject* target = targetPath.isEmpty() ? nullptr : view.findObject(targetPath)) {
        CAttrMap forwarded;
        copyMap(args, forwarded);
        forwarded.findOrAdd("source")->value.setText(self);
        CString chain = textArg(args, kResultChain);
        if (!chain.isEmpty())
            chain.append("\n");
        chain.append(self);
        forwarded.findOrAdd(kResultChain)->value.setText(chain);
        if (CError* error = target->runEvent(CString("popup-result"), &forwarded))
            return traceError(error, self);
    }
    CWindowRenderer* renderer = view.getWindowRenderer();
    if (renderer == nullptr)
        return nullptr;
    return traceError(renderer->runEvent(CString("popup-close")), self);
}

bool CViewPopups::showErrorResult(CView& view, CViewPopups* mainRoot, CError* result, const CString& title,
                                  bool allowCopy) {
    if (result == nullptr)
        return false;
    CString message;
    fetchErrorText(result, message, isLogFileConfigured());
    showErrorPopup(view, mainRoot, message, title, allowCopy);
    return true;
}

void CViewPopups::showErrorPopup(CView& view, CViewPopups* mainRoot, const CString& message, const CString& title,
                                 bool allowCopy) {
    CAttrMap args;
    args.findOrAdd("do-showerror")->value.setInt(0);
    args.findOrAdd("is-popup-toggle-always-create")->value.setInt(1);
    args.findOrAdd("popup-tag")->value.setText(view.getTextAttr("win-error-message-tag"));
    const CString trimmedTitle = title.trim();
    if (!trimmedTitle.isEmpty())
        args.findOrAdd("title")->value.setText(trimmedTitle);
    args.findOrAdd("is-copy-to-clipboard-hidden")->value.setInt(allowCopy ? 0 : 1);
    args.findOrAdd("title-message")->value.setText(message.trim());
    args.findOrAdd("owner-window")->value.setText(view.rootView() != nullptr ? view.rootView()->getFullName()
                                                                              : view.getFullName());
    if (CError* error = toggle(view, mainRoot, args)) {
        logError(error);
        delete error;
    }
}

CError* CViewPopups::forwardMouseWheel(CView& view, CAttrMap& args) {
    if (!view.getBoolAttr("is-scrollable"))
        return nullptr;
    auto* bar = dynamic_cast<CView*>(view.findObject(CString(".scroller-v.bar")));
    if (bar == nullptr)
        return nullptr;
    return traceError(bar->runEvent(CString("mouse-wheel"), &args), view.getFullName());
}

} // namespace tal
