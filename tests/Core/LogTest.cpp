#include "Core/Log.h"

#include "Core/CError.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tal;

namespace {
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

TEST(Log, LogErrorWritesEveryLineToTheSink) {
    CLogCapture capture;
    CError* e = makeError(nullptr, CString("Core/CFile"), 12, CString("a.b"), CString("@id Broken %1."), CString("x"));
    (void)makeError(e, CString("Core/CObject"), 3, CString(), CString());
    logError(e);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Broken x.", "Core/CFile( 12 ) // a.b", "Core/CObject( 3 )"}));
    reportError(&e);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(capture.lines().size(), 6u);
    reportError(&e);   // null: nothing
    EXPECT_EQ(capture.lines().size(), 6u);
}

TEST(Log, LinesAreNarrowedAndCutTo1023Bytes) {
    CLogCapture capture;
    CString wide("ab");
    wide.widen(2);
    wide.chars32()[0] = 0x141;
    CError* e = makeError(nullptr, CString(std::string(2000, 'p').c_str()), 1, CString(), wide);
    logError(e);
    delete e;
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Ab");
    EXPECT_EQ(lines[1].size(), 1023u);
}

TEST(Log, NoSinkAndNoFileWritesNothing) {
    CLogCapture capture;
    {
        CLogCapture inner;   // replaces the outer sink while it lives
        writeLog("to inner", true);
        EXPECT_EQ(inner.lines().size(), 1u);
    }
    EXPECT_TRUE(capture.lines().empty());
    writeLog("to outer", true);
    EXPECT_EQ(capture.lines().size(), 1u);
    EXPECT_FALSE(isLogFileConfigured());
}

TEST(Log, FileIsTruncatedByTheFirstWriteThenAppended) {
    const std::string path = ::testing::TempDir() + "tal_log_test_" + std::to_string(::getpid()) + ".txt";
    {
        std::ofstream old(path);
        old << "stale contents\n";
    }
    setLogFilePath(path.c_str());
    writeLog("first", true);
    writeLog("second", false);
    writeLog("", true);
    EXPECT_EQ(readFile(path), "first\nsecond\n");
    clearLog();
    writeLog("after clear", true);
    EXPECT_EQ(readFile(path), "after clear\n");
    setLogFilePath(nullptr);
    writeLog("not written", true);
    EXPECT_EQ(readFile(path), "after clear\n");
    std::remove(path.c_str());
}

TEST(Log, FetchErrorTextAndJoinErrorLines) {
    CString out("old");
    EXPECT_FALSE(fetchErrorText(nullptr, out, true));
    EXPECT_TRUE(out.isEmpty());
    CError* e = makeError(nullptr, CString("P"), 1, CString(), CString("msg"));
    EXPECT_STREQ(joinErrorLines(e).chars8(), "msg\nP( 1 )\n");
    EXPECT_TRUE(fetchErrorText(e, out, false));
    EXPECT_STREQ(out.chars8(), "msg\n");
}

TEST(Log, ConcurrentWritersReachTheSinkWhileItIsSwapped) {
    CLogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i)
                writeLog("line", true);
        });
    for (int i = 0; i < 50; ++i) {
        CLogCapture swapped;   // registering and removing a sink while others write
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_LE(capture.lines().size(), 2000u);
    EXPECT_GT(capture.lines().size(), 0u);
}
