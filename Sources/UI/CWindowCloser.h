#pragma once
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CStringList.h"

#include <cstdint>
#include <vector>

namespace tal {

class CAttrMap;

// "ui:window-closer": the close queues of the editor's windows. A queue lists the root views of a
// closing window and of the windows opened from it; each receives "pre-close-window" ("queue-id",
// "window-closer") and answers "confirm-close-window" or "deny-close-window" ("queue-id", "window")
// on the closer, at once or later. When all have confirmed, "perform-close-window" runs on the
// renderer that asked. One denial, or an error of a "pre-close-window" handler, cancels the close
// and removes the queue (also when an earlier view has not answered yet). Queue ids start at 1 and
// are never reused. A child of the shared window data; UI thread only.
class CWindowCloser : public CObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    // A new queue for the renderer of that full name; its id.
    std::int32_t createQueue(const CString& requester);
    // Appends a view (full name), unanswered; an unknown id gets an empty queue first.
    void addQueueWindow(std::int32_t queue, const CString& window);
    // Sends "pre-close-window" to each queued view in order until the queue is done. Error: a queued
    // view that is missing or not a view (the queue stays). Returns an error object or null.
    [[nodiscard]] CError* askWindows(std::int32_t queue);
    // Completes the queue when every view confirmed. Error: the requester is gone (the queue stays).
    [[nodiscard]] CError* checkQueue(std::int32_t queue);

    [[nodiscard]] virtual CError* onConfirmCloseWindow(CAttrMap& args);
    [[nodiscard]] virtual CError* onDenyCloseWindow(CAttrMap& args);

    // --- queries ---
    bool hasQueue(std::int32_t queue) const { return mQueues.find(queue) != nullptr; }
    int queueCount() const noexcept { return mQueues.count(); }
    // The queued views of a queue (empty for an unknown id).
    CStringList queueWindows(std::int32_t queue) const;
    std::int32_t nextQueueId() const noexcept { return mNextQueueId; }

private:
    struct CCloseQueue {
        CStringList windows;
        std::vector<std::uint8_t> answered;
        std::vector<std::uint8_t> confirmed;
        CString requester;
    };

    void setAnswer(std::int32_t queue, const CString& window, bool confirmed);

    std::int32_t mNextQueueId = 1;
    CSortedMap<std::int32_t, CCloseQueue> mQueues;
};

} // namespace tal
