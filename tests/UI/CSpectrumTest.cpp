#include "UI/CSpectrum.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Other/CColorSwatch.h"
#include "Other/CWaveFile.h"
#include "UI/BindingCreators.h"
#include "UI/CSector.h"
#include "UI/CSpectrumCurve.h"
#include "UI/CSpectrumData.h"
#include "UI/CSpectrumFiles.h"
#include "UI/CValueList.h"
#include "UI/DisplayCreators.h"
#include "support/BindingTestTree.h"
#include "support/ParamTestTree.h"
#include "support/PngWriter.h"
#include "support/ReferenceImage.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tal {
namespace {

// The frame of one analyser channel: linear bins falling like music, with a peak at `peakBin`.
std::unique_ptr<CAudioVizDataSpectrum> analyserFrame(int channel, int group, int slot = -1, int peakBin = 200) {
    auto frame = std::make_unique<CAudioVizDataSpectrum>();
    std::vector<double> bins(1025);
    for (std::size_t k = 0; k < bins.size(); ++k)
        bins[k] = 0.1 / (1.0 + double(k) * 0.05);
    bins[std::size_t(peakBin)] = 0.5;
    frame->values.assign(bins.data(), std::int32_t(bins.size()));
    frame->sampleRate = 48000.0;
    frame->fftSize = 2048;
    frame->averagingType = 0;
    frame->channel = channel;
    frame->group = group;
    frame->exportSlot = slot;
    return frame;
}

// A window of 200 x 100 pixels with one spectrum view over it, its channel list "1", "2", the
// group source "ui.groups" (group 0), the ranges 20 .. 20000 Hz and -90 .. 0 dB and the curve colour
// "SpectrumLine" at swatch index 0.
class CSpectrumTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:spectrum-swatch", [] { return static_cast<CObject*>(new CColorSwatch); }, &CObject::initScheme},
                {"test:spectrum-groups", [] { return static_cast<CObject*>(new CTestGroupSource); }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            registry.registerTable(kBindingCreatorTable);
            registry.registerTable(kDisplayCreatorTable);
            return registry.registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange", {})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:spectrum-groups", "groups", {{"group", "0"}})), "");
        groups = dynamic_cast<CTestGroupSource*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "freq",
                                                    {{"is-log", "true"}, {"min", "20"}, {"max", "20000"}, {"scale-power", "1"}})),
                  "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "levels",
                                                    {{"min", "-90"}, {"max", "0"}, {"scale-power", "1"}})),
                  "");
        CObject* swatch = nullptr;
        ASSERT_EQ(takeMessage(ui->addChild(swatch, CString("test:spectrum-swatch"), CString("swatch"), false)), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, swatch, "core:object", "c0",
                                                    {{"is-color", "true"}, {"index", "0"}, {"color", "SpectrumLine"}})),
                  "");
        ASSERT_EQ(takeMessage(swatch->init()), "");
        ASSERT_EQ(takeMessage(swatch->createChilds()), "");
        ASSERT_EQ(takeMessage(swatch->initChilds()), "");
        addColor("SpectrumLine", "40c0ff", "1");
    }
    static std::string takeMessage(CError* error) { return test::takeMessage(error); }

    // Begins the spectrum with its three lists; extra attributes override the defaults.
    CSpectrum* spectrum(Attrs extra, bool isFinished = true) {
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"viz-name", "plugin.spectrum"},
            {"color-swatch", "ui.swatch"}, {"color-index", "0"}, {"group-selector", "ui.groups"},
            {"min-max", "ui.levels"}, {"min-max-freq", "ui.freq"}, {"inactive-timeout", "0"},
            {"export-slot", "-1"}};
        for (const auto& [key, value] : extra) {
            bool isReplaced = false;
            for (auto& a : attrs)
                if (std::string(a.first) == key) {
                    a.second = value;
                    isReplaced = true;
                }
            if (!isReplaced)
                attrs.emplace_back(key, value);
        }
        CView* view = beginList(window, attrs);
        auto* s = dynamic_cast<CSpectrum*>(view);
        if (s == nullptr)
            return nullptr;
        CObject* object = nullptr;
        for (const char* name : {"audio-channel-list", "audio-channel-names", "audio-group-name"})
            EXPECT_EQ(takeMessage(CParamTestTree::build(object, s, "ui:value-list-manual", name, {})), "");
        setItems(s, "audio-channel-list", {"1", "2"});
        setItems(s, "audio-channel-names", {"L", "R"});
        setItems(s, "audio-group-name", {"Stereo"});
        if (isFinished) {
            finish(s);
            finish(window);
        }
        return s;
    }
    CView* beginList(CView* parent, const std::vector<std::pair<const char*, const char*>>& attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(parent->addChild(object, CString("ui:spectrum"), CString("spectrum"), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        if (CError* error = object->init()) {
            initError = takeMessage(error);
            return nullptr;
        }
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        return dynamic_cast<CView*>(object);
    }
    static void setItems(CObject* owner, const char* name, std::vector<const char*> items) {
        CStringList list;
        for (const char* item : items)
            list.add(item);
        auto* values = dynamic_cast<CValueList*>(owner->findChild(CString(name)));
        ASSERT_NE(values, nullptr);
        ASSERT_EQ(takeMessage(values->setItems(list)), "");
    }
    static bool isAnyPresent(const CSpectrum* s) {
        for (std::int32_t i = 0; i < s->curve().slotCount(); ++i)
            if (s->curve().isPresent(i))
                return true;
        return false;
    }
    // Paints the window's 200 x 100 pixels from black.
    std::unique_ptr<CSector> render(CSpectrum* s) {
        auto sector = std::make_unique<CSector>();
        sector->windowRect = CPixelRect{0, 0, 200, 100};
        sector->clipRect = CPixelRect{0, 0, 200, 100};
        sector->backBuffer = std::make_unique<CLinearBitmap>();
        delete sector->backBuffer->setSize(200, 100, true);
        sector->target = sector->backBuffer.get();
        s->selectColorStates();
        if (s->prepareDraw())
            s->paintToSector(*sector);
        return sector;
    }

    CView* window = nullptr;
    CTestGroupSource* groups = nullptr;
    std::string initError;
};

TEST_F(CSpectrumTest, VizNameMustFitTheRole) {
    EXPECT_EQ(spectrum({{"is-static", "true"}}), nullptr);
    EXPECT_EQ(initError, "Visual object name is defined for static spectrum.");
    ui->findChild(CString("window"))->release();
    EXPECT_EQ(spectrum({{"viz-name", ""}}), nullptr);
    EXPECT_EQ(initError, "Visual object name is not defined.");
}

TEST_F(CSpectrumTest, LiveFramesNeedTheCurrentGroupAndAListedChannel) {
    CSpectrum* s = spectrum({});
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->curve().slotCount(), 2);
    EXPECT_EQ(test::utf8Of(s->channelNames()), "L+R");
    EXPECT_EQ(test::utf8Of(s->groupName()), "Stereo");
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(0, /*group*/ 1));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(5, 0));        // label "6" is not listed
    s->onVizData(CString("plugin.other"), *analyserFrame(0, 0));           // another visual object
    CAudioVizDataMeter meter;
    s->onVizData(CString("plugin.spectrum"), meter);                       // not a spectrum
    EXPECT_FALSE(isAnyPresent(s));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(1, 0));
    EXPECT_FALSE(s->curve().isPresent(0));
    EXPECT_TRUE(s->curve().isPresent(1));
    EXPECT_TRUE(s->prepareDraw());
    EXPECT_TRUE(s->hasSpectrumData());
    EXPECT_EQ(s->curve().points().size(), 200u);
}

TEST_F(CSpectrumTest, ImportedFramesGrowTheSlotsUpToACap) {
    CSpectrum* s = spectrum({{"is-imported", "true"}, {"export-slot", "3"}});
    ASSERT_NE(s, nullptr);
    s->setChannelCount(2);
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(5, 0, /*slot*/ 3));
    EXPECT_EQ(s->curve().slotCount(), 6);
    EXPECT_TRUE(s->curve().isPresent(5));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(10000, 0, 3));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(-1, 0, 3));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(1, 0, /*another slot*/ 2));
    EXPECT_EQ(s->curve().slotCount(), 6);
    EXPECT_FALSE(s->curve().isPresent(1));
}

TEST_F(CSpectrumTest, ResetWhileFrozenIsReplayedWhenRunningAgain) {
    CSpectrum* s = spectrum({});
    ASSERT_NE(s, nullptr);
    CObject* button = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(button, ui, "core:object", "freeze-button", {{"is-active", "1"}})), "");
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(0, 0));
    CAttrMap args;
    args.findOrAdd("source")->value.setText(CString("ui.freeze-button"));
    args.findOrAdd("state")->value.setText(CString("false"));
    ASSERT_EQ(takeMessage(s->onFreeze(args)), "");
    EXPECT_TRUE(s->isFrozen());
    s->onVizReset();
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(1, 0));
    EXPECT_TRUE(s->curve().isPresent(0));    // the reset waits
    EXPECT_FALSE(s->curve().isPresent(1));   // frames are ignored
    args.findOrAdd("state")->value.setText(CString("true"));
    ASSERT_EQ(takeMessage(s->onFreeze(args)), "");
    EXPECT_FALSE(s->isFrozen());
    EXPECT_FALSE(isAnyPresent(s));
    // A group change unfreezes and releases the button, also after the button went away.
    args.findOrAdd("state")->value.setText(CString("false"));
    ASSERT_EQ(takeMessage(s->onFreeze(args)), "");
    ASSERT_EQ(takeMessage(groups->setGroup(1)), "");
    EXPECT_FALSE(s->isFrozen());
    EXPECT_EQ(button->getIntAttr("is-active"), 0);
    ASSERT_EQ(takeMessage(s->onFreeze(args)), "");
    button->release();
    ASSERT_EQ(takeMessage(groups->setGroup(0)), "");
    EXPECT_FALSE(s->isFrozen());
}

TEST_F(CSpectrumTest, StaticSpectrumShowsAStoredRecord) {
    CSpectrum* s = spectrum({{"is-static", "true"}, {"viz-name", ""}});
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->prepareDraw());
    EXPECT_FALSE(s->hasSpectrumData());
}

// A deterministic pink-ish noise with a 1 kHz tone, analysed by the spectrum file analysis: the
// frame a live analyser would have sent.
std::unique_ptr<CAudioVizDataSpectrum> recordedFrame() {
    class CNoise : public CWaveFileBase {
    public:
        CError* readSamples(double* const* channels, std::int32_t frames, std::int32_t& framesRead) override {
            if (position >= 48000) {
                framesRead = -1;
                return nullptr;
            }
            framesRead = std::min<std::int32_t>(frames, 48000 - position);
            for (std::int32_t i = 0; i < framesRead; ++i, ++position) {
                const double white = noise(random);
                b0 = 0.99765 * b0 + white * 0.0990460;
                b1 = 0.96300 * b1 + white * 0.2965164;
                b2 = 0.57000 * b2 + white * 1.0526913;
                channels[0][i] = 0.05 * (b0 + b1 + b2 + white * 0.1848) +
                                 0.3 * std::sin(2.0 * 3.141592653589793 * 1000.0 * position / 48000.0);
            }
            return nullptr;
        }
        std::mt19937 random{3};
        std::uniform_real_distribution<double> noise{-1.0, 1.0};
        double b0 = 0.0, b1 = 0.0, b2 = 0.0;
        std::int32_t position = 0;
    } source;
    CByteBuffer record;
    bool isDone = false;
    EXPECT_EQ(test::takeMessage(CSpectrumFiles::analyzeAudio({&source, 48000.0, 1, 48000}, {0, 4096, 0, 0.5}, nullptr,
                                                             nullptr, record, isDone)),
              "");
    CSpectrumData data;
    EXPECT_EQ(test::takeMessage(data.loadFromBuffer(record)), "");
    auto frame = std::make_unique<CAudioVizDataSpectrum>();
    CString group, names;
    data.getSpectrum(*frame, group, names);
    return frame;
}

TEST_F(CSpectrumTest, DrawsTheRecordedSpectrum) {
    CSpectrum* s = spectrum({});
    ASSERT_NE(s, nullptr);
    const auto frame = recordedFrame();
    s->onVizData(CString("plugin.spectrum"), *frame);
    s->curve().slope = 4.5;
    auto line = render(s);
    EXPECT_EQ(s->jobCount(), 1);
    EXPECT_TRUE(matchesReference(*line->backBuffer, "spectrum-line", 2, 20));
    ui->findChild(CString("window"))->release();
    // An imported spectrum that keeps its own filling: the fill first, then the line.
    s = spectrum({{"is-imported", "true"}, {"export-slot", "0"}, {"is-filled", "true"}});
    ASSERT_NE(s, nullptr);
    s->setChannelCount(1);
    frame->exportSlot = 0;
    s->onVizData(CString("plugin.spectrum"), *frame);
    s->curve().slope = 4.5;
    auto filled = render(s);
    EXPECT_TRUE(s->isFilled());
    EXPECT_EQ(s->jobCount(), 2);
    EXPECT_TRUE(matchesReference(*filled->backBuffer, "spectrum-filled", 2, 20));
}

} // namespace
} // namespace tal
