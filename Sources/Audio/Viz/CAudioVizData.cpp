#include "Audio/Viz/CAudioVizData.h"

#include "Audio/Viz/CAudioVizDataInfo.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CAudioVizDataVScope.h"
#include "Audio/Viz/CVizPayloadReader.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CWriteSeqBuffer.h"

namespace tal {

CError* CAudioVizData::save(COutputStream& out) const {
    CError* err = out.write32(std::uint32_t(channel));
    if (err == nullptr) err = out.write32(std::uint32_t(group));
    if (err == nullptr) err = out.write32(std::uint32_t(position));
    if (err == nullptr) err = out.writeDouble(time);
    if (err == nullptr) err = out.write32(std::uint32_t(exportSlot));
    return traceError(err);
}

CError* CAudioVizData::load(CInputStream& in) {
    CError* err = in.read32(channel);
    if (err == nullptr) err = in.read32(group);
    if (err == nullptr) err = in.read32(position);
    if (err == nullptr) err = in.readDouble(time);
    if (err == nullptr) err = in.read32(exportSlot);
    return traceError(err);
}

CError* CAudioVizData::readCount(CInputStream& in, std::int32_t& count, std::int32_t elementBytes,
                                 std::int32_t trailing) {
    if (CError* err = in.read32(count))
        return traceError(err);
    const std::int64_t left = in.getRemainingSize();
    if (count < 0 || (left >= 0 && std::int64_t(count) * elementBytes > left - trailing))
        return newError("@talstr_CAudioVizData_BadCount Invalid count %1 in a visualisation frame (%2 bytes left).",
                        CString::emptyString, CString(count), CString(std::int64_t(left)));
    return nullptr;
}

void CAudioVizData::copyCommon(const CAudioVizData& other) noexcept {
    channel = other.channel;
    group = other.group;
    position = other.position;
    time = other.time;
    exportSlot = other.exportSlot;
}

void CAudioVizData::releaseUse() noexcept {
    if (useCount < 2)
        delete this;
    else
        --useCount;
}

namespace {

CAudioVizData* newFrameOfType(std::int32_t type) {
    switch (type) {
    case CAudioVizData::kTypeMeter: return new CAudioVizDataMeter;
    case CAudioVizData::kTypeInfo: return new CAudioVizDataInfo;
    case CAudioVizData::kTypeSpectrum: return new CAudioVizDataSpectrum;
    case CAudioVizData::kTypeVScope: return new CAudioVizDataVScope;
    default: return nullptr;
    }
}

} // namespace

CError* CAudioVizData::readFromStream(CInputStream& in, CAudioVizData*& holder) {
    std::int32_t type = 0;
    std::int32_t length = 0;
    if (CError* err = in.read32(type))
        return traceError(err);
    if (CError* err = in.read32(length))
        return traceError(err);
    const std::int64_t left = in.getRemainingSize();
    if (length < 0 || (left >= 0 && length > left))
        return newError("@talstr_CAudioVizData_BadLength Invalid visualisation frame length %1 (type %2).",
                        CString::emptyString, CString(length), CString(type));
    CVizPayloadReader payload(in, length);
    CAudioVizData* frame = newFrameOfType(type);
    if (frame == nullptr) {
        if (CError* err = payload.finish())
            return traceError(err);
        delete holder;
        holder = nullptr;
        return nullptr;
    }
    CError* err = frame->load(payload);
    if (err == nullptr)
        err = payload.finish();
    if (err != nullptr) {
        delete frame;
        return traceError(err);
    }
    delete holder;
    holder = frame;
    return nullptr;
}

CError* CAudioVizData::writeRecord(COutputStream& out, CWriteSeqBuffer& scratch) const {
    scratch.clear();
    CError* err = save(scratch);
    if (err == nullptr) err = out.write32(std::uint32_t(type));
    if (err == nullptr) err = out.write32(std::uint32_t(scratch.getSize()));
    if (err == nullptr) err = scratch.writeTo(out);
    scratch.clear();
    return traceError(err);
}

CAudioVizData* CAudioVizData::clone(const CAudioVizData& frame) {
    switch (frame.type) {
    case kTypeMeter:
        if (auto* meter = dynamic_cast<const CAudioVizDataMeter*>(&frame)) return meter->cloneMeter();
        break;
    case kTypeInfo:
        if (auto* info = dynamic_cast<const CAudioVizDataInfo*>(&frame)) return info->cloneInfo();
        break;
    case kTypeSpectrum:
        if (auto* spectrum = dynamic_cast<const CAudioVizDataSpectrum*>(&frame)) return spectrum->cloneSpectrum();
        break;
    case kTypeVScope:
        if (auto* scope = dynamic_cast<const CAudioVizDataVScope*>(&frame)) return scope->cloneVScope();
        break;
    default:
        break;
    }
    auto* bare = new CAudioVizData;
    bare->copyCommon(frame);
    return bare;
}

} // namespace tal
