// The host stream adapters: CInputStreamVST and COutputStreamVST.
#include "Audio/VST/CInputStreamVST.h"
#include "Audio/VST/COutputStreamVST.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"

#include "pluginterfaces/base/ibstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace tal;
using namespace Steinberg;

// A host stream over bytes that may refuse calls or cut them short.
class CTestHostStream : public IBStream {
public:
    std::vector<std::uint8_t> bytes;
    std::size_t cursor = 0;
    bool refuse = false;          // every call answers kResultFalse
    int32 maxPerCall = 1 << 30;   // a host that moves fewer bytes than asked
    bool reportCount = true;

    tresult PLUGIN_API read(void* buffer, int32 n, int32* got) override {
        if (refuse)
            return kResultFalse;
        const int32 k = int32(std::min<std::size_t>({std::size_t(n), std::size_t(maxPerCall), bytes.size() - cursor}));
        std::memcpy(buffer, bytes.data() + cursor, std::size_t(k));
        cursor += std::size_t(k);
        if (got != nullptr)
            *got = k;
        return kResultOk;
    }
    tresult PLUGIN_API write(void* buffer, int32 n, int32* written) override {
        if (refuse)
            return kResultFalse;
        const int32 k = std::min(n, maxPerCall);
        bytes.insert(bytes.end(), static_cast<std::uint8_t*>(buffer), static_cast<std::uint8_t*>(buffer) + k);
        if (written != nullptr)
            *written = k;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64, int32, int64*) override { return kResultFalse; }
    tresult PLUGIN_API tell(int64*) override { return kResultFalse; }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

TEST(CInputStreamVST, ReadsExactlyOrFails) {
    CTestHostStream host;
    host.bytes = {1, 2, 3, 4, 5};
    CInputStreamVST in(&host);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(in.read(buf, 3), nullptr);
    EXPECT_EQ(buf[2], 3);
    CError* err = in.read(buf, 3);   // only two bytes left: a truncated state
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err->message().chars8(), "The host stream delivered 2 of 3 bytes.");
    delete err;
}

TEST(CInputStreamVST, HostRefusalIsAnError) {
    CTestHostStream host;
    host.bytes = {1, 2, 3};
    host.refuse = true;
    CInputStreamVST in(&host);
    std::uint8_t buf[4];
    CError* err = in.read(buf, 2);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err->message().chars8(), "The host stream refused to read 2 bytes.");
    delete err;
    std::int32_t count = 2;
    err = in.readUpTo(buf, count);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(count, 0);
    delete err;
}

TEST(CInputStreamVST, ReadUpToReportsWhatTheHostDelivered) {
    CTestHostStream host;
    host.bytes = {9, 8, 7};
    CInputStreamVST in(&host);
    std::uint8_t buf[8] = {};
    std::int32_t count = 8;
    EXPECT_EQ(in.readUpTo(buf, count), nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(buf[0], 9);
}

TEST(CInputStreamVST, TruncatedCompressedRecordIsRefused) {
    // A full record read back through the adapter, then the same record cut short.
    static const char kText[] = "state bytes of a plug-in, long enough to compress";
    const CByteBuffer payload(kText, std::int32_t(sizeof(kText)));
    CTestHostStream whole;
    COutputStreamVST out(&whole);
    ASSERT_EQ(out.writeCompressedData(payload, 0x73727061), nullptr);
    {
        CInputStreamVST in(&whole);
        CByteBuffer back;
        ASSERT_EQ(in.readCompressedData(back, 0x73727061), nullptr);
        ASSERT_EQ(back.size(), payload.size());
        EXPECT_EQ(std::memcmp(back.data(), payload.data(), std::size_t(payload.size())), 0);
    }
    CTestHostStream cut;
    cut.bytes.assign(whole.bytes.begin(), whole.bytes.begin() + whole.bytes.size() / 2);
    CInputStreamVST in(&cut);
    CByteBuffer back;
    CError* err = in.readCompressedData(back, 0x73727061);
    EXPECT_NE(err, nullptr);
    delete err;
}

TEST(COutputStreamVST, RefusedOrShortWritesAreErrors) {
    const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    CTestHostStream good;
    COutputStreamVST okOut(&good);
    EXPECT_EQ(okOut.write(data, 6), nullptr);
    EXPECT_EQ(good.bytes.size(), 6u);

    CTestHostStream refusing;
    refusing.refuse = true;
    COutputStreamVST refusedOut(&refusing);
    CError* err = refusedOut.write(data, 6);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err->message().chars8(), "The host stream refused to write 6 bytes.");
    delete err;

    CTestHostStream shortHost;
    shortHost.maxPerCall = 4;
    COutputStreamVST shortOut(&shortHost);
    err = shortOut.write(data, 6);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err->message().chars8(), "The host stream took 4 of 6 bytes.");
    delete err;
}

} // namespace
