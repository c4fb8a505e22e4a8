// The cost of one tick's worth of visualisation data in the editor: a "viz-data" payload of 1024
// meter frames (four visual objects of 256 frames, eight channels each) decoded and handed to two
// listeners per object (one on every channel, one on channel 3).
// - ExchangeDue: CVizExchange::onVizData when every frame is due (delivered at once).
// - ExchangeQueued: the frames arrive ahead of the audio clock and are queued, then the next message
//   releases them in time-stamp order (both messages per iteration).
// - Reference: the plain version of the same work: read the payload's frames with the frame reader
//   and hand each to the listeners of its object found in a map, with the same channel filter.

#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Core/CByteBuffer.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "UI/CVizExchange.h"
#include "UI/CVizListener.h"
#include "support/BindingTestTree.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace tal {
namespace {

constexpr int kFrames = 1024;
constexpr int kObjects = 4;

class SumListener : public CVizListener {
public:
    void onVizReset() override {}
    void onVizData(const CString&, const CAudioVizData& frame) override {
        sum += static_cast<const CAudioVizDataMeter&>(frame).level;
    }
    double sum = 0.0;
};

CString objectName(int i) { return CString(("meter" + std::to_string(i)).c_str()); }

// A "viz-data" payload at time now with frames stamped at frameTime.
CByteBuffer payload(double now, double frameTime, int frames) {
    CWriteSeqBuffer out;
    CWriteSeqBuffer scratch;
    delete out.writeDouble(now);
    const int perObject = frames / kObjects;
    for (int o = 0; o < kObjects && frames > 0; ++o) {
        delete out.write32(perObject);
        delete out.writeString(objectName(o));
        for (int i = 0; i < perObject; ++i) {
            CAudioVizDataMeter meter;
            meter.channel = i % 8;
            meter.time = frameTime + (i / 8) * 1e-6;
            meter.level = i * 0.001;
            delete meter.writeRecord(out, scratch);
        }
    }
    delete out.write32(0);
    CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

// The binding test tree outside a test, with an exchange on a recording client.
class BenchTree : public CBindingTestTree {
public:
    BenchTree() {
        SetUp();
        CRecordingClientConnector* connector = nullptr;
        openRecordingClient("client", connector);
        CObject* ui = root->findObject(CString("ui"));
        CObject* object = nullptr;
        delete CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange", {{"interface-client", "^client"}});
        viz = dynamic_cast<CVizExchange*>(object);
        for (int o = 0; o < kObjects; ++o) {
            viz->addListener(&all, objectName(o), -1, -1, -1);
            viz->addListener(&channel3, objectName(o), -1, -1, 3);
        }
    }
    ~BenchTree() override { TearDown(); }
    void TestBody() override {}

    CVizExchange* viz = nullptr;
    SumListener all;
    SumListener channel3;
};

void BM_ExchangeDue(benchmark::State& state) {
    BenchTree tree;
    const CByteBuffer bytes = payload(1.0, 0.5, kFrames);
    for (auto _ : state) {
        CMemoryReader in(bytes.data(), bytes.size());
        delete tree.viz->onVizData(in);
    }
    benchmark::DoNotOptimize(tree.all.sum + tree.channel3.sum);
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ExchangeDue);

void BM_ExchangeQueued(benchmark::State& state) {
    BenchTree tree;
    const CByteBuffer early = payload(1.0, 2.0, kFrames);
    const CByteBuffer release = payload(3.0, 0.0, 0);
    for (auto _ : state) {
        CMemoryReader first(early.data(), early.size());
        delete tree.viz->onVizData(first);
        CMemoryReader second(release.data(), release.size());
        delete tree.viz->onVizData(second);
    }
    benchmark::DoNotOptimize(tree.all.sum + tree.channel3.sum);
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ExchangeQueued);

void BM_Reference(benchmark::State& state) {
    const CByteBuffer bytes = payload(1.0, 0.5, kFrames);
    SumListener all;
    SumListener channel3;
    struct Subscriber {
        SumListener* listener;
        int channel;
    };
    std::map<CString, std::vector<Subscriber>> listeners;
    for (int o = 0; o < kObjects; ++o)
        listeners[objectName(o)] = {{&all, -1}, {&channel3, 3}};
    for (auto _ : state) {
        CMemoryReader in(bytes.data(), bytes.size());
        double now = 0.0;
        delete in.readDouble(now);
        for (;;) {
            std::int32_t count = 0;
            delete in.read32(count);
            if (count == 0)
                break;
            CString name;
            delete in.readString(name);
            const auto entry = listeners.find(name);
            for (std::int32_t i = 0; i < count; ++i) {
                CAudioVizData* frame = nullptr;
                delete CAudioVizData::readFromStream(in, frame);
                if (frame != nullptr && entry != listeners.end())
                    for (const Subscriber& s : entry->second)
                        if (s.channel == -1 || s.channel == frame->channel || frame->channel == -1)
                            s.listener->onVizData(name, *frame);
                delete frame;
            }
        }
    }
    benchmark::DoNotOptimize(all.sum + channel3.sum);
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Reference);

} // namespace
} // namespace tal
