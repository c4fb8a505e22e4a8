#include "UI/CView.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectLookups.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "UI/CDynamicPalette.h"
#include "UI/CSector.h"
#include "UI/CSectorMap.h"
#include "UI/CViewColorTable.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"
#include "UI/Resources/CImageSetObject.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace tal {

namespace {

using AttrOp = CError* (CView::*)(CAttrValue&);
using PlainOp = CError* (CView::*)();
using ArgsOp = CError* (CView::*)(CAttrMap&);

template <AttrOp Op>
CError* viewAttrThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = (static_cast<CView*>(object)->*Op)(value != nullptr ? *value : none)) return traceError(err);
    return nullptr;
}

template <PlainOp Op>
CError* viewPlainThunk(CObject* object) {
    if (CError* err = (static_cast<CView*>(object)->*Op)()) return traceError(err);
    return nullptr;
}

template <ArgsOp Op>
CError* viewArgsThunk(CObject* object, CAttrMap* args) {
    CAttrMap none;
    if (CError* err = (static_cast<CView*>(object)->*Op)(args != nullptr ? *args : none)) return traceError(err);
    return nullptr;
}

struct CViewAttrEntry {
    const char* name;
    CAttrHandler handler;
};

struct CViewEventEntry {
    const char* name;
    CError* (*plain)(CObject*);
    CError* (*withArgs)(CObject*, CAttrMap*);
};

const CViewAttrEntry kViewAttrs[] = {
    {"color", &viewAttrThunk<&CView::attrColor>},
    {"debug-area", &viewAttrThunk<&CView::attrDebugArea>},
    {"image-set", &viewAttrThunk<&CView::attrImageSet>},
    {"image-set-range", &viewAttrThunk<&CView::attrImageSetRange>},
    {"is-gradient-animated", &viewAttrThunk<&CView::attrIsGradientAnimated>},
};

const CViewEventEntry kViewEvents[] = {
    {"close-window", &viewPlainThunk<&CView::onCloseWindow>, nullptr},
    {"drop-files", nullptr, &viewArgsThunk<&CView::onDropFiles>},
    {"dynamic-palette-updated", &viewPlainThunk<&CView::onDynamicPaletteUpdated>, nullptr},
    {"gradient-timer", &viewPlainThunk<&CView::onGradientTimer>, nullptr},
    {"minimize-window", &viewPlainThunk<&CView::onMinimizeWindow>, nullptr},
    {"pre-close-window", nullptr, &viewArgsThunk<&CView::onPreCloseWindow>},
    {"popup-closed", &viewPlainThunk<&CView::onPopupClosed>, nullptr},
    {"popup-created", nullptr, &viewArgsThunk<&CView::onPopupCreated>},
    {"popup-result", nullptr, &viewArgsThunk<&CView::onPopupResult>},
    {"popup-toggle", nullptr, &viewArgsThunk<&CView::onPopupToggle>},
    {"request-view-area-updates", &viewPlainThunk<&CView::onRequestViewAreaUpdates>, nullptr},
};

double nearestHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

// Two values differ when |a - b| > (|a| + |b|) x epsilon.
bool differs(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * 2.2204461e-16; }

bool rectDiffers(const CAreaRect& a, const CAreaRect& b) noexcept {
    return differs(a.x, b.x) || differs(a.y, b.y) || differs(a.width, b.width) || differs(a.height, b.height);
}

// The value as a boolean, false when it does not convert.
bool readFlag(CAttrValue& value) { return value.convert(CAttrValue::kBool) && value.asBool(); }

const CString& attrText(const CObject& object, const char* name) {
    const CAttrValue* value = object.attrs().findValue(name);
    return value != nullptr ? value->storedText() : CString::emptyString;
}

// Logs an error's lines and frees it.
void logAndDrop(CError* error) {
    if (error == nullptr) return;
    logError(error);
    delete error;
}

} // namespace

CObject* CView::create() { return new CView; }

void CView::initScheme(CObjectScheme* scheme) {
    CViewBaseCtlEvents::initScheme(scheme);
    for (const CViewAttrEntry& entry : kViewAttrs) scheme->addAttrHandler(CString(entry.name)) = entry.handler;
    for (const CViewEventEntry& entry : kViewEvents) {
        CEventHandler& h = scheme->addEventHandler(CString(entry.name));
        h.plain = entry.plain;
        h.withArgs = entry.withArgs;
        h.hasArgs = entry.withArgs != nullptr;
    }
}

CView::~CView() {
    for (int i = 0; i < mDrawItems.count(); ++i) delete mDrawItems[i];
    releaseColorTable();
}

void CView::releaseColorTable() {
    if (mColorTable != nullptr && mColorTable->releaseUser()) delete mColorTable;
    mColorTable = nullptr;
    mSharesColorTable = false;
}

// --- life cycle ---

CError* CView::init() {
    if (CError* err = CViewBase::init()) return traceError(err, getFullName());
    const bool isRoot = parentPlacement() == nullptr;
    if (isRoot) mSectorMap = std::make_unique<CSectorMap>();
    if (CError* err = findObjectChecked(mWindowSharedData, CString("ui.window-shared-data")))
        return traceError(err, getFullName());
    mIsAutoRatioX = getBoolAttr("is-auto-ratio-x");
    mIsAutoRatioY = getBoolAttr("is-auto-ratio-y");
    mIsDebugArea = false;

    releaseColorTable();
    const CString sharedPath = getTextAttr("shared-color");
    if (!isRoot && !sharedPath.isEmpty()) {
        auto* owner = dynamic_cast<CView*>(findObject(sharedPath));
        // A view that has no table (its init failed or has not run) cannot lend one.
        if (owner == nullptr || owner->mColorTable == nullptr)
            return newError("@talstr_CView_init_NoSharedColor Unable to find shared color.", getFullName());
        mColorTable = owner->mColorTable;
        mColorTable->addUser();
        mSharesColorTable = true;
    } else {
        mColorTable = new CViewColorTable(getFullName());
    }
    const CString disabledColor = getTextAttr("disabled-color");
    if (!disabledColor.isEmpty()) mColorTable->setDisabledNames(disabledColor);

    mRootView = dynamic_cast<CView*>(rootPlacement());
    if (mRootView == nullptr) return newError("@talstr_CView_init_NoRootView Unable to find root view.", getFullName());

    if (isRoot) {
        CDynamicPalette* palette = nullptr;
        if (CError* err = findObjectChecked(palette, CString("ui.palette"))) return traceError(err, getFullName());
        mColorTable->setPalette(palette);
        listenObject(palette->getFullName(), CString("dynamic-palette-updated"), CString("dynamic-palette-updated"));
        mIsWindowDraggable = getBoolAttr("is-window-draggable");
        mParentView = nullptr;
    } else {
        mParentView = dynamic_cast<CView*>(parent());
        if (mParentView == nullptr)
            return newError("@talstr_CView_init_NoSectorMap Unable to find sector map.", getFullName());
    }

    while (mDrawItems.count() < 2) addDrawItem();

    if (!mSharesColorTable) {
        mColorTable->setRootColors(isRoot ? mColorTable : mRootView->mColorTable);
        mColorTable->setPrefix(CString("Panel"));
        const CViewStateData* data = stateData();
        mColorTable->selectState(data != nullptr ? data->baseLook.colorState : CString());
        const CString slots = getTextAttr("color-slots");
        if (!slots.isEmpty()) {
            CStringList pieces;
            slots.split(pieces, '|', true, true);
            for (int i = 0; i < pieces.count(); ++i)
                mColorTable->setSlotName(i, pieces[i].equals(".") ? CString() : pieces[i]);
        }
    }
    return nullptr;
}

CError* CView::createChilds() {
    if (CError* err = CViewBase::createChilds()) return traceError(err, getFullName());
    if (CError* err = static_cast<CViewAreaUpdateHandler*>(this)->updateContent()) return traceError(err, getFullName());
    return nullptr;
}

CError* CView::initChilds() {
    if (CError* err = CViewBase::initChilds()) return traceError(err, getFullName());
    if (parentPlacement() == nullptr && area() != nullptr) {
        if (CError* err = updateLayout()) return traceError(err, getFullName());
        if (CWindowRenderer* renderer = getWindowRenderer()) {
            if (CError* err = renderer->runEvent(CString("content-ready"))) return traceError(err, getFullName());
        }
    }
    if (CError* err = fireEvent(CString("view-ready"), false)) return traceError(err, getFullName());
    return nullptr;
}

void CView::detachFromParent() {
    releaseColorTable();
    if (area() != nullptr && mRootView != nullptr && mRootView->mSectorMap != nullptr)
        mRootView->mSectorMap->removeView(this, area()->clipRect());
    CViewBase::detachFromParent();
}

void CView::setSectorMap(std::unique_ptr<CSectorMap> map) { mSectorMap = std::move(map); }

// --- draw items and rectangles ---

std::int32_t CView::addDrawItem() {
    auto* item = new CViewDrawItem;
    if (mDrawItems.count() > 0) item->parent = mDrawItems[0];
    mDrawItems.add(item);
    return mDrawItems.count() - 1;
}

void CView::snapRectToPixels(const CAreaRect& rect, CPixelRect& out) noexcept {
    auto snap = [](double e) { return nearestHalfAway(nearestHalfAway(e * 128.0) / 128.0); };
    const double x0 = snap(rect.x), y0 = snap(rect.y);
    const double x1 = snap(rect.x + rect.width), y1 = snap(rect.y + rect.height);
    out = CPixelRect{std::int32_t(x0), std::int32_t(y0), std::int32_t(x1 - x0), std::int32_t(y1 - y0)};
}

CError* CView::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* err = CViewAreaUpdateHandler::handleViewAreaUpdate(total, clip)) return traceError(err, getFullName());
    if (mDrawItems.count() >= 2) {
        CViewDrawItem& item0 = *mDrawItems[0];
        snapRectToPixels(clip, item0.fullRect);
        item0.clippedRect = item0.fullRect;
        CViewDrawItem& item1 = *mDrawItems[1];
        snapRectToPixels(total, item1.fullRect);
        item1.clipToParent();
        item1.isOpaqueValid = false;
        if (area() != nullptr && area()->isOpaque()) {
            CAreaRect r = total;
            area()->getOpaqueRect(r);
            const double x0 = std::fmax(r.x, clip.x), y0 = std::fmax(r.y, clip.y);
            const double x1 = std::fmin(r.x + r.width, clip.x + clip.width);
            const double y1 = std::fmin(r.y + r.height, clip.y + clip.height);
            if (r.width >= 1e-5 && r.height >= 1e-5 && x1 - x0 >= 1e-5 && y1 - y0 >= 1e-5) {
                // Only pixels the view covers whole count as opaque: the inner pixel rectangle.
                const double px0 = std::ceil(x0), py0 = std::ceil(y0);
                const double px1 = std::floor(x1), py1 = std::floor(y1);
                if (px1 > px0 && py1 > py0) {
                    item1.isOpaqueValid = true;
                    item1.opaqueRect = CPixelRect{std::int32_t(px0), std::int32_t(py0), std::int32_t(px1 - px0),
                                                  std::int32_t(py1 - py0)};
                }
            }
        }
        for (int i = 2; i < mDrawItems.count(); ++i) mDrawItems[i]->clipToParent();
    }
    if (mRootView != nullptr && mRootView->mSectorMap != nullptr) mRootView->mSectorMap->moveView(this, mLastClip, clip);
    const bool changed = rectDiffers(clip, mLastClip) || rectDiffers(total, mLastTotal);
    mLastClip = clip;
    mLastTotal = total;
    if (parentPlacement() == nullptr) {
        if (CWindowRenderer* renderer = getWindowRenderer()) {
            if (CError* err = renderer->runEvent(CString("update-window-bounds"))) return traceError(err, getFullName());
        }
    }
    if (changed && mAreAreaUpdatesRequested) {
        if (CError* err = fireEvent(CString("view-area-update"), false)) return traceError(err, getFullName());
    }
    if (isScrollable()) {
        if (mIsAutoRatioX) {
            if (CError* err = writeAutoRatio(true)) return traceError(err, getFullName());
        }
        if (mIsAutoRatioY) {
            if (CError* err = writeAutoRatio(false)) return traceError(err, getFullName());
        }
        if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CView::writeAutoRatio(bool isX) {
    if (area() == nullptr) return nullptr;
    const double compact = area()->value(isX ? CViewArea::vCompactWidth : CViewArea::vCompactHeight);
    const double visible = isX ? mLastClip.width : mLastClip.height;
    double ratio = compact < 1.0 ? 1.0 : visible / compact;
    ratio = ratio < 0.0 ? 0.0 : (ratio > 1.0 ? 1.0 : ratio);
    const double offset = isX ? getDoubleAttr("offset-x") : getDoubleAttr("offset-y");
    if (ratio > 0.99) ratio = 1.0;
    if (CError* err = setDoubleAttr(CString(isX ? "ratio-x" : "ratio-y"), ratio, true)) return traceError(err, getFullName());
    if (offset > 1.0 - ratio) {
        if (CError* err = setDoubleAttr(CString(isX ? "offset-x" : "offset-y"), 1.0 - ratio, true))
            return traceError(err, getFullName());
    }
    return nullptr;
}

// --- painting ---

void CView::invalidateSectors(const CAreaRect&, CViewBasePlacement* view) {
    CView* root = mRootView != nullptr ? mRootView : this;
    if (root->mSectorMap == nullptr || root->area() == nullptr) return;
    root->mSectorMap->invalidateSectors(root->area()->totalRect(), dynamic_cast<CView*>(view));
}

CError* CView::updateHover() {
    if (CError* err = updateLayout()) return traceError(err, getFullName());
    if (mWindowSharedData == nullptr) return nullptr;
    if (mWindowSharedData->getViewUnderMouse(getWindowRenderer(), 0) != this) return nullptr;
    if (CError* err = mWindowSharedData->updateHoverPath(this)) return traceError(err, getFullName());
    return nullptr;
}

void CView::selectColorStates() {
    if (mColorTable == nullptr) return;
    const CViewStateData* data = stateData();
    if (!mSharesColorTable) {
        if (data != nullptr && data->isMorphing) mColorTable->addState(data->targetLook.colorState);
        mColorTable->selectState(data != nullptr ? data->shownLook.colorState : CString());
    }
    mColorTable->refresh();
}

std::int32_t CView::colorStateOf(const CString& colorState) const noexcept {
    if (mColorTable == nullptr) return 0;
    if (mSharesColorTable) return mColorTable->currentState();
    const int index = mColorTable->findState(colorState);
    return index < 0 ? 0 : index;
}

void CView::paintToSector(CSector& sector) {
    CLinearBitmap* entryTarget = sector.target;
    if (entryTarget == nullptr) return;
    const CPixelRect clip = sector.clipRect;
    const double opacity = cumulativeOpacity();
    const bool isTranslucent = opacity < 0.99;
    if (isTranslucent) {
        CLinearBitmap& side = sector.sideBitmaps[CSector::kOpacitySide];
        side.copyRect(*entryTarget, clip);
        sector.target = &side;
    }
    CLinearBitmap* base = sector.target;
    const CViewStateData* data = stateData();
    if (data != nullptr && data->isMorphing) {
        const double f = data->morphFraction;
        CLinearBitmap& lookA = sector.sideBitmaps[CSector::kLookA];
        lookA.copyRect(*base, clip);
        sector.target = &lookA;
        sector.lookText = data->shownLook.imageSetRange;
        if (1.0 - f > 0.01) {
            sector.colorState = colorStateOf(data->shownLook.colorState);
            paint(sector);
            base->blendRect(lookA, clip, 1.0 - f);
        }
        CLinearBitmap& lookB = sector.sideBitmaps[CSector::kLookB];
        lookB.copyRect(*base, clip);
        sector.target = &lookB;
        sector.lookText = data->targetLook.imageSetRange;
        if (f > 0.01) {
            sector.colorState = colorStateOf(data->targetLook.colorState);
            paint(sector);
            base->blendRect(lookB, clip, f);
        }
    } else {
        sector.target = base;
        sector.lookText = data != nullptr ? data->shownLook.imageSetRange : CString();
        sector.colorState = colorStateOf(data != nullptr ? data->shownLook.colorState : CString());
        paint(sector);
    }
    sector.target = entryTarget;
    if (mIsDebugArea) drawDebugHighlight(sector, 1);
    if (isTranslucent) entryTarget->blendRect(sector.sideBitmaps[CSector::kOpacitySide], clip, opacity);
}

void CView::paint(CSector&) {}

bool CView::prepareDraw() { return true; }

double CView::getOpaqueFraction(CSector&, const CPixelRect&) { return 0.0; }

void CView::drawDebugHighlight(CSector& sector, std::int32_t index) const {
    if (index < 0 || index >= mDrawItems.count() || sector.target == nullptr) return;
    CPixelRect visible;
    if (mDrawItems[index]->intersectContext(sector, visible)) sector.target->xorRect(visible, 255, 255, 255, 64);
}

// --- attribute and event handlers ---

CError* CView::attrColor(CAttrValue& value) {
    if (mColorTable == nullptr || mSharesColorTable) return nullptr;
    mColorTable->setPrefix(value.asText());
    invalidate();
    return nullptr;
}

CError* CView::attrDebugArea(CAttrValue& value) {
    const bool flag = readFlag(value);
    if (flag != mIsDebugArea) {
        mIsDebugArea = flag;
        invalidate();
    }
    return nullptr;
}

CError* CView::attrImageSet(CAttrValue&) {
    CImageSetObject* object = nullptr;
    if (CError* err = findObjectByAttr(object, CString("image-set"), false)) return traceError(err, getFullName());
    mImageSet = object != nullptr ? object->imageSet() : nullptr;
    invalidate();
    return nullptr;
}

CError* CView::attrImageSetRange(CAttrValue&) {
    if (CError* err = static_cast<CViewAreaUpdateHandler*>(this)->updateContent()) return traceError(err, getFullName());
    invalidate();
    return nullptr;
}

CError* CView::attrIsGradientAnimated(CAttrValue& value) {
    const bool flag = readFlag(value);
    if (flag == mIsGradientAnimated) return nullptr;
    mIsGradientAnimated = flag;
    if (flag) {
        mGradientStartTime = getTime();
        const CString window = windowPath();
        if (!window.isEmpty()) listenObject(window, CString("render"), CString("gradient-timer"));
    }
    for (int i = 0; i < childCount(); ++i) {
        if (dynamic_cast<CView*>(child(i)) == nullptr) continue;
        if (CError* err = child(i)->setIntAttr(CString("is-gradient-animated"), flag ? 1 : 0, true))
            return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CView::onGradientTimer() {
    if (mColorTable != nullptr) {
        if (mIsGradientAnimated) {
            const double g = 0.5 + 0.5 * std::sin((getTime() - mGradientStartTime) * 6.366197723675814 - 1.5707963267948966);
            if (differs(g, mColorTable->gradientPosition())) {
                mColorTable->setGradientPosition(g);
                mColorTable->markDirty();
            }
        } else {
            if (mColorTable->gradientPosition() != 0.0) {
                mColorTable->setGradientPosition(0.0);
                mColorTable->markDirty();
            }
        }
    }
    if (!mIsGradientAnimated) {
        const CString window = windowPath();
        if (!window.isEmpty()) unlistenObject(window, CString("render"));
    }
    invalidate();
    return nullptr;
}

CError* CView::onDynamicPaletteUpdated() {
    if (mColorTable != nullptr) mColorTable->markDirty();
    invalidate();
    return nullptr;
}

CError* CView::onCloseWindow() {
    if (CWindowRenderer* renderer = getWindowRenderer()) {
        if (CError* err = renderer->runEvent(CString("close-window"))) return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CView::onMinimizeWindow() {
    if (CWindowRenderer* renderer = getWindowRenderer()) {
        if (CError* err = renderer->runEvent(CString("minimize-window"))) return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CView::onDropFiles(CAttrMap&) { return nullptr; }

CError* CView::onPreCloseWindow(CAttrMap& args) {
    if (CError* err = confirmCloseWindow(this, args, true, false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CView::onPopupClosed() { return nullptr; }

CError* CView::onPopupCreated(CAttrMap&) { return nullptr; }

CError* CView::onPopupToggle(CAttrMap&) { return nullptr; }

CError* CView::onPopupResult(CAttrMap&) { return nullptr; }

CError* CView::onRequestViewAreaUpdates() {
    mAreAreaUpdatesRequested = true;
    return nullptr;
}

CError* CView::confirmCloseWindow(CObject* object, CAttrMap& args, bool confirm, bool post) {
    CAttrValue* idValue = args.findValue("queue-id");
    const std::int32_t queueId = idValue != nullptr && idValue->convert(CAttrValue::kInt) ? idValue->asInt() : 0;
    CAttrValue* closerValue = args.findValue("window-closer");
    const CString closerPath = closerValue != nullptr ? closerValue->asText() : CString();
    CObject* closer = nullptr;
    if (CError* err = object->findObjectChecked(closer, closerPath)) return traceError(err, object->getFullName());
    CAttrMap answer;
    answer.findOrAdd("queue-id")->value.setInt(queueId);
    answer.findOrAdd("window")->value.setText(object->getFullName());
    const CString event(confirm ? "confirm-close-window" : "deny-close-window");
    if (post) {
        closer->postBridgedEvent(object->getFullName(), event, answer);
        return nullptr;
    }
    if (CError* err = closer->runEvent(event, &answer)) return traceError(err, object->getFullName());
    return nullptr;
}

// --- window services ---

CString CView::windowPath() const {
    return mRootView != nullptr ? attrText(*mRootView, "window") : CString();
}

CWindowRenderer* CView::getWindowRenderer() const {
    const CString path = windowPath();
    if (path.isEmpty()) return nullptr;
    return dynamic_cast<CWindowRenderer*>(findObject(path));
}

CInputState* CView::getInputState() const {
    return mWindowSharedData != nullptr ? &mWindowSharedData->inputState() : nullptr;
}

bool CView::getMousePosition(double out[2], bool relativeToClip, bool relative) const {
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer == nullptr || mWindowSharedData == nullptr) {
        out[0] = out[1] = -1.0;
        return false;
    }
    const CInputState& input = mWindowSharedData->inputState();
    logAndDrop(renderer->updateActualPosition(true));
    const double scale = area() != nullptr ? area()->pixelRatio() : 1.0;
    out[0] = (input.mouseX - renderer->getDoubleAttr("actual-x")) * scale;
    out[1] = (input.mouseY - renderer->getDoubleAttr("actual-y")) * scale;
    if (!relative) return renderer->isMouseInside();
    const CAreaRect& r = area() == nullptr ? CAreaRect{} : (relativeToClip ? area()->clipRect() : area()->totalRect());
    out[0] -= r.x;
    out[1] -= r.y;
    return out[0] > -0.01 && out[0] < r.width + 0.01 && out[1] > -0.01 && out[1] < r.height + 0.01;
}

void CView::getWindowOrigin(double out[2]) const {
    out[0] = out[1] = 0.0;
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer == nullptr) return;
    logAndDrop(renderer->updateActualPosition(true));
    out[0] = renderer->getDoubleAttr("actual-x");
    out[1] = renderer->getDoubleAttr("actual-y");
}

double CView::getMouseScale() const {
    CWindowRenderer* renderer = getWindowRenderer();
    return renderer != nullptr ? renderer->getMouseScale() : 1.0;
}

CView* CView::getMainRootView() const {
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer == nullptr) return nullptr;
    CWindowRenderer* outermost = renderer->getOutermostWindow();
    return outermost != nullptr ? dynamic_cast<CView*>(outermost->parent()) : nullptr;
}

double CView::getTime() { return mWindowSharedData != nullptr ? mWindowSharedData->frameClock() : 0.0; }

void CView::moveMouseCursor(double x, double y) {
    const double ox = area() != nullptr ? area()->totalRect().x : 0.0;
    const double oy = area() != nullptr ? area()->totalRect().y : 0.0;
    moveMouseCursorInWindow(x + ox, y + oy);
}

void CView::moveMouseCursorInWindow(double x, double y) {
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer == nullptr) return;
    logAndDrop(renderer->runEvent(CString("update-window-origin")));
    const double scale = area() != nullptr ? area()->pixelRatio() : 1.0;
    CAttrMap args;
    args.findOrAdd("x")->value.setReal(x / scale + renderer->getDoubleAttr("actual-x"));
    args.findOrAdd("y")->value.setReal(y / scale + renderer->getDoubleAttr("actual-y"));
    logAndDrop(renderer->runEvent(CString("move-mouse-cursor"), &args));
}

void CView::moveMouseCursorToScreen(double x, double y) {
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer == nullptr) return;
    CAttrMap args;
    args.findOrAdd("x")->value.setReal(x);
    args.findOrAdd("y")->value.setReal(y);
    logAndDrop(renderer->runEvent(CString("move-mouse-cursor"), &args));
}

bool CView::isMouseInWindow() const {
    CWindowRenderer* renderer = getWindowRenderer();
    return renderer != nullptr && renderer->isMouseInside();
}

void CView::showCursor(bool show) {
    if (mWindowSharedData != nullptr) mWindowSharedData->showCursor(show);
}

void CView::listenRenderEvent(const CString& handler) {
    CWindowRenderer* renderer = getWindowRenderer();
    if (renderer != nullptr) listenObject(renderer->getFullName(), CString("render"), handler);
}

CError* CView::fireUpdateScroller() {
    if (CError* err = fireEvent(CString("update-scroller"), false)) return traceError(err, getFullName());
    return nullptr;
}

void* CView::getNativeWindow() const {
    CWindowRenderer* renderer = getWindowRenderer();
    return renderer != nullptr ? renderer->getNativeWindow() : nullptr;
}

void** CView::getNativeWindowRef() const {
    CWindowRenderer* renderer = getWindowRenderer();
    return renderer != nullptr ? renderer->getNativeWindowRef() : nullptr;
}

// --- tree dump ---

void CView::dumpLine(const char* text) const {
    char line[1024];
    std::snprintf(line, sizeof line, "%s", text);
    writeLog(line, true);
}

CError* CView::dumpTree(CObject* object, std::int32_t level, const CStringList* extraLines) {
    CObject* dumped = object != nullptr ? object : this;
    const std::string tag = dumped->tag().narrowed().chars8();
    if (level == 0) dumpLine(("<" + tag + "> // " + dumped->getFullName().narrowed().chars8()).c_str());
    const std::string indent(std::size_t(level + 1) * 4, ' ');
    if (extraLines != nullptr) {
        for (int i = 0; i < extraLines->count(); ++i) dumpLine((indent + (*extraLines)[i].narrowed().chars8()).c_str());
    }
    if (auto* view = dynamic_cast<CView*>(dumped); view != nullptr && view->area() != nullptr)
        view->area()->dumpDebugInfo(CString(indent.c_str()));
    for (auto* n = dumped->attrs().first(); n != nullptr; n = CAttrMap::next(n)) {
        const std::string line = indent + n->key.narrowed().chars8() + "=\"" + n->value.asText().narrowed().chars8() + "\"";
        dumpLine(line.c_str());
    }
    for (int i = 0; i < dumped->childCount(); ++i) {
        CObject* c = dumped->child(i);
        const std::string childTag = c->tag().narrowed().chars8();
        dumpLine((indent + "<" + childTag + ">    ").c_str());
        if (auto* childView = dynamic_cast<CView*>(c)) {
            if (CError* err = childView->dumpTree(nullptr, level + 1, nullptr)) return traceError(err, getFullName());
        } else {
            if (CError* err = dumpTree(c, level + 1, nullptr)) return traceError(err, getFullName());
        }
        dumpLine((indent + "</" + childTag + ">    ").c_str());
    }
    if (level == 0) dumpLine(("</" + tag + ">").c_str());
    return nullptr;
}

} // namespace tal
