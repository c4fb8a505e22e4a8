#include "Platform/CX11WindowBackend.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Platform/CNativeWindowSink.h"
#include "Platform/CRunLoopMainLoopTimers.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

// Live backends by serial number, so that a posted drain that arrives after its backend went
// finds nothing (main thread).
std::map<std::int64_t, CX11WindowBackend*> gLiveBackends;
std::int64_t gNextSerial = 1;

int pixelsOf(double points, double scale) {
    const double v = std::round(points * scale);
    return v < 1.0 ? 1 : v > 32767.0 ? 32767 : int(v);
}

std::uint32_t modifiersOf(const CX11Event& e) {
    std::uint32_t m = 0;
    if (e.isShift) m |= CNativeEvent::kShift;
    if (e.isCtrl) m |= CNativeEvent::kCtrl;
    if (e.isAlt) m |= CNativeEvent::kAlt;
    if (e.buttonL) m |= CNativeEvent::kLeftButton;
    if (e.buttonR) m |= CNativeEvent::kRightButton;
    if (e.buttonM) m |= CNativeEvent::kMiddleButton;
    return m;
}

CX11Window::Cursor x11CursorOf(CWindowBackend::Cursor cursor) {
    switch (cursor) {
    case CWindowBackend::Cursor::Hand: return CX11Window::Cursor::Hand;
    case CWindowBackend::Cursor::Text: return CX11Window::Cursor::Text;
    case CWindowBackend::Cursor::Crosshair: return CX11Window::Cursor::Crosshair;
    case CWindowBackend::Cursor::Move: return CX11Window::Cursor::Move;
    case CWindowBackend::Cursor::ResizeHorizontal: return CX11Window::Cursor::ResizeHorizontal;
    case CWindowBackend::Cursor::ResizeVertical: return CX11Window::Cursor::ResizeVertical;
    default: return CX11Window::Cursor::Arrow;
    }
}

} // namespace

CX11WindowBackend::~CX11WindowBackend() {
    if (CWindowBackend::current() == this)
        CWindowBackend::setCurrent(nullptr);
    detachRunLoop();
    mWindows.clear();
    mDestroyed.clear();
    mClipboard.destroy();
    mDisplay.close();
    for (auto it = gLiveBackends.begin(); it != gLiveBackends.end();)
        it = it->second == this ? gLiveBackends.erase(it) : std::next(it);
}

bool CX11WindowBackend::open(const std::string& displayName, std::string& error) {
    if (!mDisplay.open(displayName, error))
        return false;
    mClipboard.create(mDisplay);
    return true;
}

bool CX11WindowBackend::attachRunLoop(CRunLoopMainLoopTimers& loop) {
    detachRunLoop();
    if (!mDisplay.isOpen())
        return false;
    mWatch = loop.watchFd(mDisplay.fd(), &CX11WindowBackend::onReadable, this);
    if (mWatch == 0)
        return false;
    mLoop = &loop;
    return true;
}

void CX11WindowBackend::detachRunLoop() {
    if (mLoop)
        mLoop->unwatchFd(mWatch);
    mLoop = nullptr;
    mWatch = 0;
}

void CX11WindowBackend::onReadable(int, void* self) { static_cast<CX11WindowBackend*>(self)->processEvents(); }

void CX11WindowBackend::drainPosted(void*, std::int64_t serial) {
    const auto it = gLiveBackends.find(serial);
    if (it == gLiveBackends.end())
        return;
    CX11WindowBackend* self = it->second;
    gLiveBackends.erase(it);
    self->mDrainPosted = false;
    self->processEvents();
}

void CX11WindowBackend::setScreenScale(double scale) noexcept {
    if (scale >= 0.5 && scale <= 8.0)
        mScreenScale = scale;
}

CX11WindowBackend::Entry* CX11WindowBackend::find(WindowId id) const {
    const auto it = mWindows.find(id);
    return it != mWindows.end() ? it->second.get() : nullptr;
}

bool CX11WindowBackend::hasKeyboardFocus(WindowId id) const {
    const Entry* e = find(id);
    return e != nullptr && e->focused;
}

std::uint64_t CX11WindowBackend::xWindowOf(WindowId id) const {
    const Entry* e = find(id);
    return e ? e->window.id() : 0;
}

CError* CX11WindowBackend::createWindow(const WindowParams& params, CNativeWindowSink* sink, WindowId& id) {
    id = 0;
    if (!mDisplay.isOpen())
        return newError("@talstr_CX11WindowBackend_NoDisplay No X display is open.");
    if (!(params.width >= 0.0 && params.height >= 0.0 && params.scale > 0.0))
        return newError("@talstr_CX11WindowBackend_BadSize Bad window size %1 x %2 at scale %3.", CString::emptyString,
                        CString(std::to_string(params.width).c_str()), CString(std::to_string(params.height).c_str()),
                        CString(std::to_string(params.scale).c_str()));
    auto entry = std::make_unique<Entry>();
    entry->backend = this;
    entry->params = params;
    entry->sink = sink;
    entry->window.setSurfaceMode(mSurfaceMode);
    const int w = pixelsOf(params.width, params.scale), h = pixelsOf(params.height, params.scale);
    std::string error;
    bool made = false;
    if (params.hostParent != 0) {
        made = entry->window.createChild(mDisplay, params.hostParent, w, h, error, false);
    } else {
        const std::uint64_t owner = params.transientFor ? xWindowOf(params.transientFor) : 0;
        made = entry->window.createTopLevel(mDisplay, params.popup ? CX11Window::Kind::Popup : CX11Window::Kind::Tool,
                                            int(std::lround(params.x * mScreenScale)),
                                            int(std::lround(params.y * mScreenScale)), w, h, owner, "", error);
    }
    if (!made)
        return newError("@talstr_CX11WindowBackend_Create The window cannot be made: %1", CString::emptyString,
                        CString(error.c_str()));
    id = mNextId++;
    entry->id = id;
    entry->window.setListener(entry.get());
    if (mCursorHidden)
        applyCursor(*entry);
    mWindows.emplace(id, std::move(entry));
    scheduleDrain();
    return nullptr;
}

void CX11WindowBackend::destroyWindow(WindowId id) {
    const auto it = mWindows.find(id);
    if (it == mWindows.end())
        return;
    std::unique_ptr<Entry> entry = std::move(it->second);
    mWindows.erase(it);
    entry->window.destroy();
    entry->sink = nullptr;
    // An event of this window may be being handled right now.
    if (mDepth > 0)
        mDestroyed.push_back(std::move(entry));
    scheduleDrain();
}

void CX11WindowBackend::resizeToParams(Entry& e) {
    e.window.resize(pixelsOf(e.params.width, e.params.scale), pixelsOf(e.params.height, e.params.scale));
    e.damageX0 = 0.0;
    e.damageY0 = 0.0;
    e.damageX1 = e.params.width;
    e.damageY1 = e.params.height;
}

void CX11WindowBackend::setFrame(WindowId id, double x, double y, double width, double height) {
    Entry* e = find(id);
    if (!e)
        return;
    const bool resized = width != e->params.width || height != e->params.height;
    e->params.x = x;
    e->params.y = y;
    e->params.width = std::max(width, 0.0);
    e->params.height = std::max(height, 0.0);
    if (e->window.kind() != CX11Window::Kind::Child)
        e->window.move(int(std::lround(x * mScreenScale)), int(std::lround(y * mScreenScale)));
    if (resized)
        resizeToParams(*e);
    scheduleDrain();
}

void CX11WindowBackend::setScale(WindowId id, double scale) {
    Entry* e = find(id);
    if (!e || !(scale > 0.0) || scale == e->params.scale)
        return;
    e->params.scale = scale;
    resizeToParams(*e);
    scheduleDrain();
}

void CX11WindowBackend::setVisible(WindowId id, bool visible) {
    Entry* e = find(id);
    if (!e || e->visible == visible)
        return;
    e->visible = visible;
    if (visible)
        e->window.show();        // the server's expose asks for the first paint
    else
        e->window.hide();
    scheduleDrain();
}

void CX11WindowBackend::setTitle(WindowId id, const char* utf8Title) {
    if (Entry* e = find(id))
        e->window.setTitle(utf8Title ? utf8Title : "");
    scheduleDrain();
}

void CX11WindowBackend::requestRedraw(WindowId id, double x, double y, double width, double height) {
    Entry* e = find(id);
    if (!e || width < 1e-5 || height < 1e-5)
        return;
    if (e->damageX1 <= e->damageX0 || e->damageY1 <= e->damageY0) {
        e->damageX0 = x, e->damageY0 = y, e->damageX1 = x + width, e->damageY1 = y + height;
    } else {
        e->damageX0 = std::min(e->damageX0, x), e->damageY0 = std::min(e->damageY0, y);
        e->damageX1 = std::max(e->damageX1, x + width), e->damageY1 = std::max(e->damageY1, y + height);
    }
    // An expose of the area wakes the connection's reader (the window has no background, so the
    // server leaves its pixels alone).
    if (e->visible && mDepth == 0) {
        const double s = e->params.scale;
        e->window.requestExpose(int(std::floor(x * s)), int(std::floor(y * s)), int(std::ceil(width * s)),
                                int(std::ceil(height * s)));
    }
    scheduleDrain();
}

void CX11WindowBackend::present(WindowId id, const std::uint8_t* pixels, std::int32_t stride, std::int32_t srcX,
                                std::int32_t srcY, std::int32_t width, std::int32_t height, std::int32_t dstX,
                                std::int32_t dstY) {
    Entry* e = find(id);
    if (!e)
        return;
    e->window.presentRgbx(pixels, stride, srcX, srcY, width, height, dstX, dstY);
    scheduleDrain();
}

void CX11WindowBackend::scheduleDrain() {
    // Talking to the server may have read events into Xlib's queue, where the descriptor no longer
    // shows them: a later turn of the loop handles them (inside processEvents it goes round again).
    if (mDepth == 0 && mLoop && !mDrainPosted && mDisplay.queuedEvents() > 0) {
        const std::int64_t serial = gNextSerial++;
        gLiveBackends.emplace(serial, this);
        mDrainPosted = mLoop->postCall(&CX11WindowBackend::drainPosted, nullptr, serial);
        if (!mDrainPosted)
            gLiveBackends.erase(serial);
    }
}

void CX11WindowBackend::sync() {
    mDisplay.sync();
    scheduleDrain();
}

bool CX11WindowBackend::readClipboard(std::string& utf8, int timeoutMs) {
    const bool got = mClipboard.getText(utf8, timeoutMs);
    scheduleDrain();
    return got;
}

void CX11WindowBackend::applyCursor(Entry& e) {
    e.window.setCursor(mCursorHidden ? CX11Window::Cursor::Hidden : x11CursorOf(e.cursor));
}

void CX11WindowBackend::setCursor(WindowId id, Cursor cursor) {
    if (Entry* e = find(id)) {
        e->cursor = cursor;
        applyCursor(*e);
    }
    scheduleDrain();
}

void CX11WindowBackend::setCursorHidden(bool hidden) {
    if (hidden == mCursorHidden)
        return;
    mCursorHidden = hidden;
    for (auto& [id, e] : mWindows)
        applyCursor(*e);
    scheduleDrain();
}

void CX11WindowBackend::pointerPosition(double& x, double& y) {
    x = y = 0.0;
    int px = 0, py = 0;
    if (mDisplay.pointerPosition(px, py)) {
        x = px / mScreenScale;
        y = py / mScreenScale;
    }
}

void CX11WindowBackend::warpPointer(double screenX, double screenY) {
    mDisplay.warpPointer(int(std::lround(screenX * mScreenScale)), int(std::lround(screenY * mScreenScale)));
    scheduleDrain();
}

std::uint32_t CX11WindowBackend::pointerState() { return mDisplay.pointerState(); }

void CX11WindowBackend::setKeyboardFocus(WindowId id) {
    // Popups leave the focus where it is, as a click on them does.
    if (Entry* e = find(id); e != nullptr && e->visible && e->window.kind() != CX11Window::Kind::Popup)
        e->window.takeFocus();
}

void CX11WindowBackend::iconify(WindowId id) {
    // Only the decorated windows of their own; the embedded one belongs to the host.
    if (Entry* e = find(id); e != nullptr && e->window.kind() == CX11Window::Kind::Tool)
        mDisplay.iconify(e->window.id());
}

void CX11WindowBackend::screenRect(double pointX, double pointY, double& x, double& y, double& width, double& height) {
    const std::vector<CX11Display::ScreenArea> screens = mDisplay.screens();
    CX11Display::ScreenArea chosen = screens.empty() ? CX11Display::ScreenArea{} : screens.front();
    const double px = pointX * mScreenScale, py = pointY * mScreenScale;
    for (const CX11Display::ScreenArea& s : screens)
        if (px >= s.x && py >= s.y && px < s.x + s.width && py < s.y + s.height) {
            chosen = s;
            break;
        }
    x = chosen.x / mScreenScale;
    y = chosen.y / mScreenScale;
    width = chosen.width / mScreenScale;
    height = chosen.height / mScreenScale;
}

std::vector<CWindowBackend::Screen> CX11WindowBackend::screens() {
    const CX11Display::ScreenArea work = mDisplay.workArea();
    std::vector<Screen> out;
    for (const CX11Display::ScreenArea& m : mDisplay.screens()) {
        Screen s;
        s.x = m.x / mScreenScale;
        s.y = m.y / mScreenScale;
        s.width = m.width / mScreenScale;
        s.height = m.height / mScreenScale;
        const double x0 = std::max<double>(m.x, work.x), y0 = std::max<double>(m.y, work.y);
        const double x1 = std::min<double>(m.x + m.width, work.x + work.width);
        const double y1 = std::min<double>(m.y + m.height, work.y + work.height);
        const bool visible = work.width > 0 && work.height > 0 && x1 > x0 && y1 > y0;
        s.visibleX = visible ? x0 / mScreenScale : s.x;
        s.visibleY = visible ? y0 / mScreenScale : s.y;
        s.visibleWidth = visible ? (x1 - x0) / mScreenScale : s.width;
        s.visibleHeight = visible ? (y1 - y0) / mScreenScale : s.height;
        out.push_back(s);
    }
    if (out.empty())
        return CWindowBackend::screens();
    return out;
}

void CX11WindowBackend::windowOrigin(WindowId id, double& x, double& y) {
    x = y = 0.0;
    int px = 0, py = 0;
    if (const Entry* e = find(id); e && e->window.screenPosition(px, py)) {
        x = px / mScreenScale;
        y = py / mScreenScale;
    }
}

void CX11WindowBackend::Entry::onX11Event(const CX11Event& event) { backend->handle(*this, event); }

void CX11WindowBackend::deliver(WindowId id, const CNativeEvent& event) {
    const Entry* e = find(id);            // a sink may have destroyed the window meanwhile
    if (!e || !e->sink)
        return;
    ++mDelivered;
    e->sink->onNativeEvent(event);
}

void CX11WindowBackend::handle(Entry& entry, const CX11Event& event) {
    const double s = entry.params.scale;
    const WindowId id = entry.id;
    CNativeEvent out;
    out.x = event.x / s;
    out.y = event.y / s;
    out.modifiers = modifiersOf(event);
    switch (event.kind) {
    case CX11Event::Kind::MouseMove:
    case CX11Event::Kind::PointerEnter:
        out.type = CNativeEvent::Type::MouseMove;
        break;
    case CX11Event::Kind::MouseDown:
    case CX11Event::Kind::MouseUp:
        out.down = event.kind == CX11Event::Kind::MouseDown;
        if (event.xbutton != 0) {
            out.type = CNativeEvent::Type::MouseXButton;
            out.button = event.xbutton == 2 ? 1 : 2;              // 1 back, 2 forward
        } else {
            out.type = CNativeEvent::Type::MouseButton;
            out.button = event.button == CX11Event::kButtonLeft ? 0 : event.button == CX11Event::kButtonRight ? 1 : 2;
            out.doubleClick = event.isDoubleClick;
        }
        // A click gives the editor's windows the keyboard (popups leave it where it is).
        if (out.down && entry.window.kind() != CX11Window::Kind::Popup)
            entry.window.takeFocus();
        break;
    case CX11Event::Kind::Wheel:
        if (event.horizontal)
            return;
        out.type = CNativeEvent::Type::MouseWheel;
        out.delta = event.delta;
        break;
    case CX11Event::Kind::PointerLeave:
        out.type = CNativeEvent::Type::MouseExit;
        break;
    case CX11Event::Kind::KeyDown:
    case CX11Event::Kind::KeyUp:
        out.type = event.kind == CX11Event::Kind::KeyDown ? CNativeEvent::Type::KeyPress : CNativeEvent::Type::KeyRelease;
        out.keycode = event.keyCode;
        break;
    case CX11Event::Kind::FocusGained:
        entry.focused = true;
        return;
    case CX11Event::Kind::FocusLost:
        entry.focused = false;
        out.type = CNativeEvent::Type::FocusLost;
        break;
    case CX11Event::Kind::Paint: {
        const double x0 = event.x / s, y0 = event.y / s, x1 = (event.x + event.width) / s, y1 = (event.y + event.height) / s;
        if (entry.damageX1 <= entry.damageX0 || entry.damageY1 <= entry.damageY0) {
            entry.damageX0 = x0, entry.damageY0 = y0, entry.damageX1 = x1, entry.damageY1 = y1;
        } else {
            entry.damageX0 = std::min(entry.damageX0, x0), entry.damageY0 = std::min(entry.damageY0, y0);
            entry.damageX1 = std::max(entry.damageX1, x1), entry.damageY1 = std::max(entry.damageY1, y1);
        }
        return;
    }
    case CX11Event::Kind::Destroyed:
    case CX11Event::Kind::CloseRequest: {
        // The window is gone (or its close box was pressed): the id ends here.
        if (event.kind == CX11Event::Kind::Destroyed)
            entry.window.markGone();
        CNativeWindowSink* sink = entry.sink;
        destroyWindow(id);
        out.type = CNativeEvent::Type::Closed;
        if (sink) {
            ++mDelivered;
            sink->onNativeEvent(out);
        }
        return;
    }
    default:
        return;
    }
    deliver(id, out);
}

int CX11WindowBackend::processEvents() {
    if (!mDisplay.isOpen())
        return 0;
    if (mDepth == 0)
        mDelivered = 0;
    ++mDepth;
    // Requests made by the sinks may read more events into Xlib's queue: go round while there are.
    for (int round = 0; round < 8; ++round) {
        mDisplay.dispatch();
        std::vector<WindowId> ids;
        for (const auto& [id, e] : mWindows)
            ids.push_back(id);
        for (WindowId id : ids) {
            Entry* e = find(id);
            if (!e || !e->visible || !e->sink || e->damageX1 <= e->damageX0 || e->damageY1 <= e->damageY0)
                continue;
            CNativeEvent paint;
            paint.type = CNativeEvent::Type::Paint;
            paint.x = e->damageX0, paint.y = e->damageY0;
            paint.width = e->damageX1 - e->damageX0, paint.height = e->damageY1 - e->damageY0;
            e->damageX0 = e->damageY0 = e->damageX1 = e->damageY1 = 0.0;
            deliver(id, paint);
        }
        if (mDisplay.queuedEvents() == 0)
            break;
    }
    --mDepth;
    if (mDepth == 0)
        mDestroyed.clear();
    return mDelivered;
}

} // namespace tal
