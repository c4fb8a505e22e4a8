#include "Audio/CAudioParamSharedParam.h"

#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamLock.h"
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CAppDataListener.h"
#include "Core/CSystem.h"
#include "support/CLogCapture.h"
#include "support/ParamChangeHelpers.h"
#include "support/ParamTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace tal {
namespace {

// Counts the writes of one application-data item.
class CWriteCounter : public CAppDataListener<void> {
public:
    ~CWriteCounter() override { detach(); }
    void update(const CUpdateRecord*) override { ++writes; }
    std::atomic<int> writes{0};
};

// Two plug-in instances (collectors) whose "plugin.meter" (real, 0 to 100, default 10) and
// "plugin.name" (string, default "Blue") share items of the local application-data scope, kept in
// a folder of the test's own.
class CAudioParamSharedParamFixture : public ::testing::Test {
protected:
    void SetUp() override {
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mPreferences.path().c_str()));
        CAppData::localScope().resetForTest();
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, tree.audio(), "audio:param", "meter",
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.real"},
                                                     {"min-values", "0"},
                                                     {"max-values", "100"},
                                                     {"def-values", "10"}})),
                  "");
        meterInfo = &dynamic_cast<CAudioParamDef*>(object)->getInfo();
        nameInfo = makeStringInfo("audio.name", {"Blue"});
        for (CAudioParamCollector* c : {&a, &b}) {
            c->acquireParam("plugin.meter")->setInfo(meterInfo, nullptr, {});
            c->acquireParam("plugin.name")->setInfo(nameInfo.get(), nullptr, {});
        }
        counter.setNotifier(&scope(), reinterpret_cast<std::intptr_t>(&kMeterItem));
    }
    void TearDown() override {
        counter.detach();
        CAppData::localScope().resetForTest();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    static CAppData& scope() { return CAppData::localScope(); }
    void share(CAudioParamCollector& c) {
        c.addSharedParam("plugin.meter", &scope(), kMeterItem);
        c.addSharedParam("plugin.name", &scope(), CString("uicolor-name"));
    }
    static double meter(CAudioParamCollector& c) { return c.acquireParam("plugin.meter")->getCurrent().getValue(0, 0, 0); }
    static std::string name(CAudioParamCollector& c) { return textOf(c.acquireParam("plugin.name")->getString(0, 0)); }

    inline static const CString kMeterItem{"integration-time"};
    test::TempFolder mPreferences;
    CString mSavedBundleFolder;
    CParamTestTree tree;
    const CAudioParamInfo* meterInfo = nullptr;
    std::unique_ptr<CAudioParamInfo> nameInfo;
    CAudioParamCollector a, b;
    CWriteCounter counter;
};

TEST_F(CAudioParamSharedParamFixture, InstancesFollowEachOthersChanges) {
    writeAppDataString(&scope(), kMeterItem, CString("25"), nullptr);
    share(a);
    EXPECT_EQ(meter(a), 25.0);       // read at start
    EXPECT_EQ(name(a), "Blue");      // no item: the default text
    share(b);
    a.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, 42.0);
    EXPECT_EQ(meter(b), 42.0);
    b.acquireParam("plugin.name")->setString(0, 0, CString("Night"), nullptr, nullptr, {});
    EXPECT_EQ(name(a), "Night");
    EXPECT_EQ(textOf(readAppDataString(&scope(), CString("uicolor-name"), CString())), "Night");
    // An unparsable text changes nothing.
    writeAppDataString(&scope(), kMeterItem, CString("fast"), nullptr);
    EXPECT_EQ(meter(a), 42.0);
    EXPECT_EQ(meter(b), 42.0);
}

TEST_F(CAudioParamSharedParamFixture, TheSharedValueOutlivesTheInstances) {
    share(a);
    a.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, 64.0);
    // A fresh scope (a new process) reads the item from its file.
    CAppData::localScope().resetForTest();
    CAudioParamCollector c;
    c.acquireParam("plugin.meter")->setInfo(meterInfo, nullptr, {});
    c.addSharedParam("plugin.meter", &scope(), kMeterItem);
    EXPECT_EQ(meter(c), 64.0);
}

TEST_F(CAudioParamSharedParamFixture, WritesWaitForTheEndOfTheUpdate) {
    share(a);
    share(b);
    CAudioParam* p = a.acquireParam("plugin.meter");
    const int before = counter.writes;
    {
        CAudioParamLock lock(p);
        p->setValue(0, nullptr, &lock, 30.0);
        p->setValue(0, nullptr, &lock, 31.0);
        EXPECT_EQ(counter.writes, before);  // nothing written under the parameter lock
        EXPECT_EQ(meter(b), 10.0);
    }
    EXPECT_EQ(counter.writes, before + 1);  // one write for the whole update
    EXPECT_EQ(meter(b), 31.0);
}

// A second mirror of a parameter is refused: the first one is returned, a change writes the item
// once, and a mirror to another item is reported in the log and not made.
TEST_F(CAudioParamSharedParamFixture, ASecondMirrorOfAParameterIsRefused) {
    CAudioParamSharedParam* first = a.addSharedParam("plugin.meter", &scope(), kMeterItem);
    EXPECT_EQ(a.addSharedParam("plugin.meter", &scope(), kMeterItem), first);
    CLogCapture log;
    EXPECT_EQ(a.addSharedParam("plugin.meter", &scope(), CString("release-time")), first);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("release-time"), std::string::npos);
    const int before = counter.writes;
    a.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, 55.0);
    EXPECT_EQ(counter.writes, before + 1);
    EXPECT_EQ(textOf(readAppDataString(&scope(), CString("release-time"), CString("none"))), "none");
    // Another parameter still gets its own mirror.
    EXPECT_NE(a.addSharedParam("plugin.name", &scope(), CString("uicolor-name")), first);
}

// Two instances changing their shared parameters on two threads: each write re-reads the item in
// the other instance, which locks its parameter. Neither thread touches the scope while holding a
// parameter lock, so they cannot wait for each other.
TEST_F(CAudioParamSharedParamFixture, ConcurrentChangesInTwoInstancesDoNotDeadlock) {
    share(a);
    share(b);
    constexpr int kRounds = 200;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) {
            b.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, double(i % 100));
            b.acquireParam("plugin.name")->setString(0, 0, CString("b"), nullptr, nullptr, {});
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        a.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, double((i + 50) % 100));
        a.acquireParam("plugin.name")->setString(0, 0, CString("a"), nullptr, nullptr, {});
    }
    other.join();
    // Quiet again: one more change still reaches the other instance.
    a.acquireParam("plugin.meter")->setValue(0, nullptr, nullptr, 77.0);
    EXPECT_EQ(meter(b), 77.0);
}

} // namespace
} // namespace tal
