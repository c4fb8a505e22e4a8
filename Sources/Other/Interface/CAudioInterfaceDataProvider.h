#pragma once
#include "Core/CCheckedObject.h"

#include <cstdint>

namespace tal {

class CAudioParam;

// What the audio interface base asks of the plug-in shell (implemented by the wrapper): the channel
// layout and sample rate it reports to editors, and where it hands editors' edit gestures and the
// channel-label import. Called on the editor's thread, on the thread that changes the sample rate
// and (channel counts) on the thread that sends the posted messages.
class CAudioInterfaceDataProvider : public CCheckedObject {
public:
    virtual std::int32_t getInternalChannelCount() const = 0;
    virtual std::int32_t getGroupCount() const = 0;
    virtual std::int32_t getInputChannelCount() const = 0;
    virtual std::int32_t getOutputChannelCount() const = 0;
    virtual std::int32_t getSidechainChannelCount() const = 0;
    virtual double getSampleRate() const = 0;
    virtual void beginParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) = 0;
    virtual void endParamGesture(const CAudioParam* param, std::int32_t group, std::int32_t element) = 0;
    virtual void importChannelLabels() = 0;
};

} // namespace tal
