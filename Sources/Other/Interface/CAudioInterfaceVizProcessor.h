#pragma once
#include "Core/CCheckedObject.h"

namespace tal {

class CError;
class CInputStream;

// What the editor's visualisation exchange implements to receive the visualisation messages of the
// audio side through the audio interface client. Called on the editor's thread while the client
// processes replies; the reader stands at the message's payload.
class CAudioInterfaceVizProcessor : public CCheckedObject {
public:
    virtual void onStartViz() = 0;
    virtual void onStopViz() = 0;
    virtual void onClearClient() = 0;
    // "viz-data": the running time, item blocks, then i32 0.
    [[nodiscard]] virtual CError* onVizData(CInputStream& reader) = 0;
    // "export-slot-names": i32 n, then n (i32 slot, string name).
    [[nodiscard]] virtual CError* onExportSlotNames(CInputStream& reader) = 0;
};

} // namespace tal
