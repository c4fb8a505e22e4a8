#include "Platform/ClipboardText.h"

#include "Core/CString.h"
#include "Platform/CEditorPlatformServices.h"
#include "support/CTestRunLoop.h"
#include "support/X11TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace tal;

namespace {

// An open editor's services on the test server, and another client on its own connection.
struct ClipboardTextHarness {
    CTestRunLoop loop;
    CEditorPlatformServices* services = nullptr;
    CX11ClipboardClient other;
    explicit ClipboardTextHarness(const std::string& display) {
        setenv("DISPLAY", display.c_str(), 1);
        std::string error;
        services = CEditorPlatformServices::acquire(&loop, error);
        EXPECT_NE(services, nullptr) << error;
        EXPECT_TRUE(other.open(display));
    }
    ~ClipboardTextHarness() {
        other.stopServing();
        if (services)
            CEditorPlatformServices::release();
    }
};

} // namespace

// Framework text travels as UTF-8 without a terminating zero, and comes back as the same text.
TEST(ClipboardText, FrameworkTextTravelsAsUtf8BetweenConnections) {
    TAL_REQUIRE_XVFB(display);
    ClipboardTextHarness h(display);
    ASSERT_NE(h.services, nullptr);
    CString eightBit;
    eightBit.appendChar(char(246));
    setClipboardText(eightBit);
    // The other client reads on a thread of its own; ours answers from the host's run loop here.
    std::string bytes;
    std::atomic<bool> read{false}, readOk{false};
    std::thread reader([&] {
        readOk = h.other.clipboard.getText(bytes, 20000);
        read = true;
    });
    for (int turn = 0; turn < 400 && !read; ++turn)
        h.loop.dispatchFds(50);
    reader.join();
    ASSERT_TRUE(readOk);
    EXPECT_EQ(bytes, "\xC3\xB6");
    // Offered by the other client, read by ours.
    struct Row { std::string offered; std::string expected; };
    for (const Row& r : {Row{"\xC3\xB6", "\xF6"}, Row{std::string("A\xFF" "B"), "AB"}, Row{"A\xE2\x82", "A"},
                         Row{std::string("A\0B", 3), "A"}}) {
        SCOPED_TRACE(r.expected);
        ASSERT_TRUE(h.other.clipboard.setText(r.offered));
        h.other.startServing();
        CString got;
        getClipboardText(got);
        h.other.stopServing();
        EXPECT_FALSE(got.isWide());
        EXPECT_EQ(std::string(got.chars8(), std::size_t(got.length())), r.expected);
    }
}

// Without an open editor the clipboard is the process's own.
TEST(ClipboardText, WithoutAnEditorTheProcessKeepsTheText) {
    ASSERT_EQ(CEditorPlatformServices::current(), nullptr);
    CString text;
    text.setUTF8("Gain \xE2\x82\xAC");
    setClipboardText(text);
    CString got;
    getClipboardText(got);
    EXPECT_TRUE(got.isWide());
    ASSERT_EQ(got.length(), text.length());
    for (int i = 0; i < got.length(); ++i)
        EXPECT_EQ(got.charAt(i), text.charAt(i)) << i;
}
