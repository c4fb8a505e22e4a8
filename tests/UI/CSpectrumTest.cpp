#include "UI/CSpectrum.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Core/CTemplateBody.h"
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
#include "support/SpectrumTestTree.h"

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

class CSpectrumTest : public CSpectrumTestTree {};

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

// A template that makes plain objects: the interval timer of these tests, ticked by hand.
class CPlainTimerTemplate : public CTemplateBody {
public:
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject&) override { return nullptr; }
    CError* buildChildren(CObject&) override { return nullptr; }

private:
    CString mTag{"core:object"};
};

TEST_F(CSpectrumTest, ChannelsExpireAfterTheInactiveTimeout) {
    CObject* placeholder = nullptr;
    ASSERT_EQ(takeMessage(ui->addChild(placeholder, CString("template"), CString("test:interval-t"), false)), "");
    placeholder->setTemplateBody(new CPlainTimerTemplate);
    ui->addTemplate(CString("test:interval-t"), placeholder);
    sharedData->setFrameClock(100.0);
    CSpectrum* s = spectrum({{"inactive-timeout", "0.5"}, {"interval-timer-tag", "test:interval-t"}});
    ASSERT_NE(s, nullptr);
    CObject* timer = s->findChild(CString("update-timer"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->getDoubleAttr("interval"), 0.5);
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(0, 0));
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(1, 0));
    sharedData->setFrameClock(100.3);
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(1, 0));
    sharedData->setFrameClock(100.6);
    ASSERT_EQ(takeMessage(s->onUpdateTimer()), "");
    EXPECT_FALSE(s->curve().isPresent(0));
    EXPECT_TRUE(s->curve().isPresent(1));
    EXPECT_TRUE(s->prepareDraw());
    sharedData->setFrameClock(101.0);
    ASSERT_EQ(takeMessage(s->onUpdateTimer()), "");
    EXPECT_FALSE(isAnyPresent(s));
    EXPECT_FALSE(s->prepareDraw());
    EXPECT_FALSE(s->hasSpectrumData());
}

TEST_F(CSpectrumTest, ShortTimeoutMakesNoTimerAndChannelsStay) {
    CSpectrum* s = spectrum({{"inactive-timeout", "0.005"}, {"interval-timer-tag", "test:missing"}});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->findChild(CString("update-timer")), nullptr);
    s->onVizData(CString("plugin.spectrum"), *analyserFrame(0, 0));
    sharedData->setFrameClock(1000.0);
    ASSERT_EQ(takeMessage(s->onUpdateTimer()), "");
    EXPECT_TRUE(s->curve().isPresent(0));
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

TEST_F(CSpectrumTest, ConcurrentSectorsPaintLikeOneWholeWindow) {
    CSpectrum* s = spectrum({{"is-imported", "true"}, {"export-slot", "0"}, {"is-filled", "true"}});
    ASSERT_NE(s, nullptr);
    s->setChannelCount(1);
    auto frame = recordedFrame();
    frame->exportSlot = 0;
    s->onVizData(CString("plugin.spectrum"), *frame);
    s->selectColorStates();
    ASSERT_TRUE(s->prepareDraw());
    ASSERT_EQ(s->jobCount(), 2);
    expectConcurrentSectorsMatch(s);
}

} // namespace
} // namespace tal
