#include "Audio/Viz/CAudioVizData.h"

#include "Audio/Viz/CAudioVizDataInfo.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CAudioVizDataVScope.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/LeBytes.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tal {
namespace {

using test::Bytes;

Bytes recordOf(const CAudioVizData& frame) {
    return test::written([&](COutputStream& out) {
        CWriteSeqBuffer scratch;
        ASSERT_EQ(frame.writeRecord(out, scratch), nullptr);
    });
}

struct FrameHolder {
    CAudioVizData* frame = nullptr;
    ~FrameHolder() { delete frame; }
};

CAudioVizDataMeter* makeMeter() {
    auto* m = new CAudioVizDataMeter;
    m->channel = -1;
    m->group = 7;
    m->position = 2;
    m->time = 1.25;
    m->level = 0.5;
    m->peak = 0.75;
    return m;
}

CAudioVizDataSpectrum* makeSpectrum(int n) {
    auto* s = new CAudioVizDataSpectrum;
    s->channel = 1;
    s->group = 3;
    s->time = 2.5;
    s->values.resize(n);
    for (int k = 0; k < n; ++k)
        s->values[k] = 0.125 * (k + 1);
    s->sampleRate = 48000.0;
    s->fftSize = 2048;
    s->averagingType = 4;
    s->averagingTime = 0.3;
    s->window = 2;
    return s;
}

CAudioVizDataVScope* makeScope() {
    auto* s = new CAudioVizDataVScope;
    s->gridSizes.add(3);
    s->gridSizes.add(2);
    s->updateLayout(true);
    for (int i = 0; i < s->data.count(); ++i)
        s->data[i] = float(i) * 0.5f;
    return s;
}

LeBytes& common(LeBytes& b, int channel, int group, int position, double time, int slot) {
    return b.i32(channel).i32(group).i32(position).f64(time).i32(slot);
}

TEST(CAudioVizData, RecordsHaveTheDocumentedLayout) {
    std::unique_ptr<CAudioVizDataMeter> meter(makeMeter());
    LeBytes meterBytes;
    common(meterBytes.i32(0).i32(40), -1, 7, 2, 1.25, -1).f64(0.5).f64(0.75);

    auto info = std::make_unique<CAudioVizDataInfo>();
    info->text = CString("abc");
    info->value = -9;
    LeBytes infoBytes;
    common(infoBytes.i32(1).i32(35), 0, 0, 0, 0.0, -1).str("abc").i32(-9);

    std::unique_ptr<CAudioVizDataSpectrum> empty(makeSpectrum(0));
    LeBytes emptyBytes;
    common(emptyBytes.i32(3).i32(56), 1, 3, 0, 2.5, -1).i32(0).f64(48000.0).i32(2048).i32(4).f64(0.3).i32(2);

    std::unique_ptr<CAudioVizDataSpectrum> two(makeSpectrum(2));
    LeBytes twoBytes;
    common(twoBytes.i32(3).i32(72), 1, 3, 0, 2.5, -1).i32(2).f64(0.125).f64(0.25).f64(48000.0).i32(2048).i32(4).f64(0.3).i32(2);

    auto scope = std::make_unique<CAudioVizDataVScope>();
    scope->gridSizes.add(1);
    scope->updateLayout(true);
    scope->data[0] = 1.0f;
    LeBytes scopeBytes;
    common(scopeBytes.i32(4).i32(40), 0, 0, 0, 0.0, -1).i32(1).i32(0x3F800000).i32(1).i32(1);

    CAudioVizData bare;
    bare.exportSlot = 5;
    LeBytes bareBytes;
    common(bareBytes.i32(2).i32(24), 0, 0, 0, 0.0, 5);

    const struct {
        const char* name;
        const CAudioVizData* frame;
        const LeBytes* expected;
    } rows[] = {{"meter", meter.get(), &meterBytes}, {"info", info.get(), &infoBytes},
                {"spectrum n=0", empty.get(), &emptyBytes}, {"spectrum n=2", two.get(), &twoBytes},
                {"scope 1x1", scope.get(), &scopeBytes}, {"bare", &bare, &bareBytes}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(recordOf(*row.frame), row.expected->bytes());
    }
}

TEST(CAudioVizData, RecordsReadBackToTheSameFrame) {
    std::unique_ptr<CAudioVizData> frames[] = {std::unique_ptr<CAudioVizData>(makeMeter()),
                                               std::unique_ptr<CAudioVizData>(makeSpectrum(0)),
                                               std::unique_ptr<CAudioVizData>(makeSpectrum(9)),
                                               std::unique_ptr<CAudioVizData>(makeScope())};
    auto info = std::make_unique<CAudioVizDataInfo>();
    info->text = CString("band 3");
    info->value = 42;
    for (CAudioVizData* frame : {frames[0].get(), frames[1].get(), frames[2].get(), frames[3].get(),
                                 static_cast<CAudioVizData*>(info.get())}) {
        SCOPED_TRACE(frame->type);
        const Bytes bytes = recordOf(*frame);
        CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
        FrameHolder holder;
        ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
        ASSERT_NE(holder.frame, nullptr);
        EXPECT_EQ(holder.frame->type, frame->type);
        EXPECT_EQ(holder.frame->useCount, 1);
        EXPECT_EQ(in.getRemainingSize(), 0);
        EXPECT_EQ(recordOf(*holder.frame), bytes);
    }
}

TEST(CAudioVizData, ReloadedMeterKeepsItsFields) {
    std::unique_ptr<CAudioVizDataMeter> meter(makeMeter());
    const Bytes bytes = recordOf(*meter);
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    FrameHolder holder;
    ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
    auto* back = dynamic_cast<CAudioVizDataMeter*>(holder.frame);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->channel, -1);
    EXPECT_EQ(back->group, 7);
    EXPECT_EQ(back->position, 2);
    EXPECT_EQ(back->time, 1.25);
    EXPECT_EQ(back->level, 0.5);
    EXPECT_EQ(back->peak, 0.75);
    EXPECT_EQ(back->link, nullptr);
}

TEST(CAudioVizData, ClonesCarryTheSamePayload) {
    std::unique_ptr<CAudioVizData> frames[] = {std::unique_ptr<CAudioVizData>(makeMeter()),
                                               std::unique_ptr<CAudioVizData>(makeSpectrum(9)),
                                               std::unique_ptr<CAudioVizData>(makeScope())};
    for (const auto& frame : frames) {
        SCOPED_TRACE(frame->type);
        frame->useCount = 3;
        std::unique_ptr<CAudioVizData> copy(CAudioVizData::clone(*frame));
        EXPECT_EQ(copy->useCount, 1);
        EXPECT_EQ(copy->link, nullptr);
        EXPECT_EQ(recordOf(*copy), recordOf(*frame));
    }
    auto* spectrum = dynamic_cast<CAudioVizDataSpectrum*>(frames[1].get());
    std::unique_ptr<CAudioVizData> copy(CAudioVizData::clone(*spectrum));
    auto* spectrumCopy = dynamic_cast<CAudioVizDataSpectrum*>(copy.get());
    ASSERT_NE(spectrumCopy, nullptr);
    EXPECT_FALSE(spectrumCopy->values.isInline());
    EXPECT_NE(spectrumCopy->values.data(), spectrum->values.data());
}

TEST(CAudioVizData, CloneOfAnUnknownTypeIsABareFrame) {
    CAudioVizData odd;
    odd.type = 9;
    odd.group = 4;
    odd.time = 3.0;
    std::unique_ptr<CAudioVizData> copy(CAudioVizData::clone(odd));
    EXPECT_EQ(copy->type, CAudioVizData::kTypeBare);
    EXPECT_EQ(copy->group, 4);
    EXPECT_EQ(copy->time, 3.0);
}

TEST(CAudioVizData, ScopeGridsFollowEachOther) {
    std::unique_ptr<CAudioVizDataVScope> scope(makeScope());
    ASSERT_EQ(scope->data.count(), 13);
    ASSERT_EQ(scope->gridPointers.count(), 2);
    EXPECT_EQ(scope->gridPointers[0], scope->data.data());
    EXPECT_EQ(scope->gridPointers[1], scope->data.data() + 9);
    EXPECT_EQ(scope->gridSizesCopy[1], 2);
    scope->updateLayout(true);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(scope->data[i], 0.0f) << i;
}

TEST(CAudioVizData, TypesWithoutAClassAreSkippedByLength) {
    for (const int type : {2, 7}) {
        SCOPED_TRACE(type);
        std::unique_ptr<CAudioVizDataMeter> next(makeMeter());
        LeBytes bytes;
        bytes.i32(type).i32(100).raw(Bytes(100, 0xAB)).raw(recordOf(*next));
        CMemoryReader in(bytes.data(), bytes.size());
        FrameHolder holder;
        holder.frame = makeSpectrum(1);
        ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
        EXPECT_EQ(holder.frame, nullptr);
        EXPECT_EQ(in.getRemainingSize(), bytes.size() - 108);
        ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
        ASSERT_NE(holder.frame, nullptr);
        EXPECT_EQ(recordOf(*holder.frame), recordOf(*next));
    }
}

TEST(CAudioVizData, LongerPayloadIsSkippedToTheNextRecord) {
    std::unique_ptr<CAudioVizDataMeter> meter(makeMeter());
    LeBytes bytes;
    common(bytes.i32(0).i32(48), -1, 7, 2, 1.25, -1).f64(0.5).f64(0.75).f64(99.0);   // 8 bytes a reader does not know
    bytes.raw(recordOf(*meter));
    CMemoryReader in(bytes.data(), bytes.size());
    FrameHolder holder;
    ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
    EXPECT_EQ(recordOf(*holder.frame), recordOf(*meter));
    ASSERT_EQ(CAudioVizData::readFromStream(in, holder.frame), nullptr);
    EXPECT_EQ(recordOf(*holder.frame), recordOf(*meter));
    EXPECT_EQ(in.getRemainingSize(), 0);
}

TEST(CAudioVizData, DamagedRecordsFailAndKeepTheHeldFrame) {
    const std::string longText(61441, 'x');
    LeBytes negativeLength, lengthBeyondData, negativeBins, hugeBins, binsBeyondLength, scopeMismatch,
        negativeGrid, negativeGridCount, textTooLong, truncated;
    negativeLength.i32(7).i32(-4);
    common(lengthBeyondData.i32(0).i32(400), 0, 0, 0, 0.0, -1).f64(0).f64(0);
    common(negativeBins.i32(3).i32(56), 0, 0, 0, 0.0, -1).i32(-1).f64(48000).i32(64).i32(0).f64(0).i32(0);
    common(hugeBins.i32(3).i32(56), 0, 0, 0, 0.0, -1).i32(0x10000000).f64(48000).i32(64).i32(0).f64(0).i32(0);
    // Two values fit the record's bytes but not the payload length of 56, which the next record follows.
    common(binsBeyondLength.i32(3).i32(56), 0, 0, 0, 0.0, -1).i32(2).f64(1).f64(2).f64(48000).i32(64).i32(0).f64(0).i32(0);
    common(scopeMismatch.i32(4).i32(40), 0, 0, 0, 0.0, -1).i32(1).i32(0).i32(1).i32(2);
    common(negativeGrid.i32(4).i32(40), 0, 0, 0, 0.0, -1).i32(1).i32(0).i32(1).i32(-1);
    common(negativeGridCount.i32(4).i32(36), 0, 0, 0, 0.0, -1).i32(1).i32(0).i32(-3);
    common(textTooLong.i32(1).i32(32 + std::int32_t(longText.size())), 0, 0, 0, 0.0, -1).str(longText).i32(0);
    common(truncated.i32(0).i32(40), 0, 0, 0, 0.0, -1).f64(0.5);
    const struct {
        const char* name;
        const LeBytes* bytes;
    } rows[] = {{"negative length", &negativeLength},   {"length beyond data", &lengthBeyondData},
                {"negative bins", &negativeBins},       {"huge bins", &hugeBins},
                {"bins beyond length", &binsBeyondLength}, {"scope count mismatch", &scopeMismatch},
                {"negative grid size", &negativeGrid},  {"negative grid count", &negativeGridCount},
                {"text too long", &textTooLong},        {"truncated", &truncated}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CMemoryReader in(row.bytes->data(), row.bytes->size());
        FrameHolder holder;
        holder.frame = makeMeter();
        CAudioVizData* before = holder.frame;
        CError* err = CAudioVizData::readFromStream(in, holder.frame);
        EXPECT_NE(err, nullptr);
        delete err;
        EXPECT_EQ(holder.frame, before);
    }
}

TEST(CAudioVizData, ReleaseUseDeletesOnTheLastUse) {
    auto* frame = new CAudioVizDataSpectrum;
    frame->values.resize(20);   // out-of-line storage: a leak would show under the sanitizers
    frame->useCount = 2;
    frame->releaseUse();
    EXPECT_EQ(frame->useCount, 1);
    frame->releaseUse();   // deleted here
}

} // namespace
} // namespace tal
