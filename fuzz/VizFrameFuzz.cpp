// libFuzzer target for the visualisation frame records (meter, info, bare, spectrum and scope
// frames) as the editor reads them from a "viz-data" message: record after record until the bytes
// end or one fails. A frame that was read writes back to a record that reads again to the same bytes.
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CWriteSeqBuffer.h"
#include "FuzzSupport.h"

#include <cstdint>
#include <vector>

using namespace tal;
using fuzz::check;

namespace {

CByteBuffer recordOf(const CAudioVizData& frame) {
    CWriteSeqBuffer out, scratch;
    CError* err = frame.writeRecord(out, scratch);
    check(err == nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

void checkRoundTrip(const CAudioVizData& frame) {
    const CByteBuffer first = recordOf(frame);
    CMemoryReader reader(first.data(), first.size());
    CAudioVizData* again = nullptr;
    CError* err = CAudioVizData::readFromStream(reader, again);
    check(err == nullptr && again != nullptr && again->type == frame.type);
    check(reader.position() == first.size());
    check(recordOf(*again) == first);
    CAudioVizData* copy = CAudioVizData::clone(*again);
    check(recordOf(*copy) == first);
    copy->releaseUse();
    again->releaseUse();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 18))
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    CMemoryReader reader(bytes.data(), std::int32_t(bytes.size()));
    CAudioVizData* holder = nullptr;
    for (int records = 0; records < 64 && reader.position() < reader.size(); ++records) {
        CAudioVizData* before = holder;
        if (CError* err = CAudioVizData::readFromStream(reader, holder)) {
            delete err;
            check(holder == before);   // a failed read keeps the previous frame
            break;
        }
        if (holder != nullptr)
            checkRoundTrip(*holder);
    }
    if (holder != nullptr)
        holder->releaseUse();
    return 0;
}
