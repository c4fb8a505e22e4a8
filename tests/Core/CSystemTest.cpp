#include "Core/CSystem.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
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

} // namespace
} // namespace tal
