#include "Core/CProfilerList.h"

#include "Core/CError.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

using namespace tal;

namespace {

class CProfilerListTest : public ::testing::Test {
protected:
    void writeFile(const std::string& text) { test::writeWholeFile(mPath, text); }
    std::string readFile() { return test::readWholeFile(mPath); }
    static std::string message(CError* error) {
        if (error == nullptr)
            return "ok";
        std::string text = error->line(0).chars8();
        delete error;
        return text;
    }

    test::TempFolder mFolder;
    std::string mPath = mFolder.file("profiler.lst");
};

} // namespace

TEST_F(CProfilerListTest, NewNameGetsTheIdAfterTheLargest) {
    writeFile("0;alpha\n5;beta\n");
    CProfilerList list{CString(mPath.c_str())};
    ASSERT_EQ(message(list.open(1000)), "ok");
    EXPECT_EQ(list.getId(CString("beta")), 5);
    EXPECT_EQ(list.getId(CString("alpha")), 0);
    EXPECT_EQ(list.getId(CString("gamma")), 6);
    EXPECT_EQ(list.getId(CString("gamma")), 6);
    EXPECT_EQ(list.getMaxId(), 6);
    ASSERT_EQ(message(list.save()), "ok");
    EXPECT_EQ(readFile(), "0;alpha\n5;beta\n6;gamma\n");
}

TEST_F(CProfilerListTest, SavingOverTheOpenFileCutsItsOldTail) {
    writeFile("  3;beta;extra fields\r\n// a comment line\n0;alpha\nnot-a-number;x\n7\n");
    CProfilerList list{CString(mPath.c_str())};
    ASSERT_EQ(message(list.open(0)), "ok");
    ASSERT_NE(list.findName(7), nullptr);
    EXPECT_TRUE(list.findName(7)->isEmpty());      // an id without a name
    ASSERT_EQ(message(list.save()), "ok");
    EXPECT_EQ(readFile(), "0;alpha\n3;beta\n7;\n");
}

TEST_F(CProfilerListTest, MissingFileStartsEmptyAndIsCreated) {
    CProfilerList list{CString(mPath.c_str())};
    ASSERT_EQ(message(list.open(1000)), "ok");
    EXPECT_EQ(list.getMaxId(), -1);
    EXPECT_EQ(list.getId(CString("first")), 0);
    ASSERT_EQ(message(list.save()), "ok");
    EXPECT_EQ(readFile(), "0;first\n");
}

TEST_F(CProfilerListTest, NegativeTimeoutReadsAndClosesThenSaveWritesANewFile) {
    writeFile("2;x\n");
    CProfilerList list{CString(mPath.c_str())};
    ASSERT_EQ(message(list.open(-1)), "ok");
    EXPECT_EQ(list.getId(CString("y")), 3);
    ASSERT_EQ(message(list.save()), "ok");
    EXPECT_EQ(readFile(), "2;x\n3;y\n");
}

TEST_F(CProfilerListTest, NamesBeyondLatin1RoundTrip) {
    writeFile("0;\xC5\x81\xC3\xB3" "d\xC5\xBA\n");      // UTF-8 of a Polish word
    CProfilerList list{CString(mPath.c_str())};
    ASSERT_EQ(message(list.open(1000)), "ok");
    ASSERT_NE(list.findName(0), nullptr);
    EXPECT_EQ(list.findName(0)->charAt(0), 0x141u);
    ASSERT_EQ(message(list.save()), "ok");
    EXPECT_EQ(readFile(), "0;\xC5\x81\xC3\xB3" "d\xC5\xBA\n");
}

TEST_F(CProfilerListTest, UnopenableFileIsAnError) {
    CProfilerList list{CString((mFolder.file("missing/folder/profiler.lst")).c_str())};
    EXPECT_NE(message(list.open(0)), "ok");
    EXPECT_EQ(list.getMaxId(), -1);
}
