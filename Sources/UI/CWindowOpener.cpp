#include "UI/CWindowOpener.h"

#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/CObjectScheme.h"
#include "Platform/CMonotonicClock.h"
#include "UI/CView.h"
#include "UI/SchemeThunks.h"

namespace tal {

namespace {

const std::uint64_t gStartNanos = getMonotonicNanos();

void copyAttrs(const CAttrMap& from, CAttrMap& to) {
    for (auto* n = from.first(); n != nullptr; n = CAttrMap::next(n))
        to.findOrAdd(n->key)->value.copyTyped(n->value);
}

} // namespace

CObject* CWindowOpener::create() { return new CWindowOpener; }

void CWindowOpener::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CWindowOpener, &CWindowOpener::onUpdateTimer>(scheme, "update-timer");
}

CWindowOpener::~CWindowOpener() = default;

double CWindowOpener::now() const noexcept {
    const std::uint64_t nanos = mClock != nullptr ? mClock(mClockContext) : getMonotonicNanos();
    return double(nanos - gStartNanos) * 1e-9;
}

CError* CWindowOpener::requestOpen(const CString& openerPath, const CString& tag, const CString& name,
                                   const CAttrMap& attrs, const CString& waitPath, bool showErrors) {
    CWindowOpenRequest* request = nullptr;
    for (const auto& r : mPending)
        if (r != nullptr && r->openerPath == openerPath && r->tag == tag) {
            request = r.get();
            break;
        }
    if (request == nullptr) {
        mPending.push_back(std::make_unique<CWindowOpenRequest>());
        request = mPending.back().get();
    }
    request->openerPath = openerPath;
    request->tag = tag;
    request->name = name;
    request->attrs.clear();
    copyAttrs(attrs, request->attrs);
    request->showErrors = showErrors;
    request->waitPath = waitPath;
    request->requestTime = now();
    request->waitTimeout = getDoubleAttr("wait-timeout");
    if (mIsProcessing)
        return nullptr;   // the pass that is running takes it
    return traceError(onUpdateTimer(), getFullName());
}

CError* CWindowOpener::onUpdateTimer() {
    if (mIsProcessing)
        return nullptr;
    mIsProcessing = true;
    std::vector<std::unique_ptr<CWindowOpenRequest>> waiting;
    CError* failure = nullptr;
    // The count is read again each time: a creation can ask for further windows.
    for (std::size_t i = 0; i < mPending.size(); ++i) {
        std::unique_ptr<CWindowOpenRequest> request = std::move(mPending[i]);
        if (request == nullptr)
            continue;
        if (failure != nullptr) {
            waiting.push_back(std::move(request));   // not tried in this pass
            continue;
        }
        const CObject* waitFor = request->waitPath.isEmpty() ? nullptr : findObject(request->waitPath);
        if (waitFor == nullptr) {
            // Carried out, or failed: either way it leaves the list, so it is never created twice
            // and a failing one cannot come back on every pass.
            failure = carryOut(*request);
            continue;
        }
        if (now() - request->requestTime <= request->waitTimeout)
            waiting.push_back(std::move(request));
        // else: timed out, dropped without a message
    }
    mPending = std::move(waiting);
    mIsProcessing = false;
    CError* timerError = updatePollTimer();
    if (failure != nullptr) {
        delete timerError;
        return traceError(failure, getFullName());
    }
    return traceError(timerError, getFullName());
}

CError* CWindowOpener::carryOut(const CWindowOpenRequest& request) {
    auto* opener = dynamic_cast<CView*>(findObject(request.openerPath));
    if (opener == nullptr)
        return nullptr;
    CObject* created = nullptr;
    if (CError* error = opener->createChild(created, request.tag, request.name, true, &request.attrs, nullptr)) {
        if (request.showErrors) {
            opener->showErrorResult(error, CString(), true);
            return nullptr;
        }
        return traceError(error, getFullName());
    }
    const bool isPopupWindow = created->getBoolAttr("is-popup-window");
    const bool isLocal = isPopupWindow || created->getBoolAttr("is-local-popup");
    const CString window = created->getTextAttr("window");
    if (isPopupWindow) {
        if (CObject* renderer = findObject(opener->getTextAttr("window"))) {
            CAttrMap args;
            args.findOrAdd("opener")->value.setText(opener->getFullName());
            args.findOrAdd("popup")->value.setText(created->getFullName());
            if (CError* error = renderer->runEvent(CString("popup-changed"), &args))
                return traceError(error, getFullName());
        }
    }
    CAttrMap args;
    args.findOrAdd("is-local-popup")->value.setInt(isLocal ? 1 : 0);
    args.findOrAdd("window")->value.setText(window);
    args.findOrAdd("window-tag")->value.setText(request.tag);
    return traceError(opener->runEvent(CString("popup-created"), &args), getFullName());
}

CError* CWindowOpener::updatePollTimer() {
    if (!mPending.empty() && mPollTimer == nullptr) {
        CAttrMap attrs;
        attrs.findOrAdd("interval")->value.setInt(getIntAttr("update-interval"));
        CObject* timer = nullptr;
        if (CError* error = createChild(timer, getTextAttr("interval-timer-tag"), CString("update-timer"), true, &attrs,
                                        nullptr)) {
            if (timer != nullptr)
                timer->release();
            return traceError(error, getFullName());
        }
        mPollTimer = timer;
        listenObject(timer->getFullName(), CString("tick"), CString("update-timer"));
    } else if (mPending.empty() && mPollTimer != nullptr) {
        unlistenObject(mPollTimer->getFullName(), CString("tick"));
        // Later, through the event bridge: this may run inside the timer's own tick.
        CObject* timer = mPollTimer;
        mPollTimer = nullptr;
        timer->releaseBridged();
    }
    return nullptr;
}

} // namespace tal
