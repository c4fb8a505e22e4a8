#include "Platform/CX11Clipboard.h"

#include "Platform/CMonotonicClock.h"
#include "Platform/CX11Display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

namespace tal {

namespace {

std::string latin1ToUtf8(const unsigned char* bytes, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] < 0x80) {
            out.push_back(char(bytes[i]));
        } else {
            out.push_back(char(0xc0 | (bytes[i] >> 6)));
            out.push_back(char(0x80 | (bytes[i] & 0x3f)));
        }
    }
    return out;
}

// Characters above 255 (and broken sequences) become '?'.
std::string utf8ToLatin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(char(c));
            ++i;
            continue;
        }
        int length = (c & 0xe0) == 0xc0 ? 2 : (c & 0xf0) == 0xe0 ? 3 : (c & 0xf8) == 0xf0 ? 4 : 1;
        unsigned int code = length == 2 ? c & 0x1fu : length == 3 ? c & 0x0fu : c & 0x07u;
        bool valid = length > 1 && i + std::size_t(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char cc = static_cast<unsigned char>(utf8[i + std::size_t(k)]);
            valid = (cc & 0xc0) == 0x80;
            code = (code << 6) | (cc & 0x3fu);
        }
        out.push_back(valid && code <= 0xff ? char(code) : '?');
        i += valid ? std::size_t(length) : 1;
    }
    return out;
}

} // namespace

int CX11Clipboard::isSelectionEvent(Display*, XEvent* event, XPointer self) {
    const Window w = Window(reinterpret_cast<CX11Clipboard*>(self)->mWindow);
    switch (event->type) {
    case SelectionNotify: return event->xselection.requestor == w;
    case SelectionRequest: return event->xselectionrequest.owner == w;
    case SelectionClear: return event->xselectionclear.window == w;
    default: return 0;
    }
}

CX11Clipboard::~CX11Clipboard() { destroy(); }

bool CX11Clipboard::create(CX11Display& display) {
    destroy();
    Display* d = display.xdisplay();
    if (d == nullptr)
        return false;
    mDisplay = &display;
    mWindow = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    display.setClipboard(this);
    return true;
}

void CX11Clipboard::destroy() {
    if (mDisplay == nullptr)
        return;
    mDisplay->setClipboard(nullptr);
    if (Display* d = mDisplay->xdisplay()) {
        XDestroyWindow(d, Window(mWindow));
        XFlush(d);
    }
    mDisplay = nullptr;
    mWindow = 0;
    mOwned = false;
    mText.clear();
}

bool CX11Clipboard::setText(const std::string& utf8) {
    if (mDisplay == nullptr)
        return false;
    Display* d = mDisplay->xdisplay();
    const Atom clipboard = Atom(mDisplay->atom("CLIPBOARD"));
    mText = utf8;
    XSetSelectionOwner(d, clipboard, Window(mWindow), CurrentTime);
    mOwned = XGetSelectionOwner(d, clipboard) == Window(mWindow);
    XFlush(d);
    return mOwned;
}

bool CX11Clipboard::getText(std::string& utf8, int timeoutMs) {
    utf8.clear();
    if (mDisplay == nullptr)
        return false;
    Display* d = mDisplay->xdisplay();
    const Atom clipboard = Atom(mDisplay->atom("CLIPBOARD"));
    // The server knows the owner; our note of it may lag behind a SelectionClear not yet read.
    const Window owner = XGetSelectionOwner(d, clipboard);
    mOwned = mOwned && owner == Window(mWindow);
    if (mOwned) {
        utf8 = mText;
        return true;
    }
    if (owner == None)
        return false;
    const std::uint64_t deadline = getMonotonicNanos() + std::uint64_t(timeoutMs > 0 ? timeoutMs : 0) * 1000000u;
    for (const char* target : {"UTF8_STRING", "STRING"}) {
        XConvertSelection(d, clipboard, Atom(mDisplay->atom(target)), Atom(mDisplay->atom("TAL_CLIPBOARD")),
                          Window(mWindow), CurrentTime);
        XFlush(d);
        mWaiting = true;
        mAnswered = false;
        while (!mAnswered) {
            // Only the selection's events are taken; the windows' events stay queued for their
            // dispatch (their sinks may be inside the call that reads the clipboard).
            XEvent event;
            while (!mAnswered && XCheckIfEvent(d, &event, &isSelectionEvent, reinterpret_cast<XPointer>(this)))
                handleEvent(event);
            const std::uint64_t now = getMonotonicNanos();
            if (mAnswered || now >= deadline)
                break;
            pollfd p{ConnectionNumber(d), POLLIN, 0};
            poll(&p, 1, int((deadline - now + 999999u) / 1000000u));
        }
        mWaiting = false;
        if (!mAnswered)
            return false;                   // the owner did not answer in time
        if (mAnswerOk) {
            utf8.swap(mAnswer);
            return true;
        }
    }
    return false;
}

bool CX11Clipboard::handleEvent(XEvent& event) {
    if (mDisplay == nullptr)
        return false;
    Display* d = mDisplay->xdisplay();
    switch (event.type) {
    case SelectionClear:
        if (event.xselectionclear.window != Window(mWindow))
            return false;
        mOwned = false;
        mText.clear();
        return true;
    case SelectionRequest: {
        const XSelectionRequestEvent& request = event.xselectionrequest;
        if (request.owner != Window(mWindow))
            return false;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = d;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        // Obsolete clients name no property: the target's name is used.
        const Atom property = request.property != None ? request.property : request.target;
        reply.property = None;
        const Atom utf8Atom = Atom(mDisplay->atom("UTF8_STRING"));
        const long maxBytes = XExtendedMaxRequestSize(d) > 0 ? XExtendedMaxRequestSize(d) * 4 - 256
                                                             : XMaxRequestSize(d) * 4 - 256;
        if (mOwned && request.selection == Atom(mDisplay->atom("CLIPBOARD"))) {
            if (request.target == Atom(mDisplay->atom("TARGETS"))) {
                const Atom targets[] = {Atom(mDisplay->atom("TARGETS")), utf8Atom, XA_STRING,
                                        Atom(mDisplay->atom("TEXT"))};
                XChangeProperty(d, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(targets), 4);
                reply.property = property;
            } else if ((request.target == utf8Atom || request.target == Atom(mDisplay->atom("TEXT"))) &&
                       long(mText.size()) <= maxBytes) {
                XChangeProperty(d, request.requestor, property, utf8Atom, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(mText.data()), int(mText.size()));
                reply.property = property;
            } else if (request.target == XA_STRING && long(mText.size()) <= maxBytes) {
                const std::string latin1 = utf8ToLatin1(mText);
                XChangeProperty(d, request.requestor, property, XA_STRING, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(latin1.data()), int(latin1.size()));
                reply.property = property;
            }
        }
        XSendEvent(d, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(d);
        return true;
    }
    case SelectionNotify: {
        const XSelectionEvent& notify = event.xselection;
        if (notify.requestor != Window(mWindow))
            return false;
        if (!mWaiting)
            return true;                    // a late answer to a read that gave up
        mAnswered = true;
        mAnswerOk = false;
        mAnswer.clear();
        if (notify.property == None)
            return true;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, Window(mWindow), notify.property, 0, 0x1000000, True, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success) {
            if (format == 8 && type == Atom(mDisplay->atom("UTF8_STRING"))) {
                mAnswer.assign(reinterpret_cast<const char*>(data), count);
                mAnswerOk = true;
            } else if (format == 8 && type == XA_STRING) {
                mAnswer = latin1ToUtf8(data, count);
                mAnswerOk = true;
            }
            if (data)
                XFree(data);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace tal
