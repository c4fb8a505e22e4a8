#include "Audio/CAudioParamDef.h"

#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tal {
namespace {

// Builds a definition "audio.p" from attributes; returns the error's message and last line.
struct Built {
    CAudioParamDef* def = nullptr;
    std::string message, lastLine;
};

Built buildDef(CParamTestTree& tree, AttrList attrs) {
    Built built;
    CObject* object = nullptr;
    CError* err = CParamTestTree::build(object, tree.audio(), "audio:param", "p", attrs);
    built.def = dynamic_cast<CAudioParamDef*>(object);
    if (err) {
        built.lastLine = textOf(err->line(err->lineCount() - 1));
        built.message = takeMessage(err);
    }
    return built;
}

TEST(CAudioParamDef, BuildErrorsTable) {
    CParamTestTree tree;
    struct Case {
        const char* name;
        AttrList attrs;
        const char* message;
    } cases[] = {
        {"missing element size", {{"converter", "shared::audio.paramcvt.gain"}}, "Invalid element size  specified."},
        {"element size 0", {{"element-size", "0"}}, "Invalid element size 0 specified."},
        {"element size text", {{"element-size", "two"}}, "Invalid element size two specified."},
        {"string of two components", {{"element-size", "2"}, {"data-type", "string"}},
         "Invalid element size 2 for non-float data specified."},
        {"raw of two components", {{"element-size", "2"}, {"data-type", "raw"}},
         "Invalid element size 2 for non-float data specified."},
        {"unknown converter",
         {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.nope"}},
         "Audio parameter converter 'shared::audio.paramcvt.nope' not found."},
        {"empty converter", {{"element-size", "1"}}, "Audio parameter converter '' not found."},
        {"not a converter", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt"}},
         "Audio parameter converter 'shared::audio.paramcvt' not found."},
        {"second converter missing", {{"element-size", "2"}, {"converter", "shared::audio.paramcvt.real"}},
         "Audio parameter converter '' not found."},
        {"no minimum", {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"max-values", "1"}},
         "Not enough minimum values defined 0 (should be 1)."},
        {"one maximum for two",
         {{"element-size", "2"}, {"converter", "shared::audio.paramcvt.real"}, {"converter2", "shared::audio.paramcvt.real"},
          {"min-values", "0 0"}, {"max-values", " 1  "}},
         "Not enough maximum values defined 1 (should be 2)."},
        {"empty range",
         {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "5"}, {"max-values", "5"}},
         "Zero default min-max values difference detected in element 0."},
        {"empty second range",
         {{"element-size", "2"}, {"converter", "shared::audio.paramcvt.real"}, {"converter2", "shared::audio.paramcvt.gain"},
          {"min-values", "0 0"}, {"max-values", "1 0"}},
         "Zero default min-max values difference detected in element 1."},
        {"no default values",
         {{"element-size", "1"}, {"converter", "shared::audio.paramcvt.real"}, {"min-values", "0"}, {"max-values", "1"}},
         "Default values parsing error."},
        {"default of the wrong shape",
         {{"element-size", "2"}, {"converter", "shared::audio.paramcvt.real"}, {"converter2", "shared::audio.paramcvt.real"},
          {"min-values", "0 0"}, {"max-values", "1 1"}, {"def-values", "1"}},
         "Not enough default elements at pos 1."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Built built = buildDef(tree, c.attrs);
        EXPECT_EQ(built.message, c.message);
        EXPECT_EQ(built.lastLine.substr(0, 19), "Audio/CAudioParamDe");
        ASSERT_NE(built.def, nullptr);
        const std::string suffix = " ) // " + textOf(built.def->getFullName());
        EXPECT_EQ(built.lastLine.substr(built.lastLine.size() - std::min(built.lastLine.size(), suffix.size())), suffix);
    }
}

TEST(CAudioParamDef, GainDefinitionReadsItsRangeInDecibels) {
    CParamTestTree tree;
    const Built built = buildDef(tree, {{"element-size", "1"},
                                        {"converter", "shared::audio.paramcvt.gain"},
                                        {"min-values", "-30"},
                                        {"max-values", "30"},
                                        {"def-values", "0"},
                                        {"visual-name", "Gain"},
                                        {"is-global", "true"},
                                        {"is-storable", "true"},
                                        {"is-single-group", "true"}});
    ASSERT_EQ(built.message, "");
    const CAudioParamInfo& info = built.def->getInfo();
    EXPECT_DOUBLE_EQ(info.getMinimum(0), std::exp(-30.0 / 8.685889638065037));
    EXPECT_DOUBLE_EQ(info.getMaximum(0), std::exp(30.0 / 8.685889638065037));
    EXPECT_EQ(info.getElementSize(), 1);
    EXPECT_EQ(info.getDataType(), 0);
    EXPECT_TRUE(info.isSingleGroup());
    EXPECT_FALSE(info.isSingleElement());
    EXPECT_TRUE(info.isStorable());
    EXPECT_TRUE(info.isGlobal());
    EXPECT_EQ(textOf(info.getVisualName()), "Gain");
    EXPECT_EQ(info.getName(), built.def->getFullName());
    EXPECT_EQ(textOf(info.getConverterNames()[0]), "shared::audio.paramcvt.gain");
    ASSERT_EQ(info.getDefaultValues().getGroupCount(), 1);
    EXPECT_DOUBLE_EQ(info.getDefaultValues().getValue(0, 0, 0), 1.0);
    ASSERT_EQ(info.getDefaultValues().getDefaultCount(), 1);
}

TEST(CAudioParamDef, ExtraRangePiecesAreIgnored) {
    CParamTestTree tree;
    const Built built = buildDef(tree, {{"element-size", "1"},
                                        {"converter", "shared::audio.paramcvt.freq"},
                                        {"min-values", "20  100"},
                                        {"max-values", "2k 5k"},
                                        {"def-values", "1k"}});
    ASSERT_EQ(built.message, "");
    EXPECT_DOUBLE_EQ(built.def->getInfo().getMinimum(0), 20.0);
    EXPECT_DOUBLE_EQ(built.def->getInfo().getMaximum(0), 2000.0);
    EXPECT_DOUBLE_EQ(built.def->getInfo().getDefaultValues().getValue(0, 0, 0), 1000.0);
}

TEST(CAudioParamDef, PersistenceStorabilityAndGlobality) {
    CParamTestTree tree;
    struct Case {
        const char *persistent, *storable, *global;
        bool isPersistent, isStorable, isGlobal;
    } cases[] = {
        {"true", "true", "", true, false, true},    {"", "true", "false", false, true, true},
        {"", "", "true", false, false, true},       {"", "", "", false, false, false},
        {"true", "", "", true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.persistent << "/" << c.storable << "/" << c.global);
        const Built built = buildDef(tree, {{"element-size", "1"},
                                            {"converter", "shared::audio.paramcvt.real"},
                                            {"min-values", "0"},
                                            {"max-values", "1"},
                                            {"def-values", "0"},
                                            {"is-persistent", c.persistent},
                                            {"is-storable", c.storable},
                                            {"is-global", c.global}});
        ASSERT_EQ(built.message, "");
        const CAudioParamInfo& info = built.def->getInfo();
        EXPECT_EQ(info.isPersistent(), c.isPersistent);
        EXPECT_EQ(info.isStorable(), c.isStorable);
        EXPECT_EQ(info.isGlobal(), c.isGlobal);
    }
}

TEST(CAudioParamDef, DataTypeWordsAreExact) {
    CParamTestTree tree;
    const Built capitals = buildDef(tree, {{"element-size", "2"},
                                           {"data-type", "STRING"},
                                           {"converter", "shared::audio.paramcvt.real"},
                                           {"converter2", "shared::audio.paramcvt.real"},
                                           {"min-values", "0 0"},
                                           {"max-values", "1 1"},
                                           {"def-values", "0 1"}});
    ASSERT_EQ(capitals.message, "");
    EXPECT_EQ(capitals.def->getInfo().getDataType(), 0);

    const Built names = buildDef(tree, {{"element-size", "1"},
                                        {"data-type", "string"},
                                        {"converter", "shared::audio.paramcvt.text"},
                                        {"min-values", "anything"},
                                        {"def-values", "L,R,IN3"}});
    ASSERT_EQ(names.message, "");
    const CAudioParamInfo& info = names.def->getInfo();
    EXPECT_EQ(info.getDataType(), 1);
    EXPECT_DOUBLE_EQ(info.getMinimum(0), 0.0);
    EXPECT_DOUBLE_EQ(info.getMaximum(0), 8388608.0);
    EXPECT_EQ(info.getDefaultValues().getElementCount(0), 3);

    const Built empty = buildDef(tree, {{"element-size", "1"}, {"data-type", "string"},
                                        {"converter", "shared::audio.paramcvt.text"}});
    ASSERT_EQ(empty.message, "");
    EXPECT_EQ(empty.def->getInfo().getDefaultValues().getElementCount(0), 1);
}

TEST(CAudioParamDef, StateNamesAreSplitIntoFullAndShortNames) {
    CParamTestTree tree;
    const Built built = buildDef(tree, {{"element-size", "1"},
                                        {"converter", "shared::audio.paramcvt.enum"},
                                        {"min-values", "0"},
                                        {"max-values", "5"},
                                        {"def-values", "0"},
                                        {"state-names", "Off; Normalize | Norm ;Center;Spectrum slope;Long|Abbreviation;|"}});
    ASSERT_EQ(built.message, "");
    const CAudioParamInfo& info = built.def->getInfo();
    const char* full[] = {"Off", "Normalize", "Center", "Spectrum slope", "Long", "|"};
    const char* shortNames[] = {"Off", "Norm", "Center", "Spectru", "Abbrevi", ""};
    ASSERT_EQ(info.getStateNames().count(), 6);
    ASSERT_EQ(info.getStateShortNames().count(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(textOf(info.getStateNames()[i]), full[i]);
        EXPECT_EQ(textOf(info.getStateShortNames()[i]), shortNames[i]);
    }
}

TEST(CAudioParamDef, SwitchValuesAndNames) {
    CParamTestTree tree;
    struct Case {
        const char *values, *names;
        std::vector<double> expected;
        std::vector<std::string> expectedNames;
    } cases[] = {
        {"0,x", "Off,On", {}, {}},
        {"5", "", {5}, {""}},
        {"1,,2,5", "A", {1, 2, 5}, {"A", "", ""}},
        {"", "Ignored", {}, {}},
        {"-1,3", "Low,High,Extra", {-1, 3}, {"Low", "High", "Extra"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values);
        const Built built = buildDef(tree, {{"element-size", "1"},
                                            {"converter", "shared::audio.paramcvt.real"},
                                            {"min-values", "0"},
                                            {"max-values", "10"},
                                            {"def-values", "0"},
                                            {"switch-values", c.values},
                                            {"switch-names", c.names}});
        ASSERT_EQ(built.message, "");
        const CAudioParamInfo& info = built.def->getInfo();
        ASSERT_EQ(info.getSwitchValues().count(), int(c.expected.size()));
        for (int i = 0; i < info.getSwitchValues().count(); ++i) EXPECT_DOUBLE_EQ(info.getSwitchValues()[i], c.expected[i]);
        ASSERT_EQ(info.getSwitchNames().count(), int(c.expectedNames.size()));
        for (int i = 0; i < info.getSwitchNames().count(); ++i) EXPECT_EQ(textOf(info.getSwitchNames()[i]), c.expectedNames[i]);
    }
}

} // namespace
} // namespace tal
