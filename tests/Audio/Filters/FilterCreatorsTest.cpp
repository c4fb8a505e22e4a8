#include "Audio/Filters/FilterCreators.h"

#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Core/CError.h"
#include "support/CObjectTreeTest.h"
#include "support/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace tal {
namespace {

using Attrs = std::vector<std::pair<const char*, const char*>>;

// Builds the product's designers and designer array from their tags, as the shared description does.
class FilterDescription : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        static const bool registered = CCreatorRegistry::instance().registerTable(kFilterCreatorTable) == 0;
        ASSERT_TRUE(registered);
        audio = add(root, "audio");
        flt = add(audio, "flt");
    }

    // Creates a child and runs init and createChilds; the caller adds children and calls initChilds.
    CError* begin(CObject& parent, const char* tag, const char* name, const Attrs& attrs, CObject*& out) {
        out = nullptr;
        EXPECT_EQ(parent.addChild(out, CString(tag), CString(name), false), nullptr);
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(out->setAttr(CString(key), CString(value), false), nullptr);
        if (CError* err = out->init())
            return err;
        return out->createChilds();
    }
    CObject* build(CObject& parent, const char* tag, const char* name, const Attrs& attrs) {
        CObject* out = nullptr;
        CError* err = begin(parent, tag, name, attrs, out);
        EXPECT_EQ(err, nullptr) << message(err);
        EXPECT_EQ(out->initChilds(), nullptr);
        return out;
    }
    CObject* serial(const char* name, int items, const char* item, const Attrs& itemAttrs) {
        CObject* s = nullptr;
        EXPECT_EQ(begin(*flt, "audio:fltgen-serial", name, {}, s), nullptr);
        for (int i = 0; i < items; ++i) {
            Attrs a = itemAttrs;
            a.emplace_back("fltgen", item);
            build(*s, "audio:fltgen-serial-item", "item", a);
        }
        EXPECT_EQ(s->initChilds(), nullptr);
        return s;
    }
    static std::string message(CError* err) {
        if (err == nullptr)
            return {};
        std::string text = str(err->message());
        delete err;
        return text;
    }
    void buildProductSet() {
        build(*flt, "audio:fltgen-bypass", "bypass", {});
        build(*flt, "audio:fltgen-magnus", "peak_magnusB", {{"type", "1"}});
        serial("peak_magnusB_fixed", 1, "audio.flt.peak_magnusB", {{"adjust", "1.0,1.0,0.924825"}});
        build(*flt, "audio:fltgen-magnus", "bp2_magnusA", {{"type", "3"}});
        build(*flt, "audio:fltgen-rbj", "notch_rbj2", {{"type", "4"}, {"is-type2", "true"}});
        build(*flt, "audio:fltgen-rbj", "ls_rbj2", {{"type", "7"}, {"is-type2", "true"}});
        build(*flt, "audio:fltgen-rbj", "hs_rbj2", {{"type", "8"}, {"is-type2", "true"}});
        build(*flt, "audio:fltgen-rbj", "lp2_rbj_gq", {{"type", "0"}, {"is-gain-q", "true"}});
        build(*flt, "audio:fltgen-rbj", "hp2_rbj_gq", {{"type", "1"}, {"is-gain-q", "true"}});
        serial("lp4_lr_gq", 2, "audio.flt.lp2_rbj_gq", {{"adjust-pow", "1.0,0.5,1.0"}});
        serial("hp4_lr_gq", 2, "audio.flt.hp2_rbj_gq", {{"adjust-pow", "1.0,0.5,1.0"}});
        serial("lp8_lr_gq", 4, "audio.flt.lp2_rbj_gq", {{"adjust-pow", "1.0,0.25,1.0"}});
        serial("hp8_lr_gq", 4, "audio.flt.hp2_rbj_gq", {{"adjust-pow", "1.0,0.25,1.0"}});
        build(*flt, "audio:fltgen-lphp1", "lp1", {{"type", "0"}});
        build(*flt, "audio:fltgen-lphp1", "hp1g", {{"type", "2"}});
        const char* order[] = {"bypass", "peak_magnusB_fixed", "ls_rbj2", "hs_rbj2", "lp1", "lp2_rbj_gq", "lp4_lr_gq",
                               "lp8_lr_gq", "hp1g", "hp2_rbj_gq", "hp4_lr_gq", "hp8_lr_gq", "notch_rbj2", "bp2_magnusA"};
        CObject* a = nullptr;
        ASSERT_EQ(begin(*audio, "audio:fltgen-array", "filters", {}, a), nullptr);
        for (int i = 0; i < 14; ++i) {
            const std::string path = std::string("audio.flt.") + order[i];
            const std::string index = std::to_string(i);
            build(*a, "audio:fltgen-array-item", "item", {{"fltgen", path.c_str()}, {"index", index.c_str()}});
        }
        ASSERT_EQ(a->initChilds(), nullptr);
        filters = dynamic_cast<CAudioFilterGenArray*>(a);
        ASSERT_NE(filters, nullptr);
    }
    const CAudioFilterGen* gen(const char* name) {
        return dynamic_cast<const CAudioFilterGen*>(flt->findChild(CString(name)));
    }

    CObject* audio = nullptr;
    CObject* flt = nullptr;
    CAudioFilterGenArray* filters = nullptr;
};

TEST_F(FilterDescription, ProductFilterSetMapsModesToDesigners) {
    buildProductSet();
    const struct { int mode; const char* designer; int stages; } rows[] = {
        {0, "bypass", 0}, {1, "peak_magnusB_fixed", 1}, {2, "ls_rbj2", 1}, {3, "hs_rbj2", 1}, {4, "lp1", 1},
        {5, "lp2_rbj_gq", 1}, {6, "lp4_lr_gq", 2}, {7, "lp8_lr_gq", 4}, {8, "hp1g", 1}, {9, "hp2_rbj_gq", 1},
        {10, "hp4_lr_gq", 2}, {11, "hp8_lr_gq", 4}, {12, "notch_rbj2", 1}, {13, "bp2_magnusA", 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.designer);
        const CAudioFilterGen* g = filters->getGen(row.mode);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g, gen(row.designer));
        EXPECT_EQ(test::design(*g, 1000, 2.0, 1.0).count(), row.stages);
    }
    for (int mode : {14, 24, -1})
        EXPECT_EQ(filters->getGen(mode), nullptr);
}

TEST_F(FilterDescription, ProductDesignersHaveTheirResponses) {
    buildProductSet();
    const double fs = 48000.0;
    // Lo-pass 48 at gain 16: four sections of Q 2, so 16 at the corner and 1 at 0 Hz.
    const CAudioFilterStageList lp8 = test::design(*filters->getGen(7), 1000, 16.0, 1.0);
    EXPECT_NEAR(lp8.magnitudeAt(1000, fs), 16.0, 1e-8);
    EXPECT_NEAR(lp8.magnitudeAt(0, fs), 1.0, 1e-12);
    // Lo-pass 24 at 0 dB: two equal sections of Q 1.
    const CAudioFilterStageList lp4 = test::design(*filters->getGen(6), 500, 1.0, 1.0);
    EXPECT_NEAR(lp4.magnitudeAt(500, fs), 1.0, 1e-9);
    // Peaking: the set gain at the centre; its bandwidth narrowed by 0.924825.
    const CAudioFilterStageList peak = test::design(*filters->getGen(1), 2000, 0.5, 2.0);
    const CAudioFilterStageList direct = test::design(*gen("peak_magnusB"), 2000, 0.5, 2.0 * 0.924825);
    EXPECT_NEAR(peak.magnitudeAt(2000, fs), 0.5, 1e-6);
    EXPECT_EQ(peak[0].numerator[0], direct[0].numerator[0]);
    // Shelves with octave slopes and the notch.
    EXPECT_NEAR(test::design(*filters->getGen(2), 100, 4.0, 1.0).magnitudeAt(0, fs), 4.0, 1e-9);
    EXPECT_NEAR(test::design(*filters->getGen(3), 8000, 0.25, 1.0).magnitudeAt(24000, fs), 0.25, 1e-9);
    EXPECT_NEAR(test::design(*filters->getGen(12), 3000, 1.0, 0.3).magnitudeAt(3000, fs), 0.0, 1e-9);
    // First-order Hi-pass 6: -3 dB at the corner.
    EXPECT_NEAR(test::design(*filters->getGen(8), 150, 1.0, 1.0).magnitudeAt(150, fs), 0.7079457843841379, 1e-9);
}

TEST_F(FilterDescription, ArrayItemsWithNegativeOrRepeatedIndex) {
    build(*flt, "audio:fltgen-bypass", "a", {});
    build(*flt, "audio:fltgen-bypass", "b", {});
    CObject* array = nullptr;
    ASSERT_EQ(begin(*audio, "audio:fltgen-array", "filters", {}, array), nullptr);
    build(*array, "audio:fltgen-array-item", "i", {{"fltgen", "audio.flt.a"}, {"index", "-1"}});
    build(*array, "audio:fltgen-array-item", "i", {{"fltgen", "audio.flt.a"}, {"index", "3"}});
    build(*array, "audio:fltgen-array-item", "i", {{"fltgen", "audio.flt.b"}, {"index", "3"}});
    ASSERT_EQ(array->initChilds(), nullptr);
    const auto* table = dynamic_cast<CAudioFilterGenArray*>(array);
    EXPECT_EQ(table->size(), 4);
    EXPECT_EQ(table->getGen(3), gen("b"));
    EXPECT_EQ(table->getGen(0), nullptr);
}

struct InitErrorCase {
    const char* name;
    const char* tag;
    Attrs attrs;
    bool underArray;
    const char* message;
};

class FilterInitError : public FilterDescription, public ::testing::WithParamInterface<InitErrorCase> {};

TEST_P(FilterInitError, FailsWithItsMessage) {
    const InitErrorCase& c = GetParam();
    build(*flt, "audio:fltgen-bypass", "plain", {});
    add(flt, "other");
    CObject* parent = flt;
    if (c.underArray)
        parent = build(*audio, "audio:fltgen-array", "filters", {});
    CObject* out = nullptr;
    EXPECT_EQ(message(begin(*parent, c.tag, "x", c.attrs, out)), c.message);
}

INSTANTIATE_TEST_SUITE_P(All, FilterInitError, ::testing::Values(
    InitErrorCase{"rbj_type", "audio:fltgen-rbj", {{"type", "11"}}, false, "Invalid filter type '11' specified."},
    InitErrorCase{"rbj_negative", "audio:fltgen-rbj", {{"type", "-1"}}, false, "Invalid filter type '-1' specified."},
    InitErrorCase{"magnus_type", "audio:fltgen-magnus", {{"type", "6"}}, false, "Invalid filter type '6' specified."},
    InitErrorCase{"lphp1_type", "audio:fltgen-lphp1", {{"type", "3"}}, false, "Invalid filter type '3' specified."},
    InitErrorCase{"array_parent", "audio:fltgen-array-item", {{"fltgen", "audio.flt.plain"}}, false,
                  "CAudioFilterGenArray class parent expected."},
    InitErrorCase{"fltgen_empty", "audio:fltgen-array-item", {}, true,
                  "Object name attribute 'fltgen' cannot be empty at audio.filters.x."},
    InitErrorCase{"fltgen_missing", "audio:fltgen-serial-item", {{"fltgen", "audio.flt.none"}}, false,
                  "Name attribute 'fltgen' refers to a non-existent object 'audio.flt.none' ('audio.flt.none') at audio.flt.x."},
    InitErrorCase{"fltgen_not_designer", "audio:fltgen-serial-item", {{"fltgen", "audio.flt.other"}}, false,
                  "Incompatible type of object 'audio.flt.other' ('audio.flt.other') at audio.flt.x."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilterDescription, FailingInitNamesTheDesignerInItsTrace) {
    CObject* out = nullptr;
    CError* err = begin(*flt, "audio:fltgen-rbj", "bad", {{"type", "12"}}, out);
    ASSERT_NE(err, nullptr);
    ASSERT_EQ(err->lineCount(), 2);
    EXPECT_EQ(str(err->line(1)).rfind("Audio/Filters/CAudioFilterRBJGen( ", 0), 0u);
    EXPECT_NE(str(err->line(1)).find(" ) // audio.flt.bad"), std::string::npos);
    delete err;
}

} // namespace
} // namespace tal
