#pragma once
#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CMemoryReader.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tal::test {

// A "viz-data" reply read back: the visualisation time and the frames of each item in order.
struct VizReply {
    double time = 0.0;
    std::map<std::string, std::vector<std::unique_ptr<CAudioVizData>>> items;

    // The frames of an item as the class T (a frame of another class fails the test).
    template <class T>
    std::vector<const T*> framesOf(const std::string& name) const {
        std::vector<const T*> out;
        const auto it = items.find(name);
        if (it == items.end())
            return out;
        for (const auto& f : it->second) {
            const T* typed = dynamic_cast<const T*>(f.get());
            EXPECT_NE(typed, nullptr) << name;
            if (typed != nullptr)
                out.push_back(typed);
        }
        return out;
    }
};

// Parses the bytes of a reply; every failure is a test failure.
inline VizReply parseVizReply(const Bytes& bytes) {
    VizReply reply;
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    EXPECT_EQ(in.readDouble(reply.time), nullptr);
    for (;;) {
        std::int32_t count = 0;
        CError* err = in.read32(count);
        EXPECT_EQ(err, nullptr);
        if (err != nullptr || count == 0)
            break;
        CString name;
        EXPECT_EQ(in.readString(name), nullptr);
        auto& frames = reply.items[utf8Of(name)];
        for (std::int32_t i = 0; i < count; ++i) {
            CAudioVizData* frame = nullptr;
            EXPECT_EQ(CAudioVizData::readFromStream(in, frame), nullptr);
            frames.emplace_back(frame);
        }
    }
    EXPECT_EQ(in.getRemainingSize(), 0);
    return reply;
}

// Takes every waiting frame of a collector as the editor's "request-viz-data" does.
inline VizReply takeVizReply(CAudioVizCollector& viz, double frameRate = 30.0) {
    const Bytes bytes = written([&](COutputStream& out) { EXPECT_EQ(viz.writeVizData(out, frameRate), nullptr); });
    return parseVizReply(bytes);
}

} // namespace tal::test
