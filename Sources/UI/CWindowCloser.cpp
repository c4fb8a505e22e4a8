#include "UI/CWindowCloser.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "UI/CView.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CWindowCloser::create() { return new CWindowCloser; }

void CWindowCloser::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addArgsEventOf<CWindowCloser, &CWindowCloser::onConfirmCloseWindow>(scheme, "confirm-close-window");
    addArgsEventOf<CWindowCloser, &CWindowCloser::onDenyCloseWindow>(scheme, "deny-close-window");
}

std::int32_t CWindowCloser::createQueue(const CString& requester) {
    const std::int32_t id = mNextQueueId++;
    mQueues.findOrAdd(id)->value.requester = requester;
    return id;
}

void CWindowCloser::addQueueWindow(std::int32_t queue, const CString& window) {
    CCloseQueue& q = mQueues.findOrAdd(queue)->value;
    q.windows.add(window);
    q.answered.push_back(0);
    q.confirmed.push_back(0);
}

CStringList CWindowCloser::queueWindows(std::int32_t queue) const {
    const auto* entry = mQueues.find(queue);
    return entry != nullptr ? entry->value.windows : CStringList();
}

CError* CWindowCloser::askWindows(std::int32_t queue) {
    for (int i = 0;; ++i) {
        const auto* entry = mQueues.find(queue);
        if (entry == nullptr)
            return nullptr;   // answered (completed or cancelled) by the last view asked
        if (i >= entry->value.windows.count())
            break;
        CView* view = nullptr;
        if (CError* error = findObjectChecked(view, entry->value.windows[i]))
            return traceError(error, getFullName());
        CAttrMap args;
        args.findOrAdd("queue-id")->value.setInt(queue);
        args.findOrAdd("window-closer")->value.setText(getFullName());
        if (CError* error = view->runEvent(CString("pre-close-window"), &args)) {
            // A view that fails to answer vetoes the close; the error itself is not reported.
            delete error;
            if (auto* e = mQueues.find(queue))
                mQueues.removeNode(e);
            return nullptr;
        }
    }
    return traceError(checkQueue(queue), getFullName());
}

CError* CWindowCloser::checkQueue(std::int32_t queue) {
    auto* entry = mQueues.find(queue);
    if (entry == nullptr)
        return nullptr;
    const CCloseQueue& q = entry->value;
    for (std::size_t i = 0; i < q.answered.size(); ++i)
        if (q.answered[i] == 0 || q.confirmed[i] == 0)
            return nullptr;
    CObject* requester = nullptr;
    if (CError* error = findObjectChecked(requester, q.requester))
        return traceError(error, getFullName());
    mQueues.removeNode(entry);
    return traceError(requester->runEvent(CString("perform-close-window")), getFullName());
}

void CWindowCloser::setAnswer(std::int32_t queue, const CString& window, bool confirmed) {
    auto* entry = mQueues.find(queue);
    if (entry == nullptr)
        return;
    CCloseQueue& q = entry->value;
    for (int i = 0; i < q.windows.count(); ++i)
        if (q.windows[i] == window) {
            q.answered[std::size_t(i)] = 1;
            q.confirmed[std::size_t(i)] = confirmed ? 1 : 0;
            return;
        }
}

namespace {

std::int32_t queueIdOf(const CAttrMap& args) {
    CAttrValue* v = args.findValue("queue-id");
    return v != nullptr ? v->asInt() : 0;
}

CString windowOf(const CAttrMap& args) {
    CAttrValue* v = args.findValue("window");
    return v != nullptr ? v->asText() : CString();
}

} // namespace

CError* CWindowCloser::onConfirmCloseWindow(CAttrMap& args) {
    const std::int32_t queue = queueIdOf(args);
    setAnswer(queue, windowOf(args), true);
    return traceError(checkQueue(queue), getFullName());
}

CError* CWindowCloser::onDenyCloseWindow(CAttrMap& args) {
    const std::int32_t queue = queueIdOf(args);
    auto* entry = mQueues.find(queue);
    if (entry == nullptr)
        return nullptr;
    // A denial from a queued view cancels the close whatever the others answered or will answer:
    // the queue goes, so it cannot stay open waiting for an answer that no longer matters.
    const CStringList& windows = entry->value.windows;
    for (int i = 0; i < windows.count(); ++i)
        if (windows[i] == windowOf(args)) {
            mQueues.removeNode(entry);
            break;
        }
    return nullptr;
}

} // namespace tal
