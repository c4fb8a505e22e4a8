#include "Core/CError.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

using namespace tal;

namespace {

std::string text(const CString& s) {
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out += char(s.charAt(i));
    return out;
}

struct ErrorDeleter {
    void operator()(CError* e) const { delete e; }
};
using ErrorPtr = std::unique_ptr<CError, ErrorDeleter>;

const CString kPath("Core/CThread");

} // namespace

TEST(CError, MessageIdIsStrippedAndTraceLineAppended) {
    ErrorPtr e(makeError(nullptr, kPath, 38, CString(), CString("@talstr_CThread_runThread_AlreadyRunning Thread is already running.")));
    ASSERT_EQ(e->lineCount(), 2);
    EXPECT_EQ(text(e->line(0)), "Thread is already running.");
    EXPECT_EQ(text(e->line(1)), "Core/CThread( 38 )");
}

TEST(CError, MessageLineRules) {
    struct Case { const char* message; const char* line0; };
    const Case cases[] = {
        {"@NoBlankAtAll", "@NoBlankAtAll"},
        {"@id ", ""},
        {"Plain message keeps its first word", "Plain message keeps its first word"},
        {"@id Value %1 of %2 in %3%%", "Value a of b in c%"},
        {"@id %7 and %x vanish; end %", " and  vanish; end "},
        {"@id five: %5, nine: %9.", "five: e, nine: ."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ErrorPtr e(makeError(nullptr, kPath, 1, CString(), CString(c.message), CString("a"), CString("b"),
                             CString("c"), CString("d"), CString("e")));
        EXPECT_EQ(text(e->line(0)), c.line0);
    }
}

TEST(CError, PassingOnAddsOnlyATraceLineWithObjectName) {
    CError* e = makeError(nullptr, kPath, 5, CString(), CString());
    ASSERT_EQ(e->lineCount(), 2);
    EXPECT_EQ(text(e->line(0)), "");
    EXPECT_EQ(makeError(e, CString("Core/CWorkerThreadPool"), 52, CString("plugin.timer"), CString()), e);
    (void)makeError(e, CString("Core/CObject"), -3, CString(), CString("second message"));
    ErrorPtr owned(e);
    ASSERT_EQ(e->lineCount(), 5);
    EXPECT_EQ(text(e->line(2)), "Core/CWorkerThreadPool( 52 ) // plugin.timer");
    EXPECT_EQ(text(e->line(3)), "second message");
    EXPECT_EQ(text(e->line(4)), "Core/CObject( -3 )");
}

TEST(CError, WideArgumentsAndPatternsMakeWideLines) {
    CString arg("x");
    arg.widen(1);
    arg.appendChar('y');
    CString wideArg = arg;
    wideArg.chars32()[0] = 0x141;
    ErrorPtr e(makeError(nullptr, kPath, 1, CString(), CString("@id File '%1' failed."), wideArg));
    EXPECT_TRUE(e->line(0).isWide());
    EXPECT_EQ(e->line(0).charAt(6), 0x141u);
    const CString* args[] = {&wideArg};
    EXPECT_EQ(formatText(CString("%2%1"), args).length(), 2);
}

TEST(CError, HelpersNameTheCallersSourceFileAndLine) {
    const int line = __LINE__ + 1;
    CError* e = newError("@talstr_Test_Bad Bad count %1.", CString("root.child"), CString(7));
    const int traceLine = __LINE__ + 1;
    ErrorPtr owned(traceError(e));
    ASSERT_EQ(e->lineCount(), 3);
    EXPECT_EQ(text(e->line(0)), "Bad count 7.");
    EXPECT_EQ(text(e->line(1)), "tests/Core/CErrorTest( " + std::to_string(line) + " ) // root.child");
    EXPECT_EQ(text(e->line(2)), "tests/Core/CErrorTest( " + std::to_string(traceLine) + " )");
    EXPECT_EQ(traceError(nullptr), nullptr);
}

TEST(CError, SourcePathIsBelowTheSourceRootWithoutExtension) {
    EXPECT_EQ(text(sourcePathOf("/home/x/Sources/Core/CObject.cpp")), "Core/CObject");
    EXPECT_EQ(text(sourcePathOf("/w/Sources/Audio/VST/CAudioWrapperVST3.h")), "Audio/VST/CAudioWrapperVST3");
    EXPECT_EQ(text(sourcePathOf("CFile.cpp")), "CFile");
    EXPECT_EQ(text(sourcePathOf("/elsewhere/dir.d/CFile")), "CFile");
}
