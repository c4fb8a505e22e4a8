#include "Core/CAppData.h"

#include "Core/AppDataText.h"
#include "Core/CAppDataGlobal.h"
#include "Core/CAppDataListener.h"
#include "Core/CAppDataLocal.h"
#include "Core/CResourceMap.h"
#include "Core/CSystem.h"
#include "Core/RecordTags.h"
#include "support/TempFolder.h"

#include <gmock/gmock.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tal {
namespace {

using test::readWholeFile;
using test::TempFolder;
using test::writeWholeFile;
namespace fs = std::filesystem;

// A zlib compressed record built with zlib itself: tag, length, Adler-32 of the four length
// bytes, then the data deflated at level 5.
std::string recordBytes(const std::string& tag, const std::string& data) {
    std::string out = tag;
    const std::uint32_t n = std::uint32_t(data.size());
    const unsigned char len[4] = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
    const std::uint32_t check = std::uint32_t(adler32(adler32(0, nullptr, 0), len, 4));
    out.append(reinterpret_cast<const char*>(len), 4);
    for (int i = 0; i < 4; ++i) out.push_back(char(std::uint8_t(check >> (8 * i))));
    uLongf packedSize = compressBound(uLong(data.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data.data()),
              uLong(data.size()), 5);
    packed.resize(packedSize);
    return out + packed;
}

// The stream-string form of an 8-bit text.
std::string streamString(const std::string& text) {
    const std::uint32_t n = std::uint32_t(text.size());
    return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + text;
}

std::string bufferText(const CByteBuffer& b) { return std::string(reinterpret_cast<const char*>(b.data()), std::size_t(b.size())); }

CByteBuffer bufferOf(const std::string& s) { return CByteBuffer(s.data(), std::int32_t(s.size())); }

// Embedded defaults for the tests: blobs (u32 length, then the payload) that live for the process.
void embedDefault(const char* name, const std::string& payload) {
    static std::vector<std::string>* blobs = new std::vector<std::string>;
    static std::vector<std::vector<CResourceEntry>>* tables = new std::vector<std::vector<CResourceEntry>>;
    const std::uint32_t n = std::uint32_t(payload.size());
    blobs->push_back(std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + payload);
    tables->push_back({{reinterpret_cast<const std::uint8_t*>(blobs->back().data()), name}, {nullptr, nullptr}});
    CResourceMap::indexTable(tables->back().data());
}

class CRecordingAppDataListener : public CAppDataListener<CRecordingAppDataListener> {
public:
    ~CRecordingAppDataListener() override { detach(); }
    void update(const CUpdateRecord* record) override { records.push_back(*record); }
    std::vector<CUpdateRecord> records;
};

// A local scope of its own vendor, with the preferences folder in a temporary folder and no
// plug-in folder unless a test sets one.
class CAppDataTest : public ::testing::Test {
protected:
    CAppDataTest() {
        CSystem::setUserPreferencesFolderForTest(CString((mTemp.path() + "/prefs").c_str()));
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
    }
    ~CAppDataTest() override {
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    std::string itemPath(const std::string& name) const { return mTemp.path() + "/prefs/Vend/Cat/Prod/" + name; }
    std::vector<std::string> itemFolderNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(itemPath(""))) names.push_back(entry.path().filename());
        return names;
    }

    TempFolder mTemp;
    CString mSavedBundleFolder;
    CAppDataLocal mScope{"Vend", "Cat", "Prod"};
};

TEST_F(CAppDataTest, WrittenTextItemHasTheExactRecordBytes) {
    writeAppDataString(&mScope, CString("ui-scale"), CString("1.5"), nullptr);
    const std::string bytes = readWholeFile(itemPath("ui-scale"));
    const std::string data = streamString("1.5");
    // "dstr", length 7, Adler-32 of {7, 0, 0, 0}: a = 8, b = 4 * 8 = 32, so 0x00200008.
    ASSERT_GE(bytes.size(), 12u);
    EXPECT_EQ(bytes.substr(0, 12), std::string("dstr\x07\0\0\0\x08\0\x20\0", 12));
    EXPECT_EQ(bytes, recordBytes("dstr", data));
    EXPECT_THAT(itemFolderNames(), ::testing::ElementsAre("ui-scale"));   // no temporary file left
}

TEST_F(CAppDataTest, TextRoundTripsAndAbsentItemGivesTheDefault) {
    CString wide;
    wide.setUTF8("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x8E\xB5");  // characters above 255
    ASSERT_TRUE(wide.isWide());
    struct Case { const char* name; CString text; };
    for (const Case& c : {Case{"plain", CString("0.5")}, Case{"wide", wide}, Case{"empty", CString()}}) {
        SCOPED_TRACE(c.name);
        writeAppDataString(&mScope, CString(c.name), c.text, nullptr);
        EXPECT_EQ(compareStrings(readAppDataString(&mScope, CString(c.name), CString("default")), c.text), 0);
    }
    EXPECT_TRUE(readAppDataString(&mScope, CString("never-written"), CString("default")).equals("default"));
    EXPECT_TRUE(readAppDataString(nullptr, CString("plain"), CString("default")).equals("default"));
}

TEST_F(CAppDataTest, RewriteReplacesTheFileAtomically) {
    writeAppDataString(&mScope, CString("item"), CString("first"), nullptr);
    writeAppDataString(&mScope, CString("item"), CString("second"), nullptr);
    EXPECT_EQ(readWholeFile(itemPath("item")), recordBytes("dstr", streamString("second")));
    EXPECT_THAT(itemFolderNames(), ::testing::ElementsAre("item"));
}

// Hosts run plug-ins in separate processes, so two of them can save one item at the same moment.
// Each saves through a temporary file of its own: whatever a reader sees while both write is one
// writer's whole record, and the last rename leaves a whole one.
TEST_F(CAppDataTest, TwoProcessesSavingOneItemLeaveOnlyWholeVersions) {
    constexpr int kWrites = 400;
    std::string texts[2];
    std::uint32_t seed = 12345;
    for (std::string& text : texts) {
        for (int i = 0; i < 6000; ++i) {   // text that does not compress away, so each save has bytes to tear
            seed = seed * 1664525u + 1013904223u;
            text.push_back(char('a' + (seed >> 24) % 26));
        }
    }
    const std::string versions[2] = {recordBytes("dstr", streamString(texts[0])), recordBytes("dstr", streamString(texts[1]))};
    ASSERT_NE(versions[0].size(), 0u);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            for (int i = 0; i < kWrites; ++i)
                writeAppDataString(&mScope, CString("shared"), CString(texts[w].c_str()), nullptr);
            _exit(0);
        }
    }
    int reads = 0, torn = 0;
    std::string firstTorn;
    bool seen = false;
    for (int running = 2; running > 0;) {
        for (pid_t& pid : writers) {
            int status = 0;
            if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                pid = 0;
                --running;
            }
        }
        const std::string bytes = readWholeFile(itemPath("shared"));
        if (bytes.empty() && !seen) continue;   // no save has finished yet
        seen = true;
        ++reads;
        if (bytes != versions[0] && bytes != versions[1] && torn++ == 0) firstTorn = bytes;
    }
    EXPECT_EQ(torn, 0) << "of " << reads << " reads; first torn version has " << firstTorn.size() << " bytes";
    EXPECT_GT(reads, 0);
    const std::string last = readWholeFile(itemPath("shared"));
    EXPECT_TRUE(last == versions[0] || last == versions[1]);
    EXPECT_THAT(itemFolderNames(), ::testing::ElementsAre("shared"));
}

TEST_F(CAppDataTest, EmbeddedDefaultIsReadCachedAndReplacedByAWrite) {
    embedDefault("AppDataLocal_test-default-a", recordBytes("adat", "factory"));
    CByteBuffer out;
    mScope.read(CString("test-default-a"), out, kTagAppData, false);
    EXPECT_EQ(bufferText(out), "factory");
    mScope.write(CString("test-default-a"), bufferOf("mine"), nullptr, kTagAppData);
    fs::remove(itemPath("test-default-a"));  // the cache answers without the disk
    mScope.read(CString("test-default-a"), out, kTagAppData, false);
    EXPECT_EQ(bufferText(out), "mine");
}

TEST_F(CAppDataTest, DamagedOrForeignFileFallsThroughToTheEmbeddedDefault) {
    embedDefault("AppDataLocal_test-default-b", recordBytes("adat", "factory"));
    const std::string good = recordBytes("adat", "user data");
    struct Case { const char* what; std::string bytes; };
    const Case cases[] = {
        {"truncated in the deflate data", good.substr(0, 15)},
        {"header only", good.substr(0, 12)},
        {"bad header checksum", good.substr(0, 8) + "\x01\x02\x03\x04" + good.substr(12)},
        {"other tag", recordBytes("alst", "user data")},
        {"empty file", ""},
        {"garbage", "not a record at all"},
    };
    fs::create_directories(mTemp.path() + "/prefs/Vend/Cat/Prod");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mScope.resetForTest();
        writeWholeFile(itemPath("test-default-b"), c.bytes);
        CByteBuffer out;
        mScope.read(CString("test-default-b"), out, kTagAppData, false);
        EXPECT_EQ(bufferText(out), "factory");
    }
    mScope.resetForTest();
    writeWholeFile(itemPath("test-default-b"), good);
    CByteBuffer out;
    mScope.read(CString("test-default-b"), out, kTagAppData, false);
    EXPECT_EQ(bufferText(out), "user data");
}

TEST_F(CAppDataTest, ReloadSeesAFileReplacedByAnotherProcess) {
    mScope.write(CString("shared"), bufferOf("old"), nullptr, kTagAppData);
    writeWholeFile(itemPath("shared"), recordBytes("adat", "new"));
    CByteBuffer out;
    mScope.read(CString("shared"), out, kTagAppData, false);
    EXPECT_EQ(bufferText(out), "old");
    mScope.read(CString("shared"), out, kTagAppData, true);
    EXPECT_EQ(bufferText(out), "new");
    // A reload that finds nothing readable keeps the cached bytes.
    writeWholeFile(itemPath("shared"), "damaged");
    mScope.read(CString("shared"), out, kTagAppData, true);
    EXPECT_EQ(bufferText(out), "new");
}

TEST_F(CAppDataTest, ItemCachedUnderAnotherTagReadsEmpty) {
    mScope.write(CString("tagged"), bufferOf("bytes"), nullptr, kTagAppData);
    CByteBuffer out = bufferOf("old content");
    mScope.read(CString("tagged"), out, kTagAppString, false);
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(CAppDataTest, UnwritableFolderStillCachesAndNotifies) {
    writeWholeFile(mTemp.path() + "/blocker", "a file where a folder should be");
    CSystem::setUserPreferencesFolderForTest(CString((mTemp.path() + "/blocker/prefs").c_str()));
    CRecordingAppDataListener listener;
    const CString name("setting");
    listener.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&name));
    writeAppDataString(&mScope, name, CString("on"), this);
    ASSERT_EQ(listener.records.size(), 1u);
    EXPECT_EQ(listener.records[0].sender, this);
    EXPECT_TRUE(readAppDataString(&mScope, name, CString("off")).equals("on"));
    EXPECT_FALSE(fs::exists(mTemp.path() + "/blocker/prefs"));
    // Creation is tried once per scope: a folder that appears later is not used in this session.
    fs::remove(mTemp.path() + "/blocker");
    fs::create_directories(mTemp.path() + "/blocker/prefs/Vend/Cat/Prod");
    writeAppDataString(&mScope, name, CString("off"), this);
    EXPECT_EQ(listener.records.size(), 2u);
    EXPECT_FALSE(fs::exists(mTemp.path() + "/blocker/prefs/Vend/Cat/Prod/setting"));
}

TEST_F(CAppDataTest, SettingsFolderNextToTheBundleComesFirstThenPreferencesThenProductFolder) {
    const std::string plugins = mTemp.path() + "/plugins/";
    fs::create_directories(plugins + "Vend Settings");
    fs::create_directories(plugins + "Prod");
    fs::create_directories(mTemp.path() + "/prefs/Vend/Cat/Prod");
    CSystem::bundleFolder = CString(plugins.c_str());
    writeWholeFile(itemPath("from-prefs"), recordBytes("adat", "prefs copy"));
    writeWholeFile(plugins + "Prod/from-bundle-side", recordBytes("adat", "bundle-side copy"));
    writeWholeFile(itemPath("in-both"), recordBytes("adat", "prefs copy"));
    writeWholeFile(plugins + "Prod/in-both", recordBytes("adat", "bundle-side copy"));

    CByteBuffer out;
    for (const auto& [name, expect] : std::vector<std::pair<const char*, const char*>>{
             {"from-prefs", "prefs copy"}, {"from-bundle-side", "bundle-side copy"}, {"in-both", "prefs copy"}}) {
        SCOPED_TRACE(name);
        mScope.read(CString(name), out, kTagAppData, false);
        EXPECT_EQ(bufferText(out), expect);
    }
    EXPECT_TRUE(mScope.mainFolder().equals((plugins + "Vend Settings/Cat/Prod/").c_str()));
    EXPECT_TRUE(mScope.fallbackFolder().equals((mTemp.path() + "/prefs/Vend/Cat/Prod/").c_str()));
    EXPECT_TRUE(mScope.bundleSideFolder().equals((plugins + "Prod/").c_str()));

    mScope.write(CString("written"), bufferOf("here"), nullptr, kTagAppData);
    EXPECT_EQ(readWholeFile(plugins + "Vend Settings/Cat/Prod/written"), recordBytes("adat", "here"));
    EXPECT_FALSE(fs::exists(itemPath("written")));
}

TEST_F(CAppDataTest, GlobalScopeUsesTheVendorFolderOnly) {
    CAppDataGlobal global("Vend", "Cat");
    global.write(CString("g"), bufferOf("x"), nullptr, kTagAppData);
    EXPECT_EQ(readWholeFile(mTemp.path() + "/prefs/Vend/g"), recordBytes("adat", "x"));
    EXPECT_TRUE(global.bundleSideFolder().isEmpty());
}

TEST_F(CAppDataTest, ListenersOfAnItemHearEachWriteOnce) {
    CRecordingAppDataListener first, second, other;
    const CString name("colour"), otherName("size");
    first.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&name));
    second.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&name));
    other.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&otherName));
    int sender = 0;
    mScope.write(name, bufferOf("red"), &sender, kTagAppData);
    for (CRecordingAppDataListener* l : {&first, &second}) {
        ASSERT_EQ(l->records.size(), 1u);
        EXPECT_EQ(l->records[0].sender, &sender);
        EXPECT_EQ(l->records[0].key, mScope.getNameId(name));
    }
    EXPECT_TRUE(other.records.empty());
}

TEST_F(CAppDataTest, IdsFollowTheOrderOfFirstUse) {
    CByteBuffer out;
    mScope.read(CString("b"), out, kTagAppData, false);
    EXPECT_EQ(mScope.getNameId(CString("a")), 2);
    mScope.write(CString("c"), bufferOf("x"), nullptr, kTagAppData);
    EXPECT_EQ(mScope.getNameId(CString("b")), 1);
    EXPECT_EQ(mScope.getNameId(CString("c")), 3);
    EXPECT_EQ(mScope.getNameId(CString("a")), 2);
}

TEST_F(CAppDataTest, NamesThatWouldLeaveTheFolderAreRefused) {
    fs::create_directories(mTemp.path() + "/prefs/Vend/Cat");
    writeWholeFile(mTemp.path() + "/prefs/Vend/Cat/outside", recordBytes("adat", "secret"));
    CRecordingAppDataListener listener;
    const CString bad("../outside");
    listener.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&bad));
    for (const char* name : {"../outside", "a/b", "a\\b", ".", "..", ""}) {
        SCOPED_TRACE(name);
        CByteBuffer out;
        mScope.read(CString(name), out, kTagAppData, false);
        EXPECT_TRUE(out.isEmpty());
        mScope.write(CString(name), bufferOf("x"), nullptr, kTagAppData);
    }
    EXPECT_TRUE(listener.records.empty());
    EXPECT_EQ(readWholeFile(mTemp.path() + "/prefs/Vend/Cat/outside"), recordBytes("adat", "secret"));
    EXPECT_FALSE(fs::exists(mTemp.path() + "/prefs/Vend/Cat/a"));
}

TEST_F(CAppDataTest, TooLongTextIsNotStored) {
    const std::string longText(61441, 'x');
    writeAppDataString(&mScope, CString("long"), CString(longText.c_str()), nullptr);
    EXPECT_TRUE(readAppDataString(&mScope, CString("long"), CString("default")).equals("default"));
    const std::string longest(61440, 'y');
    writeAppDataString(&mScope, CString("longest"), CString(longest.c_str()), nullptr);
    EXPECT_TRUE(readAppDataString(&mScope, CString("longest"), CString()).equals(longest.c_str()));
}

TEST(CAppDataScopes, AreChosenByExactName) {
    EXPECT_EQ(CAppData::scopeNamed(CString("global")), &CAppData::globalScope());
    EXPECT_EQ(CAppData::scopeNamed(CString("group")), &CAppData::groupScope());
    EXPECT_EQ(CAppData::scopeNamed(CString("local")), &CAppData::localScope());
    EXPECT_EQ(CAppData::scopeNamed(CString("Global")), nullptr);
    EXPECT_EQ(CAppData::scopeNamed(CString()), nullptr);
}

TEST_F(CAppDataTest, ConcurrentWritesReadsAndListeners) {
    constexpr int kThreads = 4, kRounds = 25;
    std::vector<std::thread> threads;
    std::atomic<int> heard{0};
    class CCounting : public CAppDataListener<CCounting> {
    public:
        explicit CCounting(std::atomic<int>& n) : mHeard(n) {}
        ~CCounting() override { detach(); }
        void update(const CUpdateRecord*) override { mHeard.fetch_add(1); }
    private:
        std::atomic<int>& mHeard;
    };
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const CString name(t % 2 == 0 ? "even" : "odd");
            CCounting listener(heard);
            for (int i = 0; i < kRounds; ++i) {
                listener.setNotifier(&mScope, reinterpret_cast<std::intptr_t>(&name));
                writeAppDataString(&mScope, name, CString(i), nullptr);
                const CString back = readAppDataString(&mScope, name, CString("none"));
                EXPECT_FALSE(back.equals("none"));
            }
        });
    for (std::thread& th : threads) th.join();
    EXPECT_GE(heard.load(), kThreads * kRounds);  // each thread hears at least its own writes
    const CString last = readAppDataString(&mScope, CString("even"), CString("none"));
    EXPECT_EQ(readWholeFile(itemPath("even")), recordBytes("dstr", streamString(last.chars8())));
}

} // namespace
} // namespace tal
