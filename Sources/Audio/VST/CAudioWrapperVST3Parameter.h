#pragma once
#include "public.sdk/source/vst/vstparameters.h"

#include <atomic>

namespace tal {

class CAudioExtParam;

// One exported parameter as the host sees it: id = its index in the instance's exported-parameter
// list, title = its host name, units, default and value text from the parameter's converter.
// A host value that really changes is passed on to the exported parameter (and from there through
// the parameter's change path); values the instance reports to the host are stored without coming
// back (setQuietly).
// Owned by the SDK's parameter container of the component; the exported parameter belongs to the
// instance's object tree, which outlives the container.
// Threads: the host's main thread sets values through the controller, the audio thread through the
// process call's parameter events; the value itself is atomic, so either may read it.
class CAudioWrapperVST3Parameter : public Steinberg::Vst::Parameter {
public:
    CAudioWrapperVST3Parameter(CAudioExtParam& extParam, Steinberg::Vst::ParamID id);

    // Stores a value the instance reports, without passing it back.
    void setQuietly(Steinberg::Vst::ParamValue normalized) noexcept { mValue.store(normalized); }
    CAudioExtParam& extParam() const noexcept { return mExtParam; }
    // The value (the SDK's own field is not used: the controller answers with this one).
    Steinberg::Vst::ParamValue value() const noexcept { return mValue.load(); }

    // --- Parameter ---
    bool setNormalized(Steinberg::Vst::ParamValue normalized) override;
    void changed(Steinberg::int32 message = kChanged) override;
    void toString(Steinberg::Vst::ParamValue normalized, Steinberg::Vst::String128 text) const override;
    // Always true: a text that does not parse gives the element's default.
    bool fromString(const Steinberg::Vst::TChar* text, Steinberg::Vst::ParamValue& normalized) const override;

private:
    CAudioExtParam& mExtParam;
    std::atomic<Steinberg::Vst::ParamValue> mValue{0.0};
};

} // namespace tal
