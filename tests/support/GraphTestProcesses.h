#pragma once
#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioChannelDesc.h"
#include "Audio/CAudioProcessBase.h"
#include "Audio/CAudioProcessConnection.h"
#include "Audio/CAudioProcessPort.h"

#include <vector>

namespace tal::test {

// A leaf that multiplies its port-0 channels by a gain and adds a fixed latency: its output format
// is its port-0 format (channel index, group, input latency + latency). Counts its updates and
// blocks.
class CGainProcess : public CAudioProcessBase {
public:
    explicit CGainProcess(double gain = 1.0, int latency = 0) : mGain(gain), mLatency(latency) {}

    void update() override {
        ++updates;
        CAudioProcessPort* p = getPort(0);
        CAudioChannelDesc out[CAudioProcessPort::kMaxChannels];
        for (int i = 0; i < p->channelCount; ++i) {
            out[i] = p->format[i];
            out[i].latency = p->format[i].latency + mLatency;
        }
        setOutputFormat(out, p->channelCount, inputSampleRate());
    }
    void process() override {
        renderInputs();
        ++blocks;
        CAudioProcessPort* p = getPort(0);
        CAudioChannelDesc out[CAudioProcessPort::kMaxChannels];
        const int n = blockLength();
        for (int i = 0; i < p->channelCount; ++i) {
            out[i] = p->format[i];
            const double* in = p->channelTable[i]->block;
            double* o = blockPool()->allocBlock(8 * (n > 0 ? n : 1));
            for (int k = 0; k < n; ++k)
                o[k] = in == nullptr ? 0.0 : in[k] * mGain;
            out[i].block = o;
        }
        releaseInputs();
        distributeOutputs(out, p->channelCount, n);
    }

    int updates = 0;
    int blocks = 0;

private:
    double mGain;
    int mLatency;
};

// Stands in for the plug-in shell: a host input connection on a process's port and an output
// process whose rendered port-0 channels are read back.
class CTestHost {
public:
    explicit CTestHost(CAudioBlockPool& pool) : mPool(pool) {}

    // Attaches a host connection to port 0 of the process with channels of the given groups.
    CAudioProcessConnection* attach(CAudioProcessBase& process, int channels, double rate = 48000.0,
                                    int portKey = 0, int latency = 0, const std::vector<int>& groups = {}) {
        CAudioProcessConnection* c = process.addInputConnection(portKey, 0);
        std::vector<CAudioChannelDesc> d(static_cast<std::size_t>(channels));
        for (int i = 0; i < channels; ++i) {
            d[std::size_t(i)].key = i;
            d[std::size_t(i)].group = groups.empty() ? 0 : groups[std::size_t(i)];
            d[std::size_t(i)].latency = latency;
        }
        CAudioProcessBase::setConnectionFormat(c, d.data(), channels, rate);
        return c;
    }
    // Stores one block per channel (channel c gets signal[c]) into a connection.
    void feed(CAudioProcessConnection* c, const std::vector<std::vector<double>>& signal) {
        const int n = int(signal[0].size());
        for (std::size_t ch = 0; ch < signal.size(); ++ch) {
            double* b = mPool.allocBlock(8 * (n > 0 ? n : 1));
            for (int k = 0; k < n; ++k)
                b[k] = signal[ch][std::size_t(k)];
            c->storeBlock(int(ch), b);
        }
        c->blockLength = n;
    }
    // Renders the output process's inputs and returns its port-0 channels, then releases them.
    static std::vector<std::vector<double>> collect(CAudioProcessBase& output) {
        output.renderInputs();
        std::vector<std::vector<double>> result;
        CAudioProcessPort* p = output.getPort(0);
        for (int i = 0; i < p->channelCount; ++i) {
            const double* b = p->channelTable[i]->block;
            result.emplace_back(b == nullptr ? std::vector<double>() : std::vector<double>(b, b + output.blockLength()));
        }
        output.releaseInputs();
        return result;
    }

private:
    CAudioBlockPool& mPool;
};

} // namespace tal::test
