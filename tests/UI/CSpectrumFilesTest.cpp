#include "UI/CSpectrumFiles.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Core/CByteBuffer.h"
#include "Other/CWaveFile.h"
#include "UI/CSpectrumCurve.h"
#include "UI/CSpectrumData.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace tal {
namespace {

using test::TempFolder;
using test::takeMessage;
using test::writeWholeFile;

CSpectrumData dataOf(const CByteBuffer& record) {
    CSpectrumData data;
    EXPECT_EQ(takeMessage(data.loadFromBuffer(record)), "");
    return data;
}

// A CSV file of the given text in the folder; returns its path.
CString csvFile(const TempFolder& folder, const std::string& text) {
    const std::string path = folder.file("spectrum.csv");
    writeWholeFile(path, text);
    return CString(path.c_str());
}

std::string levelRows(int count, bool withFrequencies) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += withFrequencies ? std::to_string(i * 100) + "," + std::to_string(-i) + "\n" : std::to_string(-i) + "\n";
    return text;
}

TEST(CSpectrumFiles, CSVTablesNeedSixteenLevels) {
    TempFolder folder;
    CByteBuffer record;
    EXPECT_EQ(takeMessage(CSpectrumFiles::recordFromCSVFile(csvFile(folder, levelRows(15, false)), record)),
              "The CSV file is too short.");
    ASSERT_EQ(takeMessage(CSpectrumFiles::recordFromCSVFile(csvFile(folder, levelRows(16, false)), record)), "");
    const CSpectrumData data = dataOf(record);
    ASSERT_EQ(data.binCount(), 16);
    EXPECT_EQ(data.sampleRate, 48000.0);   // no frequencies
    EXPECT_EQ(data.fftSize, 2048);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(data.levelDb(i), -i, 320.0 / 4095.0 / 2.0) << i;
}

TEST(CSpectrumFiles, CSVRowsGiveLevelsFrequenciesAndParameters) {
    TempFolder folder;
    // "1000, -6" and "-6" give the same bin; the parameter row sets the settings.
    std::string text = "# measured\n1000,-6\n-6\nnot a number\n48000,4096,2,0.5,1,L+R\n";
    text += levelRows(14, false);
    CByteBuffer record;
    ASSERT_EQ(takeMessage(CSpectrumFiles::recordFromCSVFile(csvFile(folder, text), record)), "");
    const CSpectrumData data = dataOf(record);
    ASSERT_EQ(data.binCount(), 16);
    EXPECT_NEAR(std::pow(10.0, data.levelDb(0) / 20.0), 0.501, 0.005);
    EXPECT_EQ(data.code(0), data.code(1));
    EXPECT_EQ(data.sampleRate, 48000.0);
    EXPECT_EQ(data.fftSize, 4096);
    EXPECT_EQ(data.spectrumType, 2);
    EXPECT_EQ(data.averagingTime, 0.5);
    EXPECT_EQ(data.windowType, 1);
    EXPECT_EQ(test::utf8Of(data.channelNames), "L+R");
}

TEST(CSpectrumFiles, CSVWithoutRatePlacesTheLastBinAtTheHighestFrequency) {
    // Bins at 0 .. 1500 Hz: the display puts bin k at k R / 2n, so bin 15 must land on 1500 Hz.
    TempFolder folder;
    CByteBuffer record;
    ASSERT_EQ(takeMessage(CSpectrumFiles::recordFromCSVFile(csvFile(folder, levelRows(16, true)), record)), "");
    const CSpectrumData data = dataOf(record);
    ASSERT_EQ(data.binCount(), 16);
    EXPECT_NEAR(15.0 * data.sampleRate / (2.0 * 16.0), 1500.0, 1e-9);
}

TEST(CSpectrumFiles, DataFilesCarryTheRecord) {
    TempFolder folder;
    const CString path(folder.file("spectrum.aspc").c_str());
    auto spectrum = std::make_unique<CAudioVizDataSpectrum>();
    const double values[] = {1.0, 0.5, 0.25, 0.125, 0.0625};
    spectrum->values.assign(values, 5);
    spectrum->sampleRate = 44100.0;
    spectrum->fftSize = 8;
    ASSERT_EQ(takeMessage(CSpectrumFiles::writeDataFile(path, *spectrum, CString("Mono"), CString("L"))), "");
    CByteBuffer record;
    ASSERT_EQ(takeMessage(CSpectrumFiles::recordFromDataFile(path, record)), "");
    const CSpectrumData data = dataOf(record);
    ASSERT_EQ(data.binCount(), 5);
    EXPECT_EQ(data.sampleRate, 44100.0);
    EXPECT_EQ(test::utf8Of(data.groupName), "Mono");
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(data.levelDb(i), 20.0 * std::log10(values[i]), 0.04) << i;
    // A file that is not a record fails.
    writeWholeFile(folder.file("other.aspc"), "not a record");
    EXPECT_NE(takeMessage(CSpectrumFiles::recordFromDataFile(CString(folder.file("other.aspc").c_str()), record)), "");
    EXPECT_NE(takeMessage(CSpectrumFiles::recordFromDataFile(CString(folder.file("missing").c_str()), record)), "");
}

TEST(CSpectrumFiles, CurveCaptureStoresTheCombinedSpectrum) {
    CSpectrumCurve curve;
    CByteBuffer record;
    EXPECT_FALSE(CSpectrumFiles::recordFromCurve(curve, CString("Stereo"), CString("L+R"), record));
    auto frame = std::make_unique<CAudioVizDataSpectrum>();
    const double values[] = {0.1, 0.2, 0.4};
    frame->values.assign(values, 3);
    frame->sampleRate = 48000.0;
    frame->fftSize = 4;
    curve.setSlotCount(1);
    curve.setSpectrum(0, *frame);
    curve.combineChannels();
    ASSERT_TRUE(CSpectrumFiles::recordFromCurve(curve, CString("Stereo"), CString("L+R"), record));
    const CSpectrumData data = dataOf(record);
    ASSERT_EQ(data.binCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(data.levelDb(i), 20.0 * std::log10(values[i]), 0.04) << i;
}

// A stream of sines of one frequency per channel, delivered in reads of at most `chunk` frames;
// after `stuckAfter` frames it delivers nothing (0) for ever.
class CSineSource : public CWaveFileBase {
public:
    CSineSource(int channels, std::int64_t frames, double frequency, double rate)
        : mChannels(channels), mFrames(frames), mFrequency(frequency), mRate(rate) {}
    CError* readSamples(double* const* channels, std::int32_t frames, std::int32_t& framesRead) override {
        if (mPosition >= stuckAfter) {
            framesRead = 0;
            return nullptr;
        }
        if (mPosition >= mFrames) {
            framesRead = -1;
            return nullptr;
        }
        framesRead = std::int32_t(std::min<std::int64_t>({frames, chunk, mFrames - mPosition}));
        for (int c = 0; c < mChannels; ++c)
            for (std::int32_t i = 0; i < framesRead; ++i)
                channels[c][i] = 0.5 * std::sin(2.0 * std::numbers::pi * mFrequency * double(mPosition + i) / mRate);
        mPosition += framesRead;
        return nullptr;
    }
    std::int64_t chunk = 5000;
    std::int64_t stuckAfter = INT64_MAX;

private:
    int mChannels;
    std::int64_t mFrames;
    double mFrequency, mRate;
    std::int64_t mPosition = 0;
};

// Counts progress reports; cancels itself after `cancelAfter` of them.
class CCountingProgress : public CSpectrumFiles::CProgress {
public:
    bool isCancelled() const override { return reports >= cancelAfter; }
    CError* setProgress(double fraction) override {
        ++reports;
        last = fraction;
        return nullptr;
    }
    int reports = 0;
    int cancelAfter = 1 << 30;
    double last = 0.0;
};

TEST(CSpectrumFiles, AnalysisOfAStereoStreamAveragesItsSpectrum) {
    CSineSource sine(2, 48000, 1000.0, 48000.0);
    CCountingProgress progress;
    CByteBuffer record;
    bool isDone = false;
    ASSERT_EQ(takeMessage(CSpectrumFiles::analyzeAudio({&sine, 48000.0, 2, 48000}, {0, 2048, 0, 0.5}, &progress,
                                                       nullptr, record, isDone)),
              "");
    ASSERT_TRUE(isDone);
    EXPECT_GT(progress.reports, 1);
    EXPECT_DOUBLE_EQ(progress.last, 1.0);
    const CSpectrumData data = dataOf(record);
    EXPECT_EQ(data.spectrumType, 2);
    EXPECT_EQ(data.fftSize, 2048);
    EXPECT_EQ(data.binCount(), 1025);
    EXPECT_EQ(data.averagingTime, 1.0);
    EXPECT_EQ(test::utf8Of(data.groupName), "Stereo");
    EXPECT_EQ(test::utf8Of(data.channelNames), "L+R");
    int peak = 0;
    for (int k = 1; k < data.binCount(); ++k)
        if (data.code(k) > data.code(peak))
            peak = k;
    EXPECT_EQ(peak, 43);   // 1000 Hz at 48000 / 2048 Hz per bin
}

TEST(CSpectrumFiles, AnalysisNamesChannelsAndKeepsMaximaForMaxTypes) {
    struct Case {
        int channels;
        int type;
        int storedType;
        const char* group;
        const char* names;
    };
    for (const Case& c : {Case{1, 3, 1, "Mono", "L"}, Case{4, 4, 2, "Multi", "L+R+3+4"}, Case{2, 1, 1, "Stereo", "L+R"}}) {
        SCOPED_TRACE(c.channels);
        CSineSource sine(c.channels, 9000, 3000.0, 44100.0);
        CByteBuffer record;
        bool isDone = false;
        ASSERT_EQ(takeMessage(CSpectrumFiles::analyzeAudio({&sine, 44100.0, c.channels, 9000}, {c.type, 1024, 1, 0.75},
                                                           nullptr, nullptr, record, isDone)),
                  "");
        ASSERT_TRUE(isDone);
        const CSpectrumData data = dataOf(record);
        EXPECT_EQ(data.spectrumType, c.storedType);
        EXPECT_EQ(data.windowType, 1);
        EXPECT_EQ(test::utf8Of(data.groupName), c.group);
        EXPECT_EQ(test::utf8Of(data.channelNames), c.names);
    }
}

TEST(CSpectrumFiles, CancelledAnalysisStoresNothing) {
    const std::uint8_t cancelled = 1;
    CByteBuffer record;
    bool isDone = true;
    CSineSource first(2, 48000, 1000.0, 48000.0);
    EXPECT_EQ(takeMessage(CSpectrumFiles::analyzeAudio({&first, 48000.0, 2, 48000}, {0, 2048, 0, 0.5}, nullptr,
                                                       &cancelled, record, isDone)),
              "");
    EXPECT_FALSE(isDone);
    CSineSource second(2, 480000, 1000.0, 48000.0);
    CCountingProgress progress;
    progress.cancelAfter = 3;
    EXPECT_EQ(takeMessage(CSpectrumFiles::analyzeAudio({&second, 48000.0, 2, 480000}, {0, 2048, 0, 0.5}, &progress,
                                                       nullptr, record, isDone)),
              "");
    EXPECT_FALSE(isDone);
    EXPECT_TRUE(record.isEmpty());
}

TEST(CSpectrumFiles, AnalysisRefusesBadSettingsAndStuckStreams) {
    struct Case {
        const char* name;
        int channels;
        double rate;
        CSpectrumFiles::CAnalysis analysis;
        std::int64_t stuckAfter;
    };
    const Case cases[] = {
        {"block not a power of two", 2, 48000.0, {0, 1000, 0, 0.5}, INT64_MAX},
        {"block too small", 2, 48000.0, {0, 32, 0, 0.5}, INT64_MAX},
        {"block too large", 2, 48000.0, {0, 131072, 0, 0.5}, INT64_MAX},
        {"overlap of one", 2, 48000.0, {0, 2048, 0, 1.0}, INT64_MAX},
        {"overlap leaving no hop", 2, 48000.0, {0, 2048, 0, 0.9999}, INT64_MAX},
        {"negative overlap", 2, 48000.0, {0, 2048, 0, -0.5}, INT64_MAX},
        {"no channels", 0, 48000.0, {0, 2048, 0, 0.5}, INT64_MAX},
        {"no sample rate", 2, 0.0, {0, 2048, 0, 0.5}, INT64_MAX},
        {"reader stops delivering", 2, 48000.0, {0, 2048, 0, 0.5}, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSineSource sine(std::max(c.channels, 1), 48000, 1000.0, 48000.0);
        sine.stuckAfter = c.stuckAfter;
        CByteBuffer record;
        bool isDone = true;
        EXPECT_NE(takeMessage(CSpectrumFiles::analyzeAudio({&sine, c.rate, c.channels, 48000}, c.analysis, nullptr,
                                                           nullptr, record, isDone)),
                  "");
        EXPECT_FALSE(isDone);
    }
}

} // namespace
} // namespace tal
