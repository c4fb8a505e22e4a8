#include "Core/CFileReader.h"

#include "Core/CFileWriter.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <filesystem>
#include <unistd.h>

namespace tal {
namespace {

using test::takeMessage;

TEST(CFileReader, ReadBeyondTheEndReportsRequiredAndReadCounts) {
    test::TempFolder tmp;
    const std::string name = tmp.file("ten.bin");
    test::writeWholeFile(name, "0123456789");
    CFileReader r;
    ASSERT_EQ(r.open(CString(name.c_str())), nullptr);
    ASSERT_EQ(r.setPosition(6), nullptr);
    char out[16] = {};
    EXPECT_EQ(takeMessage(r.read(out, 10)),
              "Unable to read from file '" + name + "' (required 10 bytes, read 4 bytes).");

    ASSERT_EQ(r.setPosition(6), nullptr);
    std::int32_t count = 10;
    ASSERT_EQ(r.readUpTo(out, count), nullptr);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(std::string(out, 4), "6789");
    count = 10;
    ASSERT_EQ(r.readUpTo(out, count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(r.read(out, 0), nullptr);
}

TEST(CFileReader, SizeKeepsThePositionAndSkipSeeks) {
    test::TempFolder tmp;
    const std::string name = tmp.file("f");
    test::writeWholeFile(name, std::string(1000, 'x'));
    CFileReader r;
    ASSERT_EQ(r.open(CString(name.c_str())), nullptr);
    ASSERT_EQ(r.skip(300), nullptr);
    std::uint64_t size = 0, position = 0;
    ASSERT_EQ(r.getSize(size), nullptr);
    ASSERT_EQ(r.getPosition(position), nullptr);
    EXPECT_EQ(size, 1000u);
    EXPECT_EQ(position, 300u);
    EXPECT_EQ(r.getRemainingSize(), 700);
}

TEST(CFileReader, BackslashesBecomeSlashesAndMissingFilesFailWithTheirName) {
    test::TempFolder tmp;
    std::filesystem::create_directory(tmp.file("a"));
    test::writeWholeFile(tmp.file("a/b.txt"), "ok");
    CFileReader r;
    ASSERT_EQ(r.open(CString((tmp.path() + "\\a\\b.txt").c_str())), nullptr);
    EXPECT_TRUE(r.path().equals((tmp.path() + "/a/b.txt").c_str()));

    EXPECT_EQ(takeMessage(r.open(CString("*e"))), "Unable to open file '*e' for reading (error 2).");
    EXPECT_FALSE(r.isOpen());
    EXPECT_EQ(r.close(), nullptr);
    EXPECT_EQ(r.close(), nullptr);
}

TEST(CFileReader, TruncateNeedsAWritableFile) {
    test::TempFolder tmp;
    const std::string name = tmp.file("t");
    test::writeWholeFile(name, "abcdef");
    CFileReader ro;
    ASSERT_EQ(ro.open(CString(name.c_str()), false), nullptr);
    EXPECT_EQ(takeMessage(ro.truncate()), "Unable to truncate file '" + name + "' - file is not writable.");

    CFileReader rw;
    ASSERT_EQ(rw.open(CString(name.c_str()), true), nullptr);
    ASSERT_EQ(rw.setPosition(2), nullptr);
    ASSERT_EQ(rw.truncate(), nullptr);
    ASSERT_EQ(rw.close(), nullptr);
    EXPECT_EQ(test::readWholeFile(name), "ab");
}

TEST(CFileReader, InheritLeavesTheSourceClosed) {
    test::TempFolder tmp;
    const std::string name = tmp.file("i");
    test::writeWholeFile(name, "abc");
    CFileReader source, heir;
    ASSERT_EQ(source.open(CString(name.c_str()), true), nullptr);
    ASSERT_EQ(source.setPosition(2), nullptr);
    ASSERT_EQ(heir.inherit(source), nullptr);
    EXPECT_FALSE(source.isOpen());
    EXPECT_TRUE(source.path().isEmpty());
    EXPECT_EQ(source.close(), nullptr);
    std::uint64_t position = 7;
    ASSERT_EQ(heir.getPosition(position), nullptr);
    EXPECT_EQ(position, 0u);
    char out[3];
    ASSERT_EQ(heir.read(out, 3), nullptr);
    EXPECT_EQ(std::string(out, 3), "abc");

    CFileReader readOnly, other;
    ASSERT_EQ(readOnly.open(CString(name.c_str()), false), nullptr);
    EXPECT_EQ(takeMessage(other.inherit(readOnly)), "Unable to inherit file '" + name + "' - file is not writable.");
    CFileReader closed;
    EXPECT_EQ(takeMessage(other.inherit(closed)), "Unable to inherit file - file not open.");
}

TEST(CFileBase, LockHeldByAnotherProcessTimesOut) {
    test::TempFolder tmp;
    const std::string name = tmp.file("lock");
    test::writeWholeFile(name, "abcdef");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(name.c_str(), O_RDWR);
        const bool held = fd >= 0 && lockf(fd, F_LOCK, 0) == 0;
        const char c = held ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    CFileReader r;
    ASSERT_EQ(r.open(CString(name.c_str()), true), nullptr);
    ASSERT_EQ(r.setPosition(3), nullptr);
    bool locked = true;
    EXPECT_EQ(r.lock(locked, 0, 0), nullptr);
    EXPECT_FALSE(locked);
    std::uint64_t position = 0;
    ASSERT_EQ(r.getPosition(position), nullptr);
    EXPECT_EQ(position, 3u);
    EXPECT_EQ(takeMessage(r.lock(locked, 300, 10)), "Lock wait timeout after 0.300 seconds.");
    EXPECT_FALSE(locked);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    // Now free: taken at once, the position kept; closing unlocks.
    ASSERT_EQ(r.lock(locked, 1000, 10), nullptr);
    EXPECT_TRUE(locked);
    EXPECT_TRUE(r.isLocked());
    ASSERT_EQ(r.getPosition(position), nullptr);
    EXPECT_EQ(position, 3u);
    EXPECT_EQ(r.close(), nullptr);
}

} // namespace
} // namespace tal
