// The window renderer's input routing on the headless backend: injected sequences and the view events
// they give, keys and their mapping, the key-focus holder, the pointer services.
#include "UI/CWindowRenderer.h"

#include "Core/CCreatorRegistry.h"
#include "Platform/CNativeEvent.h"
#include "UI/CHIDInfoUpdateHandler.h"
#include "UI/CInputState.h"
#include "UI/KeyFocusHolder.h"
#include "support/RendererTestTree.h"
#include "support/StreamTestHelpers.h"
#include "support/WindowTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

std::vector<std::string>* gJournal = nullptr;

// "test:input-view": a rect view that writes every input event it receives to the journal as
// "<name> <event>" plus the parameters that matter for the event.
class CInputRecordingView : public CRectTestView {
public:
    CError* onMousePress(CAttrMap& a) override { return note("mouse-press", a, true); }
    CError* onMousePressR(CAttrMap& a) override { return note("mouse-press-r", a, false); }
    CError* onMouseRelease(CAttrMap& a) override { return note("mouse-release", a, false); }
    CError* onMouseReleaseR(CAttrMap& a) override { return note("mouse-release-r", a, false); }
    CError* onMouseXbuttonPress(CAttrMap& a) override { return note("mouse-xbutton-press", a, false); }
    CError* onMouseXbuttonRelease(CAttrMap& a) override { return note("mouse-xbutton-release", a, false); }
    CError* onMouseCancel() override { return plain("mouse-cancel"); }
    CError* onMouseCancelR() override { return plain("mouse-cancel-r"); }
    CError* onMouseMove(CAttrMap& a) override { return note("mouse-move", a, false); }
    CError* onMouseWheel(CAttrMap& a) override {
        return add("mouse-wheel delta=" + std::to_string(a.findValue("delta")->asInt()));
    }
    CError* onKeyPress(CAttrMap& a) override { return key("key-press", a); }
    CError* onKeyRelease(CAttrMap& a) override { return key("key-release", a); }
    CError* onCloseWindow() override { return plain("close-window"); }

    static bool withPositions;   // press events also note "x" and "y"

private:
    CError* add(const std::string& text) {
        if (gJournal != nullptr)
            gJournal->push_back(getShortName().narrowed().chars8() + std::string(" ") + text);
        return nullptr;
    }
    CError* plain(const char* event) { return add(event); }
    CError* note(const char* event, CAttrMap& a, bool press) {
        std::string text = event;
        if (press && withPositions) {
            char xy[64];
            std::snprintf(xy, sizeof xy, " x=%g y=%g", a.findValue("x")->asReal(), a.findValue("y")->asReal());
            text += xy;
        }
        return add(text);
    }
    CError* key(const char* event, CAttrMap& a) {
        char line[96];
        std::snprintf(line, sizeof line, "%s 0x%X ctrl=%d shift=%d", event, unsigned(a.findValue("keycode")->asInt()),
                      a.findValue("is-ctrl")->asInt(), a.findValue("is-shift")->asInt());
        return add(line);
    }
};
bool CInputRecordingView::withPositions = false;

// One native or renderer event of a sequence, at window points of the main window (or of the popup
// for the steps marked so).
struct Step {
    enum Kind { Move, Press, Release, Wheel, SimulatedRightPress } kind;
    int button;     // 0 left, 1 right
    double x, y;
    double delta = 0.0;
    bool inPopup = false;
};

class CWindowRendererInputTest : public CRendererTestTree {
protected:
    void SetUp() override {
        CRendererTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:input-view", [] { return static_cast<CObject*>(new CInputRecordingView); }, &CView::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(table);
            return true;
        }();
        ASSERT_TRUE(registered);
        sharedData->useWindows = true;
        gJournal = &events;
        // A popup's position timer is made from the template its renderer's "timer-tag" names.
        CObject* placeholder = nullptr;
        ASSERT_EQ(takeMessage(ui->root()->addChild(placeholder, CString("template"), CString("ui:update-timer"), false)), "");
        placeholder->setTemplateBody(new CAttrTemplateBody("ui:update-timer", {{"fps", "40"}}));
        ui->root()->addTemplate(CString("ui:update-timer"), placeholder);
        CInputRecordingView::withPositions = false;
    }
    void TearDown() override {
        gJournal = nullptr;
        CRendererTestTree::TearDown();
    }

    CView* recordingView(CObject* parent, const char* name, int x, int y, int w, int h,
                         std::vector<std::pair<const char*, const char*>> more = {}) {
        const std::string border = "L" + std::to_string(x) + " T" + std::to_string(y);
        const std::string ws = std::to_string(w), hs = std::to_string(h);
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"placement", "overlay"}, {"outer-border", border.c_str()}, {"width", ws.c_str()},
            {"height", hs.c_str()}, {"fill", "606060"}};
        attrs.insert(attrs.end(), more.begin(), more.end());
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(parent->addChild(object, CString("test:input-view"), CString(name), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "") << key;
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return static_cast<CView*>(object);
    }

    // The main window (300 x 200 points at scale): A, B (plain), C (intercepting), D (a drop-down
    // opener, optionally with its drop-down behaviour disabled) and F (focusable) on an empty root.
    void buildMain(double scale = 1.0, bool dropDownDisabled = false) {
        beginRoot(300, 200, scale);
        a = recordingView(root, "A", 10, 10, 50, 50);
        recordingView(a, "E", 5, 5, 20, 20);
        b = recordingView(root, "B", 100, 10, 50, 50);
        c = recordingView(root, "C", 10, 100, 50, 50, {{"is-intercepting", "true"}});
        d = recordingView(root, "D", 200, 10, 60, 30,
                          {{"is-drop-down-behavior-disabled", dropDownDisabled ? "true" : "false"}});
        f = recordingView(root, "F", 100, 100, 50, 50, {{"is-focusable", "true"}});
        openWindow();
        events.clear();
    }

    // A popup window (120 x 80 points at screen (40, 700)) opened from D, with an item view.
    void openPopup() {
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(ui->addChild(object, CString("test:input-view"), CString("popup"), false)), "");
        popupRoot = static_cast<CView*>(object);
        for (const auto& [key, value] : std::vector<std::pair<const char*, std::string>>{
                 {"is-root-view", "true"}, {"width", "120"}, {"height", "80"}, {"fill", "202020"},
                 {"is-popup-window", "true"}, {"window-alignment", "bottom"}, {"window-x", "40"}, {"window-y", "700"},
                 {"opener", d->getFullName().narrowed().chars8()}})
            ASSERT_EQ(takeMessage(popupRoot->setAttr(CString(key), CString(value.c_str()), false)), "");
        ASSERT_EQ(takeMessage(popupRoot->init()), "");
        ASSERT_EQ(takeMessage(popupRoot->createChilds()), "");
        CObject* r = nullptr;
        ASSERT_EQ(takeMessage(popupRoot->addChild(r, CString("ui:window-renderer"), CString("window-renderer"), false)), "");
        popupRenderer = static_cast<CWindowRenderer*>(r);
        ASSERT_EQ(takeMessage(r->setAttr(CString("timer-tag"), CString("ui:update-timer"), false)), "");
        ASSERT_EQ(takeMessage(r->init()), "");
        ASSERT_EQ(takeMessage(r->createChilds()), "");
        CAttrMap renderAttrs, posAttrs;
        renderAttrs.findOrAdd("fps")->value.setText(CString("40"));
        posAttrs.findOrAdd("interval")->value.setText(CString("0.3"));
        CObject* timer = nullptr;
        ASSERT_EQ(takeMessage(r->createChild(timer, CString("ui:update-timer"), CString("render-timer"), false,
                                             &renderAttrs, nullptr)), "");
        ASSERT_EQ(takeMessage(r->createChild(timer, CString("ui:interval-timer"), CString("update-actual-pos-timer"),
                                             false, &posAttrs, nullptr)), "");
        ASSERT_EQ(takeMessage(r->createChild(timer, CString("ui:update-timer"), CString("deactivate-timer"), false,
                                             &renderAttrs, nullptr)), "");
        ASSERT_EQ(takeMessage(r->initChilds()), "");
        item = recordingView(popupRoot, "item", 10, 10, 100, 30, {{"is-focusable", "true"}});
        ASSERT_EQ(takeMessage(popupRoot->initChilds()), "");
        ASSERT_TRUE(popupRenderer->isOpened());
        backend.processEvents();
        events.clear();
    }

    void run(const Step& s) {
        CWindowRenderer* window = s.inPopup ? popupRenderer : static_cast<CWindowRenderer*>(paintRenderer);
        if (s.kind == Step::SimulatedRightPress) {
            // What a Control-click is where the window system reports it as a right press.
            double ox = 0, oy = 0, w = 0, h = 0;
            window->getWindowRect(ox, oy, w, h);
            CAttrMap args;
            args.findOrAdd("button")->value.setInt('R');
            args.findOrAdd("is-button-down")->value.setInt(1);
            args.findOrAdd("is-right-click-simulated")->value.setInt(1);
            args.findOrAdd("x")->value.setReal(ox + s.x);
            args.findOrAdd("y")->value.setReal(oy + s.y);
            EXPECT_EQ(takeMessage(window->runEvent(CString("mouse-button"), &args)), "");
            return;
        }
        CNativeEvent e;
        e.x = s.x;
        e.y = s.y;
        switch (s.kind) {
        case Step::Move: e.type = CNativeEvent::Type::MouseMove; break;
        case Step::Press:
        case Step::Release:
            e.type = CNativeEvent::Type::MouseButton;
            e.button = s.button;
            e.down = s.kind == Step::Press;
            break;
        case Step::Wheel:
            e.type = CNativeEvent::Type::MouseWheel;
            e.delta = s.delta;
            break;
        default: break;
        }
        backend.injectEvent(window->windowId(), e);
        backend.processEvents();
    }

    std::vector<std::string> events;
    CView *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr, *f = nullptr;
    CView* popupRoot = nullptr;
    CView* item = nullptr;
    CWindowRenderer* popupRenderer = nullptr;
};

Step move(double x, double y) { return {Step::Move, 0, x, y}; }
Step press(int button, double x, double y) { return {Step::Press, button, x, y}; }
Step release(int button, double x, double y) { return {Step::Release, button, x, y}; }
// The same step in the popup's window (its points).
Step inPopup(Step s) {
    s.inPopup = true;
    return s;
}

TEST_F(CWindowRendererInputTest, MouseSequencesGiveTheirViewEvents) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> expected;
    };
    // A at (10..60, 10..60) with E at (15..35, 15..35) in it, B at (100..150, 10..60), C (intercepting) at (10..60, 100..150); the
    // root has no drawing, so (280, 180) is on no view.
    const Case cases[] = {
        {"a Control-click (a simulated right press, released as left) is a right click",
         {{Step::SimulatedRightPress, 0, 50, 50}, release(0, 50, 50)},
         {"A mouse-press-r", "A mouse-release-r"}},
        {"a right press while the left is held is ignored, and so is its release",
         {press(0, 50, 50), press(1, 50, 50), release(1, 50, 50), release(0, 50, 50)},
         {"A mouse-press", "A mouse-release"}},
        {"press A, move, release over B: A is cancelled, B gets no button event",
         {press(0, 50, 50), move(120, 30), release(0, 120, 30)},
         {"A mouse-press", "B mouse-move", "A mouse-cancel"}},
        {"a right press cancelled elsewhere is cancelled as right",
         {press(1, 50, 50), release(1, 120, 30)},
         {"A mouse-press-r", "A mouse-cancel-r"}},
        {"an intercepting view gets the moves and the release anywhere",
         {press(0, 30, 120), move(120, 30), move(280, 180), release(0, 120, 30)},
         {"C mouse-press", "C mouse-move", "C mouse-move", "C mouse-release"}},
        {"a wheel step of -3 arrives as -1, of 2 as +1",
         {{Step::Wheel, 0, 50, 50, -3.0}, {Step::Wheel, 0, 120, 30, 2.0}},
         {"A mouse-wheel delta=-1", "B mouse-wheel delta=1"}},
        {"a release without a press goes nowhere", {release(0, 50, 50)}, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        buildMain();
        for (const Step& s : k.steps)
            run(s);
        EXPECT_EQ(events, k.expected);
        EXPECT_EQ(sharedData->pressState().button, '?');
        EXPECT_TRUE(sharedData->pressState().capturePath.isEmpty());
        root->release();
        root = nullptr;
        backend.processEvents();
    }
}

TEST_F(CWindowRendererInputTest, WithAPopupOpenPressesElsewhereCloseItAndTheOpenersReleaseIsSwallowed) {
    struct Case {
        const char* name;
        bool dropDownDisabled;
        std::vector<Step> before;   // before the popup opens
        std::vector<Step> after;    // while it is open
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a press on empty space only closes the popup", false, {}, {press(0, 280, 180), release(0, 280, 180)},
         {"popup close-window"}},
        {"a press on another view closes the popup and presses the view", false, {},
         {press(0, 120, 30), release(0, 120, 30)},
         {"popup close-window", "B mouse-press", "B mouse-release"}},
        {"the release of the click that opened the drop-down is swallowed", false, {press(0, 220, 20)},
         {release(0, 220, 20)}, {"D mouse-press"}},
        {"unless the opener disables the drop-down behaviour", true, {press(0, 220, 20)}, {release(0, 220, 20)},
         {"D mouse-press", "D mouse-release"}},
        {"a drag from the opener released on the list reaches the list item, the opener is not cancelled", false,
         {press(0, 220, 20)}, {inPopup(release(0, 20, 20))}, {"D mouse-press", "item mouse-release"}},
        {"a click inside the popup goes to its view and closes nothing", false, {},
         {inPopup(press(0, 20, 20)), inPopup(release(0, 20, 20))}, {"item mouse-press", "item mouse-release"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        buildMain(1.0, k.dropDownDisabled);
        for (const Step& s : k.before)
            run(s);
        const std::vector<std::string> before = events;
        openPopup();
        events = before;
        for (const Step& s : k.after)
            run(s);
        EXPECT_EQ(events, k.expected);
        popupRoot->release();
        root->release();
        root = nullptr;
        backend.processEvents();
    }
}

TEST_F(CWindowRendererInputTest, ViewPositionsAreWindowPixelsFromTheClipOrigin) {
    CInputRecordingView::withPositions = true;
    struct Row {
        double visualScale, pixelScale;   // the editor's zoom, the screen's pixels per point
    };
    for (const Row& r : {Row{1, 1}, Row{2, 1}, Row{1, 2}, Row{2, 2}}) {
        SCOPED_TRACE(testing::Message() << r.visualScale << " x " << r.pixelScale);
        backend.setScreenScale(r.pixelScale);
        buildMain(r.visualScale);
        // A layout point (25, 21.5) inside E, whose clip starts at (15, 15) layout points, is at
        // window points layout x zoom; the view gets (mouse - actual position) x pixel scale - clip
        // origin in window pixels.
        const double lx = 25.0, ly = 21.5;
        const double wx = lx * r.visualScale, wy = ly * r.visualScale;
        run(press(0, wx, wy));
        run(release(0, wx, wy));
        char expected[64];
        const double clip = 15.0 * r.visualScale * r.pixelScale;
        std::snprintf(expected, sizeof expected, "E mouse-press x=%g y=%g", wx * r.pixelScale - clip,
                      wy * r.pixelScale - clip);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.front(), expected);
        root->release();
        root = nullptr;
        backend.processEvents();
        events.clear();
    }
}

TEST_F(CWindowRendererInputTest, KeysGoToTheFocusedViewMappedWithControlAndShift) {
    buildMain();
    // Nothing has the keys before a click gives a view the focus.
    CNativeEvent key;
    key.type = CNativeEvent::Type::KeyPress;
    key.keycode = 'z';
    key.modifiers = CNativeEvent::kCtrl;
    backend.injectEvent(paintRenderer->windowId(), key);
    backend.processEvents();
    EXPECT_TRUE(events.empty());
    run(press(0, 120, 120));
    run(release(0, 120, 120));
    EXPECT_EQ(getKeyFocusWindow(), paintRenderer);
    EXPECT_EQ(backend.focusWindow(), paintRenderer->windowId());
    events.clear();
    struct Row {
        int code;
        std::uint32_t modifiers;
        const char* expected;   // null: dropped
    };
    const Row rows[] = {
        {'z', CNativeEvent::kCtrl, "F key-press 0xE018 ctrl=1 shift=0"},
        {'Z', CNativeEvent::kCtrl | CNativeEvent::kShift, "F key-press 0xE019 ctrl=1 shift=1"},
        {'y', CNativeEvent::kCtrl, "F key-press 0xE019 ctrl=1 shift=0"},
        {0xE002, CNativeEvent::kShift, "F key-press 0xE017 ctrl=0 shift=1"},
        {0xE002, CNativeEvent::kCtrl, "F key-press 0xE016 ctrl=1 shift=0"},
        {'a', CNativeEvent::kCtrl, "F key-press 0xE014 ctrl=1 shift=0"},
        {0xE00B, CNativeEvent::kCtrl, "F key-press 0xE00B ctrl=1 shift=0"},
        {'q', 0, "F key-press 0x71 ctrl=0 shift=0"},
        {0xE00D, CNativeEvent::kCtrl, nullptr},   // Ctrl+Up
        {'q', CNativeEvent::kCtrl, nullptr},
        {0xE00F, 0, nullptr},
        {0xE010, CNativeEvent::kShift, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.code);
        events.clear();
        key.keycode = r.code;
        key.modifiers = r.modifiers;
        backend.injectEvent(paintRenderer->windowId(), key);
        backend.processEvents();
        EXPECT_EQ(events, r.expected ? std::vector<std::string>{r.expected} : std::vector<std::string>{});
    }
    // A blocked window takes no keys.
    events.clear();
    ASSERT_EQ(takeMessage(paintRenderer->setIntAttr(CString("is-blocked"), 1, true)), "");
    key.keycode = 'q';
    key.modifiers = 0;
    backend.injectEvent(paintRenderer->windowId(), key);
    backend.processEvents();
    EXPECT_TRUE(events.empty());
}

TEST_F(CWindowRendererInputTest, TheKeyFocusHolderIsReleasedWhenItsRendererGoes) {
    buildMain();
    setKeyFocusWindow(paintRenderer);
    setKeyFocusWindow(paintRenderer);   // the same window again changes nothing
    EXPECT_EQ(getKeyFocusWindow(), paintRenderer);
    openPopup();
    releaseKeyFocusWindow(popupRenderer);   // not the holder: nothing
    EXPECT_EQ(getKeyFocusWindow(), paintRenderer);
    setKeyFocusWindow(popupRenderer);
    EXPECT_EQ(getKeyFocusWindow(), popupRenderer);
    setKeyFocusWindow(paintRenderer);
    popupRoot->release();
    EXPECT_EQ(getKeyFocusWindow(), paintRenderer);
    root->release();   // the renderer goes with its root view
    root = nullptr;
    EXPECT_EQ(getKeyFocusWindow(), nullptr);
}

TEST_F(CWindowRendererInputTest, OpeningAndClosingPopupsManyTimesLeavesNoHolderOfAClosedWindow) {
    buildMain();
    run(press(0, 120, 120));   // F takes the focus in the main window
    run(release(0, 120, 120));
    for (int i = 0; i < 200; ++i) {
        openPopup();
        // A click on the list's item moves the keys to the popup; a press outside asks it to close.
        run(inPopup(press(0, 20, 20)));
        run(inPopup(release(0, 20, 20)));
        ASSERT_EQ(getKeyFocusWindow(), popupRenderer) << i;
        run(press(0, 280, 180));
        run(release(0, 280, 180));
        run(move(i % 2 == 0 ? 120 : 50, 30));
        popupRoot->release();
        backend.processEvents();
        ASSERT_NE(getKeyFocusWindow(), popupRenderer) << i;
        ASSERT_EQ(sharedData->getPopup(), nullptr) << i;
    }
    EXPECT_EQ(sharedData->pressState().button, '?');
    root->release();
    root = nullptr;
    EXPECT_EQ(getKeyFocusWindow(), nullptr);
}

// Counts the position updates the window gives the active drags.
struct CountingDrag final : CHIDInfoUpdateHandler {
    void onMouseUpdate() override { ++updates; }
    int updates = 0;
};

TEST_F(CWindowRendererInputTest, MovingThePointerWarpsItAndTellsTheDrags) {
    buildMain();
    CountingDrag drag;
    sharedData->inputState().activeDrags.add(&drag);
    CAttrMap args;
    args.findOrAdd("x")->value.setReal(321.5);
    args.findOrAdd("y")->value.setReal(123.0);
    ASSERT_EQ(takeMessage(paintRenderer->runEvent(CString("move-mouse-cursor"), &args)), "");
    ASSERT_EQ(backend.warps().size(), 1u);
    EXPECT_EQ(backend.warps()[0], std::make_pair(321.5, 123.0));
    EXPECT_EQ(drag.updates, 1);
    EXPECT_EQ(sharedData->inputState().mouseX, 321.5);
    EXPECT_EQ(sharedData->inputState().dragMouseY, 123.0);
    sharedData->inputState().activeDrags.clear();
}

TEST_F(CWindowRendererInputTest, ThePointerWrapsAroundNearTheScreenEdges) {
    buildMain();
    backend.setScreenSize(1440, 900);
    struct Row {
        double x, y;
        bool wraps;
        double toX, toY;
    };
    // Bands of 70 points: the right band lands 70 points inside the left edge and so on.
    const Row rows[] = {
        {1430, 400, true, 130, 400},   // 1430 - (1440 - 140)
        {10, 400, true, 1310, 400},    // 10 + 1440 - 140
        {700, 880, true, 700, 120},    // 880 - (900 - 140)
        {700, 20, true, 700, 780},
        {700, 400, false, 0, 0},
        {1500, 400, false, 0, 0},      // on no screen
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y);
        const std::size_t before = backend.warps().size();
        sharedData->inputState().mouseX = r.x;
        sharedData->inputState().mouseY = r.y;
        ASSERT_EQ(takeMessage(paintRenderer->runEvent(CString("wrap-around-mouse-cursor"))), "");
        ASSERT_EQ(backend.warps().size(), before + (r.wraps ? 1 : 0));
        if (r.wraps) {
            EXPECT_EQ(backend.warps().back(), std::make_pair(r.toX, r.toY));
        }
    }
}

TEST_F(CWindowRendererInputTest, TheInputStateReadsEventsAndTheSystem) {
    CInputState input;
    CAttrMap args;
    args.findOrAdd("x")->value.setText(CString("12.5"));
    args.findOrAdd("y")->value.setReal(7.0);
    args.findOrAdd("is-button-l")->value.setInt(1);
    args.findOrAdd("is-ctrl")->value.setText(CString("true"));
    input.setFromEvent(args, false);
    EXPECT_EQ(input.mouseX, 12.5);
    EXPECT_EQ(input.dragMouseY, 7.0);
    EXPECT_TRUE(input.buttonL && input.ctrl);
    EXPECT_FALSE(input.buttonR || input.alt || input.shift);
    args.findOrAdd("x")->value.setReal(1.0);
    args.findOrAdd("is-ctrl")->value.setInt(0);
    input.setFromEvent(args, true);   // position only: the modifiers stay
    EXPECT_EQ(input.mouseX, 1.0);
    EXPECT_TRUE(input.ctrl);
    backend.setPointerState(CNativeEvent::kAlt | CNativeEvent::kRightButton);
    backend.warpPointer(50, 60);
    input.readSystemState(false, false);
    EXPECT_TRUE(input.alt && input.buttonR);
    EXPECT_FALSE(input.ctrl || input.buttonL);
    EXPECT_EQ(input.mouseX, 1.0);   // the position was not asked for
    input.readSystemState(true, true);
    EXPECT_EQ(input.mouseX, 50.0);
    EXPECT_EQ(input.dragMouseX, 50.0);
}

TEST_F(CWindowRendererInputTest, AHostWheelStepIsRoutedAtThePointer) {
    buildMain();
    double ox = 0, oy = 0, w = 0, h = 0;
    paintRenderer->getWindowRect(ox, oy, w, h);
    sharedData->inputState().mouseX = ox + 120;
    sharedData->inputState().mouseY = oy + 30;
    EXPECT_TRUE(paintRenderer->onHostWheel(true));
    EXPECT_TRUE(paintRenderer->onHostWheel(false));
    EXPECT_EQ(events, (std::vector<std::string>{"B mouse-wheel delta=-1", "B mouse-wheel delta=1"}));
}

} // namespace
} // namespace tal
