#pragma once
#include <cstdint>

namespace tal {

class CAudioParam;
class CAudioVizCollector;
class CString;

// One named visualisation item of a collector: what a producer posts frames for and an editor
// subscribes to. Its address is the handle producers and the parameter interface keep; it stays
// valid as long as the collector. The request counts are changed only on the audio thread
// (CAudioVizCollector::updateRequests); the collector's item lock guards creation.
struct CAudioVizItem {
    static constexpr int kGroups = 8;

    CAudioVizCollector* collector = nullptr;  // set by the first getVizItem for the name
    std::int32_t totalRequests = 0;           // every current request, never below 0
    std::int32_t exportRequests = 0;          // the part that comes through export slots
    std::int32_t exportRequestsPerGroup[kGroups] = {};
    const CString* name = nullptr;            // the item-map key
    std::int32_t index = 0;                   // registration order: the order of items in a reply
    CAudioParam* enableParam = nullptr;       // the "<name>-enable" parameter once looked up
};

// A request delta waiting for the audio thread.
struct CAudioVizItemRequest {
    CAudioVizItem* item;
    std::int32_t delta;
};

} // namespace tal
