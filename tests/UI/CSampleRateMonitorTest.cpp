#include "UI/CSampleRateMonitor.h"

#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class CSampleRateMonitorTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        watcher = addListener(ui, "watcher");
    }
    CSampleRateMonitor* monitor() {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:sample-rate-monitor"), CString("srm"), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("interface-client"), CString("^client"), false)), "");
        watcher->listenObject(object->getFullName(), CString("update"), CString("on"));
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<CSampleRateMonitor*>(object);
    }
    void announceRate(int sequence, double rate) {
        CParamInterfaceMessageWriter writer("update-sample-rate");
        writer.i32(sequence);
        writer.f64(rate);
        connector->reply(writer);
    }
    // A new value of a single-group parameter from the audio side.
    void reply(CParamBridge* bridge, double x) {
        const std::vector<double> values = {x};
        CAudioParamChange change = floatChange(0, 0, values);
        change.singleGroup = true;
        connector->replyParamUpdate(bridge->listenHandle(), change);
    }
    int updates() {
        const int n = watcher->calls;
        watcher->calls = 0;
        return n;
    }
    CEventTestObject* watcher = nullptr;
};

TEST_F(CSampleRateMonitorTest, TheClientsRateIsAnnouncedOnlyWhenItChanges) {
    CSampleRateMonitor* m = monitor();
    EXPECT_EQ(m->rate(), client->sampleRate());
    updates();
    announceRate(1, 48000);
    EXPECT_EQ(m->rate(), 48000);
    EXPECT_EQ(m->effectiveRate(), 48000);
    EXPECT_EQ(updates(), 1);
    announceRate(2, 48000);
    EXPECT_EQ(updates(), 0);
}

TEST_F(CSampleRateMonitorTest, OversamplingMultipliesTheEffectiveRate) {
    const auto info = makeInfo("Quality", 1, -8, 8, "0", true);
    CParamBridge* quality = bridgeWith("quality", *info);
    CParamBridge* host = bridgeWith("host", *info);
    CSampleRateMonitor* m = monitor();
    addUIParam(m, "quality-param", {{"bridge", "ui.quality"}});
    CUIParam* hostParam = addUIParam(m, "host-quality-param", {{"bridge", "ui.host"}});
    announceRate(1, 48000);
    const struct { double q, h; double factor; } cases[] = {
        {3, 0, 4}, {0, 2, 4}, {0, -1, 2}, {2, -3, 8}, {1, 0, 1}, {2.5, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "q " << c.q << " h " << c.h);
        reply(quality, c.q);
        reply(host, c.h);
        EXPECT_EQ(m->rate(), 48000);
        EXPECT_EQ(m->effectiveRate(), 48000 * c.factor);
    }
    // An inactive quality parameter returns to the plain rate.
    reply(quality, 3);
    ASSERT_EQ(m->effectiveRate(), 48000 * 4);
    updates();
    addBridge("silent", "plugin.q", "^client");  // never gets its information
    ASSERT_EQ(takeMessage(hostParam->setAttr(CString("bridge"), CString("ui.silent"), true)), "");
    EXPECT_EQ(m->effectiveRate(), 48000);
    EXPECT_EQ(updates(), 1);
}

} // namespace
} // namespace tal
