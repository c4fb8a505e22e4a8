#include "Core/CSystem.h"

#include "Core/CError.h"
#include "support/CLogCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

namespace tal {
namespace {

std::string text(const CString& s) { return s.narrowed().chars8(); }

TEST(CSystem, FileExtensionIsTheLowerCasedTextAfterTheLastDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"Preset.CPF", "cpf"}, {"archive.tar.gz", "gz"}, {"README", ""}, {"name.", ""}, {"dir.d/file", "d/file"}};
    for (const auto& [name, ext] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(text(CSystem::getFileExt(CString(name))), ext);
    }
}

TEST(CSystem, ClassIdentifierTextGivesBytesInTextOrder) {
    std::uint8_t bytes[16];
    ASSERT_TRUE(CSystem::parseUUID(CString("0123abcd-4567-89ef-0a1b-2c3d4e5f6071"), bytes));
    const std::uint8_t expect[16] = {0x01, 0x23, 0xAB, 0xCD, 0x45, 0x67, 0x89, 0xEF,
                                     0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71};
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 16), std::vector<std::uint8_t>(expect, expect + 16));
    ASSERT_TRUE(CSystem::parseUUID(CString("0123ABCDx4567y89EFz0A1B_2C3D4E5F6071"), bytes));
    EXPECT_EQ(bytes[15], 0x71);

    EXPECT_FALSE(CSystem::parseUUID(CString("0123abcd-4567-89ef-0a1b-2c3d4e5f607"), bytes));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + 16), std::vector<std::uint8_t>(16, 0));
    EXPECT_FALSE(CSystem::parseUUID(CString("g123abcd-4567-89ef-0a1b-2c3d4e5f6071"), bytes));
}

TEST(CSystem, WildcardsMatchWholeNames) {
    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"a.cpf", "*.cpf", true}, {".cpf", "*.cpf", true},  {"a.cpfx", "*.cpf", false}, {"abc", "a?c", true},
        {"ac", "a?c", false},     {"", "*", true},          {"ab", "ab*", true},        {"", "", true},
        {"a", "", false},         {"abc", "A*", false},     {"xaby", "*a?y", true},     {"band-1.gain", "band-*.?ain", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(matchWildcard(CString(c.text), c.pattern), c.match);
        std::u32string wide(c.pattern, c.pattern + std::strlen(c.pattern));
        EXPECT_EQ(matchWildcard(CString(c.text), wide.c_str()), c.match);
    }
}

TEST(CSystem, CreateFoldersMakesEveryMissingLevel) {
    test::TempFolder tmp;
    const std::string deep = tmp.path() + "//x\\y/z";
    EXPECT_TRUE(CSystem::createFolders(CString(deep.c_str())));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.path() + "/x/y/z"));
    EXPECT_TRUE(CSystem::folderExists(CString((tmp.path() + "/x/y").c_str())));
    EXPECT_TRUE(CSystem::folderExists(CString()));
    EXPECT_TRUE(CSystem::fileExists(CString()));
    EXPECT_FALSE(CSystem::createFolders(CString()));

    // A level that is a file cannot hold folders.
    test::writeWholeFile(tmp.file("x/file"), "");
    EXPECT_FALSE(CSystem::createFolders(CString(tmp.file("x/file/a").c_str())));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.file("x/y")));
}

TEST(CSystem, PreferencesFolderFollowsXdgAndTheTestOverride) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(text(CSystem::getUserPreferencesFolder()), "/tmp/xdg-test/");
    unsetenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (home != nullptr) {
        const std::string h = home;
        EXPECT_EQ(text(CSystem::getUserPreferencesFolder()), h + (h.ends_with("/") ? "" : "/") + ".config/");
    }
    CSystem::setUserPreferencesFolderForTest(CString("/tmp/prefs"));
    EXPECT_EQ(text(CSystem::getUserPreferencesFolder()), "/tmp/prefs/");
    CSystem::setUserPreferencesFolderForTest(CString());
    if (!saved.empty())
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(CSystem, BundlePathIsTheBinaryOutsideABundle) {
    CSystem::bundlePath = CString();
    CSystem::bundleFolder = CString();
    CSystem::initBundlePath();
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_EQ(text(CSystem::bundlePath), self);
    const std::string folder = std::filesystem::path(self).parent_path().string() + "/";
    EXPECT_EQ(text(CSystem::bundleFolder), folder);
}

TEST(CSystem, AbsolutePathsResolveDotsAndBackslashes) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {{"/a/b/../c/./d", "/a/c/d"}, {"/../x", "/x"}, {"\\a\\b\\..\\c", "/a/c"},
                          {"/a/./././b", "/a/b"}, {"/a/b/c/../../d", "/a/d"}, {"/a/..", "/a/.."}, {"", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(std::string(CSystem::makeAbsolutePath(CString(c.in)).chars8()), c.out) << c.in;
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(std::string(CSystem::makeAbsolutePath(CString("x/./y")).chars8()), cwd + "/x/y");
}

TEST(CSystem, NormalisedPathsHaveCleanSeparators) {
    struct Case {
        const char* in;
        bool trailing;
        const char* out;
    };
    const Case cases[] = {{"c: \\a\\\\b", false, "c:/a/b"}, {"a/b", false, "/a/b"}, {"", false, "/"},
                          {"/a/ b", false, "/a/ b"}, {"c:", false, "c:/"}, {"a//b", true, "/a/b/"}, {"/a/", true, "/a/"}};
    for (const Case& c : cases) {
        CString path(c.in);
        CSystem::normalizePath(path, c.trailing);
        EXPECT_EQ(std::string(path.chars8()), c.out) << c.in;
    }
}

TEST(CSystem, CollectFilesFiltersByLowerCasedNameAndRecurses) {
    test::TempFolder tmp;
    ASSERT_TRUE(CSystem::createFolders(CString(tmp.file("sub/deeper").c_str())));
    for (const char* name : {"A.CPF", "b.cpf", "c.txt", ".hidden.cpf", "sub/d.cpf", "sub/deeper/e.cpf", "sub/skip.cpf"})
        test::writeWholeFile(tmp.file(name), "x");
    CStringList include, exclude;
    include.add(CString("*.cpf"));
    exclude.add(CString("skip*"));
    CSortedMap<CString, CSystemFileEntry> flat, deep;
    ASSERT_EQ(CSystem::collectFiles(CString(tmp.path().c_str()), false, false, flat, include, exclude), nullptr);
    std::vector<std::string> names;
    for (auto* n = flat.first(); n != nullptr; n = flat.next(n))
        names.push_back(std::string(n->value.name.chars8()));
    EXPECT_EQ(names, (std::vector<std::string>{"A.CPF", "b.cpf"}));
    ASSERT_EQ(CSystem::collectFiles(CString(tmp.path().c_str()), true, true, deep, include, exclude), nullptr);
    EXPECT_EQ(deep.count(), 6);   // A.CPF, b.cpf, sub, sub/d.cpf, sub/deeper, sub/deeper/e.cpf
    const auto* sub = deep.find(CString((tmp.path() + "/sub").c_str()));
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->value.isFolder);
    EXPECT_NE(deep.find(CString(tmp.file("sub/deeper/e.cpf").c_str())), nullptr);

    CSortedMap<CString, CSystemFileEntry> none;
    CError* err = CSystem::collectFiles(CString(tmp.file("missing").c_str()), false, false, none, include, exclude);
    ASSERT_NE(err, nullptr);
    const std::string text = CSystem::getErrorText(err).chars8();
    EXPECT_NE(text.find("Folder '" + tmp.file("missing") + "/' cannot be opened"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(CSystem, FileTimesCompare) {
    test::TempFolder tmp;
    test::writeWholeFile(tmp.file("old"), "a");
    test::writeWholeFile(tmp.file("new"), "b");
    std::filesystem::last_write_time(tmp.file("old"), std::filesystem::last_write_time(tmp.file("new")) - std::chrono::hours(1));
    std::int64_t seconds = 0;
    EXPECT_TRUE(CSystem::getFileTime(CString(tmp.file("new").c_str()), seconds));
    EXPECT_GT(seconds, 1600000000);
    EXPECT_TRUE(CSystem::isOlder(CString(tmp.file("old").c_str()), CString(tmp.file("new").c_str())));
    EXPECT_FALSE(CSystem::isOlder(CString(tmp.file("new").c_str()), CString(tmp.file("old").c_str())));
    EXPECT_TRUE(CSystem::isOlder(CString(tmp.file("gone").c_str()), CString(tmp.file("old").c_str())));
    ASSERT_TRUE(CSystem::createFolders(CString(tmp.file("empty").c_str())));
    EXPECT_TRUE(CSystem::removeFolder(CString(tmp.file("empty").c_str())));
    EXPECT_FALSE(CSystem::folderExists(CString(tmp.file("empty").c_str())));
}

// The dialog programs as a test describes them: which are installed, what the user answers, and
// every command line that ran.
struct DialogScript {
    bool zenity = true, kdialog = true;
    int answer = 0;
    std::vector<std::vector<std::string>> calls;
};
DialogScript gDialogs;

int scriptedRunner(const std::vector<std::string>& argv) {
    gDialogs.calls.push_back(argv);
    if ((argv[0] == "zenity" && !gDialogs.zenity) || (argv[0] == "kdialog" && !gDialogs.kdialog)) return -1;
    return gDialogs.answer;
}

class CSystemDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        gDialogs = DialogScript();
        CSystem::setProgramRunnerForTest(&scriptedRunner);
    }
    void TearDown() override { CSystem::setProgramRunnerForTest(nullptr); }
};

std::vector<std::string> argvOf(std::initializer_list<const char*> args) { return {args.begin(), args.end()}; }

// zenity first; every text is one argument as written (no shell sees it), in UTF-8.
TEST_F(CSystemDialogs, ZenityShowsTheTextsAsSingleArguments) {
    CString title("R\xE9glages");
    const char* hostile = "$(rm -rf ~) \"quoted\" <b>bold</b>; `x`";
    CSystem::showNotice(title, CString(hostile), 0);
    CSystem::showNotice(CString("t"), CString("m"), 1);
    CSystem::showNotice(CString("t"), CString("m"), 2);
    ASSERT_EQ(gDialogs.calls.size(), 3u);
    EXPECT_EQ(gDialogs.calls[0], argvOf({"zenity", "--error", "--no-markup", "--title", "R\xC3\xA9glages", "--text", hostile}));
    EXPECT_EQ(gDialogs.calls[1][1], "--warning");
    EXPECT_EQ(gDialogs.calls[2][1], "--info");
}

TEST_F(CSystemDialogs, KdialogServesWhenZenityIsMissing) {
    gDialogs.zenity = false;
    CSystem::showNotice(CString("t"), CString("m"), 1);
    ASSERT_EQ(gDialogs.calls.size(), 2u);
    EXPECT_EQ(gDialogs.calls[1], argvOf({"kdialog", "--title", "t", "--sorry", "m"}));
    gDialogs.calls.clear();
    EXPECT_TRUE(CSystem::askYesNo(CString("t"), CString("Replace?"), CString("Replace"), CString("Keep")));
    ASSERT_EQ(gDialogs.calls.size(), 2u);
    EXPECT_EQ(gDialogs.calls[1], argvOf({"kdialog", "--title", "t", "--yes-label", "Replace", "--no-label", "Keep",
                                         "--yesno", "Replace?"}));
}

// Exit status 0 is the default button; any other answer (the other button, the window closed)
// is not.
TEST_F(CSystemDialogs, OnlyTheDefaultButtonAnswersYes) {
    const std::pair<int, bool> answers[] = {{0, true}, {1, false}, {5, false}, {143, false}};
    for (const auto& [status, yes] : answers) {
        gDialogs.answer = status;
        EXPECT_EQ(CSystem::askYesNo(CString("t"), CString("m"), CString("Yes"), CString("No")), yes) << status;
    }
    EXPECT_EQ(gDialogs.calls[0], argvOf({"zenity", "--question", "--no-markup", "--title", "t", "--text", "m",
                                         "--ok-label", "Yes", "--cancel-label", "No"}));
}

TEST_F(CSystemDialogs, WithoutADialogProgramTheLogSaysSo) {
    gDialogs.zenity = gDialogs.kdialog = false;
    CLogCapture log;
    CSystem::showNotice(CString("Disk"), CString("Preset not saved"), 0);
    EXPECT_FALSE(CSystem::askYesNo(CString("Reset"), CString("Reset all bands?"), CString("Reset"), CString("Cancel")));
    std::string all;
    for (const std::string& line : log.lines()) all += line;
    EXPECT_NE(all.find("zenity or kdialog"), std::string::npos) << all;
    EXPECT_NE(all.find("\"Disk\": Preset not saved"), std::string::npos) << all;
    EXPECT_NE(all.find("\"Reset\": Reset all bands?"), std::string::npos) << all;
}

TEST(CSystem, PrintErrorWritesEveryLineAsUTF8) {
    CError* error = makeError(nullptr, CString("Core/X"), 12, CString("a.b"), CString("Caf\xE9 %1"), CString("1"));
    testing::internal::CaptureStdout();
    CSystem::printError(error);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nCaf\xC3\xA9 1\nCore/X( 12 ) // a.b\n");
}

// The real runner: the exit status of a program found on PATH, -1 for one that does not exist;
// arguments reach the program unchanged.
TEST(CSystem, RunProgramReportsTheExitStatus) {
    EXPECT_EQ(CSystem::runProgram({"true"}), 0);
    EXPECT_EQ(CSystem::runProgram({"false"}), 1);
    EXPECT_EQ(CSystem::runProgram({"sh", "-c", "exit 7"}), 7);
    EXPECT_EQ(CSystem::runProgram({"test", "$(x) y", "=", "$(x) y"}), 0);
    EXPECT_EQ(CSystem::runProgram({"delmaro-no-such-program-here"}), -1);
    EXPECT_EQ(CSystem::runProgram({}), -1);
}

} // namespace
} // namespace tal
