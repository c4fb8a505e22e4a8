// delmaro-tool host editor: opens a bundle's editor as a Linux host does (a top-level X window of
// its own, an IPlugFrame with an IRunLoop over poll, the view attached as "X11EmbedWindowID"),
// runs the loop until the editor has painted and writes the window's pixels to a PNG file. With
// --events it then plays an event script (tools/EventScripts.md) into the editor's window: each event
// is sent to the editor's X window as the X server would deliver it (XSendEvent), so it takes the
// editor's own path from its X connection to the views; "shot FILE" steps grab the window.
#include "CHostModule.h"
#include "CHostPlugin.h"
#include "CPollRunLoop.h"
#include "DelmaroTool.h"
#include "EventScript.h"
#include "PngFile.h"

#include "Core/CError.h"
#include "Other/CLinearBitmap.h"
#include "Platform/CMonotonicClock.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

// Xlib's event type macros share their names with the framework's key events.
constexpr int kXKeyPress = KeyPress;
constexpr int kXKeyRelease = KeyRelease;
#undef KeyPress
#undef KeyRelease

#include <cstdio>
#include <sys/resource.h>
#include <cstdlib>
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace delmaro_tool {

using namespace Steinberg;

namespace {

// What the host window shows where nothing was painted: a colour the editor never uses.
constexpr unsigned long kUnpaintedColour = 0xff00ff;

// The host's side of the view: resize requests are granted at once, the run loop is the tool's.
class CToolPlugFrame final : public IPlugFrame {
public:
    CToolPlugFrame(CPollRunLoop& loop, Display* display, Window window) : mLoop(loop), mDisplay(display), mWindow(window) {}
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override {
        XResizeWindow(mDisplay, mWindow, unsigned(newSize->getWidth()), unsigned(newSize->getHeight()));
        XSync(mDisplay, False);
        return view->onSize(newSize) == kResultOk ? kResultTrue : kResultFalse;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
            return mLoop.queryInterface(iid, obj);
        if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

private:
    CPollRunLoop& mLoop;
    Display* mDisplay;
    Window mWindow;
};

bool parseSize(const std::string& text, int& width, int& height) {
    char* end = nullptr;
    const long w = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || (*end != 'x' && *end != 'X'))
        return false;
    const char* rest = end + 1;
    const long h = std::strtol(rest, &end, 10);
    if (end == rest || *end != 0 || w < 16 || h < 16 || w > 8192 || h > 8192)
        return false;
    width = int(w);
    height = int(h);
    return true;
}

// The window's pixels into an R, G, B, X bitmap; false when the server gave none.
bool grabWindow(Display* d, Window w, int width, int height, tal::CLinearBitmap& out, int& unpainted) {
    XImage* image = XGetImage(d, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return false;
    if (tal::CError* err = out.setSize(width, height, false))
        delete err;
    unpainted = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y) & 0xffffff;
            unpainted += p == kUnpaintedColour;
            std::uint8_t* to = out.pixel(x, y);
            to[0] = std::uint8_t(p >> 16), to[1] = std::uint8_t(p >> 8), to[2] = std::uint8_t(p), to[3] = 0xff;
        }
    XDestroyImage(image);
    return true;
}

struct CEditorOptions {
    std::string bundle, png, events;
    int width = 0, height = 0;   // 0: the editor's own size
    int idleSeconds = 0;         // after the capture: run the loop idle this long and report the CPU time
};

double processCpuSeconds() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The editor's own X window: the first child of the host's window.
Window editorWindowOf(Display* d, Window host) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(d, host, &root, &parent, &children, &count) != 0 && count > 0)
        found = children[0];
    if (children != nullptr)
        XFree(children);
    return found;
}

unsigned int xStateOf(std::uint32_t modifiers) {
    unsigned int state = 0;
    if (modifiers & tal::CNativeEvent::kShift) state |= ShiftMask;
    if (modifiers & tal::CNativeEvent::kCtrl) state |= ControlMask;
    if (modifiers & tal::CNativeEvent::kAlt) state |= Mod1Mask;
    if (modifiers & tal::CNativeEvent::kLeftButton) state |= Button1Mask;
    if (modifiers & tal::CNativeEvent::kMiddleButton) state |= Button2Mask;
    if (modifiers & tal::CNativeEvent::kRightButton) state |= Button3Mask;
    return state;
}

// The keysym of a framework key code (special keys from 0xE001, else the character).
KeySym keysymOf(int code) {
    static const std::pair<int, KeySym> kSpecial[] = {
        {0xE001, XK_Escape}, {0xE002, XK_Insert}, {0xE003, XK_Delete}, {0xE004, XK_BackSpace}, {0xE005, XK_Tab},
        {0xE006, XK_Return}, {0xE007, XK_Home},   {0xE008, XK_End},    {0xE009, XK_Prior},     {0xE00A, XK_Next},
        {0xE00B, XK_Left},   {0xE00C, XK_Right},  {0xE00D, XK_Up},     {0xE00E, XK_Down}};
    for (const auto& [framework, keysym] : kSpecial)
        if (framework == code)
            return keysym;
    return code < 0x100 ? KeySym(code) : KeySym(0x01000000 | code);
}

// Sends the script's events to the editor's window as the server would deliver them; positions in
// window points are pixels here (the tool's screen has a scale of 1).
class CEventSender {
public:
    CEventSender(Display* d, Window window) : mDisplay(d), mWindow(window) {}

    void send(const tal::CNativeEvent& e) {
        using Type = tal::CNativeEvent::Type;
        XEvent x {};
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(mDisplay, mWindow, DefaultRootWindow(mDisplay), int(e.x), int(e.y), &rootX, &rootY, &child);
        mTime += e.doubleClick ? 40 : 1000;   // presses a second apart are never a double click
        switch (e.type) {
        case Type::MouseMove:
            x.xmotion = pointerFields<XMotionEvent>(MotionNotify, e, rootX, rootY);
            XSendEvent(mDisplay, mWindow, False, PointerMotionMask, &x);
            break;
        case Type::MouseButton:
        case Type::MouseXButton: {
            x.xbutton = pointerFields<XButtonEvent>(e.down ? ButtonPress : ButtonRelease, e, rootX, rootY);
            if (e.type == Type::MouseXButton)
                x.xbutton.button = e.button == 2 ? 9 : 8;   // forward, back
            else
                x.xbutton.button = e.button == 0 ? 1 : e.button == 1 ? 3 : 2;
            XSendEvent(mDisplay, mWindow, False, e.down ? ButtonPressMask : ButtonReleaseMask, &x);
            break;
        }
        case Type::MouseWheel: {
            const int steps = std::max(1, int(std::lround(std::fabs(e.delta))));
            for (int i = 0; i < steps; ++i)
                for (int type : {ButtonPress, ButtonRelease}) {
                    x.xbutton = pointerFields<XButtonEvent>(type, e, rootX, rootY);
                    x.xbutton.button = e.delta > 0 ? 4 : 5;
                    XSendEvent(mDisplay, mWindow, False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &x);
                }
            break;
        }
        case Type::KeyPress:
        case Type::KeyRelease:
            x.xkey = pointerFields<XKeyEvent>(e.type == Type::KeyPress ? kXKeyPress : kXKeyRelease, e, rootX, rootY);
            x.xkey.keycode = XKeysymToKeycode(mDisplay, keysymOf(e.keycode));
            if (e.keycode >= 'A' && e.keycode <= 'Z')
                x.xkey.state |= ShiftMask;
            XSendEvent(mDisplay, mWindow, False, e.type == Type::KeyPress ? KeyPressMask : KeyReleaseMask, &x);
            break;
        default:
            break;
        }
        XFlush(mDisplay);
    }

private:
    template <class T>
    T pointerFields(int type, const tal::CNativeEvent& e, int rootX, int rootY) {
        T t {};
        t.type = type;
        t.display = mDisplay;
        t.window = mWindow;
        t.root = DefaultRootWindow(mDisplay);
        t.time = mTime;
        t.x = int(e.x);
        t.y = int(e.y);
        t.x_root = rootX;
        t.y_root = rootY;
        t.state = xStateOf(e.modifiers);
        t.same_screen = True;
        return t;
    }

    Display* mDisplay;
    Window mWindow;
    Time mTime = 1000;
};

int runEditor(const CEditorOptions& o) {
    std::vector<EventScriptStep> steps;
    if (!o.events.empty())
        if (std::string error = readEventScript(o.events, steps); !error.empty())
            return fail(error);
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr)
        return fail("no X display (DISPLAY is not set or the server does not answer); run it under Xvfb, "
                    "for example: xvfb-run -a -s \"-screen 0 1920x1080x24\" delmaro-tool host editor ...");
    CHostModule module;
    if (std::string err = module.open(o.bundle); !err.empty()) {
        XCloseDisplay(d);
        return fail(err);
    }
    int status = 0;
    {
        CHostPlugin plugin;
        if (std::string err = plugin.create(module.factory()); !err.empty()) {
            XCloseDisplay(d);
            return fail(err);
        }
        IPlugView* view = plugin.controller() ? plugin.controller()->createView(Vst::ViewType::kEditor) : nullptr;
        if (view == nullptr) {
            XCloseDisplay(d);
            return fail("the plug-in has no editor view");
        }
        CPollRunLoop loop;
        ViewRect size;
        view->getSize(&size);
        if (o.width > 0) {
            ViewRect wanted(0, 0, o.width, o.height);
            view->checkSizeConstraint(&wanted);
            view->onSize(&wanted);
            view->getSize(&size);
        }
        const int width = size.getWidth(), height = size.getHeight();
        const Window host = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, unsigned(width), unsigned(height), 0, 0,
                                                kUnpaintedColour);
        XStoreName(d, host, "delmaro-tool host editor");
        XMapWindow(d, host);
        XSync(d, False);
        CToolPlugFrame frame(loop, d, host);
        view->setFrame(&frame);
        if (view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue) {
            status = fail("the editor refuses the platform type X11EmbedWindowID");
        } else if (view->attached(reinterpret_cast<void*>(std::uintptr_t(host)), kPlatformTypeX11EmbedWindowID) !=
                   kResultOk) {
            status = fail("the editor did not attach (see the plug-in's log)");
        } else {
            // Until nothing shows the host's colour, for 5 s at most; then a little longer for the rest.
            tal::CLinearBitmap pixels;
            int unpainted = width * height;
            const std::uint64_t start = tal::getMonotonicNanos();
            while (unpainted > 0 && tal::getMonotonicNanos() - start < 5000000000u) {
                loop.runFor(50);
                XSync(d, False);
                if (!grabWindow(d, host, width, height, pixels, unpainted))
                    break;
            }
            if (unpainted == width * height) {
                status = fail("the editor painted nothing within 5 s");
            } else {
                loop.runFor(200);
                const Window editor = editorWindowOf(d, host);
                CEventSender sender(d, editor);
                for (const EventScriptStep& step : steps) {
                    if (status != 0)
                        break;
                    switch (step.kind) {
                    case EventScriptStep::Kind::Events:
                        for (const tal::CNativeEvent& e : step.events)
                            sender.send(e);
                        loop.runFor(50);
                        break;
                    case EventScriptStep::Kind::Wait:
                        loop.runFor(int(step.seconds * 1000.0));
                        break;
                    case EventScriptStep::Kind::Shot: {
                        loop.runFor(50);
                        XSync(d, False);
                        tal::CLinearBitmap shot;
                        std::string error;
                        if (!grabWindow(d, host, width, height, shot, unpainted) ||
                            !writePngFile(step.file, shot, error))
                            status = fail("cannot write '" + step.file + "': " + error);
                        else
                            std::printf("%s: %d x %d\n", step.file.c_str(), width, height);
                        break;
                    }
                    }
                }
                XSync(d, False);
                grabWindow(d, host, width, height, pixels, unpainted);
                std::string error;
                if (status == 0) {
                    if (!writePngFile(o.png, pixels, error))
                        status = fail("cannot write '" + o.png + "': " + error);
                    else
                        std::printf("%s: %d x %d\n", o.png.c_str(), width, height);
                }
                if (status == 0 && o.idleSeconds > 0) {
                    const double cpuBefore = processCpuSeconds();
                    loop.runFor(o.idleSeconds * 1000);
                    const double cpu = processCpuSeconds() - cpuBefore;
                    std::printf("idle %d s: %.3f s of CPU (%.2f %% of a core)\n", o.idleSeconds, cpu,
                                100.0 * cpu / o.idleSeconds);
                }
            }
            view->removed();
        }
        view->setFrame(nullptr);
        view->release();
        if (loop.registrationCount() != 0 && status == 0)
            status = fail("the editor left " + std::to_string(loop.registrationCount()) + " run-loop registrations");
        XDestroyWindow(d, host);
        plugin.destroy();
    }
    XCloseDisplay(d);
    return status;
}

} // namespace

int runHostEditor(std::span<const char* const> args) {
    static const char kUsage[] =
        "usage: delmaro-tool host editor BUNDLE --png OUT.png [--size WxH] [--idle SECONDS] [--events FILE]";
    if (args.empty())
        return fail(kUsage);
    CEditorOptions o;
    o.bundle = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string opt = args[i];
        if (i + 1 >= args.size())
            return fail("option '" + opt + "' needs a value");
        const std::string value = args[++i];
        if (opt == "--png")
            o.png = value;
        else if (opt == "--events")
            o.events = value;
        else if (opt == "--idle") {
            char* end = nullptr;
            const long seconds = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != 0 || seconds < 1 || seconds > 3600)
                return fail("--idle wants whole seconds (1 to 3600), not '" + value + "'");
            o.idleSeconds = int(seconds);
        } else if (opt == "--size") {
            if (!parseSize(value, o.width, o.height))
                return fail("--size wants WIDTHxHEIGHT (16 to 8192), not '" + value + "'");
        } else
            return fail("unknown option '" + opt + "'\n" + kUsage);
    }
    if (o.png.empty())
        return fail(kUsage);
    return runEditor(o);
}

} // namespace delmaro_tool
