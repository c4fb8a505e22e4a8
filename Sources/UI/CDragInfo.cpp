#include "UI/CDragInfo.h"

#include "Core/Log.h"
#include "UI/CGlobalSettings.h"
#include "UI/CInputState.h"
#include "UI/CView.h"
#include "UI/CViewArea.h"
#include "UI/CWindowRenderer.h"

#include <cmath>

namespace tal {

namespace {

// The described default of the shift-key precision preference.
constexpr double kDefaultShiftKeyPrecision = 0.5;

// Removes the first entry equal to drag; the others keep their order.
template <class T>
void removeFirst(CArray<T*>& list, CDragInfo* drag) {
    for (int i = 0; i < list.count(); ++i)
        if (list[i] == drag) {
            for (int j = i + 1; j < list.count(); ++j)
                list[j - 1] = list[j];
            list.setCount(list.count() - 1);
            return;
        }
}

} // namespace

CDragInfo::CDragInfo() { mPoints.add(new CDragPoint); }

CDragInfo::~CDragInfo() {
    stop();
    // Drags that follow this one lose their leader.
    for (int i = 0; i < mFollowers.count(); ++i)
        mFollowers[i]->mLinkedDrag = nullptr;
    mSettings.reset();
    for (int i = mPoints.count() - 1; i >= 0; --i)
        delete mPoints[i];
}

void CDragInfo::resetPoints() {
    for (int i = mPoints.count() - 1; i >= 0; --i)
        delete mPoints[i];
    mPoints.clear();
    mPoints.add(new CDragPoint);
}

CDragPoint* CDragInfo::addPoint() {
    auto* point = new CDragPoint;
    mPoints.add(point);
    return point;
}

void CDragInfo::clearLimits() {
    for (int i = 0; i < 4; ++i) {
        hasLimit[i] = false;
        limits[i] = 0.0;
    }
}

CGlobalSettings* CDragInfo::settings() {
    CGlobalSettings* found = mSettings.owner != nullptr ? mSettings.resolve() : nullptr;
    if (found == nullptr && !mLoggedNoSettings) {
        mLoggedNoSettings = true;
        writeLog("Global settings 'ui.global-settings' not found: drags use the default precision and no tablet mode",
                 true);
    }
    return found;
}

bool CDragInfo::isTabletMode() {
    const CGlobalSettings* found = settings();
    return found != nullptr && found->tabletMode;
}

void CDragInfo::getMousePosition(double out[2]) const {
    out[0] = out[1] = 0.0;
    if (mView == nullptr)
        return;
    const CInputState* input = mView->getInputState();
    if (input == nullptr)
        return;
    double origin[2];
    mView->getWindowOrigin(origin);
    const double scale = mView->area() != nullptr ? mView->area()->pixelRatio() : 1.0;
    out[0] = (input->dragMouseX - origin[0]) * scale;
    out[1] = (input->dragMouseY - origin[1]) * scale;
}

void CDragInfo::onMouseUpdate() { getMousePosition(mLastPosition); }

void CDragInfo::unregister() {
    if (mView != nullptr)
        if (CInputState* input = mView->getInputState())
            removeFirst(input->activeDrags, this);
    if (mLinkedDrag != nullptr)
        removeFirst(mLinkedDrag->mFollowers, this);
    mLinkedDrag = nullptr;
}

void CDragInfo::hideCursorOnce() {
    if (mHideCursor && !mIsCursorHidden && mView != nullptr) {
        mView->showCursor(false);
        mIsCursorHidden = true;
    }
}

void CDragInfo::showHiddenCursor() {
    if (mIsCursorHidden) {
        if (mView != nullptr)
            mView->showCursor(true);
        mIsCursorHidden = false;
    }
}

CError* CDragInfo::start(CView* view, CDragInfo* linkedDrag, std::uint8_t axis, bool hideCursor, bool restoreCursor) {
    // A restart shows a cursor this drag hid, so that the window's count of hides stays balanced,
    // and leaves the previous registrations.
    if (mIsActive) {
        showHiddenCursor();
        unregister();
    }
    clearLimits();
    mView = view;
    valueScale = 1.0;
    mIsHoldAtLimit = false;
    lockX = lockY = false;
    mIsCursorHidden = false;
    mRestoreCursor = restoreCursor;
    mAxis = axis;
    mLinkedDrag = linkedDrag;
    mHideCursor = hideCursor;
    resetPoints();
    if (view != nullptr)
        mSettings.init(view, CString("ui.global-settings"), CString(), nullptr, CString());
    if (linkedDrag != nullptr) {
        mOrigin[0] = linkedDrag->mOrigin[0];
        mOrigin[1] = linkedDrag->mOrigin[1];
        linkedDrag->mFollowers.add(this);
    } else {
        getMousePosition(mOrigin);
    }
    if (CInputState* input = view != nullptr ? view->getInputState() : nullptr) {
        bool listed = false;
        for (int i = 0; i < input->activeDrags.count() && !listed; ++i)
            listed = input->activeDrags[i] == this;
        if (!listed)
            input->activeDrags.add(this);
    }
    mLastPosition[0] = mOrigin[0];
    mLastPosition[1] = mOrigin[1];
    mIsActive = true;
    return nullptr;
}

void CDragInfo::update(bool fine, bool useMouseScale) {
    if (!mIsActive)
        return;
    if (mLinkedDrag != nullptr) {
        const CDragPoint& lead = *mLinkedDrag->mPoints[0];
        mPoints[0]->stepX = lead.stepX;
        mPoints[0]->stepY = lead.stepY;
        mLastPosition[0] = mLinkedDrag->mLastPosition[0];
        mLastPosition[1] = mLinkedDrag->mLastPosition[1];
    } else {
        double factor = 1.0;
        if (fine) {
            const CGlobalSettings* found = settings();
            factor = found != nullptr ? found->shiftKeyPrecisionFactor
                                      : CGlobalSettings::shiftKeyFactorOf(kDefaultShiftKeyPrecision);
        }
        if (useMouseScale && mView != nullptr)
            factor *= mView->getMouseScale();
        double m[2];
        getMousePosition(m);
        for (int i = 0; i < mPoints.count(); ++i) {
            CDragPoint& p = *mPoints[i];
            p.stepX = ((m[0] - mLastPosition[0]) * factor) * p.gainX;
            p.stepY = ((m[1] - mLastPosition[1]) * factor) * p.gainY;
        }
        getMousePosition(mLastPosition);
    }
    for (int i = 0; i < mPoints.count(); ++i)
        applyStep(*mPoints[i]);
    if (mHideCursor && !mIsCursorHidden && !isTabletMode())
        hideCursorOnce();
}

void CDragInfo::applyStep(CDragPoint& p) {
    p.rawTotalX += p.stepX;
    p.rawTotalY += p.stepY;
    p.freeTotalX += p.stepX;
    p.freeTotalY += p.stepY;
    bool heldX = false, heldY = false;
    if (mIsHoldAtLimit) {
        if (hasLimit[kUpperX] && p.rawTotalX > limits[kUpperX]) {
            const double rest = limits[kUpperX] - p.positionX;
            p.stepX = rest > 0.0 ? rest : 0.0;
            p.positionX = limits[kUpperX];
            heldX = true;
        }
        if (hasLimit[kUpperY] && p.rawTotalY > limits[kUpperY]) {
            const double rest = limits[kUpperY] - p.positionY;
            p.stepY = rest > 0.0 ? rest : 0.0;
            p.positionY = limits[kUpperY];
            heldY = true;
        }
        if (hasLimit[kLowerX] && p.rawTotalX < limits[kLowerX]) {
            const double rest = limits[kLowerX] - p.positionX;
            p.stepX = rest < 0.0 ? rest : 0.0;
            p.positionX = limits[kLowerX];
            heldX = true;
        }
        if (hasLimit[kLowerY] && p.rawTotalY < limits[kLowerY]) {
            const double rest = limits[kLowerY] - p.positionY;
            p.stepY = rest < 0.0 ? rest : 0.0;
            p.positionY = limits[kLowerY];
            heldY = true;
        }
    }
    if (lockX) {
        p.stepX = 0.0;
        p.positionX = p.savedPositionX;
        p.freeTotalX = p.savedFreeTotalX;
    }
    if (lockY) {
        p.stepY = 0.0;
        p.positionY = p.savedPositionY;
        p.freeTotalY = p.savedFreeTotalY;
    }
    if (!heldX)
        p.positionX += p.stepX;
    if (!heldY)
        p.positionY += p.stepY;
    if (!mIsHoldAtLimit) {
        if (hasLimit[kLowerX] && p.positionX < limits[kLowerX])
            p.positionX = limits[kLowerX];
        if (hasLimit[kLowerY] && p.positionY < limits[kLowerY])
            p.positionY = limits[kLowerY];
        if (hasLimit[kUpperX] && p.positionX > limits[kUpperX])
            p.positionX = limits[kUpperX];
        if (hasLimit[kUpperY] && p.positionY > limits[kUpperY])
            p.positionY = limits[kUpperY];
    }
}

void CDragInfo::stop() {
    if (!mIsActive)
        return;
    unregister();
    resetPoints();
    if (mRestoreCursor && !isTabletMode()) {
        hideCursorOnce();
        if (mView != nullptr)
            mView->moveMouseCursorInWindow(mOrigin[0], mOrigin[1]);
    }
    showHiddenCursor();
    mIsActive = false;
}

void CDragInfo::parkCursor() {
    if (!mIsActive || isTabletMode())
        return;
    hideCursorOnce();
    if (mView != nullptr)
        mView->moveMouseCursorInWindow(mOrigin[0], mOrigin[1]);
}

void CDragInfo::wrapCursor() {
    if (!mIsActive || isTabletMode() || mView == nullptr)
        return;
    CWindowRenderer* renderer = mView->getWindowRenderer();
    if (renderer == nullptr)
        return;
    CError* error = renderer->runEvent(CString("wrap-around-mouse-cursor"));
    if (error != nullptr) {
        logError(error);
        delete error;
    }
    getMousePosition(mLastPosition);
}

void CDragInfo::setLimits(double lower, double upper) {
    mIsHoldAtLimit = true;
    clearLimits();
    const int lowerIndex = mAxis == 1 ? kLowerY : kLowerX;
    const int upperIndex = mAxis == 1 ? kUpperY : kUpperX;
    hasLimit[lowerIndex] = hasLimit[upperIndex] = true;
    limits[lowerIndex] = lower;
    limits[upperIndex] = upper;
}

double CDragInfo::limitAtCurrent() {
    const double v = mAxis == 1 ? mPoints[0]->positionY : mPoints[0]->positionX;
    mIsHoldAtLimit = false;
    clearLimits();
    const int index = v > 0.0 ? (mAxis == 1 ? kUpperY : kUpperX) : (mAxis == 1 ? kLowerY : kLowerX);
    hasLimit[index] = true;
    limits[index] = v;
    return v;
}

void CDragInfo::setLimitsFromRects(const CAreaRect& item, const CAreaRect& bounds) {
    mIsHoldAtLimit = false;
    for (bool& flag : hasLimit)
        flag = true;
    limits[kLowerX] = item.x - bounds.x - bounds.width;
    limits[kLowerY] = item.y - bounds.y - bounds.height;
    limits[kUpperX] = item.x + item.width - bounds.x;
    limits[kUpperY] = item.y + item.height - bounds.y;
}

void CDragInfo::setOriginAtRectCenter(const CAreaRect& rect) {
    if (mView == nullptr || isTabletMode())
        return;
    mView->moveMouseCursor(rect.x + rect.width * 0.5, rect.y + rect.height * 0.5);
    getMousePosition(mOrigin);
}

double CDragInfo::getDistanceFromOrigin() {
    if (mView == nullptr)
        return 0.0;
    double m[2];
    getMousePosition(m);
    return std::sqrt((mOrigin[0] - m[0]) * (mOrigin[0] - m[0]) + (mOrigin[1] - m[1]) * (mOrigin[1] - m[1]));
}

} // namespace tal
