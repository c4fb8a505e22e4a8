#include "UI/CUIParamController.h"

#include "Audio/CAudioParamInfo.h"
#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CControlSurfaceExtern.h"
#include "UI/CGlobalSettings.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tal {

namespace {

double roundHalfAway(double x) { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }

std::int32_t intArg(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? parseInt(v->asText(), -1) : -1;
}

bool isBridgedParam(const CUIParam* p) {
    return p->bridge() != nullptr && !p->isSimple() && p->sharedAttribute() == nullptr;
}

} // namespace

CObject* CUIParamController::create() { return new CUIParamController(); }

void CUIParamController::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CUIParamController, &CUIParamController::attrUpdateFps>(scheme, "update-fps");
    addArgsEventOf<CUIParamController, &CUIParamController::onAdvanceScale>(scheme, "advance-scale");
    addArgsEventOf<CUIParamController, &CUIParamController::onAdvanceShift>(scheme, "advance-shift");
    addPlainEventOf<CUIParamController, &CUIParamController::onFinishScale>(scheme, "finish-scale");
    addPlainEventOf<CUIParamController, &CUIParamController::onFinishShift>(scheme, "finish-shift");
    addArgsEventOf<CUIParamController, &CUIParamController::onScale>(scheme, "scale");
    addArgsEventOf<CUIParamController, &CUIParamController::onStartScale>(scheme, "start-scale");
    addArgsEventOf<CUIParamController, &CUIParamController::onStartShift>(scheme, "start-shift");
    addPlainEventOf<CUIParamController, &CUIParamController::onUpdateTimer>(scheme, "update-timer");
}

CUIParamController::CUIParamController() = default;

CUIParamController::~CUIParamController() {
    abandonDrag();
    mForcedMaster.reset();
    mGlobalSettings.reset();
    mInterfaceClient.reset();
}

CError* CUIParamController::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mIsAxisZero = getBoolAttr("is-axis-zero");
    mIsParamMinMaxEnabled = getBoolAttr("is-param-min-max-enabled");
    mUseFirstElementReset = getBoolAttr("use-first-element-reset");
    mIsVertical = getBoolAttr("is-vertical");
    mSensitivity = getDoubleAttr("sensitivity");
    mForcedMaster.init(this, CString(), CString(), this, CString("forced-master-controller"));
    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), this, CString());
    mGlobalSettings.isRequired = true;
    mInterfaceClient.init(this, CString(), CString(), this, CString("interface-client"));
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
        mUndoCollector.attach(client);
    return nullptr;
}

void CUIParamController::releaseLinks() {
    abandonDrag();
    CView::releaseLinks();
}

void CUIParamController::abandonDrag() {
    // The parameters may already be gone: only the pointer state is restored here.
    mPendingValues.clear();
    if (mIsDragActive)
        drag.stop();
    mDraggedCount = 0;
    mIsDragActive = false;
    mMaster = nullptr;
}

// --- bindings ---

void CUIParamController::resolveBindings() {
    if (mControlSurface == nullptr) {
        CObject* object = nullptr;
        if (CError* error = findObjectByAttr(object, CString("control-surface"), false))
            reportError(error);
        else if (object != nullptr)
            if (auto* surface = dynamic_cast<CControlSurfaceExtern*>(object)) {
                mControlSurface = surface;
                reportError(setUpdateFps(object->getIntAttr("update-fps")));
            }
    }
    if (mUIParam == nullptr) {
        CUIParam* param = nullptr;
        if (CError* error = findObjectByAttr(param, CString("ui-param"), false))
            reportError(error);
        else if (param != nullptr) {
            mUIParam = param;
            mIsSecondComponent = param->getComponentCount() == 2;
        }
    }
    if (mUIParamCount == nullptr) {
        CUIParam* param = nullptr;
        if (CError* error = findObjectByAttr(param, CString("ui-param-count"), false))
            reportError(error);
        else
            mUIParamCount = param;
    }
}

bool CUIParamController::elementRange(std::int32_t element, std::int32_t count, std::int32_t& first,
                                      std::int32_t& n) {
    first = 0;
    n = 0;
    if (mUIParam == nullptr)
        return false;
    const std::int32_t available = mUIParam->getElementCount(-1);
    if (element != -1 && count != -1) {
        // Indices outside the parameter are dropped: the range is cut to 0 .. available.
        const std::int64_t lo = std::max<std::int64_t>(0, element);
        const std::int64_t hi = std::min<std::int64_t>(available, std::int64_t(element) + count);
        first = std::int32_t(lo);
        n = hi > lo ? std::int32_t(hi - lo) : 0;
        return n > 0;
    }
    std::int32_t wanted = available;
    if (mUIParamCount != nullptr) {
        CUIParamValue v;
        mUIParamCount->getPlainValue(v, 0, -1);
        const double rounded = roundHalfAway(v[0]);
        wanted = std::isfinite(rounded) ? std::int32_t(std::clamp(rounded, -1.0, 1e9)) : 0;
    }
    n = std::clamp(wanted, 0, available);
    return n > 0;
}

std::int32_t CUIParamController::getElementCount() {
    std::int32_t first = 0, n = 0;
    elementRange(-1, -1, first, n);
    return n;
}

double CUIParamController::getElementNormalized(std::int32_t element) {
    if (mUIParam == nullptr)
        return 0.0;
    CUIParamValue v;
    mUIParam->getNormalizedValue(v, element, -1);
    return v[editedComponent()];
}

double CUIParamController::getElementPlain(std::int32_t element) {
    if (mUIParam == nullptr)
        return 0.0;
    CUIParamValue v;
    mUIParam->getPlainValue(v, element, -1);
    return v[editedComponent()];
}

bool CUIParamController::isDiscreteBridged() const {
    if (!mUIParam->isActive() || !isBridgedParam(mUIParam) || mUIParam->bridge()->info() == nullptr)
        return false;
    const CAudioParamConverter* converter = mUIParam->bridge()->info()->getConverter(0);
    return converter != nullptr && converter->isDiscrete();
}

double CUIParamController::computePivot() {
    bool axisZero = mIsAxisZero;
    if (mUIParam != nullptr)
        if (CAttrValue* own = mUIParam->attrs().findValue("is-axis-zero"))
            axisZero = own->asBool();
    if (axisZero) {
        if (mUIParam == nullptr || !isBridgedParam(mUIParam))
            return 0.5;
        CParamBridge* bridge = mUIParam->bridge();
        return bridge->fromDisplay(bridge->elementSize() >= 2 ? 1 : 0, 0.0);
    }
    std::int32_t first = 0, n = 0;
    if (!elementRange(-1, -1, first, n))
        return 0.5;
    double lo = 1.0, hi = 0.0;
    for (std::int32_t e = 0; e < n; ++e) {
        const double v = getElementNormalized(e);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return (lo + hi) / 2.0;
}

void CUIParamController::updateActiveGroups() {
    mActiveGroups.clear();
    if (!mIsMultiChange)
        return;
    auto* list = dynamic_cast<CValueList*>(findObject(getTextAttr("active-audio-groups")));
    if (list == nullptr)
        return;
    CStringList pieces;
    for (int i = 0; i < list->itemCount(); ++i) {
        list->itemText(i).split(pieces, ';', true, true);
        if (pieces.count() != 2)
            continue;
        bool ok = false;
        const int group = parseInt(pieces[1], 0, &ok);
        // A group that is not a number names no group: it adds nothing.
        if (ok && group >= 1)
            mActiveGroups.add(group - 1);
    }
}

// --- gestures ---

void CUIParamController::openGesture() {
    if (mIsGestureOpen)
        return;
    updateActiveGroups();
    if (mActiveGroups.count() == 0 && mMaster != nullptr && mMaster->mUIParam != nullptr &&
        mMaster->mUIParam->bridge() == mUIParam->bridge())
        return;
    mUndoCollector.addParam(mUIParam);
    mUIParam->beginEdit(false, -1, &mActiveGroups, true);
    mIsGestureOpen = true;
}

void CUIParamController::applyElementValue(std::int32_t element, double value) {
    const std::int32_t k = editedComponent();
    CUIParamValue v;
    mUIParam->getNormalizedValue(v, element, -1);
    const double old = v[k];
    v[k] = value;
    mUIParam->setNormalizedValue(element, -1, v);
    if (mActiveGroups.count() == 0)
        return;
    const double delta = value - old;
    for (int i = 0; i < mActiveGroups.count(); ++i) {
        const std::int32_t g = mActiveGroups[i];
        if (g == mUIParam->currentGroup())
            continue;
        CUIParamValue other;
        mUIParam->getNormalizedValue(other, element, g);
        other[k] += delta;
        mUIParam->setNormalizedValue(element, g, other);
    }
}

void CUIParamController::handleMousePress(DragMode mode, std::int32_t element, std::int32_t count,
                                          CUIParamController* master, bool hasAxisOverride, bool axisOverride) {
    // A press never starts a second drag over one still running (a lost release).
    if (mIsDragActive)
        handleMouseRelease();
    resolveBindings();
    if (mUIParam == nullptr)
        return;
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (settings == nullptr)
        return;   // every description has the settings; without them there is no gain to drag with
    mDragMode = mode;
    elementRange(element, count, mFirstElement, mDraggedCount);
    mStartValues.setCount(mDraggedCount);
    for (std::int32_t i = 0; i < mDraggedCount; ++i)
        mStartValues[i] = getElementNormalized(mFirstElement + i);
    mPivot = computePivot();
    mIsRelative = mode != DragAbsolute;
    mMaster = master;
    if (mMaster == nullptr)
        mMaster = mForcedMaster.resolve();
    const bool vertical = hasAxisOverride ? axisOverride : mIsVertical;
    mDragAxisY = vertical;
    CView* owner = parentView() != nullptr ? parentView() : this;
    reportError(drag.start(owner, mMaster != nullptr ? &mMaster->drag : nullptr, vertical ? 1 : 0, mIsRelative,
                           mIsRelative));
    mIsGestureOpen = false;
    mIsDragActive = true;
    const double pixelScale = owner->area() != nullptr && owner->area()->pixelRatio() > 0.0 ? owner->area()->pixelRatio() : 1.0;
    const double sensitivity = master != nullptr ? master->mSensitivity : mSensitivity;
    drag.valueScale = settings->dragPrecisionFactor * (1.0 / pixelScale) * sensitivity;
}

void CUIParamController::handleMouseMove(bool fine, bool invert, bool limitToRange) {
    if (!mIsDragActive || mDragMode == DragAbsolute)
        return;
    resolveBindings();
    if (mUIParam == nullptr)
        return;
    drag.update(fine, true);
    if (mIsRelative && mMaster == nullptr)
        drag.wrapCursor();
    const CDragPoint& point = *drag.point(0);
    double d = drag.valueScale * (mDragAxisY ? point.positionY : point.positionX);
    if (!mIsVertical)
        d = -d;
    if (invert)
        d = -d;
    if (mDraggedCount <= 0)
        return;
    const double s = 1.0 - d;
    const double percent = roundHalfAway(100.0 * s);
    bool titled = false;
    const bool discrete = isDiscreteBridged();
    for (std::int32_t i = 0; i < mDraggedCount; ++i) {
        const std::int32_t e = mFirstElement + i;
        double v = 0.0;
        if (mDragMode == DragScale) {
            if (mControlSurface != nullptr && !mControlSurface->isPointSelected(mUIParam, e))
                continue;
            v = (mStartValues[i] - mPivot) * s + mPivot;
            if (mScaleReadout != nullptr && !titled) {
                titled = true;
                reportError(mScaleReadout->setAttr(CString("title"),
                                                   CString((std::to_string(std::int64_t(percent)) + "%").c_str()), true));
            }
        } else {
            v = mStartValues[i] - d;
        }
        if (limitToRange && (v < -0.0001 || v > 1.0001))
            drag.limitAtCurrent();
        if (mUpdateTimer != nullptr) {
            mPendingValues.findOrAdd(e)->value = v;
            continue;
        }
        openGesture();
        const std::int32_t k = editedComponent();
        if (discrete) {
            CParamBridge* bridge = mUIParam->bridge();
            v = bridge->toNormalized(k, roundHalfAway(bridge->toPlain(k, v)));
        }
        if (mIsParamMinMaxEnabled) {
            const std::int32_t rc = mIsVertical && mUIParam->getComponentCount() >= 2 ? 1 : 0;
            double lo = mUIParam->getMinValue(rc), hi = mUIParam->getMaxValue(rc);
            if (isBridgedParam(mUIParam)) {
                lo = mUIParam->bridge()->toNormalized(rc, lo);
                hi = mUIParam->bridge()->toNormalized(rc, hi);
            }
            v = std::min(hi, std::max(lo, v));
        }
        applyElementValue(e, v);
    }
}

void CUIParamController::setDraggedValue(double value) {
    resolveBindings();
    if (mUIParam == nullptr || !mIsDragActive || mDragMode != DragAbsolute)
        return;
    for (std::int32_t i = 0; i < mDraggedCount; ++i) {
        const std::int32_t e = mFirstElement + i;
        if (mUpdateTimer != nullptr) {
            mPendingValues.findOrAdd(e)->value = value;
            continue;
        }
        openGesture();
        applyElementValue(e, value);
    }
}

void CUIParamController::handleMouseRelease() {
    if (mUpdateTimer != nullptr)
        reportError(onUpdateTimer());
    if (mIsGestureOpen) {
        mUIParam->endEdit(true);
        mUndoCollector.commit(CString());
        mIsGestureOpen = false;
    }
    if (mIsDragActive)
        drag.stop();
    mDraggedCount = 0;
    mIsDragActive = false;
    mMaster = nullptr;
}

void CUIParamController::handleMouseWheel(std::int32_t element, std::int32_t count, bool fine, double delta) {
    if (mIsGestureOpen)
        return;
    resolveBindings();
    // A wheel event without movement changes nothing (also for whole-unit parameters).
    if (mUIParam == nullptr || !(delta > 0.0 || delta < 0.0))
        return;
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (settings == nullptr)
        return;
    const std::int32_t k = editedComponent();
    double step = 0.0;
    if (isDiscreteBridged()) {
        CParamBridge* bridge = mUIParam->bridge();
        step = bridge->toNormalized(k, delta > 0.0 ? 1.0 : -1.0) - bridge->toNormalized(k, 0.0);
    } else {
        step = delta * settings->mouseWheelPrecisionFactor * (fine ? settings->shiftKeyPrecisionFactor : 1.0);
    }
    std::int32_t first = 0, n = 0;
    if (!elementRange(element, count, first, n))
        return;
    updateActiveGroups();
    mUIParam->beginEdit(true, n == 1 ? first : -1, &mActiveGroups, false);
    for (std::int32_t e = first; e < first + n; ++e)
        applyElementValue(e, std::clamp(getElementNormalized(e) + step, 0.0, 1.0));
    mUIParam->endEdit(false);
    if (mDraggedCount > 0)
        for (std::int32_t j = 0; j < mDraggedCount; ++j) {
            const std::int32_t e = mFirstElement + j;
            if (e >= first && e < first + n)
                mStartValues[j] += step;
        }
}

void CUIParamController::resetElements(std::int32_t element, std::int32_t count) {
    resolveBindings();
    std::int32_t first = 0, n = 0;
    if (!elementRange(element, count, first, n))
        return;
    for (std::int32_t e = first; e < first + n; ++e) {
        if (mActiveGroups.count() == 0) {
            mUIParam->resetValue(e, true, mUseFirstElementReset, -1, -1);
            continue;
        }
        for (int i = 0; i < mActiveGroups.count(); ++i)
            mUIParam->resetValue(e, true, mUseFirstElementReset, mActiveGroups[i], -1);
    }
}

void CUIParamController::scaleElements(std::int32_t element, std::int32_t count, double factor) {
    resolveBindings();
    if (mUIParam == nullptr)
        return;
    const double pivot = computePivot();
    std::int32_t first = 0, n = 0;
    if (!elementRange(element, count, first, n))
        return;
    updateActiveGroups();
    mUIParam->beginEdit(false, -1, &mActiveGroups, false);
    for (std::int32_t e = first; e < first + n; ++e)
        applyElementValue(e, (getElementNormalized(e) - pivot) * factor + pivot);
    mUIParam->endEdit(false);
}

void CUIParamController::addUndoParam(CUIParam* param) {
    if (mIsGestureOpen && param != nullptr)
        mUndoCollector.addParam(param);
}

// --- pacing ---

CError* CUIParamController::attrUpdateFps() {
    if (mControlSurface != nullptr)
        return nullptr;
    return traceError(setUpdateFps(getIntAttr("update-fps")), getFullName());
}

CError* CUIParamController::setUpdateFps(std::int32_t rate) {
    if (rate > 0) {
        if (mUpdateTimer != nullptr)
            return traceError(mUpdateTimer->setIntAttr(CString("fps"), rate, true), getFullName());
        CAttrMap attrs;
        attrs.findOrAdd("fps")->value.setInt(rate);
        CObject* timer = nullptr;
        if (CError* error = createChild(timer, getTextAttr("timer-tag"), CString("update-timer"), true, &attrs, nullptr)) {
            if (timer != nullptr)
                timer->release();
            return traceError(error, getFullName());
        }
        mUpdateTimer = timer;
        listenObject(timer->getFullName(), CString("tick"), CString("update-timer"));
        return nullptr;
    }
    if (mUpdateTimer != nullptr) {
        unlistenObject(mUpdateTimer->getFullName(), CString("tick"));
        CObject* timer = mUpdateTimer;
        mUpdateTimer = nullptr;
        timer->release();
    }
    return nullptr;
}

CError* CUIParamController::onUpdateTimer() {
    if (mUIParam == nullptr) {
        mPendingValues.clear();
        return nullptr;
    }
    for (auto* node = mPendingValues.first(); node != nullptr; node = mPendingValues.next(node)) {
        openGesture();
        applyElementValue(node->key, node->value);
    }
    mPendingValues.clear();
    return nullptr;
}

// --- scripted gestures ---

CError* CUIParamController::onStartScale(CAttrMap& args) {
    if (mScaleReadout == nullptr) {
        CObject* readout = nullptr;
        if (CError* error = findObjectByAttr(readout, CString("scale-readout"), false))
            reportError(error);
        mScaleReadout = readout;
    }
    if (mScaleReadout != nullptr) {
        if (CError* error = mScaleReadout->setAttr(CString("title"), CString("100%"), true))
            return traceError(error, getFullName());
        if (CObject* holder = mScaleReadout->parent())
            if (CError* error = holder->setAttr(CString("is-hidden"), CString("false"), true))
                return traceError(error, getFullName());
    }
    handleMousePress(DragScale, intArg(args, "element"), intArg(args, "element-count"), nullptr, false, false);
    return nullptr;
}

CError* CUIParamController::onStartShift(CAttrMap& args) {
    handleMousePress(DragShift, intArg(args, "element"), intArg(args, "element-count"), nullptr, false, false);
    return nullptr;
}

CError* CUIParamController::onAdvanceScale(CAttrMap& args) {
    CAttrValue* shift = args.findValue("is-shift");
    handleMouseMove(shift != nullptr && shift->asBool(), false, false);
    return nullptr;
}

CError* CUIParamController::onAdvanceShift(CAttrMap& args) { return onAdvanceScale(args); }

CError* CUIParamController::onFinishScale() {
    handleMouseRelease();
    if (mScaleReadout != nullptr)
        if (CObject* holder = mScaleReadout->parent())
            return traceError(holder->setAttr(CString("is-hidden"), CString("true"), true), getFullName());
    return nullptr;
}

CError* CUIParamController::onFinishShift() {
    handleMouseRelease();
    return nullptr;
}

CError* CUIParamController::onScale(CAttrMap& args) {
    CAttrValue* factor = args.findValue("scale");
    scaleElements(intArg(args, "element"), intArg(args, "element-count"), factor != nullptr ? factor->asReal() : 0.0);
    return nullptr;
}

} // namespace tal
