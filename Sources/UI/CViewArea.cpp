#include "UI/CViewArea.h"

#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/Log.h"
#include "UI/CViewAreaUpdateHandler.h"

#include <cmath>
#include <cstdio>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;
constexpr double kMaxFloor = -1e20;
constexpr double kDefaultMaxSize = 999999.0;

double roundHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }
bool isOne(double f) noexcept { return std::fabs(f - 1.0) <= std::fabs(f) * kEpsilon + kEpsilon; }
double limitFraction(double f) noexcept { return f < 0.0 ? 0.0 : (f > 1.0 ? 1.0 : f); }
bool isEdgeCode(int code) noexcept { return code >= CViewArea::kPlaceFull && code <= CViewArea::kPlaceRight; }
bool isFlexibleKind(int kind) noexcept { return kind == CViewArea::kSizeBalanced || kind == CViewArea::kSizePercent; }

// The largest of the values pushed one by one and -1e20, or 0 when none was pushed: a running fold
// keeps the evaluation stack shallow however many values there are.
class CMaxFold {
public:
    CMaxFold(CLayoutProgram& program, CLayoutSolver& solver) : mProgram(program), mSolver(solver) {}
    void valuePushed() {
        if (++mCount > 1)
            mProgram.op(opMax);
    }
    void finish() {
        if (mCount == 0) {
            mProgram.constant(mSolver.addConstant(0.0));
            return;
        }
        mProgram.constant(mSolver.addConstant(kMaxFloor)).op(opMax);
    }
    int count() const noexcept { return mCount; }

private:
    CLayoutProgram& mProgram;
    CLayoutSolver& mSolver;
    int mCount = 0;
};

bool rectsDiffer(const CAreaRect& a, const CAreaRect& b) noexcept {
    return CLayoutSolver::differs(a.x, b.x) || CLayoutSolver::differs(a.y, b.y) ||
           CLayoutSolver::differs(a.width, b.width) || CLayoutSolver::differs(a.height, b.height);
}

void intersect(CAreaRect& r, const CAreaRect& b) noexcept {
    const double nx = r.x > b.x ? r.x : b.x;
    const double right = b.x + b.width < r.x + r.width ? b.x + b.width : r.x + r.width;
    const double nw = right - nx;
    if (nw <= 0.0) {
        r.width = r.height = 0.0;
        return;
    }
    const double ny = r.y > b.y ? r.y : b.y;
    const double bottom = b.y + b.height < r.y + r.height ? b.y + b.height : r.y + r.height;
    const double nh = bottom - ny;
    if (nh <= 0.0) {
        r.width = r.height = 0.0;
        return;
    }
    r = CAreaRect{nx, ny, nw, nh};
}

// The variables one axis of a size uses.
struct CAxisVars {
    int size, ref, outerStart, outerEnd, innerStart, innerEnd, scroller, compact, minSize, maxSize;
};
constexpr CAxisVars kWidthVars{CViewArea::vWidth, CViewArea::vRefWidth, CViewArea::vOuterLeft, CViewArea::vOuterRight,
                               CViewArea::vInnerLeft, CViewArea::vInnerRight, CViewArea::vScrollerWidth,
                               CViewArea::vCompactWidth, CViewArea::vMinWidth, CViewArea::vMaxWidth};
constexpr CAxisVars kHeightVars{CViewArea::vHeight, CViewArea::vRefHeight, CViewArea::vOuterTop, CViewArea::vOuterBottom,
                                CViewArea::vInnerTop, CViewArea::vInnerBottom, CViewArea::vScrollerHeight,
                                CViewArea::vCompactHeight, CViewArea::vMinHeight, CViewArea::vMaxHeight};

} // namespace

// --- life cycle ---

CViewArea::CViewArea(CViewAreaUpdateHandler* owner, CViewArea* parent, bool isScrollable)
    : mOwner(owner), mParent(parent), mIsScrollable(isScrollable) {
    for (int i = 0; i < kVarCount; ++i) {
        mVarNodes[i] = -1;
        mVarValues[i] = nullptr;
    }
    if (parent != nullptr) {
        mRoot = parent->mRoot;
        mSolver = parent->mSolver;
        mScaleRecord = parent->mScaleRecord;
        for (int i = 0; i < 2; ++i) {
            mScaleNodes[i] = mRoot->mScaleNodes[i];
            mScaleValues[i] = mRoot->mScaleValues[i];
        }
        parent->mChildren.add(this);
        parent->requestOwnRebuild();
        mIsInScrollerStrip = parent->mIsInScrollerStrip;
        mIsShown = parent->mIsShown;
    } else {
        mPlacement = kPlaceFull;
        mRoot = this;
        mScaleRecord = new CScaleRecord();
        mSolver = new CLayoutSolver();
        for (int i = 0; i < 2; ++i) {
            mScaleNodes[i] = mSolver->allocNode(this, &mScaleValues[i]);
            mSolver->setConstant(mScaleNodes[i], 1.0);
        }
    }
    const int count = isScrollable ? kVarCount : kPlainVarCount;
    for (int i = 0; i < count; ++i)
        mVarNodes[i] = mSolver->allocNode(this, &mVarValues[i]);
    setVariable(vMaxWidth, true, true, kDefaultMaxSize);
    mMaxWidthKind = kSizeFixed;
    setVariable(vMaxHeight, true, true, kDefaultMaxSize);
    mMaxHeightKind = kSizeFixed;
    if (isScrollable) {
        mSolver->setConstant(mVarNodes[vRatioX], mMinRatioX > 1.0 ? mMinRatioX : 1.0);
        mSolver->setConstant(mVarNodes[vRatioY], mMinRatioY > 1.0 ? mMinRatioY : 1.0);
    }
}

CViewArea::~CViewArea() {
    if (mRebuildBatch != nullptr)
        mRebuildBatch->remove(this);
    if (mContentBatch != nullptr)
        mContentBatch->remove(this);
    leaveChangedBatch();
    mSolver->forgetOwner(this);
    if (mMatchTarget != nullptr)
        mMatchTarget->mMatchedBy.remove(this);
    for (CViewArea* follower : mMatchedBy)
        follower->mMatchTarget = nullptr;
    for (CViewArea* child : mChildren)
        child->mParent = nullptr;
    if (mParent != nullptr) {
        mParent->mChildren.remove(this);
        mParent->requestOwnRebuild();
    }
    freeInlineRows();
    if (mRoot == this) {
        delete mSolver;
        delete mScaleRecord;
        return;
    }
    for (int i = 0; i < kVarCount; ++i)
        if (mVarNodes[i] >= 0)
            mSolver->freeNode(mVarNodes[i]);
}

void CViewArea::requestOwnRebuild() {
    if (mRebuildBatch == nullptr)
        mSolver->requestRebuild(this);
}

void CViewArea::requestParentRebuild() {
    if (mParent != nullptr)
        mParent->requestOwnRebuild();
}

// --- queries ---

void CViewArea::getOpaqueRect(CAreaRect& r) const noexcept {
    const double s = windowScale();
    r.x += mOpaqueBorder[1] * s;
    r.y += mOpaqueBorder[3] * s;
    r.width -= (mOpaqueBorder[1] + mOpaqueBorder[2]) * s;
    r.height -= (mOpaqueBorder[3] + mOpaqueBorder[0]) * s;
}

void CViewArea::dumpDebugInfo(const CString& prefix) const {
    const char* p = prefix.chars8();
    char line[1024];
    std::snprintf(line, sizeof line, "%s* COMPACT-SIZE: %.1f %.1f (AUTO %i %i)", p, value(vCompactWidth),
                  value(vCompactHeight), int(mIsAutoCompactWidth), int(mIsAutoCompactHeight));
    writeLog(line, true);
    std::snprintf(line, sizeof line, "%s* CLIP-AREA: %.1f %.1f %.1f %.1f", p, value(vX), value(vY), value(vWidth),
                  value(vHeight));
    writeLog(line, true);
    std::snprintf(line, sizeof line, "%s* INNER-BORDER: %.1f %.1f %.1f %.1f", p, value(vInnerTop), value(vInnerRight),
                  value(vInnerBottom), value(vInnerLeft));
    writeLog(line, true);
    std::snprintf(line, sizeof line, "%s* OUTER-BORDER: %.1f %.1f %.1f %.1f", p, value(vOuterTop), value(vOuterRight),
                  value(vOuterBottom), value(vOuterLeft));
    writeLog(line, true);
    std::snprintf(line, sizeof line, "%s* PLACEMENT: %.1f %.1f %.1f %.1f | %.1f %.1f", p, value(vPlaceX), value(vPlaceY),
                  value(vPlaceWidth), value(vPlaceHeight), value(vRefWidth), value(vRefHeight));
    writeLog(line, true);
}

// --- plain setters ---

void CViewArea::setAlignmentH(int code) {
    if (code == mAlignmentH)
        return;
    mAlignmentH = code;
    requestParentRebuild();
}

void CViewArea::setAlignmentV(int code) {
    if (code == mAlignmentV)
        return;
    mAlignmentV = code;
    requestParentRebuild();
}

void CViewArea::setInlineAlignmentH(int code) {
    mInlineAlignmentH = code;
    requestOwnRebuild();
}

void CViewArea::setInlineAlignmentV(int code) {
    mInlineAlignmentV = code;
    requestOwnRebuild();
}

void CViewArea::setInlineVertical(bool flag) {
    mIsInlineVertical = flag;
    requestOwnRebuild();
}

void CViewArea::setNewInlineRow(bool flag) {
    mIsNewInlineRow = flag;
    requestParentRebuild();
}

void CViewArea::setOpaqueBorder(bool isOpaque, double left, double top, double right, double bottom) {
    mIsOpaque = isOpaque;
    mOpaqueBorder[0] = bottom;
    mOpaqueBorder[1] = left;
    mOpaqueBorder[2] = right;
    mOpaqueBorder[3] = top;
}

void CViewArea::setSpreadBottom(double pixels) {
    mSpread[0] = pixels / windowScale();
    mSolver->markChanged(this);
}

void CViewArea::setSpreadLeft(double pixels) {
    mSpread[1] = pixels / windowScale();
    mSolver->markChanged(this);
}

void CViewArea::setSpreadRight(double pixels) {
    mSpread[2] = pixels / windowScale();
    mSolver->markChanged(this);
}

void CViewArea::setSpreadTop(double pixels) {
    mSpread[3] = pixels / windowScale();
    mSolver->markChanged(this);
}

void CViewArea::setUnclipLevel(int level) {
    mUnclipLevel = level;
    mIsForceReport = true;
    mSolver->markChanged(this);
}

void CViewArea::requestReport() {
    mIsForceReport = true;
    mSolver->markChanged(this);
}

void CViewArea::setPlacement(int code) {
    if (mParent == nullptr)
        return;
    mPlacement = code;
    if (code >= kPlaceScrollerH && code <= kPlaceScrollerP) {
        mIsInScrollerStrip = true;
        if (!mParent->mIsScrollable) {
            char line[96];
            std::snprintf(line, sizeof line, "Invalid placement %i, parent view does not support scrolling", code);
            writeLog(line, true);
            mPlacement = kPlaceInline;
        }
    }
    if (code == kPlaceFull)
        mIsAutoCompactWidth = false;
    requestParentRebuild();
}

void CViewArea::setMatchTarget(CViewArea* target) {
    if (target == mMatchTarget)
        return;
    if (mMatchTarget != nullptr)
        mMatchTarget->mMatchedBy.remove(this);
    mMatchTarget = target;
    if (target != nullptr)
        target->mMatchedBy.add(this);
}

void CViewArea::setVisible(bool flag) {
    if (mParent == nullptr)
        return;
    mIsVisible = flag;
    updateShown();
}

void CViewArea::updateShown() {
    const bool shown = mParent == nullptr ? mIsVisible : (mParent->mIsShown && mIsVisible);
    if (shown == mIsShown)
        return;
    mIsShown = shown;
    for (CViewArea* child : mChildren)
        child->updateShown();
    requestParentRebuild();
}

void CViewArea::setWindowScale(double scale, double ratio) {
    if (mRoot != this) {
        mRoot->setWindowScale(scale, ratio);
        return;
    }
    mSolver->setConstant(mScaleNodes[0], scale);
    mSolver->setConstant(mScaleNodes[1], ratio);
}

// --- size programs ---

void CViewArea::setVariable(int var, bool isRounded, bool isPixels, double x) {
    if (!(std::fabs(x) > std::fabs(x) * kEpsilon)) {
        mSolver->setConstant(mVarNodes[var], 0.0);
        return;
    }
    const double k = isPixels ? x / windowScale() : x;
    CLayoutProgram p;
    p.constant(mSolver->addConstant(k)).node(mScaleNodes[0]).op(opMul);
    if (isRounded)
        p.op(opRound);
    mSolver->setProgram(mVarNodes[var], p);
}

// r divided by the parent's count of placed children when that is non-zero, else r.
void CViewArea::emitShare(CLayoutProgram& p, int refVar) const {
    p.node(mVarNodes[refVar]).node(mParent->mVarNodes[vPlacedCount]).node(mVarNodes[refVar]).op(opDivOr);
}

void CViewArea::emitLimitAndRound(CLayoutProgram& p, bool isWidth, int kind, double fraction) const {
    const CAxisVars& a = isWidth ? kWidthVars : kHeightVars;
    p.node(mVarNodes[a.minSize]).node(mVarNodes[a.maxSize]).op(opClamp);
    const bool snaps = mRoot == this && (kind == kSizeCompact || kind == kSizeFixed);
    if (snaps)
        p.node(mScaleNodes[1]).op(opDiv).op(opRound).node(mScaleNodes[1]).op(opMul).op(opRound);
    else if (kind != kSizeCompactPercent || isOne(fraction))
        p.op(opRound);
}

void CViewArea::setWidthKindProgram(bool isWidth, int kind, double fraction) {
    const CAxisVars& a = isWidth ? kWidthVars : kHeightVars;
    CLayoutProgram p;
    switch (kind) {
    case kSizeBalanced:
        if (mParent == nullptr) {
            p.constant(mSolver->addConstant(0.0));
        } else {
            emitShare(p, a.ref);
            p.node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub);
        }
        break;
    case kSizeCompact:
        p.node(mVarNodes[a.compact]).node(mVarNodes[a.innerStart]).op(opAdd).node(mVarNodes[a.innerEnd]).op(opAdd);
        if (mIsScrollable)
            p.node(mVarNodes[a.scroller]).op(opAdd);
        break;
    case kSizeCompactPercent:
        // A root has no parent compact size: only its own reference size counts.
        if (mParent != nullptr)
            p.node(mParent->mVarNodes[a.compact]);
        else
            p.constant(mSolver->addConstant(0.0));
        p.node(mVarNodes[a.ref]).node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub).op(opMax);
        if (!isOne(fraction))
            p.constant(mSolver->addConstant(fraction)).op(opMul);
        break;
    case kSizeFull:
        p.node(mVarNodes[a.ref]).node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub);
        if (mIsScrollable)
            p.node(mVarNodes[a.scroller]).op(opAdd);
        break;
    case kSizeFixed: {
        const double pixels = fraction > 0.0 ? fraction : 0.0;
        p.constant(mSolver->addConstant(pixels / windowScale())).node(mScaleNodes[0]).op(opMul);
        if (mRoot == this)
            (isWidth ? mClipRect.width : mClipRect.height) = fraction;
        break;
    }
    case kSizePercent:
        p.node(mVarNodes[a.ref]);
        if (!isOne(fraction))
            p.constant(mSolver->addConstant(fraction)).op(opMul);
        p.node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub);
        break;
    default:
        return;
    }
    emitLimitAndRound(p, isWidth, kind, fraction);
    (isWidth ? mWidthKind : mHeightKind) = kind;
    mSolver->setProgram(mVarNodes[a.size], p);
}

void CViewArea::setWidthBalanced() { setWidthKindProgram(true, kSizeBalanced, 1.0); }
void CViewArea::setWidthCompact() { setWidthKindProgram(true, kSizeCompact, 1.0); }
void CViewArea::setWidthCompactPercent(double f) { setWidthKindProgram(true, kSizeCompactPercent, f); }
void CViewArea::setWidthFull() { setWidthKindProgram(true, kSizeFull, 1.0); }
void CViewArea::setFixedWidth(double pixels) { setWidthKindProgram(true, kSizeFixed, pixels); }
void CViewArea::setWidthPercent(double f) { setWidthKindProgram(true, kSizePercent, limitFraction(f)); }
void CViewArea::setHeightBalanced() { setWidthKindProgram(false, kSizeBalanced, 1.0); }
void CViewArea::setHeightCompact() { setWidthKindProgram(false, kSizeCompact, 1.0); }
void CViewArea::setHeightCompactPercent(double f) { setWidthKindProgram(false, kSizeCompactPercent, f); }
void CViewArea::setHeightFull() { setWidthKindProgram(false, kSizeFull, 1.0); }
void CViewArea::setFixedHeight(double pixels) { setWidthKindProgram(false, kSizeFixed, pixels); }
void CViewArea::setHeightPercent(double f) { setWidthKindProgram(false, kSizePercent, limitFraction(f)); }

// Minimum and maximum sizes: unclamped, unrounded programs (the pixel forms go through setVariable).
void CViewArea::setMinMaxProgram(int var, int kind, double fraction) {
    const bool isWidth = var == vMinWidth || var == vMaxWidth;
    const CAxisVars& a = isWidth ? kWidthVars : kHeightVars;
    CLayoutProgram p;
    switch (kind) {
    case kSizeBalanced:
        if (mParent == nullptr) {
            mSolver->setConstant(mVarNodes[var], 0.0);
            break;
        }
        emitShare(p, a.ref);
        p.node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub);
        break;
    case kSizeCompact:
        p.node(mVarNodes[a.compact]).node(mVarNodes[a.innerStart]).op(opAdd).node(mVarNodes[a.innerEnd]).op(opAdd);
        if (mIsScrollable)
            p.node(mVarNodes[a.scroller]).op(opAdd);
        break;
    case kSizeFixed:
        setVariable(var, true, true, fraction > 0.0 ? fraction : 0.0);
        break;
    case kSizePercent:
        p.node(mVarNodes[a.ref]).constant(mSolver->addConstant(limitFraction(fraction))).op(opMul);
        p.node(mVarNodes[a.outerStart]).op(opSub).node(mVarNodes[a.outerEnd]).op(opSub);
        break;
    default:
        return;
    }
    if (!p.isEmpty())
        mSolver->setProgram(mVarNodes[var], p);
    switch (var) {
    case vMinWidth: mMinWidthKind = kind; break;
    case vMinHeight: mMinHeightKind = kind; break;
    case vMaxWidth: mMaxWidthKind = kind; break;
    default: mMaxHeightKind = kind; break;
    }
}

void CViewArea::setMinWidthBalanced() { setMinMaxProgram(vMinWidth, kSizeBalanced, 1.0); }
void CViewArea::setMinHeightBalanced() { setMinMaxProgram(vMinHeight, kSizeBalanced, 1.0); }
void CViewArea::setMinWidthCompact() { setMinMaxProgram(vMinWidth, kSizeCompact, 1.0); }
void CViewArea::setMinHeightCompact() { setMinMaxProgram(vMinHeight, kSizeCompact, 1.0); }
void CViewArea::setMinWidth(double pixels) { setMinMaxProgram(vMinWidth, kSizeFixed, pixels); }
void CViewArea::setMinHeight(double pixels) { setMinMaxProgram(vMinHeight, kSizeFixed, pixels); }
void CViewArea::setMinWidthPercent(double f) { setMinMaxProgram(vMinWidth, kSizePercent, f); }
void CViewArea::setMinHeightPercent(double f) { setMinMaxProgram(vMinHeight, kSizePercent, f); }
void CViewArea::setMaxWidth(double pixels) { setMinMaxProgram(vMaxWidth, kSizeFixed, pixels); }
void CViewArea::setMaxHeight(double pixels) { setMinMaxProgram(vMaxHeight, kSizeFixed, pixels); }
void CViewArea::setMaxWidthPercent(double f) { setMinMaxProgram(vMaxWidth, kSizePercent, f); }
void CViewArea::setMaxHeightPercent(double f) { setMinMaxProgram(vMaxHeight, kSizePercent, f); }

void CViewArea::setCompactWidth(double pixels) {
    mIsAutoCompactWidth = false;
    setVariable(vCompactWidth, true, true, pixels > 0.0 ? pixels : 0.0);
}

void CViewArea::setCompactHeight(double pixels) {
    mIsAutoCompactHeight = false;
    setVariable(vCompactHeight, true, true, pixels > 0.0 ? pixels : 0.0);
}

void CViewArea::setInnerBorderBottom(double logical) { setVariable(vInnerBottom, true, false, logical); }
void CViewArea::setInnerBorderLeft(double logical) { setVariable(vInnerLeft, true, false, logical); }
void CViewArea::setInnerBorderRight(double logical) { setVariable(vInnerRight, true, false, logical); }
void CViewArea::setInnerBorderTop(double logical) { setVariable(vInnerTop, true, false, logical); }
void CViewArea::setOuterBorderBottom(double pixels) { setVariable(vOuterBottom, true, true, pixels); }
void CViewArea::setOuterBorderLeft(double pixels) { setVariable(vOuterLeft, true, true, pixels); }
void CViewArea::setOuterBorderRight(double pixels) { setVariable(vOuterRight, true, true, pixels); }
void CViewArea::setOuterBorderTop(double pixels) { setVariable(vOuterTop, true, true, pixels); }

void CViewArea::setScrollerWidth(double pixels) {
    if (mIsScrollable)
        setVariable(vScrollerWidth, true, true, pixels);
}

void CViewArea::setScrollerHeight(double pixels) {
    if (mIsScrollable)
        setVariable(vScrollerHeight, true, true, pixels);
}

void CViewArea::setOffsetX(double x) {
    if (mIsScrollable)
        mSolver->setConstant(mVarNodes[vOffsetX], x);
}

void CViewArea::setOffsetY(double y) {
    if (mIsScrollable)
        mSolver->setConstant(mVarNodes[vOffsetY], y);
}

void CViewArea::setRatioX(double x) {
    if (mIsScrollable)
        mSolver->setConstant(mVarNodes[vRatioX], x > mMinRatioX ? x : mMinRatioX);
}

void CViewArea::setRatioY(double y) {
    if (mIsScrollable)
        mSolver->setConstant(mVarNodes[vRatioY], y > mMinRatioY ? y : mMinRatioY);
}

void CViewArea::setMinRatioX(double x) {
    const double f = limitFraction(x);
    mMinRatioX = f > 1e-4 ? f : 1e-4;
}

void CViewArea::setMinRatioY(double y) {
    const double f = limitFraction(y);
    mMinRatioY = f > 1e-4 ? f : 1e-4;
}

// --- inline rows and compact sizes ---

void CViewArea::freeInlineRows() {
    for (const CInlineRow& row : mInlineRows)
        for (std::int32_t n : {row.rowLength, row.fixedLength, row.rowThickness, row.fixedThickness})
            if (n >= 0)
                mSolver->freeNode(n);
    mInlineRows.clear();
}

void CViewArea::buildInlineRows() {
    freeInlineRows();
    bool newRow = true;
    int first = -1, last = -1;
    for (int i = 0; i < mChildren.count(); ++i) {
        const CViewArea* c = mChildren[i];
        const bool isInline = c->mPlacement == kPlaceInline;
        if (isInline && c->mIsNewInlineRow)
            newRow = true;
        if (!c->mIsShown || !isInline)
            continue;
        if (newRow) {
            if (first >= 0)
                addInlineRow(first, last);
            newRow = false;
            first = last = i;
        } else {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first >= 0)
        addInlineRow(first, last);
}

void CViewArea::addInlineRow(int first, int last) {
    const CAxisVars& along = mIsInlineVertical ? kHeightVars : kWidthVars;
    const CAxisVars& across = mIsInlineVertical ? kWidthVars : kHeightVars;
    CLayoutProgram length, fixedLength, thickness, fixedThickness;
    CMaxFold thick(thickness, *mSolver), fixedThick(fixedThickness, *mSolver);
    for (int i = first; i <= last; ++i) {
        const CViewArea* c = mChildren[i];
        if (!c->mIsShown || c->mPlacement != kPlaceInline)
            continue;
        const int kindAlong = mIsInlineVertical ? c->mHeightKind : c->mWidthKind;
        const int kindAcross = mIsInlineVertical ? c->mWidthKind : c->mHeightKind;
        for (CLayoutProgram* p : {&length, &fixedLength}) {
            if (p == &fixedLength && isFlexibleKind(kindAlong))
                continue;
            const bool isFirst = p->isEmpty();
            p->node(c->mVarNodes[along.size]);
            if (!isFirst)
                p->op(opAdd);
            p->node(c->mVarNodes[along.outerStart]).op(opAdd).node(c->mVarNodes[along.outerEnd]).op(opAdd);
        }
        thickness.node(c->mVarNodes[across.size]).node(c->mVarNodes[across.outerStart]).op(opAdd);
        thickness.node(c->mVarNodes[across.outerEnd]).op(opAdd);
        thick.valuePushed();
        if (!isFlexibleKind(kindAcross)) {
            fixedThickness.node(c->mVarNodes[across.size]).node(c->mVarNodes[across.outerStart]).op(opAdd);
            fixedThickness.node(c->mVarNodes[across.outerEnd]).op(opAdd);
            fixedThick.valuePushed();
        }
    }
    thick.finish();
    fixedThick.finish();
    CInlineRow row;
    row.firstChild = first;
    row.lastChild = last;
    row.rowLength = mSolver->allocNode(this);
    row.fixedLength = mSolver->allocNode(this);
    row.rowThickness = mSolver->allocNode(this);
    row.fixedThickness = mSolver->allocNode(this);
    mInlineRows.add(row);
    mSolver->setProgram(row.rowLength, length);
    if (!fixedLength.isEmpty())
        mSolver->setProgram(row.fixedLength, fixedLength);
    mSolver->setProgram(row.rowThickness, thickness);
    mSolver->setProgram(row.fixedThickness, fixedThickness);
}

void CViewArea::alignInlineRows() {
    const int a = mIsInlineVertical ? mInlineAlignmentH : mInlineAlignmentV;
    if (a < 0)
        return;
    CLayoutProgram offset;
    offset.words(mRemaining[mIsInlineVertical ? 2 : 3]);
    for (const CInlineRow& row : mInlineRows)
        offset.node(row.rowThickness).op(opSub);
    if (a == 0)
        offset.op(opHalf).op(opRound);
    CLayoutProgram& start = mRemaining[mIsInlineVertical ? 0 : 1];
    start.words(offset).op(opAdd);
}

bool CViewArea::emitRowSum(CLayoutProgram& p, bool fixedOnly) {
    if (mInlineRows.isEmpty()) {
        p.constant(mSolver->addConstant(0.0));
        return false;
    }
    for (int i = 0; i < mInlineRows.count(); ++i) {
        p.node(fixedOnly ? mInlineRows[i].fixedThickness : mInlineRows[i].rowThickness);
        if (i > 0)
            p.op(opAdd);
    }
    return true;
}

bool CViewArea::emitRowMaximum(CLayoutProgram& p, bool fixedOnly) {
    if (mInlineRows.isEmpty()) {
        p.constant(mSolver->addConstant(0.0));
        return false;
    }
    CMaxFold fold(p, *mSolver);
    for (const CInlineRow& row : mInlineRows) {
        p.node(fixedOnly ? row.fixedLength : row.rowLength);
        fold.valuePushed();
    }
    fold.finish();
    return true;
}

void CViewArea::updateCompactWidth() { updateCompactSize(true); }
void CViewArea::updateCompactHeight() { updateCompactSize(false); }

// compact = max(rows part + sum over the children side by side along this axis, each child stacked
// across it), each child counting its term plus both outer borders.
void CViewArea::updateCompactSize(bool isWidth) {
    const CAxisVars& a = isWidth ? kWidthVars : kHeightVars;
    if (mChildren.isEmpty()) {
        mSolver->setConstant(mVarNodes[a.compact], 0.0);
        return;
    }
    CLayoutProgram p;
    if (isWidth != mIsInlineVertical)
        emitRowMaximum(p, true);
    else
        emitRowSum(p, true);
    const CViewArea* closing = nullptr;
    if (mInlineRows.isEmpty())
        for (const CViewArea* c : mChildren)
            if (c->mIsShown && isEdgeCode(c->mPlacement))
                closing = c;
    auto emitTerm = [&](const CViewArea* k) {
        const int kind = isWidth ? k->mWidthKind : k->mHeightKind;
        if (isFlexibleKind(kind))
            return false;
        if (kind == kSizeCompactPercent || kind == kSizeFull)
            p.node(k->mVarNodes[a.compact]).node(k->mVarNodes[a.innerStart]).op(opAdd).node(k->mVarNodes[a.innerEnd]).op(opAdd);
        else
            p.node(k->mVarNodes[a.size]);
        return true;
    };
    const int sideA = isWidth ? kPlaceLeft : kPlaceTop, sideB = isWidth ? kPlaceRight : kPlaceBottom;
    const int stackA = isWidth ? kPlaceTop : kPlaceLeft, stackB = isWidth ? kPlaceBottom : kPlaceRight;
    for (const CViewArea* c : mChildren) {
        if (!c->mIsShown)
            continue;
        const int code = c->mPlacement;
        if (code != kPlaceFull && code != sideA && code != sideB && c != closing)
            continue;
        if (!emitTerm(c))
            continue;
        p.op(opAdd).node(c->mVarNodes[a.outerStart]).op(opAdd).node(c->mVarNodes[a.outerEnd]).op(opAdd);
    }
    CMaxFold fold(p, *mSolver);
    fold.valuePushed();   // the sum above
    for (const CViewArea* c : mChildren) {
        if (!c->mIsShown || (c->mPlacement != stackA && c->mPlacement != stackB))
            continue;
        if (!emitTerm(c))
            continue;
        p.node(c->mVarNodes[a.outerStart]).op(opAdd).node(c->mVarNodes[a.outerEnd]).op(opAdd);
        fold.valuePushed();
    }
    fold.finish();
    mSolver->setProgram(mVarNodes[a.compact], p);
}

// --- placement passes ---

namespace {

// Appends the alignment term of a size d with borders b1, b2 in an extent s (all nodes) and the
// addition that applies it; nothing for an alignment at the start.
void emitAlignment(CLayoutProgram& p, std::int32_t s, std::int32_t d, std::int32_t b1, std::int32_t b2, int alignment) {
    if (alignment < 0)
        return;
    p.node(s).node(d).node(b1).op(opAdd).node(b2).op(opAdd).op(opSub);
    if (alignment == 0)
        p.op(opHalf);
    p.op(opAdd);
}

int sign(int code) noexcept { return code < 0 ? -1 : (code > 0 ? 1 : 0); }

} // namespace

void CViewArea::edgePass() {
    CLayoutProgram snapWidth, snapHeight, px, py;
    int prevDirection = 0, prevWidthKind = -1, prevHeightKind = -1;
    for (CViewArea* c : mChildren) {
        const int code = c->mPlacement;
        if (!c->mIsShown || !isEdgeCode(code))
            continue;
        bool snapshot = true;
        if (code != kPlaceFull) {
            const int direction = code == kPlaceTop || code == kPlaceBottom ? 1 : 2;
            snapshot = !(direction == prevDirection && c->mWidthKind == prevWidthKind && c->mHeightKind == prevHeightKind);
            prevDirection = direction;
            prevWidthKind = c->mWidthKind;
            prevHeightKind = c->mHeightKind;
        }
        if (snapshot) {
            snapWidth = mRemaining[2];
            snapHeight = mRemaining[3];
        }
        const std::int32_t* n = c->mVarNodes;
        mSolver->setProgram(n[vPlaceX], mRemaining[0]);
        mSolver->setProgram(n[vPlaceY], mRemaining[1]);
        mSolver->setProgram(n[vPlaceWidth], mRemaining[2]);
        mSolver->setProgram(n[vPlaceHeight], mRemaining[3]);
        mSolver->setProgram(n[vRefWidth], snapWidth);
        mSolver->setProgram(n[vRefHeight], snapHeight);

        const int alignH = sign(c->mAlignmentH), alignV = sign(c->mAlignmentV);
        px.clear();
        py.clear();
        px.node(n[vPlaceX]).node(n[vOuterLeft]).op(opAdd);
        py.node(n[vPlaceY]).node(n[vOuterTop]).op(opAdd);
        if (code == kPlaceFull || code == kPlaceTop || code == kPlaceBottom)
            emitAlignment(px, n[vPlaceWidth], n[vWidth], n[vOuterLeft], n[vOuterRight], alignH);
        if (code == kPlaceFull || code == kPlaceLeft || code == kPlaceRight)
            emitAlignment(py, n[vPlaceHeight], n[vHeight], n[vOuterTop], n[vOuterBottom], alignV);
        if (code == kPlaceRight)
            px.node(n[vPlaceWidth]).node(n[vWidth]).node(n[vOuterLeft]).op(opAdd).node(n[vOuterRight]).op(opAdd)
                .op(opRound).op(opSub).op(opAdd);
        if (code == kPlaceBottom)
            py.node(n[vPlaceHeight]).node(n[vHeight]).node(n[vOuterTop]).op(opAdd).node(n[vOuterBottom]).op(opAdd)
                .op(opRound).op(opSub).op(opAdd);
        mSolver->setProgram(n[vX], px.op(opRound));
        mSolver->setProgram(n[vY], py.op(opRound));

        // What the child takes from the free region.
        for (int i = 0; i < 4; ++i) {
            mRemaining[i].clear();
            mRemaining[i].node(n[vPlaceX + i]);
        }
        auto outerHeight = [&](CLayoutProgram& p) {
            p.node(n[vHeight]).node(n[vOuterTop]).op(opAdd).node(n[vOuterBottom]).op(opAdd);
        };
        auto outerWidth = [&](CLayoutProgram& p) {
            p.node(n[vWidth]).node(n[vOuterLeft]).op(opAdd).node(n[vOuterRight]).op(opAdd);
        };
        switch (code) {
        case kPlaceTop:
            outerHeight(mRemaining[1]);
            mRemaining[1].op(opAdd);
            outerHeight(mRemaining[3]);
            mRemaining[3].op(opSub);
            break;
        case kPlaceBottom:
            outerHeight(mRemaining[3]);
            mRemaining[3].op(opSub);
            break;
        case kPlaceLeft:
            outerWidth(mRemaining[0]);
            mRemaining[0].op(opAdd);
            outerWidth(mRemaining[2]);
            mRemaining[2].op(opSub);
            break;
        case kPlaceRight:
            outerWidth(mRemaining[2]);
            mRemaining[2].op(opSub);
            break;
        default:
            break;
        }
    }
}

void CViewArea::inlinePass() {
    alignInlineRows();
    const CLayoutProgram snapWidth = mRemaining[2], snapHeight = mRemaining[3];
    const bool columns = mIsInlineVertical;
    const CAxisVars& along = columns ? kHeightVars : kWidthVars;
    const CAxisVars& across = columns ? kWidthVars : kHeightVars;
    const int posAlong = columns ? vY : vX, posAcross = columns ? vX : vY;
    const int startAlong = columns ? 1 : 0, startAcross = columns ? 0 : 1;
    const int sizeAlong = columns ? 3 : 2, sizeAcross = columns ? 2 : 3;
    const int alignAlong = sign(columns ? mInlineAlignmentV : mInlineAlignmentH);
    CLayoutProgram pos;
    for (const CInlineRow& row : mInlineRows) {
        CLayoutProgram rowStart = mRemaining[startAlong];
        if (alignAlong >= 0) {
            rowStart.words(mRemaining[sizeAlong]).node(row.rowLength).op(opSub);
            if (alignAlong == 0)
                rowStart.op(opHalf);
            rowStart.op(opAdd);
        }
        const CViewArea* prev = nullptr;
        for (int i = row.firstChild; i <= row.lastChild; ++i) {
            CViewArea* c = mChildren[i];
            if (!c->mIsShown || c->mPlacement != kPlaceInline)
                continue;
            const std::int32_t* n = c->mVarNodes;
            for (int k = 0; k < 4; ++k)
                mSolver->setProgram(n[vPlaceX + k], mRemaining[k]);
            mSolver->setProgram(n[vRefWidth], snapWidth);
            mSolver->setProgram(n[vRefHeight], snapHeight);
            pos.clear();
            if (prev == nullptr)
                pos.words(rowStart);
            else
                pos.node(prev->mVarNodes[posAlong]).node(prev->mVarNodes[along.size]).op(opAdd)
                    .node(prev->mVarNodes[along.outerEnd]).op(opAdd);
            pos.node(n[along.outerStart]).op(opAdd).op(opRound);
            mSolver->setProgram(n[posAlong], pos);
            pos.clear();
            pos.words(mRemaining[startAcross]).node(n[across.outerStart]).op(opAdd);
            emitAlignment(pos, row.rowThickness, n[across.size], n[across.outerStart], n[across.outerEnd],
                          sign(columns ? c->mAlignmentH : c->mAlignmentV));
            mSolver->setProgram(n[posAcross], pos.op(opRound));
            prev = c;
        }
        if (prev == nullptr)
            continue;
        mRemaining[startAcross].clear();
        mRemaining[startAcross].node(prev->mVarNodes[vPlaceX + startAcross]).node(row.rowThickness).op(opAdd);
        mRemaining[sizeAcross].clear();
        mRemaining[sizeAcross].node(prev->mVarNodes[vPlaceX + sizeAcross]).node(row.rowThickness).op(opSub);
    }
}

void CViewArea::overlayPass() {
    for (CViewArea* c : mChildren) {
        const int code = c->mPlacement;
        if (!c->mIsShown || code < kPlaceOverlay || code > kPlaceScrollerP)
            continue;
        const std::int32_t* n = c->mVarNodes;
        CLayoutProgram place[4];
        const CViewArea* box = code == kPlaceWindowOverlay || code == kPlaceMatch ? mRoot : this;
        for (int k = 0; k < 4; ++k) {
            if (code == kPlaceOverlay)
                place[k] = mRemaining[k];
            else
                place[k].node(box->mVarNodes[vX + k]);
        }
        if (code == kPlaceScrollerH)
            place[2].node(mVarNodes[vScrollerWidth]).op(opSub);
        if (code == kPlaceScrollerV)
            place[3].node(mVarNodes[vScrollerHeight]).op(opSub);
        for (int k = 0; k < 4; ++k)
            mSolver->setProgram(n[vPlaceX + k], place[k]);
        CLayoutProgram p;
        mSolver->setProgram(n[vRefWidth], p.node(n[vPlaceWidth]));
        p.clear();
        mSolver->setProgram(n[vRefHeight], p.node(n[vPlaceHeight]));
        CLayoutProgram x, y;
        switch (code) {
        case kPlaceOverlay:
        case kPlaceWindowOverlay:
            x.node(n[vPlaceX]).node(n[vOuterLeft]).op(opAdd);
            y.node(n[vPlaceY]).node(n[vOuterTop]).op(opAdd);
            break;
        case kPlaceMatch: {
            const CViewArea* m = c->mMatchTarget;
            if (m == nullptr)
                continue;
            x.node(m->mVarNodes[vX]);
            y.node(m->mVarNodes[vY]);
            CLayoutProgram size;
            mSolver->setProgram(n[vWidth], size.node(m->mVarNodes[vWidth]));
            size.clear();
            mSolver->setProgram(n[vHeight], size.node(m->mVarNodes[vHeight]));
            break;
        }
        case kPlaceScrollerH:
            x.node(n[vPlaceX]);
            y.node(n[vPlaceY]).node(n[vPlaceHeight]).op(opAdd).node(n[vHeight]).op(opSub);
            break;
        case kPlaceScrollerV:
            x.node(n[vPlaceX]).node(n[vPlaceWidth]).op(opAdd).node(n[vWidth]).op(opSub);
            y.node(n[vPlaceY]);
            break;
        default:
            x.node(n[vPlaceX]).node(n[vPlaceWidth]).op(opAdd).node(n[vWidth]).op(opSub);
            y.node(n[vPlaceY]).node(n[vPlaceHeight]).op(opAdd).node(n[vHeight]).op(opSub);
            break;
        }
        mSolver->setProgram(n[vX], x);
        mSolver->setProgram(n[vY], y);
    }
}

// --- rectangles ---

// The changed batch is worked from the front; an entry that leaves it out of turn leaves an empty
// slot instead of moving every entry after it.
void CViewArea::leaveChangedBatch() noexcept {
    if (mChangedBatch != nullptr)
        (*mChangedBatch)[mChangedIndex] = nullptr;
    mChangedBatch = nullptr;
}

CError* CViewArea::updateRects() {
    leaveChangedBatch();
    if (!mIsShown) {
        mTotalRect = CAreaRect{};
        if (mOwner == nullptr)
            return nullptr;
        return traceError(mOwner->handleViewAreaUpdate(CAreaRect{}, CAreaRect{}));
    }
    CAreaRect k, t;
    for (int attempt = 0; attempt < 2; ++attempt) {
        k = t = CAreaRect{value(vX), value(vY), value(vWidth), value(vHeight)};
        if (mIsScrollable) {
            k.width = t.width - value(vScrollerWidth);
            k.height = t.height - value(vScrollerHeight);
            t.width = k.width / value(vRatioX);
            t.height = k.height / value(vRatioY);
            t.x = k.x - value(vOffsetX) * t.width;
            t.y = k.y - value(vOffsetY) * t.height;
        }
        const double s = windowScale();
        const double left = roundHalfAway(mSpread[1] * s), top = roundHalfAway(mSpread[3] * s);
        const double right = roundHalfAway(mSpread[2] * s), bottom = roundHalfAway(mSpread[0] * s);
        for (CAreaRect* r : {&k, &t}) {
            if (r->isEmpty())
                continue;
            r->x -= left;
            r->y -= top;
            r->width += left + right;
            r->height += top + bottom;
        }
        bool repeat = false;
        if (mUnclipLevel == -1) {
            if (CError* err = clipToScrollAncestors(k, repeat))
                return traceError(err);
        } else if (mUnclipLevel == -2) {
            if (!k.isEmpty())
                intersect(k, mRoot->mClipRect);
        } else if (CError* err = clipFromLevel(k, mUnclipLevel, repeat)) {
            return traceError(err);
        }
        if (!repeat)
            break;
    }
    if (!rectsDiffer(k, mClipRect) && !rectsDiffer(t, mTotalRect) && !mIsForceReport)
        return nullptr;
    mClipRect = k;
    mTotalRect = t;
    mIsForceReport = false;
    if (mOwner != nullptr)
        if (CError* err = mOwner->handleViewAreaUpdate(mTotalRect, mClipRect))
            return traceError(err);
    mSolver->requestRedraw(this);
    return nullptr;
}

// When the parent still waits in a changed batch, its rectangles are recomputed first.
CError* CViewArea::updateAncestorFirst(CViewArea* p, bool& repeat) {
    if (p->mChangedBatch == nullptr)
        return nullptr;
    if (CError* err = p->updateRects())
        return traceError(err);
    repeat = true;
    return nullptr;
}

// Limits k by the content box and the clip rectangle of the parent p of x; an area in a scroller
// strip of a scrolling parent may draw over the strips and is not limited by the content box.
void CViewArea::intersectWithBox(const CViewArea* x, const CViewArea* p, CAreaRect& k) const {
    CAreaRect e = p->mClipRect;
    if (x->mIsInScrollerStrip && p->mIsScrollable) {
        e.width += p->value(vScrollerWidth);
        e.height += p->value(vScrollerHeight);
        if (!k.isEmpty())
            intersect(k, e);
        return;
    }
    CAreaRect d = p->mTotalRect;
    if (x->mPlacement != kPlaceOverlay) {
        d.x += p->value(vInnerLeft);
        d.y += p->value(vInnerTop);
        d.width -= p->value(vInnerLeft) + p->value(vInnerRight);
        d.height -= p->value(vInnerTop) + p->value(vInnerBottom);
    }
    if (!k.isEmpty())
        intersect(k, d);
    if (!k.isEmpty())
        intersect(k, e);
}

CError* CViewArea::clipToScrollAncestors(CAreaRect& k, bool& repeat) {
    for (const CViewArea* x = this;;) {
        if (x->mPlacement == kPlaceWindowOverlay) {
            if (!k.isEmpty())
                intersect(k, x->mRoot->mClipRect);
            return nullptr;
        }
        CViewArea* p = x->mParent;
        if (p == nullptr)
            return nullptr;
        if (CError* err = updateAncestorFirst(p, repeat))
            return traceError(err);
        if (!p->mIsShown)
            return nullptr;
        if (p->mIsScrollable)
            intersectWithBox(x, p, k);
        x = p;
    }
}

CError* CViewArea::clipFromLevel(CAreaRect& k, int level, bool& repeat) {
    for (const CViewArea* x = this;; --level) {
        if (x->mPlacement == kPlaceWindowOverlay) {
            if (!k.isEmpty())
                intersect(k, x->mRoot->mClipRect);
            return nullptr;
        }
        CViewArea* p = x->mParent;
        if (p == nullptr)
            return nullptr;
        if (CError* err = updateAncestorFirst(p, repeat))
            return traceError(err);
        if (!p->mIsShown) {
            if (level <= 0)
                k = CAreaRect{};
            return nullptr;
        }
        if (level <= 0)
            intersectWithBox(x, p, k);
        x = p;
    }
}

// --- layout pass ---

void CViewArea::resetRemaining(bool withInnerBorder) {
    for (CLayoutProgram& p : mRemaining)
        p.clear();
    const std::int32_t* n = mVarNodes;
    CLayoutProgram& rx = mRemaining[0];
    CLayoutProgram& ry = mRemaining[1];
    CLayoutProgram& rw = mRemaining[2];
    CLayoutProgram& rh = mRemaining[3];
    if (!mIsScrollable) {
        rx.node(n[vX]);
        ry.node(n[vY]);
        rw.node(n[vWidth]);
        rh.node(n[vHeight]);
        if (withInnerBorder) {
            rx.node(n[vInnerLeft]).op(opAdd);
            ry.node(n[vInnerTop]).op(opAdd);
            rw.node(n[vInnerLeft]).op(opSub).node(n[vInnerRight]).op(opSub);
            rh.node(n[vInnerTop]).op(opSub).node(n[vInnerBottom]).op(opSub);
        }
        for (CLayoutProgram& p : mRemaining)
            p.op(opRound);
        return;
    }
    // The scrolled content: (size - scroller) / ratio wide, starting offset * that before x.
    rx.node(n[vX]).node(n[vOffsetX]).node(n[vWidth]).node(n[vScrollerWidth]).op(opSub).op(opMul).node(n[vRatioX]).op(opDiv).op(opSub);
    ry.node(n[vY]).node(n[vOffsetY]).node(n[vHeight]).node(n[vScrollerHeight]).op(opSub).op(opMul).node(n[vRatioY]).op(opDiv).op(opSub);
    rw.node(n[vWidth]).node(n[vScrollerWidth]).op(opSub).node(n[vRatioX]).op(opDiv);
    rh.node(n[vHeight]).node(n[vScrollerHeight]).op(opSub).node(n[vRatioY]).op(opDiv);
    if (withInnerBorder) {
        rx.node(n[vInnerLeft]).op(opAdd);
        ry.node(n[vInnerTop]).op(opAdd);
        rw.node(n[vInnerLeft]).op(opSub).node(n[vInnerRight]).op(opSub);
        rh.node(n[vInnerTop]).op(opSub).node(n[vInnerBottom]).op(opSub);
    }
}

void CViewArea::resetChildPlacements() {
    static constexpr int kPlacementVars[] = {vX, vY, vPlaceX, vPlaceY, vPlaceWidth, vPlaceHeight, vRefWidth, vRefHeight};
    for (CViewArea* c : mChildren) {
        for (int v : kPlacementVars)
            mSolver->clearProgram(c->mVarNodes[v]);
        mSolver->markChanged(c);
    }
}

void CViewArea::rebuild() {
    buildInlineRows();
    if (mIsAutoCompactWidth)
        updateCompactWidth();
    if (mIsAutoCompactHeight)
        updateCompactHeight();
    int placed = 0;
    for (const CViewArea* c : mChildren)
        if (c->mIsShown && c->mPlacement >= kPlaceInline && c->mPlacement <= kPlaceRight)
            ++placed;
    mSolver->setConstant(mVarNodes[vPlacedCount], double(placed));
    resetRemaining(true);
    resetChildPlacements();
    edgePass();
    inlinePass();
    resetRemaining(false);
    overlayPass();
}

CError* CViewArea::updateLayout() { return traceError(processPending()); }

// Access to the batch markers for the helpers below.
struct CViewAreaPass {
    static void leaveChanged(CViewArea* a) { a->leaveChangedBatch(); }
    static void enterChanged(CViewArea* a, CLayoutAreaList* batch, int index) {
        a->mChangedBatch = batch;
        a->mChangedIndex = index;
    }
    static CLayoutAreaList*& rebuildMarker(CViewArea* a) { return a->mRebuildBatch; }
    static CLayoutAreaList*& contentMarker(CViewArea* a) { return a->mContentBatch; }
    static void requeueChanged(CViewArea* a) { a->mSolver->markChanged(a); }
    static void requeueContent(CViewArea* a) { a->mSolver->requestContentUpdate(a); }
};

namespace {

// Detaches a pending list as a batch (null when absent or empty) and points every entry's marker at
// it. An entry still waiting in a batch of an outer pass leaves that one: it is handled here.
CLayoutAreaList* takeBatch(CLayoutAreaList* list, CLayoutAreaList*& (*marker)(CViewArea*)) {
    if (list == nullptr)
        return nullptr;
    if (list->isEmpty()) {
        delete list;
        return nullptr;
    }
    for (CViewArea* a : *list) {
        CLayoutAreaList*& m = marker(a);
        if (m != nullptr && m != list)
            m->remove(a);
        m = list;
    }
    return list;
}

// The same for the changed batch, whose entries also remember their slot; an entry taken over from
// an outer pass's changed batch leaves an empty slot there.
CLayoutAreaList* takeChangedBatch(CLayoutAreaList* list) {
    if (list == nullptr)
        return nullptr;
    if (list->isEmpty()) {
        delete list;
        return nullptr;
    }
    for (int i = 0; i < list->count(); ++i) {
        CViewArea* a = (*list)[i];
        CViewAreaPass::leaveChanged(a);
        CViewAreaPass::enterChanged(a, list, i);
    }
    return list;
}

// Ends a batch: entries still waiting lose their markers and go back to the solver's list (through
// requeue), so nothing points at the freed batch and their work is not lost.
void dropBatch(CLayoutAreaList* batch, CLayoutAreaList*& (*marker)(CViewArea*), void (*requeue)(CViewArea*)) {
    if (batch == nullptr)
        return;
    for (CViewArea* a : *batch) {
        marker(a) = nullptr;
        requeue(a);
    }
    delete batch;
}

// The same for the changed batch from its first waiting entry on, skipping the empty slots.
void dropChangedBatch(CLayoutAreaList* batch, int head) {
    for (int i = head; i < batch->count(); ++i) {
        if (CViewArea* a = (*batch)[i]) {
            CViewAreaPass::leaveChanged(a);
            CViewAreaPass::requeueChanged(a);
        }
    }
    delete batch;
}

} // namespace


CError* CViewArea::processPending() {
    CLayoutSolver* solver = mSolver;
    for (int cycle = 0; cycle < kMaxPassCycles; ++cycle) {
        // Rebuilds, last queued first.
        if (CLayoutAreaList* batch = takeBatch(solver->takeRebuildList(), &CViewAreaPass::rebuildMarker)) {
            while (!batch->isEmpty()) {
                CViewArea* a = batch->last();
                batch->removeAt(batch->count() - 1);
                a->mRebuildBatch = nullptr;
                a->rebuild();
            }
            delete batch;
        }
        // Rectangles, first queued first; ancestors may be taken out of turn.
        CLayoutAreaList* changed = takeChangedBatch(solver->takeChangedList());
        if (changed != nullptr) {
            for (int head = 0; head < changed->count(); ++head) {
                CViewArea* a = (*changed)[head];
                if (a == nullptr)
                    continue;   // recomputed out of turn, taken over by a nested pass, or destroyed
                if (CError* err = a->updateRects()) {
                    dropChangedBatch(changed, head);
                    return traceError(err);
                }
            }
            delete changed;
            if (solver->changedList() != nullptr && !solver->changedList()->isEmpty())
                continue;   // the reports changed variables: another cycle before any content update
        }
        // Content updates, last queued first.
        CLayoutAreaList* content = takeBatch(solver->takeContentUpdateList(), &CViewAreaPass::contentMarker);
        if (content == nullptr)
            return nullptr;
        while (!content->isEmpty()) {
            CViewArea* a = content->last();
            content->removeAt(content->count() - 1);
            a->mContentBatch = nullptr;
            CError* err = a->mOwner != nullptr ? a->mOwner->updateContent() : nullptr;
            if (err != nullptr) {
                dropBatch(content, &CViewAreaPass::contentMarker, &CViewAreaPass::requeueContent);
                return traceError(err);
            }
        }
        delete content;
    }
    char line[96];
    std::snprintf(line, sizeof line, "Layout pass stopped after %i cycles: the layout keeps changing", kMaxPassCycles);
    writeLog(line, true);
    return nullptr;
}

} // namespace tal
