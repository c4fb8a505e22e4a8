#include "UI/CLayoutSolver.h"

#include "Core/Log.h"
#include "UI/CViewArea.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

namespace tal {

namespace {

constexpr double kChangeTolerance = 2.2204461e-16;
constexpr double kPoolTolerance = 1e-4;
constexpr double kMaxNFloor = -1e20;

double roundHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

} // namespace

CLayoutSolver::~CLayoutSolver() {
    for (CLayoutNode* chunk : mChunks) {
        for (int i = 0; i < kChunkNodes; ++i)
            chunk[i].~CLayoutNode();
        poolFree(chunk);
    }
    for (double* values : mValueChunks)
        poolFree(values);
    delete mRebuildList;
    delete mContentUpdateList;
    delete mRedrawList;
    delete mChangedList;
}

bool CLayoutSolver::differs(double u, double v) noexcept {
    return std::fabs(u - v) > (std::fabs(u) + std::fabs(v)) * kChangeTolerance;
}

// --- nodes ---

void CLayoutSolver::reserveNodes(std::int32_t count) {
    const int chunks = int((std::int64_t(count) + kChunkNodes - 1) / kChunkNodes);
    while (mChunks.count() > chunks) {
        CLayoutNode* chunk = mChunks.last();
        for (int i = 0; i < kChunkNodes; ++i)
            chunk[i].~CLayoutNode();
        poolFree(chunk);
        mChunks.removeAt(mChunks.count() - 1);
        poolFree(mValueChunks.last());
        mValueChunks.removeAt(mValueChunks.count() - 1);
    }
    while (mChunks.count() < chunks) {
        auto* chunk = static_cast<CLayoutNode*>(poolAlloc(sizeof(CLayoutNode) * kChunkNodes));
        for (int i = 0; i < kChunkNodes; ++i)
            new (chunk + i) CLayoutNode();
        mChunks.add(chunk);
        auto* values = static_cast<double*>(poolAlloc(sizeof(double) * kChunkNodes));
        for (int i = 0; i < kChunkNodes; ++i)
            values[i] = 0.0;
        mValueChunks.add(values);
    }
    mNodeCapacity = mChunks.count() * kChunkNodes;
}

std::int32_t CLayoutSolver::allocNode(CViewArea* owner, double** valueAddress) {
    if (mFreeHead == -1) {
        const std::int32_t first = mNodeCapacity;
        reserveNodes(first + 1);
        for (std::int32_t n = first; n < mNodeCapacity; ++n)
            node(n).nextFree = n + 1 < mNodeCapacity ? n + 1 : -1;
        mFreeHead = first;
    }
    const std::int32_t n = mFreeHead;
    CLayoutNode& nd = node(n);
    mFreeHead = nd.nextFree;
    valueRef(n) = 0.0;
    nd.owner = owner;
    nd.program.release();
    nd.dependents.release();
    ++mGraphVersion;
    nd.nextFree = -1;
    if (valueAddress != nullptr)
        *valueAddress = &valueRef(n);
    return n;
}

void CLayoutSolver::freeNode(std::int32_t n) {
    CLayoutNode& nd = node(n);
    // Its readers become constants; they leave the lists of their other inputs too, so a node is
    // listed as a dependent exactly while its program reads the listing node.
    const CArray<std::int32_t> readers = [&] {
        CArray<std::int32_t> r;
        for (int i = 0; i < nd.dependents.count(); ++i)
            r.add(nd.dependents[i]);
        return r;
    }();
    for (std::int32_t d : readers) {
        if (d == n || !isNodeIndex(d))
            continue;
        unlinkDependencies(d);
        node(d).program.clear();
    }
    unlinkDependencies(n);
    nd.program.release();
    nd.dependents.release();
    ++mGraphVersion;
    valueRef(n) = 0.0;
    nd.owner = nullptr;
    nd.nextFree = mFreeHead;
    mFreeHead = n;
}

// --- values and programs ---

std::int32_t CLayoutSolver::addConstant(double v) {
    for (int i = 0; i < mConstants.count(); ++i) {
        const double e = mConstants[i];
        if (std::fabs(e - v) <= (std::fabs(e) + std::fabs(v)) * kPoolTolerance)
            return i;
    }
    mConstants.add(v);
    return mConstants.count() - 1;
}

void CLayoutSolver::linkDependencies(std::int32_t n) {
    const CLayoutProgram& p = node(n).program;
    for (int i = 0; i < p.count(); ++i) {
        if (p[i] == opConst) {
            ++i;
        } else if (p[i] == opNode && i + 1 < p.count()) {
            const std::int32_t m = p[++i];
            // Linked in one go, a node read twice by the program is already last in the list.
            if (isNodeIndex(m) && (node(m).dependents.isEmpty() || node(m).dependents[node(m).dependents.count() - 1] != n)) {
                node(m).dependents.add(n);
                ++mGraphVersion;
            }
        }
    }
}

void CLayoutSolver::unlinkDependencies(std::int32_t n) {
    const CLayoutProgram& p = node(n).program;
    for (int i = 0; i < p.count(); ++i) {
        if (p[i] == opConst) {
            ++i;
        } else if (p[i] == opNode && i + 1 < p.count()) {
            const std::int32_t m = p[++i];
            if (isNodeIndex(m) && node(m).dependents.removeLastOccurrence(n))
                ++mGraphVersion;
        }
    }
}

bool CLayoutSolver::isValidProgram(const CLayoutProgram& p) const {
    int depth = 0;
    bool lastWasConst = false;
    double lastConst = 0.0;
    for (int i = 0; i < p.count(); ++i) {
        const std::int32_t w = p[i];
        const bool isConst = w == opConst;
        switch (w) {
        case opConst:
        case opNode: {
            if (i + 1 >= p.count())
                return false;
            const std::int32_t operand = p[++i];
            if (isConst) {
                if (operand < 0 || operand >= mConstants.count())
                    return false;
                lastConst = mConstants[operand];
            } else if (!isNodeIndex(operand)) {
                return false;
            }
            if (++depth > kStackSize)
                return false;
            break;
        }
        case opHalf:
        case opFloor:
        case opRound:
            if (depth < 1)
                return false;
            break;
        case opDiv:
        case opMax:
        case opMin:
        case opSub:
        case opMul:
        case opAdd:
            if (depth < 2)
                return false;
            --depth;
            break;
        case opDivOr:
        case opClamp:
            if (depth < 3)
                return false;
            depth -= 2;
            break;
        case opMaxN: {
            // The count must be a constant pushed just before, so the depth is known here.
            if (!lastWasConst)
                return false;
            const double count = roundHalfAway(lastConst);
            if (!(count >= 0.0) || count + 1.0 > double(depth))
                return false;
            depth -= int(count);
            break;
        }
        default:
            break;   // unknown words are one-word instructions without effect
        }
        lastWasConst = isConst;
    }
    return true;
}

bool CLayoutSolver::run(const CLayoutProgram& p, double& result) {
    double* s = mStack;
    int sp = 0;   // number of values on the stack
    const std::int32_t* w = p.data();
    const int count = p.count();
    for (int i = 0; i < count; ++i) {
        switch (w[i]) {
        case opConst: s[sp++] = mConstants[w[++i]]; break;
        case opNode: s[sp++] = valueRef(w[++i]); break;
        case opDiv: --sp; s[sp - 1] = s[sp - 1] / s[sp]; break;
        case opDivOr: {
            sp -= 2;
            const double y = s[sp];
            if (std::fabs(y) > std::fabs(y) * 1e-4)
                s[sp - 1] = s[sp - 1] / y;
            else
                s[sp - 1] = s[sp + 1];
            break;
        }
        case opHalf: s[sp - 1] *= 0.5; break;
        case opFloor: s[sp - 1] = std::floor(s[sp - 1]); break;
        case opMax: --sp; s[sp - 1] = s[sp - 1] > s[sp] ? s[sp - 1] : s[sp]; break;
        case opMaxN: {
            const double rounded = roundHalfAway(s[--sp]);
            const int n = rounded > 0.0 ? int(rounded) : 0;
            if (n > sp)
                return false;
            double m = n == 0 ? 0.0 : kMaxNFloor;
            for (int k = sp - n; k < sp; ++k)
                if (s[k] > m)
                    m = s[k];
            sp -= n;
            s[sp++] = m;
            break;
        }
        case opMin: --sp; s[sp - 1] = s[sp - 1] < s[sp] ? s[sp - 1] : s[sp]; break;
        case opClamp: {
            sp -= 2;
            const double lo = s[sp], hi = s[sp + 1];
            const double m = lo > s[sp - 1] ? lo : s[sp - 1];
            s[sp - 1] = m < hi ? m : hi;
            break;
        }
        case opSub: --sp; s[sp - 1] = s[sp - 1] - s[sp]; break;
        case opMul: --sp; s[sp - 1] = s[sp - 1] * s[sp]; break;
        case opAdd: --sp; s[sp - 1] = s[sp - 1] + s[sp]; break;
        case opRound: s[sp - 1] = roundHalfAway(s[sp - 1]); break;
        default: break;
        }
    }
    if (sp != 1)
        return false;
    result = s[0];
    return true;
}

void CLayoutSolver::setProgram(std::int32_t n, const CLayoutProgram& program) {
    CLayoutNode& nd = node(n);
    if (!nd.program.isEmpty() && nd.program.equals(program.data(), program.count()))
        return;
    // A program reading the same nodes in the same order (a new constant, another operation) keeps
    // the links, and with them the kept evaluation orders.
    if (!nd.program.isEmpty() && readsSameNodes(nd.program, program) && isValidProgram(program)) {
        nd.program.assign(program.data(), program.count());
        evaluate(n, 0);
        return;
    }
    unlinkDependencies(n);
    if (!isValidProgram(program)) {
        nd.program.clear();
        char line[128];
        std::snprintf(line, sizeof line, "Invalid layout program refused (node %i, %i words)", int(n), program.count());
        writeLog(line, true);
        return;
    }
    nd.program.assign(program.data(), program.count());
    linkDependencies(n);
    evaluate(n, 0);
}

bool CLayoutSolver::readsSameNodes(const CLayoutProgram& a, const CLayoutProgram& b) {
    int i = 0, k = 0;
    for (;;) {
        while (i < a.count() && a[i] != opNode)
            i += a[i] == opConst ? 2 : 1;
        while (k < b.count() && b[k] != opNode)
            k += b[k] == opConst ? 2 : 1;
        const bool endA = i + 1 >= a.count(), endB = k + 1 >= b.count();
        if (endA || endB)
            return endA && endB;
        if (a[i + 1] != b[k + 1])
            return false;
        i += 2;
        k += 2;
    }
}

void CLayoutSolver::clearProgram(std::int32_t n) {
    unlinkDependencies(n);
    node(n).program.clear();
}

void CLayoutSolver::setConstant(std::int32_t n, double v) {
    clearProgram(n);
    double& stored = valueRef(n);
    if (!differs(stored, v))
        return;
    stored = v;
    propagate(n, 0);
}

void CLayoutSolver::evaluate(std::int32_t n, int level) {
    const CLayoutNode& nd = node(n);
    if (nd.program.isEmpty())
        return;
    double v = 0.0;
    if (run(nd.program, v))
        setValue(n, level + 1, v);
}

void CLayoutSolver::setValue(std::int32_t n, int level, double v) {
    double& stored = valueRef(n);
    if (!differs(stored, v))
        return;
    if (level >= kLevelLimit) {
        char line[64];
        std::snprintf(line, sizeof line, "Too many recursions (level %i)", level);
        writeLog(line, true);
        return;
    }
    stored = v;
    propagate(n, level);
}

// Outside a cycle every node reached from n is evaluated once, after all of its inputs that are
// themselves reached (Kahn's order over the reached part of the graph), and only when one of its
// inputs changed. Nodes left waiting belong to a cycle or lie below one; they are evaluated depth
// first with the level count, which ends a cycle that does not settle at the level limit.
// The order found for a source that reaches many nodes (the window scale reaches nearly all) is kept
// until the links change, so the next change of that source skips the search.
void CLayoutSolver::propagate(std::int32_t n, int level) {
    if (mIsPropagating) {
        for (int i = 0; i < node(n).dependents.count(); ++i) {
            const std::int32_t d = node(n).dependents[i];
            if (isNodeIndex(d))
                evaluate(d, level);
        }
        markChanged(node(n).owner);
        return;
    }
    mIsPropagating = true;
    if (++mEpoch == 0)
        ++mEpoch;
    mChangedNodes.clear();
    mChangedNodes.add(n);
    if (!propagateInKeptOrder(n))
        propagateInFoundOrder(n, level);
    mIsPropagating = false;
    for (int i = mChangedNodes.count() - 1; i >= 0; --i)
        markChanged(node(mChangedNodes[i]).owner);
}

bool CLayoutSolver::propagateInKeptOrder(std::int32_t n) {
    const CPropagationOrder* kept = nullptr;
    for (const CPropagationOrder& o : mKeptOrders)
        if (o.source == n && o.graphVersion == mGraphVersion)
            kept = &o;
    if (kept == nullptr)
        return false;
    markDependents(n);
    for (std::int32_t u : kept->order) {
        CLayoutNode& nd = node(u);
        if (nd.changedEpoch != mEpoch)
            continue;
        double v = 0.0;
        double& stored = valueRef(u);
        if (!nd.program.isEmpty() && run(nd.program, v) && differs(stored, v)) {
            stored = v;
            mChangedNodes.add(u);
            markDependents(u);
        }
    }
    return true;
}

void CLayoutSolver::markDependents(std::int32_t u) {
    const CLayoutWords<3>& deps = node(u).dependents;
    for (int i = 0; i < deps.count(); ++i)
        if (isNodeIndex(deps[i]))
            node(deps[i]).changedEpoch = mEpoch;
}

void CLayoutSolver::propagateInFoundOrder(std::int32_t n, int level) {
    CLayoutNode& source = node(n);
    source.visitEpoch = mEpoch;
    source.pendingInputs = 0;
    mReached.clear();
    mWork.clear();
    touchDependents(n);
    while (!mWork.isEmpty()) {
        const std::int32_t u = mWork.last();
        mWork.removeAt(mWork.count() - 1);
        touchDependents(u);
    }

    releaseDependents(n, true, n);
    for (int i = 0; i < mWork.count(); ++i) {
        const std::int32_t u = mWork[i];
        CLayoutNode& nd = node(u);
        bool changed = false;
        double v = 0.0;
        double& stored = valueRef(u);
        if (nd.changedEpoch == mEpoch && !nd.program.isEmpty() && run(nd.program, v) && differs(stored, v)) {
            stored = v;
            changed = true;
            mChangedNodes.add(u);
        }
        releaseDependents(u, changed, n);
    }

    // What is left waits on a cycle: the source fed back to itself, or nodes that never got ready.
    const bool isAcyclic = source.changedEpoch != mEpoch && mWork.count() == mReached.count();
    if (isAcyclic && mWork.count() >= kKeptOrderMinimum) {
        CPropagationOrder& slot = mKeptOrders[mNextKeptOrder];
        mNextKeptOrder = (mNextKeptOrder + 1) % kKeptOrderCount;
        slot.source = n;
        slot.graphVersion = mGraphVersion;
        slot.order = mWork;
    }
    mWork.clear();
    if (isAcyclic)
        return;
    if (source.changedEpoch == mEpoch) {
        source.changedEpoch = 0;
        evaluate(n, level);
    }
    for (int i = 0; i < mReached.count(); ++i) {
        CLayoutNode& nd = node(mReached[i]);
        if (nd.pendingInputs > 0 && nd.changedEpoch == mEpoch) {
            nd.changedEpoch = 0;
            evaluate(mReached[i], level);
        }
    }
}

void CLayoutSolver::touchDependents(std::int32_t u) {
    const CLayoutWords<3>& deps = node(u).dependents;
    for (int i = 0; i < deps.count(); ++i) {
        const std::int32_t d = deps[i];
        if (!isNodeIndex(d))
            continue;
        CLayoutNode& nd = node(d);
        if (nd.visitEpoch != mEpoch) {
            nd.visitEpoch = mEpoch;
            nd.pendingInputs = 0;
            mReached.add(d);
            mWork.add(d);
        }
        ++nd.pendingInputs;
    }
}

// mWork doubles as the ready queue here: nodes whose inputs are all final are appended to it.
void CLayoutSolver::releaseDependents(std::int32_t u, bool changed, std::int32_t source) {
    const CLayoutWords<3>& deps = node(u).dependents;
    for (int i = 0; i < deps.count(); ++i) {
        const std::int32_t d = deps[i];
        if (!isNodeIndex(d))
            continue;
        CLayoutNode& nd = node(d);
        if (changed)
            nd.changedEpoch = mEpoch;
        if (--nd.pendingInputs == 0 && d != source)
            mWork.add(d);
    }
}

// --- pending lists ---

void CLayoutSolver::addToList(CLayoutAreaList*& list, CViewArea* area, std::uint8_t bit) {
    if (area == nullptr || (area->mQueuedIn & bit) != 0)
        return;
    if (list == nullptr)
        list = new CLayoutAreaList();
    list->add(area);
    area->mQueuedIn |= bit;
}

CLayoutAreaList* CLayoutSolver::take(CLayoutAreaList*& list, std::uint8_t bit) noexcept {
    CLayoutAreaList* taken = list;
    list = nullptr;
    if (taken != nullptr)
        for (CViewArea* a : *taken)
            a->mQueuedIn &= std::uint8_t(~bit);
    return taken;
}

void CLayoutSolver::forgetOwner(CViewArea* area) {
    const std::pair<CLayoutAreaList*, std::uint8_t> lists[] = {
        {mRebuildList, kInRebuild}, {mContentUpdateList, kInContentUpdate}, {mRedrawList, kInRedraw}, {mChangedList, kInChanged}};
    for (const auto& [list, bit] : lists)
        if ((area->mQueuedIn & bit) != 0 && list != nullptr)
            list->remove(area);
    area->mQueuedIn = 0;
}

} // namespace tal
