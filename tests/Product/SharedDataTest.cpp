// Loads the product's compiled shared description as the plug-in does and checks that every object
// the code looks up by path exists with the right class and sound values.
#include "Audio/CAudioCCTable.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamUndo.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Audio/CAudioProcess.h"
#include "Audio/CAudioProcessDef.h"
#include "Audio/Converters/CAudioParamConverter.h"
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
#include "Audio/Processes/CModBypass.h"
#include "Audio/Processes/CModFilterIIR.h"
#include "Audio/Processes/CModGain.h"
#include "Audio/Processes/CModMSCoder.h"
#include "Audio/Processes/CModNode.h"
#include "Audio/Processes/CModOutput.h"
#include "Audio/Processes/ProcessCreators.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/CModSpectrum.h"
#include "Core/CApplication.h"
#include "Other/Interface/CAudioInterfaceBase.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "Core/CObject.h"
#include "Core/CMemoryReader.h"
#include "Core/CResourceMap.h"
#include "Core/CResourceReader.h"
#include "Core/RecordTags.h"
#include "Core/CStringList.h"
#include "Core/CSystem.h"
#include "Core/CTimerQueued.h"
#include "ProductCreators.h"
#include "support/CLogCapture.h"
#include "support/ProductInstance.h"
#include "support/ProductStart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

extern const tal::CResourceEntry productTestResources[];

namespace tal {
namespace {

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

class SharedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::vector<std::string> lines;
        sStartError = startProductApplication(productTestResources, lines);
        // Other suites of this program may have registered some tables already: those refusals
        // are not faults of the description.
        for (const std::string& line : lines) {
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
        // Every object is found at its own full name: no sibling of the same name hides it from
        // the lookups by path (definitions are bound to parameters by name).
        if (&o != shared) {
            EXPECT_EQ(shared->findObject(o.getFullName()), &o) << str(o.getFullName());
        }
        for (int i = 0; i < o.childCount(); ++i)
            walk(*o.child(i));
    };
    walk(*shared);
    EXPECT_GT(objects, 50);
}

// An editor description's timers are built as timers, not as plain objects.
TEST_F(SharedData, TimersOfTheDescriptionGetTheirClass) {
    CObject* holder = CApplication::sharedObject();
    ASSERT_NE(holder, nullptr);
    CObject* child = nullptr;
    CLogCapture log;
    ASSERT_EQ(holder->addChild(child, CString("core:timer"), CString("test-timer"), false), nullptr);
    EXPECT_NE(dynamic_cast<CTimerQueued*>(child), nullptr);
    holder->removeChild(child);
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
        // The process definitions the plug-in and the composites make processes of.
        {"audio.modMain", is((CAudioProcessDef*)nullptr)},
        {"audio.modOutput", is((CModOutputDef*)nullptr)},
        {"audio.modMain.modInputNode", is((CModNodeDef*)nullptr)},
        {"audio.modMain.modMSEncoder", is((CModMSCoderDef*)nullptr)},
        {"audio.modMain.modPreUpsampler", is((CModNodeDef*)nullptr)},
        {"audio.modMain.modMainPre", is((CModNodeDef*)nullptr)},
        {"audio.modMain.modDelmaro", is((CAudioProcessDef*)nullptr)},
        {"audio.modMain.modDelmaro.modFilter", is((CModFilterIIRDef*)nullptr)},
        {"audio.modMain.modOutGain", is((CModGainDef*)nullptr)},
        {"audio.modMain.modPostDownsampler", is((CModNodeDef*)nullptr)},
        {"audio.modMain.modGroupSolo", is((CModBypassDef*)nullptr)},
        {"audio.modMain.modMSDecoder", is((CModMSCoderDef*)nullptr)},
        {"audio.modMain.modBypass", is((CModBypassDef*)nullptr)},
        {"audio.modMain.modSpectrum", is((CModSpectrumDef*)nullptr)},
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
        {"audio.modMain.uicolor-params.palette", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.modDelmaro.spectrum-params.disable", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.mid-side-bypass", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.group-solo-bypass", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.main-window-size", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.instance-name", is((CAudioParamDef*)nullptr)},
        {"audio.modMain.host-track-name", is((CAudioParamDef*)nullptr)},
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

// Defaults written as texts read back as the texts a user sees (enumerations read a number as an
// index, so a numeric state name must be given by its index).
TEST_F(SharedData, DefaultsShowTheIntendedTexts) {
    struct Case {
        const char* path;
        int element;
        const char* text;
    } cases[] = {
        {"audio.modMain.modDelmaro.spectrum-params.block-size", 0, "4096"},
        {"audio.modMain.modDelmaro.spectrum-params.window", 0, "Hann"},
        {"audio.modMain.modDelmaro.spectrum-params.type", 0, "RT Avg"},
        {"audio.modMain.modDelmaro.spectrum-params.sec-type", 0, "Max"},
        {"audio.modMain.modDelmaro.eqrange", 0, "12 dB"},
        {"audio.modMain.modDelmaro.eq-params.mode", 7, "Off"},
        {"audio.modMain.io-params.ms-pairs", 15, "---"},
        {"audio.modMain.modMSEncoder.mode", 0, "Encoder"},
        {"audio.modMain.modMSDecoder.mode", 0, "Decoder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const CAudioParamInfo* p = info(c.path);
        ASSERT_NE(p, nullptr);
        ASSERT_NE(p->getConverter(0), nullptr);
        const double value = p->getDefaultValues().getValue(0, c.element, 0);
        EXPECT_EQ(str(p->getConverter(0)->formatValue(*p, 0, nullptr, kPrecisionPrecise, value)), c.text);
    }
}

// --- the instance tree made from the "plugin" template ---

// The objects the plug-in looks up in every instance, with their classes, and the cross-links
// between them.
TEST_F(SharedData, InstanceTreeHoldsWhatThePlugInLooksUp) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    const CObject* root = instance.root();
    ASSERT_NE(root, nullptr);
    EXPECT_NE(dynamic_cast<CAudioEnv*>(root->findObject(CString("plugin.audio-env"))), nullptr);
    EXPECT_NE(dynamic_cast<CAudioParamCollector*>(root->findObject(CString("plugin.param-collector"))), nullptr);
    EXPECT_NE(dynamic_cast<CAudioVizCollector*>(root->findObject(CString("plugin.viz-collector"))), nullptr);
    EXPECT_NE(dynamic_cast<CAudioExtParamList*>(root->findObject(CString("plugin.ext-param-list"))), nullptr);
    EXPECT_NE(dynamic_cast<CAudioParamRegistry*>(root->findObject(CString("plugin.param-registry"))), nullptr);
    EXPECT_NE(dynamic_cast<CAudioCCTable*>(root->findObject(CString("plugin.cctable"))), nullptr);
    auto* base = dynamic_cast<CAudioInterfaceBase*>(root->findObject(CString("plugin.interface-base")));
    EXPECT_NE(base, nullptr);
    // Every reference attribute of the instance's objects names the object of the right class.
    auto env = [](CObject* o) { return o->getTextAttr("env"); };
    auto collector = [](CObject* o) { return o->getTextAttr("param-collector"); };
    struct Link {
        const char* object;
        std::function<CString(CObject*)> attr;
        std::function<bool(const CObject*)> isExpected;
    };
    auto is = [](auto* sample) {
        using T = std::remove_pointer_t<decltype(sample)>;
        return [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; };
    };
    const std::vector<Link> links = {
        {"plugin.param-collector", env, is((CAudioEnv*)nullptr)},
        {"plugin.viz-collector", env, is((CAudioEnv*)nullptr)},
        {"plugin.viz-collector", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.ext-param-list.Bypass", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.ext-param-list.Gain8", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.param-registry", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.param-registry-io", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.param-registry-uicolor", collector, is((CAudioParamCollector*)nullptr)},
        {"plugin.param-registry-spectrum", collector, is((CAudioParamCollector*)nullptr)},
    };
    for (const Link& l : links) {
        SCOPED_TRACE(l.object);
        CObject* o = root->findObject(CString(l.object));
        ASSERT_NE(o, nullptr);
        EXPECT_TRUE(l.isExpected(o->findObject(l.attr(o))));
    }
    EXPECT_EQ(root->findObject(CString("plugin.param-collector"))->findObject(CString("^audio-env")), instance.env);
    // The editor's client connector finds the base connector by this path.
    auto* connector = dynamic_cast<CParamInterfaceBaseConnectorUni*>(
        root->findObject(CString("plugin.interface-base-connector")));
    ASSERT_NE(connector, nullptr);
    EXPECT_EQ(base->baseConnector(), connector);
}

// The palette travels as one raw item; the side-chain map and mute hold one element per internal
// channel, the map's defaults being the identity (the routing the host's channels give).
TEST_F(SharedData, RoutingAndPaletteParametersHaveTheirLayout) {
    const CAudioParamInfo* palette = info("audio.modMain.uicolor-params.palette");
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->getDataType(), CAudioParamStorage::kTypeRaw);
    const int channels = find("project")->getIntAttr("plugin-intchannel-count");
    ASSERT_EQ(channels, 8);
    for (const char* name : {"audio.modMain.io-params.sidechain", "audio.modMain.io-params.sidechain-mute"}) {
        SCOPED_TRACE(name);
        const CAudioParamInfo* param = info(name);
        ASSERT_NE(param, nullptr);
        EXPECT_FALSE(param->isSingleElement());
        const CAudioParamStorage& defaults = param->getDefaultValues();
        ASSERT_EQ(defaults.getElementCount(0), channels);
        const bool isMap = std::string(name).ends_with("sidechain");
        for (int i = 0; i < channels; ++i)
            EXPECT_EQ(defaults.getDefault(i, 0), isMap ? i : 0) << i;
    }
}

// The 35 host parameters in the order of their ids: bypass, range, four per band, output gain.
TEST_F(SharedData, HostParametersAreTheThirtyFiveInOrder) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    const auto* list = dynamic_cast<CAudioExtParamList*>(instance.plugin->findObject(CString(".ext-param-list")));
    ASSERT_NE(list, nullptr);
    struct Expected {
        std::string name, param;
        int element;
    };
    std::vector<Expected> expected = {{"Bypass", "plugin.modMain.bypass-enable", 0},
                                      {"EQRange", "plugin.modMain.modDelmaro.eqrange", 0}};
    const char* kinds[][2] = {{"Type", "mode"}, {"Freq", "freq"}, {"BW", "bw"}, {"Gain", "gain"}};
    for (int band = 1; band <= 8; ++band)
        for (const auto& kind : kinds)
            expected.push_back({kind[0] + std::to_string(band),
                                std::string("plugin.modMain.modDelmaro.eq-params.") + kind[1], band - 1});
    expected.push_back({"OutGain", "plugin.modMain.modOutGain.gain", 0});
    ASSERT_EQ(list->getCount(), 35);
    for (int i = 0; i < 35; ++i) {
        SCOPED_TRACE(expected[std::size_t(i)].name);
        const CAudioExtParam* p = list->getParam(i);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(str(p->getExtName()), expected[std::size_t(i)].name);
        EXPECT_LE(p->getExtName().length(), 7);
        EXPECT_EQ(str(p->getParam()->getName()), expected[std::size_t(i)].param);
        EXPECT_EQ(p->getGroup(), 0);
        EXPECT_EQ(p->getElement(), expected[std::size_t(i)].element);
        // Bound to its definition once the main process exists, with a default for the element.
        const CAudioParamInfo* def = p->getParam()->getInfo();
        ASSERT_NE(def, nullptr);
        EXPECT_GT(def->getDefaultValues().getElementCount(0), p->getElement());
    }
}

// The four registries with the slices, ids and names the presets and the editor rely on.
TEST_F(SharedData, RegistriesOwnTheirSlices) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    struct Row {
        const char* object;
        const char* hierarchy;
        const char* id;
        bool master, globalStorable;
        const char* nameParam;
    } rows[] = {
        {"param-registry-io", "plugin.modMain.io-params.", "TLIO", false, false, ""},
        {"param-registry", "plugin.modMain.", "TLDM", true, false, "plugin.modMain.preset-name"},
        {"param-registry-uicolor", "plugin.modMain.uicolor-params.", "TLUS", false, true,
         "plugin.modMain.uicolor-params.mode-name"},
        {"param-registry-spectrum", "plugin.modMain.modDelmaro.spectrum-params.", "TLSP", false, false,
         "plugin.modMain.modDelmaro.spectrum-params.mode-name"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.object);
        auto* registry = dynamic_cast<CAudioParamRegistry*>(instance.plugin->findObject(CString(".") + CString(r.object)));
        ASSERT_NE(registry, nullptr);
        EXPECT_EQ(str(registry->getHierarchy()), r.hierarchy);
        EXPECT_EQ(str(registry->getId()), r.id);
        EXPECT_EQ(registry->getId().length(), 4);
        EXPECT_EQ(registry->isMaster(), r.master);
        EXPECT_EQ(registry->isGlobalParamStorable(), r.globalStorable);
        EXPECT_FALSE(registry->isEnumerated());
        ASSERT_EQ(registry->getRemaps().size(), 1u);
        EXPECT_EQ(str(registry->getRemaps()[0].orig), "plugin");
        EXPECT_EQ(str(registry->getRemaps()[0].replacement), "audio");
        EXPECT_EQ(registry->getUndo(),
                  dynamic_cast<CAudioParamUndo*>(instance.plugin->findObject(CString(".interface-base"))));
        EXPECT_NE(registry->getUndo(), nullptr);
        const CAudioParam* nameParam = registry->getPresetNameParam();
        EXPECT_EQ(nameParam != nullptr ? str(nameParam->getName()) : std::string(), r.nameParam);
    }
    EXPECT_EQ(instance.master, instance.plugin->findObject(CString(".param-registry")));
}

// --- the main process ---

double rmsOf(const std::vector<double>& x, std::size_t from) {
    double sum = 0.0;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += x[i] * x[i];
    return std::sqrt(sum / double(x.size() - from));
}

// Runs a stereo sine (left) and its negation (right) through the main process in blocks of 480
// samples; returns both output channels.
std::vector<std::vector<double>> runSine(test::CProductInstance& instance, double hz, int blocks) {
    std::vector<std::vector<double>> out(2);
    for (int b = 0; b < blocks; ++b) {
        std::vector<std::vector<double>> in(2, std::vector<double>(480));
        for (int i = 0; i < 480; ++i) {
            in[0][std::size_t(i)] = 0.25 * std::sin(2.0 * std::numbers::pi * hz * (b * 480 + i) / 48000.0);
            in[1][std::size_t(i)] = -in[0][std::size_t(i)];
        }
        const std::vector<std::vector<double>> got = instance.run(in);
        EXPECT_EQ(got.size(), 2u);
        if (got.size() != 2)
            return out;
        for (int c = 0; c < 2; ++c)
            out[std::size_t(c)].insert(out[std::size_t(c)].end(), got[std::size_t(c)].begin(), got[std::size_t(c)].end());
    }
    return out;
}

std::vector<std::string> childProcesses(test::CProductInstance& instance) {
    std::vector<std::string> names;
    const auto* root = dynamic_cast<const CAudioProcess*>(instance.main);
    for (const char* child : {"modInputNode", "modMSEncoder", "modPreUpsampler", "modMainPre", "modDelmaro",
                              "modOutGain", "modPostDownsampler", "modSpectrum", "modGroupSolo", "modMSDecoder",
                              "modBypass"})
        if (root != nullptr && root->childProcess(CString(child)) != nullptr)
            names.emplace_back(child);
    return names;
}

// A new stereo instance is flat: the signal passes unchanged through the equaliser, the output gain
// and the bypass, and the switched-off parts (coders, group solo) have no process.
TEST_F(SharedData, NewStereoInstanceIsFlat) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    ASSERT_NE(dynamic_cast<CAudioProcess*>(instance.main), nullptr);
    std::vector<std::vector<double>> in = {{0.5, -0.25, 0.125, 1.0}, {-1.0, 0.75, 0.0, 0.3}};
    EXPECT_EQ(instance.run(in), in);
    EXPECT_EQ(childProcesses(instance), (std::vector<std::string>{"modDelmaro", "modOutGain", "modBypass"}));
}

// The band parameters reach the filters through their remappings: a peaking band of +6 dB at
// 1 kHz lifts a 1 kHz sine by 6 dB; the output gain and the plug-in's bypass act on the result.
TEST_F(SharedData, BandGainOutputGainAndBypassShapeTheSignal) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    CAudioParamCollector& params = *instance.collector;
    const char* eq = "plugin.modMain.modDelmaro.eq-params.";
    ASSERT_TRUE(test::CProductInstance::setText(params, (std::string(eq) + "mode").c_str(), 2, "Peaking"));
    ASSERT_TRUE(test::CProductInstance::setText(params, (std::string(eq) + "freq").c_str(), 2, "1000"));
    ASSERT_TRUE(test::CProductInstance::setText(params, (std::string(eq) + "gain").c_str(), 2, "6"));
    struct Step {
        const char* outGain;
        const char* bypass;
        double expectDb;
    } steps[] = {{"0", "Off", 6.0}, {"-12", "Off", -6.0}, {"-12", "On", 0.0}};
    const double inRms = 0.25 / std::sqrt(2.0);
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.outGain) + " dB, bypass " + s.bypass);
        ASSERT_TRUE(test::CProductInstance::setText(params, "plugin.modMain.modOutGain.gain", 0, s.outGain));
        ASSERT_TRUE(test::CProductInstance::setText(params, "plugin.modMain.bypass-enable", 0, s.bypass));
        const std::vector<std::vector<double>> out = runSine(instance, 1000.0, 40);   // 0.4 s
        ASSERT_EQ(out[0].size(), 40u * 480u);
        const std::size_t from = out[0].size() - 4800;   // the last 100 periods
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(20.0 * std::log10(rmsOf(out[std::size_t(c)], from) / inRms), s.expectDb, 0.05) << c;
    }
}

// Routing switches bring their parts into the graph: a mid/side pair makes both coders, a soloed
// channel group the group solo.
TEST_F(SharedData, RoutingSwitchesAddTheirProcesses) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    std::vector<std::vector<double>> in = {{0.5, -0.25}, {-1.0, 0.75}};
    instance.run(in);
    ASSERT_TRUE(test::CProductInstance::setText(*instance.collector, "plugin.modMain.io-params.ms-pairs", 0, "MS1"));
    ASSERT_TRUE(test::CProductInstance::setText(*instance.collector, "plugin.modMain.io-params.ms-pairs", 1, "MS1"));
    const std::vector<std::vector<double>> coded = instance.run(in);
    EXPECT_EQ(childProcesses(instance),
              (std::vector<std::string>{"modMSEncoder", "modDelmaro", "modOutGain", "modMSDecoder", "modBypass"}));
    // Coded to mid/side and back through a flat equaliser: the signal is unchanged.
    ASSERT_EQ(coded.size(), 2u);
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < 2; ++i)
            EXPECT_NEAR(coded[c][i], in[c][i], 1e-15) << c << " " << i;
    ASSERT_TRUE(
        test::CProductInstance::setText(*instance.collector, "plugin.modMain.io-params.channel-group-solo", 0, "On"));
    instance.run(in);
    EXPECT_EQ(childProcesses(instance), (std::vector<std::string>{"modMSEncoder", "modDelmaro", "modOutGain",
                                                                  "modGroupSolo", "modMSDecoder", "modBypass"}));
}

// --- the factory bank ---

struct SourcePreset {
    std::string name;
    std::vector<std::pair<std::string, std::string>> settings;   // host name, value text
};

// The presets of the bank's readable source, read the way its format describes.
std::vector<SourcePreset> readBankSource() {
    std::vector<SourcePreset> presets;
    std::ifstream in(TAL_FACTORY_BANK_SOURCE);
    EXPECT_TRUE(in.good()) << TAL_FACTORY_BANK_SOURCE;
    auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(" \t\r"));
        s.erase(s.find_last_not_of(" \t\r") + 1);
        return s;
    };
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("preset ", 0) == 0)
            presets.push_back({trim(line.substr(7)), {}});
        else if (!presets.empty() && line.find('=') != std::string::npos)
            presets.back().settings.emplace_back(trim(line.substr(0, line.find('='))),
                                                 trim(line.substr(line.find('=') + 1)));
        else
            ADD_FAILURE() << "unreadable line: " << line;
    }
    return presets;
}

std::vector<std::string> factoryPresetNames(CAudioParamRegistry& master) {
    CStringList names;
    int current = 0;
    master.getPresetNames(true, names, current);
    std::vector<std::string> result;
    for (int i = 0; i < names.count(); ++i)
        result.push_back(str(names[i]));
    return result;
}

// Every factory preset loads into a new instance's master registry, under the name its source
// gives, and sets each host parameter to the value its source writes, the others to their defaults.
TEST_F(SharedData, FactoryPresetsSetWhatTheirSourceSays) {
    const std::vector<SourcePreset> source = readBankSource();
    ASSERT_GE(source.size(), 8u);
    EXPECT_EQ(source[0].name, "Default");
    EXPECT_TRUE(source[0].settings.empty());
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    CAudioParamRegistry& master = *instance.master;
    const std::vector<std::string> names = factoryPresetNames(master);
    ASSERT_EQ(names.size(), source.size());
    EXPECT_EQ(master.getProgramCount(), int(source.size()));   // the programs start as the factory presets
    const auto* list = dynamic_cast<CAudioExtParamList*>(instance.plugin->findObject(CString(".ext-param-list")));
    ASSERT_NE(list, nullptr);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const SourcePreset& preset = source[i];
        SCOPED_TRACE(preset.name);
        EXPECT_EQ(names[i], "TLDM:" + preset.name);
        master.activateFactoryPreset(int(i));
        for (int h = 0; h < list->getCount(); ++h) {
            const CAudioExtParam& host = *list->getParam(h);
            const CAudioParam& param = *host.getParam();
            const CAudioParamInfo& def = *param.getInfo();
            const std::string hostName = str(host.getExtName());
            SCOPED_TRACE(hostName);
            double expected = def.getDefaultValues().getValue(0, host.getElement(), 0);
            for (const auto& [key, text] : preset.settings) {
                if (key != hostName)
                    continue;
                bool ok = false;
                expected = def.getConverter(0)->parseText(def, 0, CString(text.c_str()), &ok);
                EXPECT_TRUE(ok) << text;
            }
            ASSERT_GT(param.getCurrent().getElementCount(host.getGroup()), host.getElement());
            EXPECT_EQ(param.getCurrent().getValue(host.getGroup(), host.getElement(), 0), expected);
        }
    }
    // Every key of the source names a host parameter.
    for (const SourcePreset& preset : source)
        for (const auto& setting : preset.settings) {
            bool found = false;
            for (int h = 0; h < list->getCount(); ++h)
                found = found || str(list->getParam(h)->getExtName()) == setting.first;
            EXPECT_TRUE(found) << preset.name << ": " << setting.first;
        }
}

// The factory presets do to the sound what their names say.
TEST_F(SharedData, FactoryPresetsShapeTheSpectrumAsNamed) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    CAudioParamRegistry& master = *instance.master;
    const std::vector<std::string> names = factoryPresetNames(master);
    auto levelDb = [&](double hz) {
        const std::vector<std::vector<double>> out = runSine(instance, hz, 40);
        return 20.0 * std::log10(rmsOf(out[0], out[0].size() - 4800) / (0.25 / std::sqrt(2.0)));
    };
    struct Row {
        const char* preset;
        double hz, minDb, maxDb;
    } rows[] = {
        {"Default", 50.0, -0.01, 0.01},          {"Default", 10000.0, -0.01, 0.01},
        {"Low Cut 80 Hz", 20.0, -100.0, -20.0},  {"Low Cut 80 Hz", 1000.0, -0.2, 0.2},
        {"Telephone", 100.0, -100.0, -15.0},     {"Telephone", 10000.0, -100.0, -15.0},
        {"Telephone", 1500.0, 1.0, 4.0},         {"Air", 15000.0, 2.0, 4.5},
        {"Air", 500.0, -0.3, 0.3},               {"Bass Boost", 50.0, 3.0, 7.0},
        {"Hum Notch 50 Hz", 50.0, -100.0, -20.0}, {"Hum Notch 50 Hz", 1000.0, -0.3, 0.3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.preset) + " at " + std::to_string(r.hz) + " Hz");
        const auto it = std::find(names.begin(), names.end(), std::string("TLDM:") + r.preset);
        ASSERT_NE(it, names.end());
        master.activateFactoryPreset(int(it - names.begin()));
        const double db = levelDb(r.hz);
        EXPECT_GE(db, r.minDb);
        EXPECT_LE(db, r.maxDb);
    }
}

// The analyser runs while the editor asks for its data (the visualisation collector keeps its
// "-enable" parameter on) and it is not disabled; it does not change the sound.
TEST_F(SharedData, ModSpectrumRunsWhileRequestedAndNotDisabled) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    const CAudioParamDef* enableDef = nullptr;
    ASSERT_EQ(CApplication::sharedObject()->findObjectChecked(enableDef, CString("audio.param-enable-viz")), nullptr);
    CAudioParam* enable = instance.collector->acquireParam(CString("plugin.modMain.modSpectrum-enable"));
    enable->setInfo(&enableDef->getInfo(), nullptr, CAudioParamContext{});
    const std::vector<std::vector<double>> in = {{0.5, -0.25, 0.125}, {-1.0, 0.75, 0.0}};
    struct Step {
        const char* enable;
        const char* disable;
        bool runs;
    } steps[] = {{"Off", "Off", false}, {"On", "Off", true}, {"On", "On", false}, {"On", "Off", true}, {"Off", "Off", false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.enable) + " " + s.disable);
        ASSERT_TRUE(test::CProductInstance::setText(*instance.collector, "plugin.modMain.modSpectrum-enable", 0, s.enable));
        ASSERT_TRUE(test::CProductInstance::setText(*instance.collector,
                                                    "plugin.modMain.modDelmaro.spectrum-params.disable", 0, s.disable));
        EXPECT_EQ(instance.run(in), in);
        const std::vector<std::string> running = childProcesses(instance);
        EXPECT_EQ(std::find(running.begin(), running.end(), "modSpectrum") != running.end(), s.runs);
    }
}

// --- application-data defaults ---

// The shipped preset lists load as the editor reads them (the count 1, then a bank), and their
// presets apply through their registries: "Mid/Side" pairs the first two channels, which brings the
// mid/side coders into the graph.
TEST_F(SharedData, ShippedPresetListsApplyThroughTheirRegistries) {
    test::CProductInstance instance;
    ASSERT_EQ(instance.error(), "");
    ASSERT_EQ(instance.createMain(2), "");
    struct Row {
        const char* resource;
        const char* registry;
        std::vector<std::string> names;
    } rows[] = {
        {"AppDataGlobal_routing-presets-sys", "param-registry-io", {"TLIO:Stereo;Stereo", "TLIO:Mid/Side;M/S"}},
        {"AppDataGlobal_spectrum-presets", "param-registry-spectrum",
         {"TLSP:Default", "TLSP:Fast Response", "TLSP:High Resolution", "TLSP:Long-term Average", "TLSP:Peak Hold"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.resource);
        CResourceReader reader;
        ASSERT_EQ(reader.open(CString(r.resource)), nullptr);
        CByteBuffer bytes;
        ASSERT_EQ(reader.readCompressedData(bytes, kTagAppList), nullptr);
        CMemoryReader in(bytes.data(), bytes.size());
        std::int32_t count = 0;
        ASSERT_EQ(in.read32(count), nullptr);
        EXPECT_EQ(count, 1);
        CAudioPresetBank bank;
        ASSERT_EQ(bank.load(in), nullptr);
        EXPECT_EQ(in.getRemainingSize(), 0);
        std::vector<std::string> names;
        for (int i = 0; i < bank.getCount(); ++i)
            names.push_back(str(bank.getPreset(i)->getName()));
        EXPECT_EQ(names, r.names);
        auto* registry = dynamic_cast<CAudioParamRegistry*>(instance.plugin->findObject(CString(".") + CString(r.registry)));
        ASSERT_NE(registry, nullptr);
        for (int i = 0; i < bank.getCount(); ++i) {
            EXPECT_TRUE(registry->isCompatibleName(bank.getPreset(i)->getName()));
            EXPECT_GT(bank.getPreset(i)->getEntryCount(), 0);
        }
        if (std::string(r.registry) == "param-registry-io") {
            registry->applyPreset(bank.getPreset(1)->getEntries(), false, false, CAudioParamContext{}, -1, -1, false);
            const CAudioParam* pairs = instance.collector->findParam(CString("plugin.modMain.io-params.ms-pairs"));
            ASSERT_NE(pairs, nullptr);
            EXPECT_EQ(pairs->getCurrent().getValue(0, 0, 0), 1.0);
            EXPECT_EQ(pairs->getCurrent().getValue(0, 1, 0), 1.0);
            instance.run({{0.5}, {0.25}});
            EXPECT_EQ(childProcesses(instance), (std::vector<std::string>{"modMSEncoder", "modDelmaro", "modOutGain",
                                                                          "modMSDecoder", "modBypass"}));
        }
    }
}

} // namespace
} // namespace tal
