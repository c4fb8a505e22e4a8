#include "Audio/Processes/CAudioModule.h"

#include "Audio/Processes/CModGainModule.h"
#include "support/CLogCapture.h"
#include "support/ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tal {
namespace {

using test::makeStore;

struct ReadCase {
    const char* name;
    std::vector<std::vector<double>> groups;
    bool singleGroup, singleElement;
    std::vector<double> defaults;
    int group, element;
    double expected;
};

TEST(CAudioModule, ReadsBoundValuesByGroupAndElement) {
    const ReadCase cases[] = {
        {"stored value", {{1, 2, 3}, {4, 5}}, false, false, {9}, 1, 1, 5},
        {"single group reads group 0", {{1, 2, 3}, {4, 5}}, true, false, {9}, 1, 2, 3},
        {"single element reads element 0", {{1, 2, 3}, {4, 5}}, false, true, {9}, 1, 1, 4},
        {"both single: [0][0] for any copy", {{7, 2}}, true, true, {9}, 5, 3, 7},
        {"beyond the elements: that element's default", {{1}}, false, false, {10, 11, 12}, 0, 2, 12},
        {"fewer defaults: the first default", {{1}}, false, false, {10, 11}, 0, 5, 10},
        {"group not stored: default", {{1}}, false, false, {10}, 3, 0, 10},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto store = makeStore(c.groups, c.singleGroup, c.singleElement, c.defaults);
        CModGainModule module;
        module.group = std::uint32_t(c.group);
        module.element = std::uint32_t(c.element);
        EXPECT_EQ(module.read(store.get(), -1.0), c.expected);
    }
}

TEST(CAudioModule, StoreWithoutValuesGivesTheModulesDefault) {
    CAudioParamStorage empty;
    CModGainModule module;
    EXPECT_EQ(module.read(nullptr, 0.25), 0.25);
    EXPECT_EQ(module.read(&empty, 0.25), 0.25);
    EXPECT_FALSE(CAudioModule::hasValues(&empty));
}

TEST(CAudioModule, IntegersRoundHalvesAwayFromZero) {
    const struct { double in; std::int64_t out; } cases[] = {
        {0.5, 1}, {1.49, 1}, {2.5, 3}, {-0.5, -1}, {-2.5, -3}, {-2.49, -2}, {0.0, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0}, {1e300, INT64_MAX}, {-1e300, INT64_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CAudioModule::toInteger(c.in), c.out);
    }
    EXPECT_TRUE(CAudioModule::isOn(0.5));
    EXPECT_FALSE(CAudioModule::isOn(0.4999));
}

TEST(CAudioModule, MissingKeyLogsOneLineAndLeavesTheStore) {
    test::TestModuleHost host;
    auto store = makeStore({{1}});
    host.bind(0, store.get());
    const CAudioParamStorage* out = store.get();
    {
        CLogCapture log;
        CAudioModule::regModuleParam(&host, 3, &out);
        host.name = CString("plugin.modMain.modOutGain");
        CAudioModule::regModuleParam(&host, 7, &out);
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"regModuleParam error 3",
                                                         "regModuleParam error 7 // plugin.modMain.modOutGain"}));
    }
    EXPECT_EQ(out, store.get());
    const CAudioParamStorage* found = nullptr;
    CAudioModule::regModuleParam(&host, 0, &found);
    EXPECT_EQ(found, store.get());
}

} // namespace
} // namespace tal
