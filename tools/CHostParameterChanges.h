#pragma once
#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <vector>

namespace delmaro_tool {

// The host's parameter changes of one block: one queue per parameter, each a list of (offset,
// value) points. Capacities are fixed at construction, so filling and clearing never allocate
// (the host's side of a real-time block). Owned by the host for the whole run; not reference
// counted (addRef and release are no-ops). One thread.
class CHostParameterChanges : public Steinberg::Vst::IParameterChanges {
public:
    CHostParameterChanges(int maxQueues, int maxPointsPerQueue);
    CHostParameterChanges(const CHostParameterChanges&) = delete;
    CHostParameterChanges& operator=(const CHostParameterChanges&) = delete;
    virtual ~CHostParameterChanges() = default;

    // --- host side ---
    // Appends a point to the parameter's queue (made on first use); false when a capacity is full.
    bool addPoint(Steinberg::Vst::ParamID id, Steinberg::int32 offset, double value);
    void clear() noexcept;   // empties every queue, keeps the storage

    // --- IParameterChanges ---
    Steinberg::int32 PLUGIN_API getParameterCount() override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

    // One parameter's points in the order they were added.
    class CQueue : public Steinberg::Vst::IParamValueQueue {
    public:
        explicit CQueue(int capacity) { mPoints.reserve(capacity); }
        void reset(Steinberg::Vst::ParamID id) noexcept { mId = id; mPoints.clear(); }
        Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return mId; }
        Steinberg::int32 PLUGIN_API getPointCount() override { return Steinberg::int32(mPoints.size()); }
        Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                               Steinberg::Vst::ParamValue& value) override;
        Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                               Steinberg::int32& index) override;
        Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
        Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
        Steinberg::uint32 PLUGIN_API release() override { return 1; }
        virtual ~CQueue() = default;

    private:
        struct CPoint {
            Steinberg::int32 offset;
            double value;
        };
        Steinberg::Vst::ParamID mId = 0;
        std::vector<CPoint> mPoints;
    };

private:
    std::vector<CQueue> mQueues;
    int mUsed = 0;
};

} // namespace delmaro_tool
