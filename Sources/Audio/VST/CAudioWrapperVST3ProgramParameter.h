#pragma once
#include "public.sdk/source/vst/vstparameters.h"

#include <atomic>
#include <cstdint>

namespace tal {

class CAudioProgramSource;

// The host's "Program" parameter (a program-change list): its plain value is the program index,
// its text the program's visible name. Setting it from the host switches the instance's program.
// Owned by the SDK's parameter container of the component; the source must outlive it.
// Main thread, except the value, which is atomic: the controller answers with value(), never with
// the SDK's own field.
class CAudioWrapperVST3ProgramParameter : public Steinberg::Vst::Parameter {
public:
    CAudioWrapperVST3ProgramParameter(CAudioProgramSource& source, Steinberg::Vst::ParamID id);

    std::int32_t getProgramCount() const noexcept { return mProgramCount; }
    // The program a normalised value selects (rounded half away from zero).
    std::int32_t programOf(Steinberg::Vst::ParamValue normalized) const;

    // --- Parameter ---
    Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalized) const override;
    Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plain) const override;
    void toString(Steinberg::Vst::ParamValue normalized, Steinberg::Vst::String128 text) const override;
    // A program is not chosen by typing: always false.
    bool fromString(const Steinberg::Vst::TChar* text, Steinberg::Vst::ParamValue& normalized) const override;
    // Stores the value without switching the program (the instance already switched).
    void setNormalizedQuietly(Steinberg::Vst::ParamValue normalized) noexcept { mValue.store(normalized); }
    Steinberg::Vst::ParamValue value() const noexcept { return mValue.load(); }
    bool setNormalized(Steinberg::Vst::ParamValue normalized) override;
    void changed(Steinberg::int32 message = kChanged) override;

private:
    CAudioProgramSource& mSource;
    std::int32_t mProgramCount;   // taken once: the bank's size does not change
    std::atomic<Steinberg::Vst::ParamValue> mValue{0.0};
};

} // namespace tal
