#include "Audio/CAudioParamFilter.h"

#include "Audio/CAudioParamFilterBypassGroupSoloDef.h"
#include "Audio/CAudioParamFilterBypassMSDef.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamUndoRecord.h"
#include "Core/CStringList.h"
#include "support/ParamChangeHelpers.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tal {
namespace {

CStringList names(std::initializer_list<const char*> list) {
    CStringList out;
    for (const char* n : list)
        out.add(n);
    return out;
}

// A source and a destination parameter, both bound, and a filter of the given definition between them.
class CAudioParamFilterFixture : public ::testing::Test {
protected:
    void make(const CAudioParamFilterDef& def) {
        filter.reset(def.createFilter());
        ASSERT_EQ(takeMessage(filter->init(&def, &collector, names({"plugin.src"}), names({"plugin.dst"}))), "");
        filter->activate();
    }
    double bypass(int group = 0) const { return dst->getCurrent().getValue(group, 0, 0, -1.0); }
    void setGroup(int group, const std::vector<double>& v) {
        src->applyChange(floatChange(group, 0, v, true), nullptr, {});
    }

    std::unique_ptr<CAudioParamInfo> srcInfo = makeFloatInfo("audio.src", {{0, 0, 0, 0}});
    std::unique_ptr<CAudioParamInfo> dstInfo = makeFloatInfo("audio.dst", {{0}});
    CAudioParamCollector collector;
    CAudioParam* src = collector.acquireParam("plugin.src");
    CAudioParam* dst = collector.acquireParam("plugin.dst");
    std::unique_ptr<CAudioParamFilter> filter;
    void SetUp() override {
        src->setInfo(srcInfo.get(), nullptr, {});
        dst->setInfo(dstInfo.get(), nullptr, {});
    }
};

TEST_F(CAudioParamFilterFixture, GroupSoloBypassesUnlessAGroupIsSoloed) {
    CAudioParamFilterBypassGroupSoloDef def;
    make(def);
    EXPECT_EQ(bypass(), 1.0);  // activation derives the destination at once
    struct Case {
        const char* name;
        std::vector<std::vector<double>> groups;
        double expect;
    } cases[] = {
        {"all zero", {{0}, {0}, {0}}, 1.0},
        {"group 1 soloed", {{0}, {1}, {0}}, 0.0},
        {"0.4 does not count", {{0.4}, {0.4}, {0}}, 1.0},
        {"0.5 counts", {{0}, {0}, {0.5}}, 0.0},
        {"empty group ignored", {{0}, {}, {0}}, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int g = 0; g < int(c.groups.size()); ++g)
            setGroup(g, c.groups[g]);
        EXPECT_EQ(bypass(), c.expect);
        EXPECT_EQ(dst->getCurrent().getElementCount(0), 1);
    }
}

TEST_F(CAudioParamFilterFixture, MidSideBypassesUnlessAPairNumberIsSharedByTwoChannels) {
    CAudioParamFilterBypassMSDef def;
    make(def);
    EXPECT_EQ(bypass(), 1.0);
    struct Case {
        const char* name;
        std::vector<double> pairs;
        double expect;
    } cases[] = {
        {"1 1 0 0", {1, 1, 0, 0}, 0.0},  {"1 2 0 0", {1, 2, 0, 0}, 1.0},     {"1 2 2 0", {1, 2, 2, 0}, 0.0},
        {"0.6 is pair 1", {0.6, 1, 0, 0}, 0.0}, {"negative ignored", {-1, -1, 0, 0}, 1.0},
        {"huge pair numbers", {1e12, 1e12, 0, 0}, 0.0}, {"1.4 and 1.5", {1.4, 1.5, 0, 0}, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setGroup(0, c.pairs);
        EXPECT_EQ(bypass(), c.expect);
    }
    // Other groups derive their own group of the destination.
    setGroup(2, {3, 3});
    EXPECT_EQ(bypass(2), 0.0);
}

TEST_F(CAudioParamFilterFixture, FormatChangeOfTheSourceBecomesAFormatChangeOfTheDestination) {
    CAudioParamFilterBypassMSDef def;
    make(def);
    const std::vector<double> pairs{2, 2, 0};
    src->applyChange(floatChange(CAudioParamChange::kFormatGroup, 0, pairs, true), nullptr, {});
    const CAudioParamStorage& d = dst->getCurrent();
    ASSERT_EQ(d.getDefaultCount(), 1);
    EXPECT_EQ(d.getDefaultRow()[0], 0.0);
    EXPECT_EQ(groupValues(d, 0), (std::vector<double>{0.0}));
}

TEST_F(CAudioParamFilterFixture, DestinationChangeJoinsTheSourceChangesUndoStepAndSender) {
    CAudioParamFilterBypassGroupSoloDef def;
    make(def);
    CAudioParamUndoRecord record(CString("solo"));
    struct Log : CAudioParamListener {
        std::vector<const void*> senders;
        void onParamChange(const CAudioParamUpdateInfo& info) override { senders.push_back(info.sender); }
    } log;
    dst->addListener(&log);
    int token = 0;
    CAudioParamChange c = floatChange(0, 0, {1}, true);
    c.sender = &token;
    const std::vector<double> one{1};
    c.values = one.data();
    src->applyChange(c, nullptr, {&record, nullptr, false});
    dst->removeListener(&log);
    EXPECT_EQ(log.senders, (std::vector<const void*>{&token}));
    EXPECT_NE(record.findEntry(CString("plugin.dst")), nullptr);
}

TEST_F(CAudioParamFilterFixture, DestroyingAnActiveFilterDetachesIt) {
    CAudioParamFilterBypassGroupSoloDef def;
    make(def);
    setGroup(0, {1});
    EXPECT_EQ(bypass(), 0.0);
    filter.reset();
    setGroup(0, {0});
    EXPECT_EQ(bypass(), 0.0);  // no longer derived
}

TEST_F(CAudioParamFilterFixture, AnUnformattedDestinationSilencesTheFilter) {
    CAudioParamFilterBypassGroupSoloDef def;
    filter.reset(def.createFilter());
    ASSERT_EQ(takeMessage(filter->init(&def, &collector, names({"plugin.src"}), names({"plugin.fresh"}))), "");
    filter->activate();
    setGroup(0, {1});
    EXPECT_FALSE(collector.acquireParam("plugin.fresh")->getCurrent().isFormatSet());
}

TEST(CAudioParamFilter, InitCountsTheNames) {
    CAudioParamFilterBypassMSDef def;
    CAudioParamCollector collector;
    struct Case {
        const char* name;
        CStringList src, dst;
        const char* message;
    } cases[] = {
        {"no source", names({}), names({"d"}), "Not enough source parameters 0 defined in the param filter (required 1)."},
        {"ten sources", names({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}), names({"d"}),
         "Too many source parameters 10 defined in the param filter."},
        {"no destination", names({"a"}), names({}),
         "Not enough destination parameters 0 defined in the param filter (required 1)."},
        {"ten destinations", names({"a"}), names({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}),
         "Too many destination parameters 10 defined in the param filter."},
        {"nine of each", names({"a", "b", "c", "d", "e", "f", "g", "h", "i"}),
         names({"a", "b", "c", "d", "e", "f", "g", "h", "i"}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CAudioParamFilter> f(def.createFilter());
        EXPECT_EQ(takeMessage(f->init(&def, &collector, c.src, c.dst)), c.message);
    }
}

TEST(CAudioParamFilterDef, NeedsSourcesAndDestinations) {
    CParamTestTree tree;
    struct Case {
        const char* name;
        AttrList attrs;
        const char* message;
    } cases[] = {
        {"no src", {{"dst", "x"}}, "No source parameters defined."},
        {"only commas", {{"src", ",,"}, {"dst", "x"}}, "No source parameters defined."},
        {"empty dst", {{"src", "io-params.ms-pairs"}}, "No destination parameters defined."},
        {"both", {{"src", "a,,b"}, {"dst", "c"}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.audio(), "audio:param-filter-bypass-ms", c.name, c.attrs)),
                  c.message);
        if (c.message[0] == 0) {
            auto* def = dynamic_cast<CAudioParamFilterDef*>(object);
            ASSERT_NE(def, nullptr);
            EXPECT_EQ(def->getSourceNames().count(), 2);
        }
    }
}

} // namespace
} // namespace tal
