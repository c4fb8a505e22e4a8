#include "Core/CDataSet.h"

#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CResourceMap.h"
#include "Core/RecordTags.h"
#include "support/SampleData.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

using test::Bytes;

// A data set of a version, a name and a byte block; writing fails after the name when asked.
class SampleSet : public CDataSet {
public:
    std::uint32_t getTag() const override { return kTagSpectrum; }
    CError* read(CInputStream& in) override {
        std::uint32_t version = 0;
        if (CError* err = in.read32(version))
            return traceError(err);
        if (version != 1)
            return newError("@talstr_SampleSet_read_Version Unknown version %1.", CString::emptyString, CString(int(version)));
        if (CError* err = in.readString(name))
            return traceError(err);
        if (CError* err = in.readByteBuffer(data))
            return traceError(err);
        return nullptr;
    }
    CError* write(COutputStream& out) const override {
        if (CError* err = out.write32(1))
            return traceError(err);
        if (CError* err = out.writeString(name))
            return traceError(err);
        if (failWrite)
            return newError("@talstr_SampleSet_write_Refused Refused.");
        if (CError* err = out.writeByteBuffer(data))
            return traceError(err);
        return nullptr;
    }
    CString name;
    CByteBuffer data;
    bool failWrite = false;
};

SampleSet makeSet(std::size_t bytes) {
    SampleSet s;
    s.name = "spectrum snapshot";
    s.data = test::bufferOf(test::noiseBytes(bytes, 9));
    return s;
}

TEST(CDataSet, BufferRoundTripRestoresTheItem) {
    const SampleSet original = makeSet(100000);
    CByteBuffer bytes;
    ASSERT_EQ(original.saveToBuffer(bytes), nullptr);
    SampleSet back;
    ASSERT_EQ(back.loadFromBuffer(bytes), nullptr);
    EXPECT_EQ(back.name, original.name);
    EXPECT_TRUE(back.data == original.data);

    SampleSet failing = makeSet(10);
    failing.failWrite = true;
    CByteBuffer untouched = test::bufferOf({1, 2});
    EXPECT_EQ(test::takeMessage(failing.saveToBuffer(untouched)), "Refused.");
    EXPECT_EQ(test::bytesOf(untouched), (Bytes{1, 2}));
}

TEST(CDataSet, FileRoundTripAndAFailedSaveKeepsThePreviousFile) {
    test::TempFolder tmp;
    const std::string path = tmp.file("snapshot.dat");
    const SampleSet original = makeSet(70000);   // more than one 32 KB buffer
    ASSERT_EQ(original.save(CString(path.c_str())), nullptr);
    SampleSet back;
    ASSERT_EQ(back.load(CString(path.c_str())), nullptr);
    EXPECT_TRUE(back.data == original.data);

    const std::string before = test::readWholeFile(path);
    SampleSet failing = makeSet(10);
    failing.failWrite = true;
    EXPECT_EQ(test::takeMessage(failing.save(CString(path.c_str()))), "Refused.");
    EXPECT_EQ(test::readWholeFile(path), before);
}

TEST(CDataSet, LoadsEmbeddedResourcesAndNamesMissingOnes) {
    CByteBuffer bytes;
    ASSERT_EQ(makeSet(50).saveToBuffer(bytes), nullptr);
    Bytes blob = {std::uint8_t(bytes.size()), 0, 0, 0};
    blob.insert(blob.end(), bytes.data(), bytes.data() + bytes.size());
    const CResourceEntry table[] = {{blob.data(), "sample.set"}, {nullptr, nullptr}};
    CResourceMap::indexTable(table);
    SampleSet back;
    EXPECT_EQ(back.load(CString("sample.set")), nullptr);
    CResourceMap::clear();
    EXPECT_EQ(back.name, CString("spectrum snapshot"));

    const std::vector<std::string> lines = test::takeLines(back.load(CString("no-such.set")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Unable to open file 'no-such.set' for reading (error 2).");
    EXPECT_EQ(lines[2].rfind("Core/CResourceReader( ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("Core/CDataSet( ", 0), 0u);
}

} // namespace
} // namespace tal
