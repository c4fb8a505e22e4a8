#include "Platform/CHeadlessWindowBackend.h"

#include "Core/CError.h"
#include "Platform/CNativeWindowSink.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tal;

namespace {

// Keeps every event it gets; optionally destroys a window when it gets its first event.
struct HeadlessSinkLog : CNativeWindowSink {
    std::vector<CNativeEvent> events;
    CWindowBackend* backend = nullptr;
    CWindowBackend::WindowId destroyOnEvent = 0;
    void onNativeEvent(const CNativeEvent& event) override {
        events.push_back(event);
        if (destroyOnEvent != 0) {
            backend->destroyWindow(destroyOnEvent);
            destroyOnEvent = 0;
        }
    }
};

CWindowBackend::WindowId makeHeadlessWindow(CHeadlessWindowBackend& backend, HeadlessSinkLog& sink, double w, double h,
                                            double scale) {
    CWindowBackend::WindowParams params;
    params.width = w;
    params.height = h;
    params.scale = scale;
    CWindowBackend::WindowId id = 0;
    CError* error = backend.createWindow(params, &sink, id);
    EXPECT_EQ(error, nullptr);
    delete error;
    EXPECT_NE(id, 0u);
    return id;
}

} // namespace

TEST(CHeadlessWindowBackend, PixelBufferFollowsSizeAndScale) {
    CHeadlessWindowBackend backend;
    HeadlessSinkLog sink;
    const auto id = makeHeadlessWindow(backend, sink, 395, 250, 2.0);
    ASSERT_NE(backend.window(id), nullptr);
    EXPECT_EQ(backend.window(id)->pixelWidth, 790);
    EXPECT_EQ(backend.window(id)->pixelHeight, 500);
    backend.setScale(id, 1.5);
    EXPECT_EQ(backend.window(id)->pixelWidth, 593);   // 592.5 rounds up
    EXPECT_EQ(backend.window(id)->pixels.size(), std::size_t(593 * 375 * 4));
}

TEST(CHeadlessWindowBackend, ShowingPaintsTheWholeWindowOnceAndRequestsMerge) {
    CHeadlessWindowBackend backend;
    HeadlessSinkLog sink;
    const auto id = makeHeadlessWindow(backend, sink, 300, 200, 1.0);
    backend.requestRedraw(id, 10, 10, 5, 5);
    EXPECT_EQ(backend.processEvents(), 0);   // hidden: nothing is painted
    backend.setVisible(id, true);
    backend.requestRedraw(id, 10, 10, 5, 5);
    EXPECT_EQ(backend.processEvents(), 1);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].type, CNativeEvent::Type::Paint);
    EXPECT_EQ(sink.events[0].width, 300);
    EXPECT_EQ(sink.events[0].height, 200);
    sink.events.clear();
    backend.requestRedraw(id, 10, 20, 5, 5);
    backend.requestRedraw(id, 40, 8, 10, 2);
    backend.requestRedraw(id, 0, 0, 0, 7);   // empty: ignored
    EXPECT_EQ(backend.processEvents(), 1);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].x, 10);
    EXPECT_EQ(sink.events[0].y, 8);
    EXPECT_EQ(sink.events[0].width, 40);
    EXPECT_EQ(sink.events[0].height, 17);
    EXPECT_EQ(backend.processEvents(), 0);
}

TEST(CHeadlessWindowBackend, PresentCopiesAndClipsToTheWindow) {
    CHeadlessWindowBackend backend;
    HeadlessSinkLog sink;
    const auto id = makeHeadlessWindow(backend, sink, 4, 3, 1.0);
    // A 3 x 2 source whose pixels carry their own coordinates.
    std::vector<std::uint8_t> source(3 * 2 * 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            source[std::size_t(y * 12 + x * 4)] = std::uint8_t(10 + x);
            source[std::size_t(y * 12 + x * 4 + 1)] = std::uint8_t(20 + y);
        }
    backend.present(id, source.data(), 12, 0, 0, 3, 2, 2, 2);   // only (0,0)-(1,0) land inside
    const auto& px = backend.window(id)->pixels;
    auto at = [&](int x, int y) { return &px[std::size_t((y * 4 + x) * 4)]; };
    EXPECT_EQ(at(2, 2)[0], 10);
    EXPECT_EQ(at(3, 2)[0], 11);
    EXPECT_EQ(at(3, 2)[1], 20);
    EXPECT_EQ(at(1, 2)[0], 0);   // untouched
    backend.present(id, source.data(), 12, 0, 0, 3, 2, -1, -1);   // source (1,1) lands at (0,0)
    EXPECT_EQ(at(0, 0)[0], 11);
    EXPECT_EQ(at(0, 0)[1], 21);
    EXPECT_EQ(backend.window(id)->presentCount, 2);
}

TEST(CHeadlessWindowBackend, InjectedEventsArriveInOrderAndMovesMoveThePointer) {
    CHeadlessWindowBackend backend;
    HeadlessSinkLog sink;
    CWindowBackend::WindowParams params;
    params.x = 100, params.y = 50, params.width = 200, params.height = 100;
    CWindowBackend::WindowId id = 0;
    ASSERT_EQ(backend.createWindow(params, &sink, id), nullptr);
    CNativeEvent move;
    move.type = CNativeEvent::Type::MouseMove;
    move.x = 7, move.y = 9;
    CNativeEvent press;
    press.type = CNativeEvent::Type::MouseButton;
    press.down = true;
    backend.injectEvent(id, move);
    backend.injectEvent(id, press);
    backend.injectEvent(id + 99, press);   // unknown window: dropped
    double px = 0, py = 0;
    backend.pointerPosition(px, py);
    EXPECT_EQ(px, 107);
    EXPECT_EQ(py, 59);
    EXPECT_EQ(backend.pendingEventCount(), 2);
    EXPECT_EQ(backend.processEvents(), 2);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].type, CNativeEvent::Type::MouseMove);
    EXPECT_EQ(sink.events[1].type, CNativeEvent::Type::MouseButton);
}

TEST(CHeadlessWindowBackend, ADestroyedWindowGetsNoQueuedEvents) {
    CHeadlessWindowBackend backend;
    HeadlessSinkLog first, second;
    first.backend = &backend;
    const auto a = makeHeadlessWindow(backend, first, 10, 10, 1.0);
    const auto b = makeHeadlessWindow(backend, second, 10, 10, 1.0);
    backend.setVisible(b, true);
    CNativeEvent exit;
    exit.type = CNativeEvent::Type::MouseExit;
    backend.injectEvent(a, exit);
    backend.injectEvent(b, exit);
    first.destroyOnEvent = b;   // the first delivery takes b away, with its event and its paint
    EXPECT_EQ(backend.processEvents(), 1);
    EXPECT_TRUE(second.events.empty());
    EXPECT_EQ(backend.window(b), nullptr);
    EXPECT_EQ(backend.windowIds(), std::vector<CWindowBackend::WindowId>{a});
}

TEST(CHeadlessWindowBackend, TheVirtualScreenIsSettable) {
    CHeadlessWindowBackend backend;
    double x = -1, y = -1, w = 0, h = 0;
    backend.screenRect(5, 5, x, y, w, h);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    backend.setScreenSize(2560, 1440);
    backend.setScreenScale(2.0);
    backend.screenRect(5, 5, x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(w, 2560);
    EXPECT_EQ(h, 1440);
    EXPECT_EQ(backend.screenScale(), 2.0);
}
