#include "Core/CTextWriter.h"

#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace tal;

namespace {

class CTextWriterTest : public ::testing::Test {
protected:
    std::string readFile() { return test::readWholeFile(mPath); }
    static void ok(CError* error) {
        if (error != nullptr) {
            ADD_FAILURE() << error->line(0).chars8();
            delete error;
        }
    }

    test::TempFolder mFolder;
    std::string mPath = mFolder.file("out.txt");
};

CString wide(std::u32string_view text) {
    CString s;
    s.widen(0);
    s.setLength(int(text.size()), false);
    for (std::size_t i = 0; i < text.size(); ++i)
        s.chars32()[i] = text[i];
    return s;
}

} // namespace

TEST_F(CTextWriterTest, WritesLinesAsUtf8) {
    CTextWriter writer;
    ok(writer.open(CString(mPath.c_str())));
    ok(writer.writeLine(CString("caf\xE9"), true));          // an 8-bit text with a Latin-1 character
    ok(writer.writeLine(wide(U"\u0141\U0001F600"), false));
    ok(writer.writeLine(CString("!"), true));
    ok(writer.close(false));
    EXPECT_EQ(readFile(), "caf\xC3\xA9\n\xC5\x81\xF0\x9F\x98\x80!\n");
}

TEST_F(CTextWriterTest, TakenOverFileIsCutAtTheWrittenEndOnlyWhenAsked) {
    for (const bool truncate : {true, false}) {
        SCOPED_TRACE(truncate);
        test::writeWholeFile(mPath, "a much longer old content\n");
        CFileReader file;
        ok(file.open(CString(mPath.c_str()), true));
        CTextWriter writer;
        ok(writer.open(file));
        EXPECT_FALSE(file.isOpen());                          // taken over
        ok(writer.writeLine(CString("new"), true));
        ok(writer.close(truncate));
        EXPECT_EQ(readFile(), truncate ? "new\n" : "new\nch longer old content\n");
    }
}

TEST_F(CTextWriterTest, DestructionClosesTheFile) {
    {
        CTextWriter writer;
        ok(writer.open(CString(mPath.c_str())));
        ok(writer.writeLine(CString("kept"), true));
    }
    EXPECT_EQ(readFile(), "kept\n");
}
