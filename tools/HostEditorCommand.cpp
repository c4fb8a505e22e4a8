// delmaro-tool host editor: opens a bundle's editor as a Linux host does (a top-level X window of
// its own, an IPlugFrame with an IRunLoop over poll, the view attached as "X11EmbedWindowID"),
// runs the loop until the editor has painted and writes the window's pixels to a PNG file.
#include "CHostModule.h"
#include "CHostPlugin.h"
#include "CPollRunLoop.h"
#include "DelmaroTool.h"
#include "PngFile.h"

#include "Core/CError.h"
#include "Other/CLinearBitmap.h"
#include "Platform/CMonotonicClock.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <sys/resource.h>
#include <cstdlib>
#include <string>

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
    std::string bundle, png;
    int width = 0, height = 0;   // 0: the editor's own size
    int idleSeconds = 0;         // after the capture: run the loop idle this long and report the CPU time
};

double processCpuSeconds() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int runEditor(const CEditorOptions& o) {
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
                XSync(d, False);
                grabWindow(d, host, width, height, pixels, unpainted);
                std::string error;
                if (!writePngFile(o.png, pixels, error))
                    status = fail("cannot write '" + o.png + "': " + error);
                else
                    std::printf("%s: %d x %d\n", o.png.c_str(), width, height);
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
    static const char kUsage[] = "usage: delmaro-tool host editor BUNDLE --png OUT.png [--size WxH] [--idle SECONDS]";
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
