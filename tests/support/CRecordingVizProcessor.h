#pragma once
#include "Other/Interface/CAudioInterfaceVizProcessor.h"

#include <string>
#include <vector>

namespace tal {

// An editor's visualisation end that records "start", "stop" and "clear" and ignores the data.
class CRecordingVizProcessor : public CAudioInterfaceVizProcessor {
public:
    void onStartViz() override { events.push_back("start"); }
    void onStopViz() override { events.push_back("stop"); }
    void onClearClient() override { events.push_back("clear"); }
    CError* onVizData(CInputStream&) override { return nullptr; }
    CError* onExportSlotNames(CInputStream&) override { return nullptr; }

    std::vector<std::string> events;
};

} // namespace tal
