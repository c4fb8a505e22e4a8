#include "Audio/Processes/CModNode.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioProcessPort.h"

namespace tal {

void CModNode::update() {
    if (!inputFormatChanged())
        return;
    const CAudioProcessPort* port = getPort(0);
    setOutputFormat(port->format, port->channelCount, inputSampleRate());
}

void CModNode::process() {
    renderInputs();
    const CAudioProcessPort* port = getPort(0);
    CAudioChannelDesc outputs[CAudioProcessPort::kMaxChannels];
    int n = 0;
    for (int i = 0; i < port->channelCount; ++i) {
        double* block = port->channelTable[i]->block;
        if (block == nullptr)
            continue;
        CAudioBlockPool::addUse(block);   // the links' reference; the input keeps its own
        outputs[n] = port->format[i];
        outputs[n].block = block;
        ++n;
    }
    distributeOutputs(outputs, n, blockLength());
    releaseInputs();
}

} // namespace tal
