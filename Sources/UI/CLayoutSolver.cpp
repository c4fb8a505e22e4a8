#include "UI/CLayoutSolver.h"

#include "Core/Log.h"
#include "UI/CViewArea.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace tal {

namespace {

constexpr double kPoolTolerance = 1e-4;
constexpr double kMaxNFloor = -1e20;

double roundHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

// Steps of compiled programs. A program keeps its running value (the top of its stack) in a register;
// an operation whose right operand is a node or a constant reads it straight from the step.
enum EStepOp : std::int32_t {
    kStepRun,                                   // not compiled: run the node's own program
    kStepLoadNode, kStepLoadConst,              // start with the operand
    kStepPushNode, kStepPushConst,              // push the running value, start anew
    kStepAddNode, kStepSubNode, kStepMulNode, kStepDivNode, kStepMaxNode, kStepMinNode,
    kStepAddConst, kStepSubConst, kStepMulConst, kStepDivConst, kStepMaxConst, kStepMinConst,
    kStepAdd, kStepSub, kStepMul, kStepDiv, kStepMax, kStepMin,   // with the value below on the stack
    kStepClampNodes, kStepDivOrNodes,          // limits, or divisor and fallback, from two nodes
    kStepClamp, kStepDivOr,                     // all three values on the stack
    kStepHalf, kStepFloor, kStepRound
};

// An operand of the program being compiled: a node or constant not yet loaded, or a value computed
// at run time (the running value or one on the stack).
struct CPendingOperand {
    bool isLoaded = false;
    bool isConst = false;
    const double* node = nullptr;
    double constant = 0.0;
};

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
        forgetKeptOrdersOf(n);
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
    mChangedOwners.clear();
    mChangedOwners.add(node(n).owner);
    if (!propagateInKeptOrder(n))
        propagateInFoundOrder(n, level);
    mIsPropagating = false;
    // Neighbours in the list mostly share their owner; each owner is listed once anyway.
    CViewArea* last = nullptr;
    for (int i = mChangedOwners.count() - 1; i >= 0; --i) {
        CViewArea* owner = mChangedOwners[i];
        if (owner != last)
            markChanged(owner);
        last = owner;
    }
}

bool CLayoutSolver::propagateInKeptOrder(std::int32_t n) {
    CPropagationOrder* kept = nullptr;
    for (CPropagationOrder& o : mKeptOrders)
        if (o.source == n && o.graphVersion == mGraphVersion)
            kept = &o;
    if (kept == nullptr)
        return false;
    const int count = kept->order.count();
    std::uint8_t* dirty = kept->dirty.begin();
    std::memset(dirty, 0, std::size_t(count));
    for (std::int32_t place : kept->sourceReaders)
        dirty[place] = 1;
    const std::int32_t* codeStart = kept->codeStart.begin();
    const std::int32_t* readerStart = kept->readerStart.begin();
    const std::int32_t* readers = kept->readers.begin();
    const CStep* code = kept->code.begin();
    for (int i = 0; i < count; ++i) {
        if (dirty[i] == 0)
            continue;
        double v = 0.0;
        const CStep* step = code + codeStart[i];
        if (step->op == kStepRun) {
            if (!run(node(kept->order[i]).program, v))
                continue;
        } else {
            v = execute(step, code + codeStart[i + 1]);
        }
        double& stored = *kept->targets[i];
        if (!differs(stored, v))
            continue;
        stored = v;
        mChangedOwners.add(kept->owners[i]);
        for (int r = readerStart[i]; r < readerStart[i + 1]; ++r)
            dirty[readers[r]] = 1;
    }
    return true;
}


// The same results as run: the same operations on the same values in the same order, without the
// dispatch of the operand loads. Programs with opMaxN, or leaving other than one value, are not
// compiled and run as they are.
void CLayoutSolver::compileInto(const CLayoutProgram& p, std::int32_t n, CArray<CStep>& code) {
    const int first = code.count();
    CPendingOperand items[kStackSize + 1];
    int depth = 0;    // operands of the compile-time stack
    int loaded = 0;   // the bottom ones that are computed values
    auto emit = [&](std::int32_t op, const CPendingOperand* a = nullptr, const CPendingOperand* b = nullptr) {
        CStep step{op, {}, {}};
        if (a != nullptr && a->isConst)
            step.a.constant = a->constant;
        else if (a != nullptr)
            step.a.node = a->node;
        if (b != nullptr)
            step.b.node = b->node;
        code.add(step);
    };
    auto load = [&](int upTo) {   // loads the pending operands below index upTo
        for (; loaded < upTo; ++loaded) {
            const CPendingOperand& o = items[loaded];
            if (loaded == 0)
                emit(o.isConst ? kStepLoadConst : kStepLoadNode, &o);
            else
                emit(o.isConst ? kStepPushConst : kStepPushNode, &o);
            items[loaded].isLoaded = true;
        }
    };
    auto fail = [&] {
        code.setCount(first);
        emit(kStepRun);
    };
    const std::int32_t* w = p.data();
    for (int i = 0; i < p.count(); ++i) {
        switch (w[i]) {
        case opConst:
        case opNode: {
            CPendingOperand& o = items[depth++];
            o.isLoaded = false;
            o.isConst = w[i] == opConst;
            if (o.isConst)
                o.constant = mConstants[w[i + 1]];
            else
                o.node = &valueRef(w[i + 1]);
            ++i;
            break;
        }
        case opHalf:
        case opFloor:
        case opRound:
            load(depth);
            emit(w[i] == opHalf ? kStepHalf : (w[i] == opFloor ? kStepFloor : kStepRound));
            break;
        case opAdd:
        case opSub:
        case opMul:
        case opDiv:
        case opMax:
        case opMin: {
            static constexpr std::int32_t kBase[] = {0, kStepDivNode, 0, 0, 0, kStepMaxNode, 0, kStepMinNode,
                                                     0, kStepSubNode, kStepMulNode, kStepAddNode};
            const std::int32_t withNode = kBase[w[i]];
            const std::int32_t withStack = withNode - kStepAddNode + kStepAdd;
            const CPendingOperand top = items[depth - 1];
            if (top.isLoaded) {
                emit(withStack);
            } else {
                load(depth - 1);
                emit(top.isConst ? withNode - kStepAddNode + kStepAddConst : withNode, &top);
            }
            --depth;
            loaded = depth;
            items[depth - 1].isLoaded = true;
            break;
        }
        case opClamp:
        case opDivOr: {
            const CPendingOperand y = items[depth - 2], z = items[depth - 1];
            if (!y.isLoaded && !z.isLoaded && !y.isConst && !z.isConst) {
                load(depth - 2);
                emit(w[i] == opClamp ? kStepClampNodes : kStepDivOrNodes, &y, &z);
            } else {
                load(depth);
                emit(w[i] == opClamp ? kStepClamp : kStepDivOr);
            }
            depth -= 2;
            loaded = depth;
            items[depth - 1].isLoaded = true;
            break;
        }
        case opMaxN:
            fail();
            return;
        default:
            break;   // unknown words do nothing
        }
    }
    if (depth != 1) {
        fail();
        return;
    }
    load(1);
    (void)n;
}

double CLayoutSolver::execute(const CStep* step, const CStep* end) {
    double* s = mStack;
    int sp = 0;   // values below the running one
    double acc = 0.0;
    for (; step != end; ++step) {
        switch (step->op) {
        case kStepLoadNode: acc = *step->a.node; break;
        case kStepLoadConst: acc = step->a.constant; break;
        case kStepPushNode: s[sp++] = acc; acc = *step->a.node; break;
        case kStepPushConst: s[sp++] = acc; acc = step->a.constant; break;
        case kStepAddNode: acc = acc + *step->a.node; break;
        case kStepSubNode: acc = acc - *step->a.node; break;
        case kStepMulNode: acc = acc * *step->a.node; break;
        case kStepDivNode: acc = acc / *step->a.node; break;
        case kStepMaxNode: { const double b = *step->a.node; acc = acc > b ? acc : b; break; }
        case kStepMinNode: { const double b = *step->a.node; acc = acc < b ? acc : b; break; }
        case kStepAddConst: acc = acc + step->a.constant; break;
        case kStepSubConst: acc = acc - step->a.constant; break;
        case kStepMulConst: acc = acc * step->a.constant; break;
        case kStepDivConst: acc = acc / step->a.constant; break;
        case kStepMaxConst: { const double b = step->a.constant; acc = acc > b ? acc : b; break; }
        case kStepMinConst: { const double b = step->a.constant; acc = acc < b ? acc : b; break; }
        case kStepAdd: acc = s[--sp] + acc; break;
        case kStepSub: acc = s[--sp] - acc; break;
        case kStepMul: acc = s[--sp] * acc; break;
        case kStepDiv: acc = s[--sp] / acc; break;
        case kStepMax: { const double a = s[--sp]; acc = a > acc ? a : acc; break; }
        case kStepMin: { const double a = s[--sp]; acc = a < acc ? a : acc; break; }
        case kStepClampNodes: {
            const double lo = *step->a.node, hi = *step->b.node;
            const double m = lo > acc ? lo : acc;
            acc = m < hi ? m : hi;
            break;
        }
        case kStepDivOrNodes: {
            const double y = *step->a.node;
            acc = std::fabs(y) > std::fabs(y) * 1e-4 ? acc / y : *step->b.node;
            break;
        }
        case kStepClamp: {
            const double hi = acc, lo = s[--sp], x = s[--sp];
            const double m = lo > x ? lo : x;
            acc = m < hi ? m : hi;
            break;
        }
        case kStepDivOr: {
            const double z = acc, y = s[--sp], x = s[--sp];
            acc = std::fabs(y) > std::fabs(y) * 1e-4 ? x / y : z;
            break;
        }
        case kStepHalf: acc *= 0.5; break;
        case kStepFloor: acc = std::floor(acc); break;
        case kStepRound: acc = roundHalfAway(acc); break;
        default: break;
        }
    }
    return acc;
}

void CLayoutSolver::forgetKeptOrdersOf(std::int32_t n) {
    const std::uint32_t in = node(n).keptIn;
    if (in == 0)
        return;
    for (int k = 0; k < kKeptOrderCount; ++k)
        if ((in & (1u << k)) != 0)
            mKeptOrders[k].source = -1;
}

// Keeps the order just found in mWork for the source: compiles its programs and lists the readers
// of each node by place. The places are noted in the nodes' pendingInputs, free after the search.
void CLayoutSolver::keepOrder(int k, std::int32_t source) {
    CPropagationOrder& slot = mKeptOrders[k];
    const std::uint32_t bit = 1u << k;
    for (std::int32_t u : slot.order)
        if (isNodeIndex(u))
            node(u).keptIn &= ~bit;
    slot.source = source;
    slot.graphVersion = mGraphVersion;
    slot.order = mWork;
    const int count = mWork.count();
    slot.targets.clear();
    slot.owners.clear();
    slot.codeStart.clear();
    slot.code.clear();
    slot.readerStart.clear();
    slot.readers.clear();
    slot.sourceReaders.clear();
    slot.dirty.setCount(count);
    for (int i = 0; i < count; ++i) {
        CLayoutNode& nd = node(mWork[i]);
        nd.pendingInputs = i;
        nd.keptIn |= bit;
    }
    auto listReaders = [&](std::int32_t u, CArray<std::int32_t>& into) {
        const CLayoutWords<3>& deps = node(u).dependents;
        for (int r = 0; r < deps.count(); ++r)
            if (isNodeIndex(deps[r]))
                into.add(node(deps[r]).pendingInputs);
    };
    listReaders(source, slot.sourceReaders);
    for (int i = 0; i < count; ++i) {
        const std::int32_t u = mWork[i];
        slot.targets.add(&valueRef(u));
        slot.owners.add(node(u).owner);
        slot.codeStart.add(slot.code.count());
        compileInto(node(u).program, u, slot.code);
        slot.readerStart.add(slot.readers.count());
        listReaders(u, slot.readers);
    }
    slot.codeStart.add(slot.code.count());
    slot.readerStart.add(slot.readers.count());
    for (int i = 0; i < count; ++i)
        node(mWork[i]).pendingInputs = 0;
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
            mChangedOwners.add(nd.owner);
        }
        releaseDependents(u, changed, n);
    }

    // What is left waits on a cycle: the source fed back to itself, or nodes that never got ready.
    const bool isAcyclic = source.changedEpoch != mEpoch && mWork.count() == mReached.count();
    if (isAcyclic && mWork.count() >= kKeptOrderMinimum) {
        keepOrder(mNextKeptOrder, n);
        mNextKeptOrder = (mNextKeptOrder + 1) % kKeptOrderCount;
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
