#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>

namespace tal {

class CAudioParam;

// What the audio interface base asks of the plug-in shell (implemented by the wrapper): the channel
// layout and sample rate it reports to editors, and where it hands editors' edit gestures and the
// channel-label import. Called on the editor's thread, on the thread that changes the sample rate
// and (channel counts) on the audio thread.
class CAudioInterfaceDataProvider : public CCheckedObject {
public:
    virtual std::int32_t getInternalChannelCount() = 0;
    virtual std::int32_t getGroupCount() = 0;
    virtual std::int32_t getInputChannelCount() = 0;
    virtual std::int32_t getOutputChannelCount() = 0;
    virtual std::int32_t getSidechainChannelCount() = 0;
    virtual double getSampleRate() = 0;
    virtual void beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) = 0;
    virtual void endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) = 0;
    virtual void importChannelLabels() = 0;
};

} // namespace tal
