#include "Core/CFileWriter.h"

#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tal {
namespace {

using test::takeMessage;

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().string());
    return names;
}

TEST(CFileWriter, StandardErrorByName) {
    const int saved = dup(2);
    {
        CFileWriter w;
        ASSERT_EQ(w.open(CString("*e")), nullptr);
        EXPECT_EQ(w.descriptor(), 2);
        EXPECT_TRUE(w.path().equals("stderr"));
    }
    dup2(saved, 2);
    close(saved);
}

TEST(CFileWriter, RewriteReplacesTheFileOnlyWhenClosed) {
    test::TempFolder tmp;
    const std::string name = tmp.file("preset.cpf");
    test::writeWholeFile(name, "old content");
    CFileWriter w;
    ASSERT_EQ(w.open(CString(name.c_str())), nullptr);
    ASSERT_EQ(w.write("new", 3), nullptr);
    EXPECT_EQ(test::readWholeFile(name), "old content");   // still the old file while writing
    ASSERT_EQ(w.close(), nullptr);
    EXPECT_EQ(test::readWholeFile(name), "new");
    EXPECT_EQ(folderEntries(tmp.path()), std::vector<std::string>{name});   // no temporary file left

    // Destruction commits too.
    {
        CFileWriter w2;
        ASSERT_EQ(w2.open(CString(name.c_str())), nullptr);
        ASSERT_EQ(w2.write("newer", 5), nullptr);
    }
    EXPECT_EQ(test::readWholeFile(name), "newer");
}

// The unique temporary file is private while written; the file that replaces the old one is
// readable by others as a newly created file is (0644 less the umask).
TEST(CFileWriter, RewrittenFileHasTheUsualPermissions) {
    test::TempFolder tmp;
    const std::string name = tmp.file("shared.txt");
    const mode_t mask = umask(027);
    {
        CFileWriter w;
        ASSERT_EQ(w.open(CString(name.c_str())), nullptr);
        ASSERT_EQ(w.write("x", 1), nullptr);
        ASSERT_EQ(w.close(), nullptr);
    }
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode_t(0644 & ~027) | 0u);
}

TEST(CFileWriter, DiscardedOrFailedRewriteKeepsTheOldFile) {
    test::TempFolder tmp;
    const std::string name = tmp.file("bank.cbf");
    test::writeWholeFile(name, "precious");
    {
        CFileWriter w;
        ASSERT_EQ(w.open(CString(name.c_str())), nullptr);
        ASSERT_EQ(w.write("partial", 7), nullptr);
        w.discard();
    }
    EXPECT_EQ(test::readWholeFile(name), "precious");
    EXPECT_EQ(folderEntries(tmp.path()), std::vector<std::string>{name});   // no temporary file left

    // A write the system refuses (file size limit) cancels the rewrite.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    {
        CFileWriter w;
        if (w.open(CString(name.c_str())) == nullptr)
            message = takeMessage(w.write("0123456789", 10));
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(message.rfind("Unable to write to file '" + name + "'", 0), 0u) << message;
    EXPECT_EQ(test::readWholeFile(name), "precious");
    EXPECT_EQ(folderEntries(tmp.path()), std::vector<std::string>{name});   // no temporary file left
}

TEST(CFileWriter, AppendCreatesAndExtends) {
    test::TempFolder tmp;
    const std::string name = tmp.file("log.txt");
    for (const char* piece : {"ab", "cd"}) {
        CFileWriter w;
        ASSERT_EQ(w.open(CString(name.c_str()), true), nullptr);
        ASSERT_EQ(w.write(piece, 2), nullptr);
        ASSERT_EQ(w.write(piece, 0), nullptr);
    }
    EXPECT_EQ(test::readWholeFile(name), "abcd");
    CFileWriter w;
    EXPECT_EQ(takeMessage(w.open(CString((tmp.path() + "/missing/x").c_str()))),
              "Unable to open file '" + tmp.path() + "/missing/x' for rewriting (error 2).");
}

} // namespace
} // namespace tal
