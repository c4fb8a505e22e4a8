#pragma once

namespace tal {

class CAudioParamChangeList;
class CAudioParamUndoRecord;

// What travels with every change: the open undo record (or none), a list that collects the
// changes for the audio side instead of handing them over one by one (or none), and whether the
// hand-off writes the audio-side storage directly from the calling thread.
struct CAudioParamContext {
    CAudioParamUndoRecord* undo = nullptr;
    CAudioParamChangeList* pending = nullptr;
    bool audioSide = false;
};

} // namespace tal
