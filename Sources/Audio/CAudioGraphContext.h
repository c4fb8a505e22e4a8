#pragma once

namespace tal {

class CAudioEnv;
class CAudioParamCollector;
class CAudioVizCollector;
class CDCDAWContext;

// The per-instance objects every process of a graph keeps a pointer to, handed to process
// creation by the plug-in shell, which owns the record and outlives the graph.
struct CAudioGraphContext {
    CAudioEnv* env = nullptr;
    CDCDAWContext* dawContext = nullptr;        // owner of the instance's block pools
    CAudioParamCollector* collector = nullptr;
    CAudioVizCollector* vizCollector = nullptr;
};

} // namespace tal
