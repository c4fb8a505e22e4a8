#include "UI/CMinMax.h"

#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tal {
namespace {

class CMinMaxTest : public CRecordingBindingTree {
protected:
    CMinMax* range(const char* name, AttrList attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("ui:min-max"), CString(name), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        watcher->listenObject(object->getFullName(), CString("min-max-update"), CString("on"));
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        EXPECT_EQ(takeMessage(object->initChilds()), "");
        return dynamic_cast<CMinMax*>(object);
    }
    int updates() {
        const int n = watcher->calls;
        watcher->calls = 0;
        return n;
    }
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        watcher = addListener(ui, "watcher");
    }
    CEventTestObject* watcher = nullptr;
};

TEST_F(CMinMaxTest, LogarithmicRangesMapAndClamp) {
    CMinMax* freq = range("freq", {{"min", "20"}, {"max", "20000"}, {"is-log", "true"}, {"scale-power", "1.0"}});
    EXPECT_NEAR(freq->toNormal(200), 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(freq->fromNormal(0.5), 632.455532, 1e-5);
    EXPECT_NEAR(freq->fromNormalClamped(1.2), 20000, 1e-9);
    EXPECT_GT(freq->fromNormal(1.2), 3.9 * 20000);
    for (double p : {0.0, 0.1, 0.77, 1.0})
        EXPECT_NEAR(freq->toNormal(freq->fromNormal(p)), p, 1e-12) << p;
}

TEST_F(CMinMaxTest, ALogarithmicPositionIsFiniteForValuesAtOrBelowZero) {
    CMinMax* freq = range("freq", {{"min", "20"}, {"max", "20000"}, {"is-log", "true"}, {"scale-power", "1.0"}});
    for (double v : {0.0, -5.0, -std::numeric_limits<double>::infinity()})
        EXPECT_EQ(freq->toNormal(v), 0.0) << v;
    CMinMax* bent = range("bent", {{"min", "20"}, {"max", "20000"}, {"is-log", "true"}, {"scale-power", "2"}});
    EXPECT_EQ(bent->toNormal(-1.0), 0.0);
    CMinMax* zero = range("zero", {{"min", "0"}, {"max", "100"}, {"is-log", "true"}, {"scale-power", "1"}});
    EXPECT_EQ(zero->toNormal(50), 0.0);
    EXPECT_EQ(zero->fromNormal(0.5), 0.0);
}

TEST_F(CMinMaxTest, APowerBendsTheLinearMapping) {
    CMinMax* gain = range("gain", {{"min", "-12"}, {"max", "12"}, {"scale-power", "2"}});
    EXPECT_DOUBLE_EQ(gain->toNormal(0), 0.25);
    EXPECT_DOUBLE_EQ(gain->fromNormal(0.25), 0);
    EXPECT_EQ(gain->toNormal(-20), 0.0);
    CMinMax* flat = range("flat", {{"min", "5"}, {"max", "5"}, {"scale-power", "1"}});
    EXPECT_EQ(flat->toNormal(7), 0.0);
    EXPECT_EQ(flat->fromNormal(0.3), 5.0);
    CMinMax* down = range("down", {{"min", "10"}, {"max", "0"}, {"scale-power", "1"}});
    EXPECT_DOUBLE_EQ(down->toNormal(2.5), 0.75);
}

TEST_F(CMinMaxTest, OnlyRealChangesAreAnnounced) {
    CMinMax* r = range("r", {{"min", "1.0"}, {"max", "2"}, {"scale-power", "1"}});
    updates();
    ASSERT_EQ(takeMessage(r->setDoubleAttr(CString("min"), 1.0 + 1e-17, true)), "");
    EXPECT_EQ(updates(), 0);
    ASSERT_EQ(takeMessage(r->setDoubleAttr(CString("min"), 1.5, true)), "");
    EXPECT_EQ(updates(), 1);
    EXPECT_EQ(r->min(), 1.5);
}

TEST_F(CMinMaxTest, BoundEndsCollapseWhileOneIsInactive) {
    const auto info = makeInfo("Level", 1, -60, 0, "-30", true);
    CParamBridge* low = bridgeWith("low", *info);
    bridgeWith("high", *info);
    CParamBridge* off = addBridge("off", "plugin.q", "^client");
    CMinMax* r = range("r", {{"min", "1"}, {"max", "2"}, {"scale-power", "1"}});
    addUIParam(r, "ui-param-x", {{"bridge", "ui.low"}});  // another name is ignored
    addUIParam(r, "ui-param-min", {{"bridge", "ui.low"}});
    EXPECT_EQ(r->min(), 1.0);  // a single bound end changes nothing
    CUIParam* max = addUIParam(r, "ui-param-max", {{"bridge", "ui.high"}});
    EXPECT_DOUBLE_EQ(r->min(), low->toDisplay(0, low->toNormalized(0, -30)));
    EXPECT_DOUBLE_EQ(r->max(), r->min());
    updates();

    ASSERT_EQ(takeMessage(max->setAttr(CString("bridge"), CString("ui.off"), true)), "");
    EXPECT_EQ(r->min(), 0.0);
    EXPECT_EQ(r->max(), 0.0);
    EXPECT_EQ(updates(), 1);
    connector->replyParamInfo(off->listenHandle(), *info);
    max->updateActive();
    EXPECT_DOUBLE_EQ(r->max(), low->toDisplay(0, low->toNormalized(0, -30)));
    EXPECT_EQ(updates(), 1);
}

TEST_F(CMinMaxTest, ARangeParameterGivesItsWholeDisplayRange) {
    const auto info = makeInfo("Level", 1, -60, 6, "0", true);
    CParamBridge* level = bridgeWith("level", *info);
    CMinMax* r = range("r", {{"scale-power", "1"}});
    addUIParam(r, "ui-param-param-min-max", {{"bridge", "ui.level"}});
    EXPECT_DOUBLE_EQ(r->min(), level->toDisplay(0, 0.0));
    EXPECT_DOUBLE_EQ(r->max(), level->toDisplay(0, 1.0));
    EXPECT_NE(r->min(), r->max());
}

} // namespace
} // namespace tal
