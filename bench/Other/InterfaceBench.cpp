// The UI-audio protocol's costs on the thread that produces a reply and on the editor's thread.
// - Encode: composing one "update-param" message (name, handle, change record of 1, 8 or 64
//   values) and moving it into its buffer, as every parameter change does on the changing thread.
// - Decode: reading the name, the handle and the change record back in place, as the client does.
// - RoundTrip: base to client through the in-process base connector: composing the message,
//   queueing it for 1, 2 or 4 registered clients (a broadcast copies it for all but the last) and
//   taking it out again on the editor's side, once per client.
// - Drain: taking 10000 queued messages of one client out, oldest first.
// - Reference: a plain single-producer single-consumer ring handing over the same bytes (a copy
//   in, a copy out), the floor of any hand-over.
// Counter "time/msg" is per message delivered to one client.

#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamStorage.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CString.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace tal;

CAudioParamChange floatChange(const std::vector<double>& values) {
    CAudioParamChange change;
    change.group = 0;
    change.firstElement = 0;
    change.count = std::int32_t(values.size());
    change.elementSize = 1;
    change.values = values.data();
    return change;
}

void compose(CByteBuffer& message, const CAudioParamChange& change) {
    CParamInterfaceMessageWriter writer("update-param");
    writer.i32(65537);
    writer.check(CAudioParamStorage::writeChange(change, writer.stream()));
    writer.moveTo(message);
}

void setMessageCounter(benchmark::State& state, std::int64_t perIteration) {
    state.counters["time/msg"] = benchmark::Counter(double(state.iterations() * perIteration),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Encode(benchmark::State& state) {
    const std::vector<double> values(std::size_t(state.range(0)), 0.5);
    const CAudioParamChange change = floatChange(values);
    for (auto _ : state) {
        CByteBuffer message;
        compose(message, change);
        benchmark::DoNotOptimize(message.data());
    }
    setMessageCounter(state, 1);
}
BENCHMARK(BM_Encode)->Arg(1)->Arg(8)->Arg(64);

void BM_Decode(benchmark::State& state) {
    const std::vector<double> values(std::size_t(state.range(0)), 0.5);
    CByteBuffer message;
    compose(message, floatChange(values));
    for (auto _ : state) {
        CMemoryReader in(message.data(), message.size());
        CString name;
        std::int32_t handle = 0;
        CAudioParamChangeBuffer buffer;
        CAudioParamChange change;
        CError* error = in.readString(name);
        if (error == nullptr) error = in.read32(handle);
        if (error == nullptr) error = CAudioParamStorage::readChange(buffer, in, change, nullptr);
        if (error != nullptr) {
            state.SkipWithError("decoding failed");
            delete error;
            break;
        }
        benchmark::DoNotOptimize(change.values);
    }
    setMessageCounter(state, 1);
}
BENCHMARK(BM_Decode)->Arg(1)->Arg(8)->Arg(64);

struct Connector {
    std::unique_ptr<CObject, void (*)(CObject*)> holder{CParamInterfaceBaseConnectorUni::create(),
                                                        [](CObject* o) { o->release(); }};
    CParamInterfaceBaseConnectorUni& get() { return *static_cast<CParamInterfaceBaseConnectorUni*>(holder.get()); }
};

void BM_RoundTrip(benchmark::State& state) {
    const int clients = int(state.range(0));
    Connector connector;
    for (int i = 0; i < clients; ++i)
        connector.get().registerClient(nullptr);
    const std::vector<double> values(1, 0.5);
    const CAudioParamChange change = floatChange(values);
    CByteBuffer taken;
    for (auto _ : state) {
        CByteBuffer message;
        compose(message, change);
        connector.get().sendToClient(-1, message);
        for (int id = 0; id < clients; ++id)
            connector.get().takeBaseData(id, taken);
        benchmark::DoNotOptimize(taken.data());
    }
    setMessageCounter(state, clients);
}
BENCHMARK(BM_RoundTrip)->Arg(1)->Arg(2)->Arg(4);

void BM_Drain(benchmark::State& state) {
    constexpr int kMessages = 10000;
    Connector connector;
    connector.get().registerClient(nullptr);
    const std::vector<double> values(1, 0.5);
    CByteBuffer prototype;
    compose(prototype, floatChange(values));
    CByteBuffer taken;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kMessages; ++i) {
            CByteBuffer message(prototype.data(), prototype.size());
            connector.get().sendToClient(0, message);
        }
        state.ResumeTiming();
        int count = 0;
        while (connector.get().takeBaseData(0, taken))
            ++count;
        benchmark::DoNotOptimize(count);
    }
    setMessageCounter(state, kMessages);
}
BENCHMARK(BM_Drain)->Unit(benchmark::kMicrosecond);

// The reference: a fixed ring of byte slots with one producer and one consumer index.
class SpscRing {
public:
    static constexpr std::size_t kSlots = 1024, kSlotBytes = 128;
    bool push(const std::uint8_t* data, std::uint32_t size) {
        const std::size_t tail = mTail.load(std::memory_order_relaxed);
        if (tail - mHead.load(std::memory_order_acquire) == kSlots || size > kSlotBytes)
            return false;
        Slot& slot = mSlots[tail % kSlots];
        slot.size = size;
        std::memcpy(slot.bytes, data, size);
        mTail.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool pop(std::uint8_t* out, std::uint32_t& size) {
        const std::size_t head = mHead.load(std::memory_order_relaxed);
        if (head == mTail.load(std::memory_order_acquire))
            return false;
        const Slot& slot = mSlots[head % kSlots];
        size = slot.size;
        std::memcpy(out, slot.bytes, size);
        mHead.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    struct Slot {
        std::uint32_t size = 0;
        std::uint8_t bytes[kSlotBytes];
    };
    alignas(64) std::atomic<std::size_t> mHead{0};
    alignas(64) std::atomic<std::size_t> mTail{0};
    Slot mSlots[kSlots];
};

void BM_ReferenceSpscRing(benchmark::State& state) {
    auto ring = std::make_unique<SpscRing>();
    const std::vector<double> values(1, 0.5);
    CByteBuffer prototype;
    compose(prototype, floatChange(values));
    std::uint8_t out[SpscRing::kSlotBytes];
    std::uint32_t size = 0;
    for (auto _ : state) {
        ring->push(prototype.data(), std::uint32_t(prototype.size()));
        ring->pop(out, size);
        benchmark::DoNotOptimize(out[0]);
    }
    setMessageCounter(state, 1);
}
BENCHMARK(BM_ReferenceSpscRing);

} // namespace
