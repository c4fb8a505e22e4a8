// "delmaro-tool shot": the editor drawn headless into a PNG.
//
//   shot OUT.png [--description FILE] [--size WxH] [--scale S] [--set "NAME=TEXT"]... [--events FILE]
//        [--popup VIEW]
//
// loads the editor's description (the product's compiled UserInterface.xml unless --description
// names another, compiled or in its XML form), opens its main window on the headless window
// backend with a manually pumped main loop and event bridge, lets the editor run a few frames and
// writes the window's pixels. --size sets the main window's size in points, --scale the visual
// scale, --set an attribute of the main window's root view (repeatable). --events replays a script
// of input events (tools/EventScripts.md): pointer moves, presses and releases, wheel steps, keys,
// text, waits on the pumped clock and screenshots along the way. A shot shows the main window and,
// when others (popups) are open, every window on one canvas as they lie on the screen. --popup
// toggles the popup of a view (its path below the main window's root view, such as "panel.knob")
// before the script runs.
// Every error is a message and a non-zero exit.
#include "DelmaroTool.h"
#include "DescriptionCompiler.h"
#include "EventScript.h"
#include "PngFile.h"

#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"
#include "Core/CSystem.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/CXMLLoader.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Platform/CHeadlessWindowBackend.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "ProductCreators.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "UI/CWindowRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace delmaro_tool {

using namespace tal;

namespace {

constexpr double kFramePeriod = 0.025;   // the editor's default 40 frames per second
constexpr int kSettleFrames = 4;

std::string errorText(CError* error) {
    const std::string text = joinErrorLines(error).narrowed().chars8();
    delete error;
    return text;
}

struct ShotOptions {
    std::string out;
    std::string description = TAL_DEFAULT_UI_DESCRIPTION;
    std::string events;
    std::string popup;
    int width = 0, height = 0;
    double scale = 1.0;
    std::vector<std::pair<std::string, std::string>> sets;
};

bool parseSize(const std::string& text, int& w, int& h) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    bool okW = false, okH = false;
    w = parseInt(CString(text.substr(0, x).c_str()), 0, &okW);
    h = parseInt(CString(text.substr(x + 1).c_str()), 0, &okH);
    return okW && okH && w >= 1 && h >= 1 && w <= 8192 && h <= 8192;
}

std::string parseOptions(std::span<const char* const> args, ShotOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--size" && hasValue) {
            if (!parseSize(args[++i], o.width, o.height))
                return "bad --size '" + std::string(args[i]) + "' (WxH, 1 to 8192 points each)";
        } else if (arg == "--scale" && hasValue) {
            bool ok = false;
            o.scale = parseDouble(args[++i], &ok);
            if (!ok || !(o.scale >= 0.5 && o.scale <= 4.0))
                return "bad --scale '" + std::string(args[i]) + "' (0.5 to 4)";
        } else if (arg == "--set" && hasValue) {
            const std::string text = args[++i];
            const std::size_t eq = text.find('=');
            if (eq == std::string::npos || eq == 0)
                return "bad --set '" + text + "' (NAME=TEXT)";
            o.sets.emplace_back(text.substr(0, eq), text.substr(eq + 1));
        } else if (arg == "--description" && hasValue) {
            o.description = args[++i];
        } else if (arg == "--popup" && hasValue) {
            o.popup = args[++i];
        } else if (arg == "--events" && hasValue) {
            o.events = args[++i];
        } else if (arg == "--program") {
            return "--program needs the plug-in's audio side, which the headless editor does not load yet";
        } else if (!arg.empty() && arg[0] != '-' && o.out.empty()) {
            o.out = arg;
        } else {
            return "unknown or incomplete argument '" + arg + "'";
        }
    }
    if (o.out.empty())
        return "no output file";
    return {};
}

// The editor tree, its main loop, event bridge and window backend for one shot.
class ShotSession {
public:
    ShotSession() {
        // An editor tree changes at run time (timer groups, popups): it needs a shared object,
        // here an empty one, as the plug-in's is.
        mShared = new CObject;
        mShared->initRoot(nullptr);
        CObject::setSharedObject(mShared);
        CMainLoopTimers::setCurrent(&mLoop);
        CWindowBackend::setCurrent(&mBackend);
    }
    ~ShotSession() {
        mBridge.reset();   // before its carrier, the root
        if (mRoot != nullptr) {
            mRoot->release();
            mRoot = nullptr;
        }
        CWindowBackend::setCurrent(nullptr);
        CMainLoopTimers::setCurrent(nullptr);
        CObject::setSharedObject(nullptr);
        mShared->release();
    }

    std::string load(const ShotOptions& o) {
        for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
            CCreatorRegistry::instance().registerTable(*table);
        auto* root = new CObjectEventBridgeHandler;
        mRoot = root;
        root->initRoot(new CEventRegistry);
        mBridge = std::make_unique<CPumpedEventBridge>(*root);
        if (CError* error = root->setDoubleAttr(CString("VisualScale"), o.scale, false))
            return errorText(error);
        CError* error = nullptr;
        std::ifstream in(o.description, std::ios::binary);
        if (!in)
            return "cannot open '" + o.description + "'";
        std::stringstream text;
        text << in.rdbuf();
        // XML text is compiled here; anything else is taken for a compiled description.
        const std::string head = text.str().substr(0, 64);
        const std::size_t first = head.find_first_not_of(" \t\r\n");
        if (first != std::string::npos && head[first] == '<') {
            std::string compileError;
            if (!compileDescription(text.str(), mImage, compileError))
                return "cannot compile '" + o.description + "': " + compileError;
            error = CXMLLoader::loadImage(*root, mImage.data(), std::int32_t(mImage.size()), true, true);
        } else {
            error = CXMLLoader::loadXMLData(*root, CString(o.description.c_str()), true);
        }
        if (error != nullptr)
            return "cannot load '" + o.description + "': " + errorText(error);
        // Without the audio side no palette parameter brings the colours: an item that names no
        // colour gives each its default, as a new instance has it.
        if (auto* palette = dynamic_cast<CDynamicPalette*>(root->findObject(CString("ui.palette")))) {
            CWriteSeqBuffer item;
            CByteBuffer bytes;
            delete item.write32(1);
            delete item.writeString(CString());
            item.moveTo(bytes);
            if (CError* applied = palette->applyPaletteItem(bytes))
                return "cannot apply the default palette: " + errorText(applied);
        }
        return {};
    }

    // The main window's renderer: the renderer marked as the main window, else the first one.
    CWindowRenderer* findMainWindow() {
        CWindowRenderer* first = nullptr;
        findRenderers(mRoot, first);
        return mMain != nullptr ? mMain : first;
    }

    void runFrames(double seconds) {
        const int frames = std::max(1, int(seconds / kFramePeriod + 0.5));
        for (int i = 0; i < frames; ++i) {
            mBridge->pump();
            mBackend.processEvents();
            mLoop.advance(kFramePeriod);
            mBridge->pump();
            mBackend.processEvents();
        }
    }

    CHeadlessWindowBackend& backend() { return mBackend; }

private:
    void findRenderers(CObject* object, CWindowRenderer*& first) {
        for (int i = 0; i < object->childCount(); ++i) {
            CObject* child = object->child(i);
            if (auto* renderer = dynamic_cast<CWindowRenderer*>(child); renderer != nullptr && renderer->isOpened()) {
                if (first == nullptr)
                    first = renderer;
                if (renderer->isMainWindow() && mMain == nullptr)
                    mMain = renderer;
            }
            findRenderers(child, first);
        }
    }

    CPumpedMainLoopTimers mLoop;
    CHeadlessWindowBackend mBackend;
    std::unique_ptr<CPumpedEventBridge> mBridge;
    std::vector<std::uint8_t> mImage;   // a compiled XML description; outlives the tree
    CObject* mShared = nullptr;
    CObject* mRoot = nullptr;
    CWindowRenderer* mMain = nullptr;
};

// The main window's pixels, or with other windows open all of them on one canvas of the main
// window's scale (later windows on top), written as a PNG.
std::string writeShot(const CHeadlessWindowBackend& backend, CWindowBackend::WindowId mainId, const std::string& file) {
    const CHeadlessWindowBackend::Window* main = backend.window(mainId);
    if (main == nullptr || main->pixelWidth < 1 || main->pixelHeight < 1)
        return "the main window has no pixels";
    const double scale = main->params.scale;
    struct Placed {
        const CHeadlessWindowBackend::Window* window;
        int x, y;
    };
    std::vector<Placed> placed;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (CWindowBackend::WindowId id : backend.windowIds()) {
        const CHeadlessWindowBackend::Window* w = backend.window(id);
        if (w == nullptr || (id != mainId && !w->visible) || w->pixelWidth < 1 || w->pixelHeight < 1)
            continue;
        const Placed p{w, int(std::lround(w->params.x * scale)), int(std::lround(w->params.y * scale))};
        if (placed.empty()) {
            x0 = p.x, y0 = p.y, x1 = p.x + w->pixelWidth, y1 = p.y + w->pixelHeight;
        } else {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x + w->pixelWidth), y1 = std::max(y1, p.y + w->pixelHeight);
        }
        placed.push_back(p);
    }
    CLinearBitmap bitmap;
    if (CError* error = bitmap.setSize(x1 - x0, y1 - y0, false))
        return errorText(error);
    for (int y = 0; y < bitmap.height(); ++y)
        std::memset(bitmap.pixel(0, y), 0, std::size_t(bitmap.width()) * 4);
    for (const Placed& p : placed)
        for (int y = 0; y < p.window->pixelHeight; ++y)
            std::memcpy(bitmap.pixel(p.x - x0, p.y - y0 + y),
                        p.window->pixels.data() + std::size_t(y) * std::size_t(p.window->pixelWidth) * 4,
                        std::size_t(p.window->pixelWidth) * 4);
    std::string pngError;
    if (!writePngFile(file, bitmap, pngError))
        return "cannot write '" + file + "': " + pngError;
    std::printf("%s: %d x %d pixels\n", file.c_str(), bitmap.width(), bitmap.height());
    return {};
}

std::string takeShot(const ShotOptions& o) {
    std::vector<EventScriptStep> steps;
    if (!o.events.empty())
        if (std::string error = readEventScript(o.events, steps); !error.empty())
            return error;
    ShotSession session;
    if (std::string error = session.load(o); !error.empty())
        return error;
    CWindowRenderer* main = session.findMainWindow();
    if (main == nullptr)
        return "the description '" + o.description + "' has no window to show (no root view with a window renderer)";
    CView* root = main->rootView();
    for (const auto& [name, text] : o.sets)
        if (CError* error = root->setAttr(CString(name.c_str()), CString(text.c_str()), true))
            return "cannot set '" + name + "': " + errorText(error);
    if (o.width > 0) {
        if (CError* error = root->setAttr(CString("width"), CString(std::to_string(o.width).c_str()), true))
            return "cannot set the width: " + errorText(error);
        if (CError* error = root->setAttr(CString("height"), CString(std::to_string(o.height).c_str()), true))
            return "cannot set the height: " + errorText(error);
    }
    session.runFrames(kSettleFrames * kFramePeriod);
    if (!o.popup.empty()) {
        auto* view = dynamic_cast<CView*>(root->findObject(CString(("." + o.popup).c_str())));
        if (view == nullptr)
            return "no view '" + o.popup + "' in the main window";
        CAttrMap args;
        args.findOrAdd("popup-tag")->value.setText(view->getTextAttr("popup-tag"));
        if (CError* error = view->runEvent(CString("popup-toggle"), &args))
            return "cannot open the popup of '" + o.popup + "': " + errorText(error);
        session.runFrames(kSettleFrames * kFramePeriod);
    }
    const CWindowBackend::WindowId mainId = main->windowId();
    for (const EventScriptStep& step : steps) {
        switch (step.kind) {
        case EventScriptStep::Kind::Events:
            for (const CNativeEvent& e : step.events)
                session.backend().injectEvent(mainId, e);
            session.runFrames(kFramePeriod);
            break;
        case EventScriptStep::Kind::Wait:
            if (step.seconds > 0.0)
                session.runFrames(step.seconds);
            break;
        case EventScriptStep::Kind::Shot:
            session.runFrames(kFramePeriod);
            if (std::string error = writeShot(session.backend(), mainId, step.file); !error.empty())
                return error;
            break;
        }
    }
    session.runFrames(kSettleFrames * kFramePeriod);
    return writeShot(session.backend(), mainId, o.out);
}

} // namespace

int runShot(std::span<const char* const> args) {
    ShotOptions options;
    if (std::string error = parseOptions(args, options); !error.empty())
        return fail(error + "\nusage: shot OUT.png [--description FILE] [--size WxH] [--scale S] [--set NAME=TEXT]... "
                            "[--events FILE] [--popup VIEW]");
    // The editor's application data goes to a scratch folder: a shot neither reads nor changes the
    // user's settings.
    char scratch[] = "/tmp/delmaro-shot-XXXXXX";
    if (mkdtemp(scratch) == nullptr)
        return fail("cannot make a scratch folder");
    CSystem::setUserPreferencesFolderForTest(CString(scratch));
    const std::string error = takeShot(options);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    return error.empty() ? 0 : fail(error);
}

} // namespace delmaro_tool
