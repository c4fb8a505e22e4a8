#pragma once
#include "Platform/CNativeEvent.h"
#include "Platform/CWindowBackend.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tal {

// A window backend without a window system: every window is a pixel buffer in memory on a virtual
// screen (1920 x 1080 points at scale 1 unless set otherwise). Tests and tools inject input events,
// which wait, like the paints that redraw requests cause, until processEvents delivers them.
// Showing a window and changing its size or scale asks for a paint of the whole window, as an
// expose would. Owned by the test or tool that makes it; main thread only.
class CHeadlessWindowBackend final : public CWindowBackend {
public:
    struct Window {
        WindowParams params;
        CNativeWindowSink* sink = nullptr;   // not owned
        bool visible = false;
        std::string title;
        Cursor cursor = Cursor::Arrow;
        std::int32_t pixelWidth = 0, pixelHeight = 0;
        std::vector<std::uint8_t> pixels;    // R, G, B, X rows of pixelWidth x 4 bytes
        double damageX = 0.0, damageY = 0.0, damageWidth = 0.0, damageHeight = 0.0;   // points
        int presentCount = 0;                // present calls since creation
    };

    CHeadlessWindowBackend() = default;
    ~CHeadlessWindowBackend() override;

    // --- CWindowBackend ---
    [[nodiscard]] CError* createWindow(const WindowParams& params, CNativeWindowSink* sink, WindowId& id) override;
    void destroyWindow(WindowId id) override;
    void setFrame(WindowId id, double x, double y, double width, double height) override;
    void setScale(WindowId id, double scale) override;
    void setVisible(WindowId id, bool visible) override;
    void setTitle(WindowId id, const char* utf8Title) override;
    void requestRedraw(WindowId id, double x, double y, double width, double height) override;
    void present(WindowId id, const std::uint8_t* pixels, std::int32_t stride, std::int32_t srcX, std::int32_t srcY,
                 std::int32_t width, std::int32_t height, std::int32_t dstX, std::int32_t dstY) override;
    void setCursor(WindowId id, Cursor cursor) override;
    void setCursorHidden(bool hidden) override { mCursorHidden = hidden; }
    void pointerPosition(double& x, double& y) override;
    void warpPointer(double screenX, double screenY) override;
    void screenRect(double pointX, double pointY, double& x, double& y, double& width, double& height) override;
    double screenScale() override { return mScreenScale; }
    std::vector<Screen> screens() override { return mScreens; }
    void windowOrigin(WindowId id, double& x, double& y) override;
    int processEvents() override;

    // --- the virtual screen and input (tests, tools) ---
    // One screen of that size at (0, 0), all of it visible.
    void setScreenSize(double width, double height);
    // Several screens, the main one first (at least one).
    void setScreens(std::vector<Screen> screens);
    void setScreenScale(double scale) noexcept override {
        if (scale >= 0.5 && scale <= 8.0)
            mScreenScale = scale;
    }
    // Queues an event for the window; a MouseMove also moves the pointer to the event's position.
    // Unknown ids are ignored.
    void injectEvent(WindowId id, const CNativeEvent& event);
    // The number of events (input and paints) waiting for processEvents.
    int pendingEventCount() const noexcept;

    // --- queries ---
    const Window* window(WindowId id) const;
    // The ids of the live windows in creation order.
    std::vector<WindowId> windowIds() const;
    bool cursorHidden() const noexcept { return mCursorHidden; }

private:
    void damageAll(Window& w);
    void resizePixels(Window& w);

    std::map<WindowId, Window> mWindows;                     // by id, which is creation order
    std::vector<std::pair<WindowId, CNativeEvent>> mQueue;  // injected input, oldest first
    WindowId mNextId = 1;
    std::vector<Screen> mScreens{Screen{0, 0, 1920, 1080, 0, 0, 1920, 1080}};
    double mScreenScale = 1.0;
    double mPointerX = 0.0, mPointerY = 0.0;
    bool mCursorHidden = false;
};

} // namespace tal
