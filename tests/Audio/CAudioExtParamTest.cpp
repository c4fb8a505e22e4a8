#include "Audio/CAudioExtParam.h"

#include "Audio/CAudioExtParamHostBridge.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamLock.h"
#include "support/RegistryTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace tal;

namespace {

// A real-valued parameter from 0 to 10 with the default row 1, 2 (group 0 starts as 1, 2).
const AttrList kLevelDef = {{"element-size", "1"},
                            {"converter", "shared::audio.paramcvt.real"},
                            {"min-values", "0"},
                            {"max-values", "10"},
                            {"def-values", "1,2"}};

struct HostCalls : CAudioExtParamHostBridge {
    std::vector<std::pair<int, double>> calls;
    void setHostParamValue(int index, double normalized) override { calls.emplace_back(index, normalized); }
};

struct ChangeRecorder : CAudioParamListener {
    std::vector<std::pair<int, std::vector<double>>> changes;   // first element, values
    void onParamChange(const CAudioParamUpdateInfo& info) override {
        const CAudioParamChange& c = *info.change;
        changes.emplace_back(c.firstElement, std::vector<double>(c.values, c.values + c.count));
    }
};

std::vector<double> group0(const CAudioParam& param) {
    std::vector<double> out;
    for (int e = 0; e < param.getCurrent().getElementCount(0); ++e) out.push_back(param.getCurrent().getValue(0, e, 0));
    return out;
}

class CAudioExtParamFixture : public ::testing::Test {
protected:
    CAudioExtParam* exported(const char* name, const char* element, const char* param = "plugin.level") {
        CObject* object = nullptr;
        CError* err = CParamTestTree::build(object, tree.plugin(), "audio:ext-param", name,
                                            {{"param-collector", CRegistryTestTree::kCollectorPath},
                                             {"ext-name", name},
                                             {"element-index", element},
                                             {"group", "0"},
                                             {"param-name", param}});
        EXPECT_EQ(takeMessage(err), "") << name;
        return dynamic_cast<CAudioExtParam*>(object);
    }
    CRegistryTestTree tree;
    CAudioParam* level = tree.boundParam("level", kLevelDef);
};

} // namespace

TEST_F(CAudioExtParamFixture, HostNamesHaveOneToSevenCharacters) {
    struct Case {
        const char* name;
        const char* message;
    };
    for (const Case& c : {Case{"Freq123", ""}, Case{"Freq1234", "Externalized parameter name 'Freq1234' is too long"},
                          Case{"", "Externalized parameter name '' is too long"}}) {
        SCOPED_TRACE(c.name);
        CObject* object = nullptr;
        CError* err = CParamTestTree::build(object, tree.plugin(), "audio:ext-param", "x",
                                            {{"param-collector", CRegistryTestTree::kCollectorPath},
                                             {"ext-name", c.name},
                                             {"param-name", "plugin.level"}});
        EXPECT_EQ(takeMessage(err), c.message);
        if (object != nullptr) object->release();
    }
}

TEST_F(CAudioExtParamFixture, MissingCollectorFailsInit) {
    CObject* object = nullptr;
    CError* err = CParamTestTree::build(object, tree.plugin(), "audio:ext-param", "x",
                                        {{"ext-name", "X"}, {"param-name", "plugin.level"}});
    EXPECT_NE(takeMessage(err), "");
}

TEST_F(CAudioExtParamFixture, StartsAtTheElementsNormalisedValue) {
    EXPECT_DOUBLE_EQ(exported("Lvl1", "1")->getNormalized(), 0.2);   // element 1 holds 2 of 0..10
    EXPECT_DOUBLE_EQ(exported("Lvl6", "5")->getNormalized(), 0.1);   // beyond the group: row element 0
}

TEST_F(CAudioExtParamFixture, SetNormalizedClampsAndAppliesThePlainValue) {
    CAudioExtParam* ext = exported("Lvl1", "0");
    struct Case {
        double in, normalized, plain;
    };
    for (const Case& c : {Case{0.25, 0.25, 2.5}, Case{1.5, 1.0, 10.0}, Case{-1.0, 0.0, 0.0},
                          Case{std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0}}) {
        SCOPED_TRACE(c.in);
        ext->setNormalized(c.in);
        EXPECT_EQ(ext->getNormalized(), c.normalized);
        EXPECT_DOUBLE_EQ(level->getCurrent().getValue(0, 0, 0), c.plain);
        EXPECT_EQ(level->getCurrent().getElementCount(0), 2);   // no truncation
    }
}

TEST_F(CAudioExtParamFixture, ElementBeyondTheGroupEndIsReachedInOneGapFilledChange) {
    CAudioExtParam* ext = exported("Lvl6", "5");
    ChangeRecorder recorder;
    level->addListener(&recorder);
    ext->setNormalized(0.5);
    level->removeListener(&recorder);
    // Elements 2 to 4 take the default row's element 0 (the row has two elements), element 5 the value.
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].first, 2);
    EXPECT_EQ(recorder.changes[0].second, (std::vector<double>{1, 1, 1, 5}));
    EXPECT_EQ(group0(*level), (std::vector<double>{1, 2, 1, 1, 1, 5}));
}

TEST_F(CAudioExtParamFixture, OtherChangesReachTheHostAfterTheUpdateAndHostChangesAreNotEchoed) {
    CAudioExtParam* first = exported("Lvl1", "0");
    CAudioExtParam* fourth = exported("Lvl4", "3");
    HostCalls host;
    first->setIndex(0);
    fourth->setIndex(3);
    first->setHostBridge(&host);
    fourth->setHostBridge(&host);

    // An editor change of elements 2..3 reports element 3 only, once the outermost lock is released.
    const double values[] = {4.0, 7.5};
    CAudioParamChange change;
    change.group = 0;
    change.firstElement = 2;
    change.count = 2;
    change.sender = &tree;
    change.values = values;
    {
        CAudioParamLock outer(level);
        level->applyChange(change, &outer, {});
        EXPECT_TRUE(host.calls.empty());
    }
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].first, 3);
    EXPECT_DOUBLE_EQ(host.calls[0].second, 0.75);
    EXPECT_DOUBLE_EQ(fourth->getNormalized(), 0.75);

    // A change from the host through element 3 goes back to nobody.
    host.calls.clear();
    fourth->setNormalized(0.1);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_DOUBLE_EQ(level->getCurrent().getValue(0, 3, 0), 1.0);

    // A change of another group is not this parameter's business.
    change.group = 1;
    level->applyChange(change, nullptr, {});
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(CAudioExtParamFixture, TextsAndDefaultsGoThroughTheConverter) {
    CAudioExtParam* ext = exported("Lvl2", "1");
    EXPECT_DOUBLE_EQ(ext->getDefaultNormalized(), 0.2);
    EXPECT_EQ(textOf(ext->normalizedToText(0.25)), "2.50");
    EXPECT_EQ(textOf(ext->normalizedToText(3.0)), "10.00");
    EXPECT_DOUBLE_EQ(ext->textToNormalized("7.5"), 0.75);
    EXPECT_DOUBLE_EQ(ext->textToNormalized("loud"), 0.2);   // unparsable: the element's default
    EXPECT_EQ(textOf(ext->getUnitLabel()), "");

    tree.boundParam("gain", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.percent"},
                             {"min-values", "0"}, {"max-values", "100"}, {"def-values", "50"}});
    EXPECT_EQ(textOf(exported("Gain", "0", "plugin.gain")->getUnitLabel()), "%");
}

TEST_F(CAudioExtParamFixture, WithoutDefinitionConversionsAreNeutral) {
    CAudioExtParam* ext = exported("Free", "0", "plugin.unbound");
    CAudioParam* unbound = tree.collector().findParam("plugin.unbound");
    ASSERT_NE(unbound, nullptr);
    EXPECT_EQ(ext->getDefaultNormalized(), 0.5);
    EXPECT_EQ(ext->textToNormalized("3"), 0.5);
    EXPECT_EQ(textOf(ext->normalizedToText(0.3)), "");
    ext->setNormalized(1.7);
    EXPECT_EQ(ext->getNormalized(), 1.0);
    EXPECT_EQ(unbound->getCurrent().getGroupCount(), 0);
}

TEST_F(CAudioExtParamFixture, ListKeepsExportedChildrenInOrder) {
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, tree.plugin(), "audio:ext-param-list", "ext-param-list", {})),
              "");
    CAudioExtParamList* list = dynamic_cast<CAudioExtParamList*>(object);
    ASSERT_NE(list, nullptr);
    std::vector<CObject*> made;
    for (const char* name : {"A", "B", "C"}) {
        CObject* child = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(child, list, "audio:ext-param", name,
                                                    {{"param-collector", CRegistryTestTree::kCollectorPath},
                                                     {"ext-name", name},
                                                     {"param-name", "plugin.level"}})),
                  "");
        made.push_back(child);
    }
    CParamTestTree::plain(list, "not-exported");
    ASSERT_EQ(list->getCount(), 3);
    made[1]->release();
    ASSERT_EQ(list->getCount(), 2);
    EXPECT_EQ(list->getParam(0), made[0]);
    EXPECT_EQ(list->getParam(1), made[2]);
    EXPECT_EQ(list->getParam(2), nullptr);
}
