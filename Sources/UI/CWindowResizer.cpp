#include "UI/CWindowResizer.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "UI/CIntervalTimer.h"
#include "UI/CUIParam.h"
#include "UI/CView.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

double roundHalfAway(double v) noexcept { return std::round(v); }

// Clears a flag on every way out of a scope.
class CFlagGuard {
public:
    explicit CFlagGuard(bool& flag) : mFlag(flag) { mFlag = true; }
    ~CFlagGuard() { mFlag = false; }
    CFlagGuard(const CFlagGuard&) = delete;
    CFlagGuard& operator=(const CFlagGuard&) = delete;

private:
    bool& mFlag;
};

} // namespace

CObject* CWindowResizer::create() { return new CWindowResizer; }

void CWindowResizer::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CWindowResizer, &CWindowResizer::onUpdateTimer>(scheme, "update-timer");
}

CWindowResizer::~CWindowResizer() {
    mRootView.reset();
    mUpdateTimer.reset();
}

double CWindowResizer::scale() {
    CView* root = mRootView.resolve();
    return root != nullptr && root->area() != nullptr ? root->area()->windowScale() : 1.0;
}

CError* CWindowResizer::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mPendingWidth = mPendingHeight = 0.0;
    mSizeSlot = registerUIParam(CString(".ui-param-winsize"), true);
    mRootView.init(this, CString(), CString(), this, CString("root-view"));
    mUpdateTimer.init(this, CString(), CString(), this, CString("update-timer"));
    mUpdateTimer.isRequired = true;
    mUpdateTimer.listenEvent(CString("tick"), CString("update-timer"));
    return nullptr;
}

CError* CWindowResizer::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    if (mRootView.resolve() != nullptr) {
        CObject* treeRoot = root();
        const std::int32_t w = treeRoot != nullptr ? treeRoot->getIntAttr("AUWindowWidth") : 0;
        const std::int32_t h = treeRoot != nullptr ? treeRoot->getIntAttr("AUWindowHeight") : 0;
        if (w >= 2 && h >= 2)
            if (CError* error = setSize(true, true, w, h))
                return traceError(error, getFullName());
        if (CUIParam* param = getActiveUIParam(mSizeSlot)) {
            CUIParamValue width, height;
            param->getPlainValue(width, 0, -1);
            param->getPlainValue(height, 1, -1);
            const double s = scale();
            if (CError* error = setSize(true, false, width[0] * s, height[0] * s))
                return traceError(error, getFullName());
        }
    }
    mIsPending = false;
    mIsStorePending = false;
    return nullptr;
}

CError* CWindowResizer::setSize(bool applyNow, bool store, double width, double height) {
    if (mRootView.resolve() == nullptr)
        return nullptr;
    const double s = scale();
    mPendingWidth = roundHalfAway(roundHalfAway(width / s) * s);
    mPendingHeight = roundHalfAway(roundHalfAway(height / s) * s);
    if (!applyNow) {
        mIsPending = true;
        mIsStorePending = store;
        return nullptr;
    }
    mIsPending = false;
    mIsStorePending = false;
    return traceError(applySize(store, mPendingWidth, mPendingHeight), getFullName());
}

CError* CWindowResizer::applySize(bool store, double width, double height) {
    if (mIsBusy)
        return nullptr;
    CView* root = mRootView.resolve();
    if (root == nullptr || root->area() == nullptr)
        return nullptr;
    // Cleared on every exit: an error of the layout or of the renderer must not stop later sizes.
    CFlagGuard busy(mIsBusy);
    const double s = scale();
    const double w = std::max(root->getDoubleAttr("min-window-width") * s,
                              std::min(root->getDoubleAttr("max-window-width") * s, width));
    const double h = std::max(root->getDoubleAttr("min-window-height") * s,
                              std::min(root->getDoubleAttr("max-window-height") * s, height));
    const CAreaRect& total = root->area()->totalRect();
    if (roundHalfAway(w) == roundHalfAway(total.width) && roundHalfAway(h) == roundHalfAway(total.height))
        return nullptr;
    root->area()->setFixedWidth(w);
    root->area()->setFixedHeight(h);
    if (CError* error = root->updateLayout())
        return traceError(error, getFullName());
    CAttrMap args;
    args.findOrAdd("is-winsize")->value.setInt(1);
    if (CError* error = runWindowEvent(CString("update-window-bounds"), &args))
        return traceError(error, getFullName());
    if (store)
        if (CUIParam* param = getActiveUIParam(mSizeSlot)) {
            CUIParamValue width0, height0;
            width0[0] = w / s;
            height0[0] = h / s;
            param->setPlainValue(0, -1, width0);
            param->setPlainValue(1, -1, height0);
        }
    return nullptr;
}

CError* CWindowResizer::runWindowEvent(const CString& name, CAttrMap* args) {
    CView* root = mRootView.resolve();
    if (root == nullptr)
        return nullptr;
    const CString& path = root->getTextAttr("window");
    CObject* window = path.isEmpty() ? nullptr : root->findObject(path);
    if (window == nullptr)
        return nullptr;
    return traceError(window->runEvent(name, args), getFullName());
}

CError* CWindowResizer::onUpdateTimer() {
    if (!mIsPending)
        return nullptr;
    const bool store = mIsStorePending;
    mIsPending = false;
    mIsStorePending = false;
    return traceError(applySize(store, mPendingWidth, mPendingHeight), getFullName());
}

CError* CWindowResizer::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    if (mRootView.resolve() == nullptr || info.param == nullptr)
        return nullptr;
    CUIParamValue width, height;
    info.param->getPlainValue(width, 0, -1);
    info.param->getPlainValue(height, 1, -1);
    const double s = scale();
    return traceError(setSize(false, false, width[0] * s, height[0] * s), getFullName());
}

} // namespace tal
