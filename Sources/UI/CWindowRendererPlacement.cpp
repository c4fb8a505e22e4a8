// The window renderer's placement: the pixel and window scale, the alignment relative to the
// opener, the flip above it, stored positions, keeping windows on their screen, actual positions.
#include "UI/CWindowRenderer.h"

#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CScaleRecord.h"
#include "UI/CSectorMap.h"
#include "UI/CView.h"
#include "UI/CWindowSharedData.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tal {

namespace {

constexpr double kMinimumBackingFactor = 0.01;
constexpr double kRetinaPixelScale = 2.0;
constexpr double kEpsilon = 2.2204461e-16;
constexpr double kConstrainLimit = 0.8;
constexpr double kConstrainOverhang = 2.0 / 3.0;
constexpr double kScreenMargin = 50.0;
constexpr double kCursorOffsetX = 5.0, kCursorOffsetY = 3.0;

bool isZero(double v) noexcept { return !(std::fabs(v) > std::fabs(v) * kEpsilon); }
bool differ(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * kEpsilon; }
std::int32_t roundHalfAway(double v) noexcept { return std::int32_t(std::round(v)); }

void logAndDrop(CError* error) {
    if (error != nullptr) {
        logError(error);
        delete error;
    }
}

// The user's zoom when the editor's root object gives none: the local setting "ui-scale".
double uiScaleSetting() {
    bool valid = false;
    const double scale =
        parseDouble(readAppDataString(&CAppData::localScope(), CString("ui-scale"), CString("1.0")), &valid);
    return valid ? scale : 1.0;
}

CAreaRect visibleRectOf(const CWindowBackend::Screen& s) {
    return {s.visibleX, s.visibleY, s.visibleWidth, s.visibleHeight};
}

} // namespace

void CWindowRenderer::logNamed(const char* text) const {
    CString line(text);
    if (!getFullName().isEmpty()) {
        line.append(" // ");
        line.append(getFullName());
    }
    writeLog(line.narrowed().chars8(), true);
}

void CWindowRenderer::initPlacementScheme(CObjectScheme* scheme) {
    addAttrOf<CWindowRenderer, &CWindowRenderer::attrIsRetinaMode>(scheme, "is-retina-mode");
    addAttrOf<CWindowRenderer, &CWindowRenderer::attrPosition>(scheme, "x");
    addAttrOf<CWindowRenderer, &CWindowRenderer::attrPosition>(scheme, "y");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onConstrainWindow>(scheme, "constrain-window");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onUpdateActualPosTimer>(scheme, "update-actual-pos-timer");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onUpdatePixelSize>(scheme, "update-pixel-size");
    addArgsEventOf<CWindowRenderer, &CWindowRenderer::onUpdateWindowBounds>(scheme, "update-window-bounds");
    addPlainEventOf<CWindowRenderer, &CWindowRenderer::onUpdateWindowOrigin>(scheme, "update-window-origin");
    addArgsEventOf<CWindowRenderer, &CWindowRenderer::onUpdateWindowScale>(scheme, "update-window-scale");
}

// --- scale ---

double CWindowRenderer::pixelScale() const noexcept {
    return mRootView != nullptr && mRootView->area() != nullptr ? mRootView->area()->pixelRatio() : 1.0;
}

CError* CWindowRenderer::updateScale(bool initial) {
    if (mRootView == nullptr || mRootView->area() == nullptr)
        return nullptr;
    double v = root() != nullptr ? root()->getDoubleAttr("VisualScale") : 0.0;
    if (isZero(v))
        v = uiScaleSetting();
    double e = 1.0;
    if (!initial && mBackend != nullptr && mWindowId != 0) {
        const double backing = mBackend->screenScale();
        e = backing > kMinimumBackingFactor ? backing : 1.0;
    }
    CWindowSharedData* data = sharedData();
    CWindowRenderer* main = data != nullptr ? data->getMainWindow() : nullptr;
    if (main == nullptr && mIsMainWindow)
        main = this;
    if (main != nullptr && main->getBoolAttr("is-retina-mode"))
        e = kRetinaPixelScale;
    const double f = v * e;
    CViewArea* area = mRootView->area();
    if (!initial && e == area->pixelRatio() && f == area->windowScale())
        return nullptr;
    if (CScaleRecord* record = area->scaleRecord()) {
        record->pixelRatio = e;
        record->invPixelRatio = 1.0 / e;
        record->windowScale = f;
        record->invWindowScale = 1.0 / f;
    }
    area->setWindowScale(f, e);
    if (initial)
        return nullptr;
    if (CError* error = restoreWindowPosition())
        return traceError(error, getFullName());
    if (CError* error = mRootView->updateLayout())
        return traceError(error, getFullName());
    if (CError* error = updateWindow())
        return traceError(error, getFullName());
    mRootView->invalidate();
    return nullptr;
}

CError* CWindowRenderer::attrIsRetinaMode() {
    CWindowSharedData* data = sharedData();
    if (data != nullptr && data->getMainWindow() == this) {
        const bool on = getBoolAttr("is-retina-mode");
        const CStringList windows(data->windowList());
        for (int i = 0; i < windows.count(); ++i) {
            auto* w = dynamic_cast<CWindowRenderer*>(findObject(windows[i]));
            if (w == nullptr || w == this)
                continue;
            if (CError* error = w->setIntAttr(CString("is-retina-mode"), on ? 1 : 0, true))
                return traceError(error, getFullName());
        }
    }
    if (lifeStage() < 1)
        return nullptr;
    return traceError(updateScale(false), getFullName());
}

CError* CWindowRenderer::onUpdatePixelSize() {
    mIsLayerSwitchPending = true;
    return traceError(updateScale(false), getFullName());
}

CError* CWindowRenderer::onUpdateWindowScale(CAttrMap& args) {
    CAttrValue* mode = args.findValue("mode");
    bool valid = false;
    const int m = mode != nullptr ? parseInt(mode->asText(), 0, &valid) : 0;
    if (valid && m == 1) {
        storeWindowPosition();
        return nullptr;
    }
    if (valid && m == 2)
        return traceError(updateScale(false), getFullName());
    return newError("@talstr_CWindowRenderer_onUpdateWindowScale_InvalidMode Invalid mode.", getFullName());
}

// --- geometry ---

CWindowRenderer* CWindowRenderer::getOwnerWindow() const {
    auto* view = mRootView != nullptr ? dynamic_cast<CView*>(mRootView->parent()) : nullptr;
    return view != nullptr ? view->getWindowRenderer() : nullptr;
}

CWindowRenderer* CWindowRenderer::getOutermostWindow() {
    CWindowRenderer* w = this;
    for (int depth = 0; depth < 64; ++depth) {   // a chain of windows opened from windows
        CWindowRenderer* owner = w->getOwnerWindow();
        if (owner == nullptr || owner == w)
            break;
        w = owner;
    }
    return w;
}

CPixelRect CWindowRenderer::computeFrameRect() const {
    const double k = 1.0 / pixelScale();
    const CAreaRect& total = mRootView->area()->totalRect();
    return {mIsEmbedded ? 0 : roundHalfAway(mWindowX), mIsEmbedded ? 0 : roundHalfAway(mWindowY),
            roundHalfAway(total.width * k), roundHalfAway(total.height * k)};
}

CError* CWindowRenderer::attrPosition() {
    mWindowX = getIntAttr("x");
    mWindowY = getIntAttr("y");
    return traceError(updateWindow(), getFullName());
}

CError* CWindowRenderer::updateWindow() {
    if (lifeStage() < 3 || mRootView == nullptr || mRootView->area() == nullptr)
        return nullptr;
    const CAreaRect& total = mRootView->area()->totalRect();
    if (total.width < 1.0 || total.height < 1.0)
        return nullptr;
    mSectorMap->rebuild(mRootView, total.width, total.height, windowScale());
    if (!mIsEmbedded) {
        CWindowRenderer* owner = getOwnerWindow();
        if (owner != nullptr && mRootView->getBoolAttr("is-window-centered-at-parent") && owner->rootView() != nullptr &&
            owner->rootView()->area() != nullptr) {
            logAndDrop(owner->updateActualPosition(true));
            const CAreaRect& o = owner->rootView()->area()->totalRect();
            const double k = 1.0 / pixelScale(), ok = 1.0 / owner->pixelScale();
            mWindowX = owner->actualX() + (o.width * ok - total.width * k) * 0.5;
            mWindowY = owner->actualY() + (o.height * ok - total.height * k) * 0.5;
            if (CError* error = setDoubleAttr(CString("x"), mWindowX, false))
                return traceError(error, getFullName());
            if (CError* error = setDoubleAttr(CString("y"), mWindowY, false))
                return traceError(error, getFullName());
        } else if (mRootView->getBoolAttr("is-window-alignment-auto")) {
            if (CError* error = createWindow())
                return traceError(error, getFullName());
        } else if (CError* error = placePopupAboveOpener()) {
            return traceError(error, getFullName());
        }
    }
    if (!mIsOpened)
        return nullptr;
    if (mBackend != nullptr && mWindowId != 0)
        mBackend->setScale(mWindowId, pixelScale());
    if (mPaintCounter == 0) {
        applyWindowSize();
        return nullptr;
    }
    const CPixelRect frame = computeFrameRect();
    if (frame.x == mAppliedFrame.x && frame.y == mAppliedFrame.y && frame.width == mAppliedFrame.width &&
        frame.height == mAppliedFrame.height)
        return nullptr;
    if (frame.width == mAppliedFrame.width && frame.height == mAppliedFrame.height)
        applyWindowSize();   // a pure move now
    else
        mIsWindowSizePending = true;   // between two paints, at the next render tick
    return nullptr;
}

CError* CWindowRenderer::onUpdateWindowBounds(CAttrMap& args) {
    if (CError* error = updateWindow())
        return traceError(error, getFullName());
    CAttrValue* winsize = args.findValue("is-winsize");
    if (winsize != nullptr && winsize->asBool())
        return traceError(constrainWindow(), getFullName());
    return nullptr;
}

CError* CWindowRenderer::onUpdateWindowBounds() {
    CAttrMap none;
    return onUpdateWindowBounds(none);
}

CError* CWindowRenderer::createWindow() {
    if (mRootView == nullptr || mRootView->area() == nullptr)
        return nullptr;
    const CAreaRect& self = mRootView->area()->totalRect();
    if (self.width < 1.0 || self.height < 1.0)
        return nullptr;
    const CString& alignment = mRootView->getTextAttr("window-alignment");
    static const char* const kAlignments[] = {"bottom", "bottom-center", "bottom-local-center", "center",
                                              "center-overlay", "left", "right", "cursor"};
    // A main window without an alignment is placed like a "bottom" one: it has no opener, and the
    // descriptions of embedded editors need not name one.
    const bool known = (mIsMainWindow && alignment.isEmpty()) ||
                       std::any_of(std::begin(kAlignments), std::end(kAlignments),
                                   [&](const char* a) { return alignment.equals(a); });
    if (!known)
        return newError("@talstr_CWindow_createWindow_InvalidWinAlign Invalid window alignment '%1'", getFullName(),
                        alignment);
    mWindowX = mBaseX;
    mWindowY = mBaseY;
    if (alignment.equals("cursor")) {
        CWindowSharedData* data = sharedData();
        mWindowX = (data != nullptr ? data->inputState().mouseX : 0.0) + kCursorOffsetX;
        mWindowY = (data != nullptr ? data->inputState().mouseY : 0.0) + kCursorOffsetY;
        if (CError* error = setDoubleAttr(CString("x"), mWindowX, false))
            return traceError(error, getFullName());
        return traceError(setDoubleAttr(CString("y"), mWindowY, false), getFullName());
    }
    auto* opener = alignment.equals("bottom") || alignment.isEmpty() ? nullptr
                                              : dynamic_cast<CView*>(findObject(mRootView->getTextAttr("opener")));
    CWindowRenderer* openerWindow = opener != nullptr ? opener->getWindowRenderer() : nullptr;
    if (opener != nullptr && opener->area() != nullptr && openerWindow != nullptr &&
        openerWindow->rootView() != nullptr && openerWindow->rootView()->area() != nullptr) {
        const CAreaRect& o = opener->area()->totalRect();
        const CAreaRect& r = openerWindow->rootView()->area()->totalRect();
        const double k = windowScale() / openerWindow->windowScale();
        double dx = 0, ax = 0, dy = 0, ay = 0;
        if (alignment.equals("bottom-center")) {
            dx = r.width / 2 - o.x, ax = -self.width / 2;
        } else if (alignment.equals("bottom-local-center")) {
            dx = o.width / 2, ax = -self.width / 2;
        } else if (alignment.equals("center")) {
            dx = r.width / 2 - o.x, ax = -self.width / 2, dy = r.height / 2 - (o.y + o.height), ay = -self.height / 2;
        } else if (alignment.equals("center-overlay")) {
            dx = o.width / 2, ax = -self.width / 2, dy = o.height / 2, ay = -self.height / 2;
        } else if (alignment.equals("left")) {
            dx = -o.x, ax = -self.width, dy = -(o.y + o.height);
        } else if (alignment.equals("right")) {
            dx = r.width - o.x, dy = -(o.y + o.height);
        }
        const double u = dx * k + ax, v = dy * k + ay;
        if (!isZero(u)) {
            mWindowX = mBaseX + u / pixelScale();
            if (CError* error = setDoubleAttr(CString("x"), mWindowX, false))
                return traceError(error, getFullName());
        }
        if (!isZero(v)) {
            mWindowY = mBaseY + v / pixelScale();
            if (CError* error = setDoubleAttr(CString("y"), mWindowY, false))
                return traceError(error, getFullName());
        }
    }
    if (CError* error = placePopupAboveOpener())
        return traceError(error, getFullName());
    if (mIsMainWindow && !mIsEmbedded) {
        // A stand-alone main window opens in the middle of the main screen.
        const CAreaRect s = getMainScreenRect();
        const double k = 1.0 / pixelScale();
        mWindowX = (s.width - self.width * k) * 0.5 + s.x;
        mWindowY = (s.height - self.height * k) * 0.5 + s.y;
        if (CError* error = setDoubleAttr(CString("x"), mWindowX, false))
            return traceError(error, getFullName());
        return traceError(setDoubleAttr(CString("y"), mWindowY, false), getFullName());
    }
    return nullptr;
}

CError* CWindowRenderer::placePopupAboveOpener() {
    if (!mIsPopupWindow || mRootView == nullptr || mRootView->area() == nullptr)
        return nullptr;
    const CString& alignment = mRootView->getTextAttr("window-alignment");
    if (!alignment.equals("bottom") && !alignment.equals("bottom-local-center"))
        return nullptr;
    const double k = 1.0 / pixelScale();
    const double w = mRootView->area()->totalRect().width * k, h = mRootView->area()->totalRect().height * k;
    if (w < 1.0 || h < 1.0)
        return nullptr;
    auto* opener = dynamic_cast<CView*>(findObject(mRootView->getTextAttr("opener")));
    CWindowRenderer* openerWindow = opener != nullptr ? opener->getWindowRenderer() : nullptr;
    CAreaRect screen, content;
    if (opener == nullptr || opener->area() == nullptr || openerWindow == nullptr ||
        openerWindow->rootView() == nullptr || openerWindow->rootView()->area() == nullptr ||
        !openerWindow->getScreenAndContentRects(screen, content))
        return nullptr;
    const double bottomLimit = screen.y + screen.height - kScreenMargin;
    double t = 0.0;
    if (mRootView->getBoolAttr("is-manual-coords")) {
        t = mBaseY;
        if (t + h <= bottomLimit)
            return nullptr;
    } else {
        // The opener view's top and height in this window's points.
        const double toPoints = visualScale() / openerWindow->windowScale();
        const CAreaRect& o = opener->area()->totalRect();
        t = o.y * toPoints;
        if (mWindowY + h <= bottomLimit) {
            const double openerMiddle = t + o.height * toPoints * 0.5;
            const double windowMiddle = openerWindow->rootView()->area()->totalRect().height /
                                        openerWindow->pixelScale() * 0.5;
            if (!(openerMiddle > windowMiddle))
                return nullptr;   // fits below, and the opener lies in the upper half
        }
        t += content.y;
    }
    if (t - h < screen.y + kScreenMargin)
        return nullptr;   // no room above either
    mWindowY = t - h;
    return traceError(setDoubleAttr(CString("y"), mWindowY, false), getFullName());
}

// --- screens ---

bool CWindowRenderer::getScreenRectAt(double px, double py, CAreaRect& out) const {
    CWindowBackend* backend = mBackend != nullptr ? mBackend : CWindowBackend::current();
    if (backend == nullptr)
        return false;
    for (const CWindowBackend::Screen& s : backend->screens())
        if (s.x <= px && px < s.x + s.width && s.y <= py && py < s.y + s.height) {
            out = visibleRectOf(s);
            return true;
        }
    return false;
}

bool CWindowRenderer::getScreenAndContentRects(CAreaRect& screen, CAreaRect& content) {
    if (mBackend == nullptr || mWindowId == 0)
        return false;
    double x = 0.0, y = 0.0;
    mBackend->windowOrigin(mWindowId, x, y);
    content = {x, y, double(mAppliedFrame.width), double(mAppliedFrame.height)};
    // The window's screen: the one that holds most of it; none (zeros) when it is on no screen.
    screen = {};
    double best = 0.0;
    for (const CWindowBackend::Screen& s : mBackend->screens()) {
        const double w = std::min(s.x + s.width, content.x + content.width) - std::max(s.x, content.x);
        const double h = std::min(s.y + s.height, content.y + content.height) - std::max(s.y, content.y);
        if (w > 0.0 && h > 0.0 && w * h > best) {
            best = w * h;
            screen = visibleRectOf(s);
        }
    }
    return true;
}

CAreaRect CWindowRenderer::getMainScreenRect() const {
    CWindowBackend* backend = mBackend != nullptr ? mBackend : CWindowBackend::current();
    if (backend == nullptr)
        return {};
    const std::vector<CWindowBackend::Screen> screens = backend->screens();
    return screens.empty() ? CAreaRect{} : visibleRectOf(screens.front());
}

// --- stored positions ---

namespace {

// "winpos-", the owner's id and "-" when there is an owner, then the own id.
CString positionKey(const CString& ownerId, bool hasOwner, const CString& ownId) {
    CString key("winpos-");
    if (hasOwner) {
        key.append(ownerId);
        key.append("-");
    }
    key.append(ownId);
    return key;
}

} // namespace

CError* CWindowRenderer::restoreWindowPosition() {
    if (!mIsPositionStored || mRootView == nullptr || !mRootView->getBoolAttr("is-window-position-storing-enabled"))
        return nullptr;
    CWindowRenderer* owner = getOwnerWindow();
    CString ownerId;
    if (owner != nullptr) {
        ownerId = owner->rootView() != nullptr ? owner->rootView()->getTextAttr("window-position-id") : CString();
        if (ownerId.isEmpty()) {
            logNamed("Parent window position ID is empty.");
            return nullptr;
        }
    }
    const CString& ownId = mRootView->getTextAttr("window-position-id");
    if (ownId.isEmpty())
        return newError("@talstr_CWindowRenderer_restoreWindowPosition_NoWinPosId Window position ID is empty.",
                        getFullName());
    CAppData& scope = mIsStoredGlobally ? CAppData::globalScope() : CAppData::localScope();
    const CString text = readAppDataString(&scope, positionKey(ownerId, owner != nullptr, ownId), CString());
    if (text.isEmpty())
        return nullptr;
    CAreaRect screen;
    if (owner != nullptr) {
        logAndDrop(owner->updateActualPosition(true));
        if (!getScreenRectAt(owner->actualX(), owner->actualY(), screen))
            return nullptr;
    }
    CStringList parts;
    text.split(parts, ' ', true, true);
    if (parts.count() != 2)
        return nullptr;
    double px = parseInt(parts[0], 0), py = parseInt(parts[1], 0);
    if (owner != nullptr) {
        px = px * owner->visualScale() + owner->actualX();
        py = py * owner->visualScale() + owner->actualY();
    } else if (!getScreenRectAt(px, py, screen)) {
        return nullptr;
    }
    const double k = 1.0 / pixelScale();
    const double w = mRootView->area()->totalRect().width * k, h = mRootView->area()->totalRect().height * k;
    const double x = std::max(screen.x, std::min(px, screen.x + screen.width - w));
    const double y = std::max(screen.y, std::min(py, screen.y + screen.height - h));
    if (CError* error = setDoubleAttr(CString("x"), x, false))
        return traceError(error, getFullName());
    return traceError(setDoubleAttr(CString("y"), y, true), getFullName());
}

void CWindowRenderer::storeWindowPosition() {
    if (!mIsPositionStored || !mHasUserInteraction || mRootView == nullptr)
        return;
    CWindowRenderer* owner = getOwnerWindow();
    const CString ownerId =
        owner != nullptr && owner->rootView() != nullptr ? owner->rootView()->getTextAttr("window-position-id") : CString();
    const CString key = positionKey(ownerId, owner != nullptr, mRootView->getTextAttr("window-position-id"));
    logAndDrop(updateActualPosition(true));
    double px = mActualX, py = mActualY;
    if (owner != nullptr) {
        logAndDrop(owner->updateActualPosition(true));
        px = (px - owner->actualX()) / owner->visualScale();
        py = (py - owner->actualY()) / owner->visualScale();
    }
    const std::string value = std::to_string(roundHalfAway(px)) + " " + std::to_string(roundHalfAway(py));
    CAppData& scope = mIsStoredGlobally ? CAppData::globalScope() : CAppData::localScope();
    writeAppDataString(&scope, key, CString(value.c_str()), this);
}

// --- the screen ---

CError* CWindowRenderer::constrainWindow() {
    CAreaRect s, c;
    if (mIsEmbedded || !getScreenAndContentRects(s, c))
        return nullptr;
    if (c.width > kConstrainLimit * s.width || c.height > kConstrainLimit * s.height || c.width < 1.0 ||
        c.height < 1.0)
        return nullptr;
    if (c.y >= s.y && (c.x + c.width) - (s.x + s.width) <= kConstrainOverhang * c.width &&
        (c.y + c.height) - (s.y + s.height) <= kConstrainOverhang * c.height &&
        c.x - s.x >= -kConstrainOverhang * c.width)
        return nullptr;
    const double x = std::max(s.x, std::min(s.x + s.width - c.width, c.x));
    const double y = std::max(s.y, std::min(s.y + s.height - c.height, c.y));
    if (!differ(x, c.x) && !differ(y, c.y))
        return nullptr;
    if (CError* error = setDoubleAttr(CString("x"), x, false))
        return traceError(error, getFullName());
    return traceError(setDoubleAttr(CString("y"), y, true), getFullName());
}

CError* CWindowRenderer::onConstrainWindow() { return traceError(constrainWindow(), getFullName()); }

CError* CWindowRenderer::updateActualPosition(bool quiet) {
    if (mBackend != nullptr && mWindowId != 0) {
        mBackend->windowOrigin(mWindowId, mActualX, mActualY);
        if (!quiet) {
            mWindowX = mActualX;
            mWindowY = mActualY;
        }
    }
    // "actual-x" and "actual-y" follow every refresh: views read them right after a quiet one.
    for (const auto& [name, value] : {std::pair{"actual-x", mActualX}, std::pair{"actual-y", mActualY},
                                      std::pair{"x", mWindowX}, std::pair{"y", mWindowY}}) {
        if (quiet && name[0] != 'a')
            break;
        if (CError* error = setDoubleAttr(CString(name), value, false))
            return traceError(error, getFullName());
    }
    return nullptr;
}

void CWindowRenderer::getWindowRect(double& x, double& y, double& width, double& height) {
    logAndDrop(updateActualPosition(true));
    x = mActualX;
    y = mActualY;
    const double k = 1.0 / pixelScale();
    width = mRootView != nullptr && mRootView->area() != nullptr ? mRootView->area()->totalRect().width * k : 0.0;
    height = mRootView != nullptr && mRootView->area() != nullptr ? mRootView->area()->totalRect().height * k : 0.0;
}

void CWindowRenderer::getWindowOrigin(double& x, double& y) {
    logAndDrop(updateActualPosition(true));
    x = mActualX;
    y = mActualY;
}

CError* CWindowRenderer::onUpdateActualPosTimer() { return traceError(updateActualPosition(true), getFullName()); }

CError* CWindowRenderer::onUpdateWindowOrigin() { return traceError(updateActualPosition(false), getFullName()); }

} // namespace tal
