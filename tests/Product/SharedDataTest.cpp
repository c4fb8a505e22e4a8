// Loads the product's compiled shared description as the plug-in does and checks that every object
// the code looks up by path exists with the right class and sound values.
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverterBW.h"
#include "Audio/Converters/CAudioParamConverterEnum.h"
#include "Audio/Converters/CAudioParamConverterFreq.h"
#include "Audio/Converters/CAudioParamConverterGain.h"
#include "Audio/Converters/CAudioParamConverterPercent.h"
#include "Audio/Converters/CAudioParamConverterReal.h"
#include "Audio/Converters/CAudioParamConverterText.h"
#include "Audio/Converters/CAudioParamConverterTime.h"
#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "Core/CResourceMap.h"
#include "Core/CSystem.h"
#include "ProductCreators.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

extern const tal::CResourceEntry productTestResources[];

namespace tal {
namespace {

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

class SharedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        CApplicationSetup setup;
        setup.creatorTables = productCreatorTables();
        setup.resources = productTestResources;
        setup.sharedDataName = "SharedData.xml";
        CLogCapture log;
        CError* err = CApplication::startApplication(setup);
        sStartError = err != nullptr;
        delete err;
        // Other suites of this program may have registered some tables already: those refusals
        // are not faults of the description.
        for (const std::string& line : log.lines()) {
            const bool registration = line.find("registerCreator") != std::string::npos
                                      || line.find("creator table") != std::string::npos;
            if (!registration && (line.find("rror") != std::string::npos || line.find("not ") != std::string::npos))
                sLogErrors.push_back(line);
        }
    }
    static void TearDownTestSuite() { CApplication::finishApplication(); }

    static CObject* find(const char* path) {
        const CObject* shared = CApplication::sharedObject();
        return shared != nullptr ? shared->findObject(CString(path)) : nullptr;
    }
    static const CAudioParamInfo* info(const char* path) {
        const auto* def = dynamic_cast<const CAudioParamDef*>(find(path));
        return def != nullptr ? &def->getInfo() : nullptr;
    }

    static inline bool sStartError = false;
    static inline std::vector<std::string> sLogErrors;
};

TEST_F(SharedData, LoadsWithoutErrorsAndEveryObjectIsBuilt) {
    EXPECT_FALSE(sStartError);
    for (const std::string& line : sLogErrors)
        ADD_FAILURE() << line;
    const CObject* shared = CApplication::sharedObject();
    ASSERT_NE(shared, nullptr);
    int objects = 0;
    std::function<void(const CObject&)> walk = [&](const CObject& o) {
        ++objects;
        EXPECT_GE(o.lifeStage(), 4) << str(o.tag());
        for (int i = 0; i < o.childCount(); ++i)
            walk(*o.child(i));
    };
    walk(*shared);
    EXPECT_GT(objects, 50);
}

TEST_F(SharedData, ProjectIdentityIsComplete) {
    CObject* project = find("project");
    ASSERT_NE(project, nullptr);
    std::uint8_t uuid[16];
    EXPECT_TRUE(CSystem::parseUUID(project->getTextAttr("plugin-uuid"), uuid));
    EXPECT_EQ(project->getTextAttr("plugin-code").length(), 4);
    EXPECT_FALSE(project->getTextAttr("app-name").isEmpty());
    EXPECT_FALSE(project->getTextAttr("app-vendor").isEmpty());
    EXPECT_EQ(str(project->getTextAttr("plugin-category-vst3")), "Fx|EQ");
    EXPECT_EQ(project->getIntAttr("plugin-group-count"), 8);
}

// Every path the code looks up resolves to an object of the class it expects.
TEST_F(SharedData, NamedObjectsHaveTheirClasses) {
    struct Case {
        const char* path;
        std::function<bool(const CObject*)> isExpected;
    };
    auto is = [](auto* sample) {
        using T = std::remove_pointer_t<decltype(sample)>;
        return [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; };
    };
    const std::vector<Case> cases = {
        {"audio.paramcvt.gain", is((CAudioParamConverterGain*)nullptr)},
        {"audio.paramcvt.freq", is((CAudioParamConverterFreq*)nullptr)},
        {"audio.paramcvt.bw", is((CAudioParamConverterBW*)nullptr)},
        {"audio.paramcvt.real", is((CAudioParamConverterReal*)nullptr)},
        {"audio.paramcvt.percent", is((CAudioParamConverterPercent*)nullptr)},
        {"audio.paramcvt.time", is((CAudioParamConverterTime*)nullptr)},
        {"audio.paramcvt.time-sec", is((CAudioParamConverterTime*)nullptr)},
        {"audio.paramcvt.text", is((CAudioParamConverterText*)nullptr)},
        {"audio.paramcvt.enum", is((CAudioParamConverterEnum*)nullptr)},
        {"audio.paramcvt.enum-enable", is((CAudioParamConverterEnum*)nullptr)},
        {"audio.filters", is((CAudioFilterGenArray*)nullptr)},
        {"audio.param-enable-viz", is((CAudioParamDef*)nullptr)},
        // The targets of the host-exported parameters and of the registries.
        {"audio.modMain.bypass-enable", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.preset-name", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eqrange", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eq-params.mode", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eq-params.freq", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eq-params.bw", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eq-params.gain", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.eq-params.band-count", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.spectrum-params.mode-name", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modOutGain.gain", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.io-params.group-names", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.io-params.ms-pairs", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.io-params.channel-group-solo", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.uicolor-params.mode-name", is((CAudioParamDef*)nullptr)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CObject* o = find(c.path);
        ASSERT_NE(o, nullptr);
        EXPECT_TRUE(c.isExpected(o));
    }
}

// The band designers by filter type, as the band's mode values name them.
TEST_F(SharedData, FilterTypesMapToTheirDesigners) {
    const auto* filters = dynamic_cast<const CAudioFilterGenArray*>(find("audio.filters"));
    ASSERT_NE(filters, nullptr);
    const char* designers[] = {"bypass", "peak_magnusB_fixed", "ls_rbj2", "hs_rbj2", "lp1", "lp2_rbj_gq", "lp4_lr_gq",
                               "lp8_lr_gq", "hp1g", "hp2_rbj_gq", "hp4_lr_gq", "hp8_lr_gq", "notch_rbj2", "bp2_magnusA"};
    for (int i = 0; i < 14; ++i) {
        SCOPED_TRACE(i);
        const std::string path = std::string("audio.flt.") + designers[i];
        const CObject* designer = find(path.c_str());
        ASSERT_NE(dynamic_cast<const CAudioFilterGen*>(designer), nullptr);
        EXPECT_EQ(filters->getGen(i), designer);
    }
    for (int i = 14; i <= 24; ++i)
        EXPECT_EQ(filters->getGen(i), nullptr) << i;
    // The filter type names match the designers' order.
    const CAudioParamInfo* mode = info("audio.modMain.modDelmaro.eq-params.mode");
    ASSERT_NE(mode, nullptr);
    ASSERT_EQ(mode->getStateNames().count(), 14);
    EXPECT_EQ(str(mode->getStateNames()[1]), "Peaking");
    EXPECT_EQ(str(mode->getStateShortNames()[5]), "LP12");
    EXPECT_EQ(str(mode->getStateNames()[13]), "Bandpass");
}

// The eight bands: linear gain stored and decibels shown, frequencies spread over the spectrum,
// all bands off by default so that a new instance is flat.
TEST_F(SharedData, BandDefaultsAreFlatAndRangesSound) {
    const CAudioParamInfo* gain = info("audio.modMain.modDelmaro.eq-params.gain");
    const CAudioParamInfo* freq = info("audio.modMain.modDelmaro.eq-params.freq");
    const CAudioParamInfo* bw = info("audio.modMain.modDelmaro.eq-params.bw");
    const CAudioParamInfo* mode = info("audio.modMain.modDelmaro.eq-params.mode");
    ASSERT_TRUE(gain && freq && bw && mode);
    EXPECT_NEAR(gain->getMinimum(0), std::pow(10.0, -30.0 / 20.0), 1e-12);
    EXPECT_NEAR(gain->getMaximum(0), std::pow(10.0, 30.0 / 20.0), 1e-9);
    EXPECT_TRUE(gain->isStorable());
    EXPECT_TRUE(gain->isSingleGroup());
    EXPECT_LE(freq->getMinimum(0), 20.0);
    EXPECT_GE(freq->getMaximum(0), 20000.0);
    const CAudioParamInfo* bands[] = {gain, freq, bw, mode};
    for (const CAudioParamInfo* p : bands) {
        SCOPED_TRACE(str(p->getName()));
        ASSERT_EQ(p->getDefaultValues().getGroupCount(), 1);
        EXPECT_EQ(p->getDefaultValues().getElementCount(0), 8);
    }
    double previous = 0.0;
    for (int band = 0; band < 8; ++band) {
        SCOPED_TRACE(band);
        EXPECT_EQ(mode->getDefaultValues().getValue(0, band, 0), 0.0);   // Off
        EXPECT_NEAR(gain->getDefaultValues().getValue(0, band, 0), 1.0, 1e-12);
        const double f = freq->getDefaultValues().getValue(0, band, 0);
        EXPECT_GT(f, previous);
        previous = f;
    }
    EXPECT_EQ(freq->getDefaultValues().getValue(0, 4, 0), 1000.0);
    const CAudioParamInfo* count = info("audio.modMain.modDelmaro.eq-params.band-count");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->getDefaultValues().getValue(0, 0, 0), 8.0);
    EXPECT_EQ(count->getMaximum(0), 32.0);
}

} // namespace
} // namespace tal
