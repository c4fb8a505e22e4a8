#include "UI/CWindowSharedData.h"

#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CImageScaleQueue.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tal {
namespace {

// A raw four-channel layer of w x h pixels made for `scale`, a gradient so that copies differ.
std::unique_ptr<CImageLayer> rawImageLayer(std::int32_t w, std::int32_t h, double scale, bool prepared = false) {
    std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i % 4 == 3 ? 255 : std::uint8_t(i * 7);
    auto layer = std::make_unique<CImageLayer>();
    layer->init(1, w, h, 0, 0, scale, 0.0, 0, 0, 0, 4, 100, pixels.data(), 32);
    if (prepared)
        layer->encodeRuns(pixels.data(), 32);
    else
        layer->assignBlock(pixels.data(), std::int32_t(pixels.size()), false);
    return layer;
}

// A shared data object outside any tree: image preparation needs none.
struct ImageDataHolder {
    ImageDataHolder() : data(static_cast<CWindowSharedData*>(CWindowSharedData::create())) {}
    ~ImageDataHolder() { delete data; }
    CWindowSharedData* data;
};

TEST(CWindowSharedDataImages, APreparedLayerCompletesTheRecordAtOnce) {
    ImageDataHolder holder;
    auto layer = rawImageLayer(8, 8, 1.0, true);
    CImageDraw* record = holder.data->takeImageDraw();
    holder.data->requestImage(record, layer.get(), nullptr, false, 1.0, 2.0);
    EXPECT_EQ(record->layer, layer.get());
    EXPECT_GT(record->weight, 0);
    EXPECT_EQ(holder.data->scaleQueueCount(), 0);
}

TEST(CWindowSharedDataImages, TwoRequestsOfOneLayerShareOneScaledCopy) {
    ImageDataHolder holder;
    auto layer = rawImageLayer(40, 20, 2.0);
    CImageDraw* first = holder.data->takeImageDraw();
    CImageDraw* second = holder.data->takeImageDraw();
    holder.data->requestImage(first, layer.get(), nullptr, false, 1.0, 1.0);
    holder.data->requestImage(second, layer.get(), nullptr, false, 0.5, 1.0);
    ASSERT_EQ(holder.data->scaleQueueCount(), 1);
    CImageScaleQueue* queue = holder.data->scaleQueue(0);
    ASSERT_EQ(queue->pending.size(), 1u);
    EXPECT_EQ(queue->pending.begin()->second.count(), 2);
    EXPECT_EQ(first->layer, nullptr);   // waits for the preparation
    holder.data->prepareImages(2);
    CImageLayer* copy = layer->getScaled(1.0);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(first->layer, copy);
    EXPECT_EQ(second->layer, copy);
    EXPECT_EQ(first->width, 20);
    EXPECT_LT(second->weight, first->weight);   // each keeps its own opacity
    EXPECT_TRUE(queue->pending.empty());
    // A later request is served from the ready map at once.
    CImageDraw* third = holder.data->takeImageDraw();
    holder.data->requestImage(third, layer.get(), nullptr, false, 1.0, 1.0);
    EXPECT_EQ(third->layer, copy);
    EXPECT_TRUE(queue->pending.empty());
}

TEST(CWindowSharedDataImages, TheWorkEstimateCountsDestinationAndSourcePixels) {
    ImageDataHolder holder;
    auto ownScale = rawImageLayer(30, 10, 1.0);
    auto halved = rawImageLayer(100, 50, 2.0);
    holder.data->requestImage(holder.data->takeImageDraw(), ownScale.get(), nullptr, false, 1.0, 1.0);
    CImageScaleQueue* queue = holder.data->scaleQueue(0);
    EXPECT_EQ(queue->scaledPixels, 300);          // w x h at its own scale
    EXPECT_EQ(queue->weightedSourcePixels, 0);
    holder.data->requestImage(holder.data->takeImageDraw(), halved.get(), nullptr, false, 1.0, 1.0);
    EXPECT_EQ(queue->scaledPixels, 300 + 50 * 25);              // the copy is 50 x 25
    EXPECT_EQ(queue->weightedSourcePixels, 100 * 50 * 4);       // the larger side of the two, 4 channels
}

TEST(CWindowSharedDataImages, JobsFollowTheEstimateTheLimitAndThePendingLayers) {
    struct Row {
        std::int64_t a, b;
        int pending, limit, jobs;
    };
    const Row rows[] = {
        {100000, 0, 3, 2, 2},   // 4.375 rounds to 4, limited to 2
        {100000, 0, 2, 2, 1},   // one layer for the UI thread, one for a job
        {100000, 0, 1, 8, 0},   // a single layer stays on the UI thread
        {0, 20000, 9, 8, 0},    // 0.35
        {0, 40000, 9, 8, 1},    // 0.7
        {12000, 0, 9, 8, 1},    // 0.525 rounds half away from zero
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " " << r.b << " " << r.pending << " " << r.limit);
        EXPECT_EQ(CWindowSharedData::preparationJobs(r.a, r.b, r.pending, r.limit), r.jobs);
    }
}

TEST(CWindowSharedDataImages, DrawRecordsArePooledAndReused) {
    ImageDataHolder holder;
    std::vector<CImageDraw*> taken;
    for (int i = 0; i < 2049; ++i)
        taken.push_back(holder.data->takeImageDraw());
    EXPECT_EQ(holder.data->drawRecordCapacity(), 4096);
    holder.data->prepareImages(0);   // hands the records back
    for (int i = 0; i < 4096; ++i)
        holder.data->takeImageDraw();
    EXPECT_EQ(holder.data->drawRecordCapacity(), 4096);
}

TEST(CWindowSharedDataImages, ConcurrentPreparationCompletesEveryRecordWithItsLayersCopy) {
    ImageDataHolder holder;
    std::vector<std::unique_ptr<CImageLayer>> layers;
    std::vector<CImageDraw*> records;
    for (int i = 0; i < 12; ++i) {
        layers.push_back(rawImageLayer(120 + i, 90, 2.0));
        for (int k = 0; k < 3; ++k) {
            records.push_back(holder.data->takeImageDraw());
            holder.data->requestImage(records.back(), layers.back().get(), nullptr, false, 1.0, 1.5);
        }
    }
    holder.data->prepareImages(3);
    EXPECT_EQ(holder.data->lastPreparationJobs(), 3);
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        CImageLayer* copy = layers[i / 3]->getScaled(1.5);
        EXPECT_EQ(records[i]->layer, copy);
        EXPECT_EQ(records[i]->width, copy->width());
    }
}

} // namespace
} // namespace tal
