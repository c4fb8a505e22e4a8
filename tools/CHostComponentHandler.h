#pragma once
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace delmaro_tool {

// The host's end of the controller's calls: edit gestures, edits, restart requests and program
// list notices, recorded so that the tool and the tests can see what the plug-in reported. Owned by
// the host for the whole run; not reference counted. Any thread (the record is under a mutex); the
// thread that sets `audioThread` is the one whose calls count as made from the audio thread.
class CHostComponentHandler : public Steinberg::Vst::IComponentHandler, public Steinberg::Vst::IUnitHandler {
public:
    enum class Kind { Begin, Perform, End, Restart, ProgramListChange, UnitSelection };
    struct CCall {
        Kind kind;
        Steinberg::int32 id;
        double value;
        std::thread::id thread;   // the caller
    };

    CHostComponentHandler() { mCalls.reserve(4096); }
    virtual ~CHostComponentHandler() = default;

    // --- host side ---
    std::vector<CCall> calls() const;
    void clearCalls();
    // Edits made while the marked thread was the caller (an audio thread must never edit).
    int callsFromAudioThread() const noexcept { return mFromAudio.load(); }
    // Recorded calls whose caller was not that thread.
    int callsNotFrom(std::thread::id thread) const;
    void setAudioThread(std::thread::id id) noexcept;

    // --- IComponentHandler ---
    Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value) override;
    Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
    Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;
    // --- IUnitHandler ---
    Steinberg::tresult PLUGIN_API notifyUnitSelection(Steinberg::Vst::UnitID unitId) override;
    Steinberg::tresult PLUGIN_API notifyProgramListChange(Steinberg::Vst::ProgramListID listId,
                                                          Steinberg::int32 programIndex) override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    void record(Kind kind, Steinberg::int32 id, double value);

    mutable std::mutex mMutex;
    std::vector<CCall> mCalls;
    std::atomic<std::thread::id> mAudioThread{};
    std::atomic<int> mFromAudio{0};
};

} // namespace delmaro_tool
