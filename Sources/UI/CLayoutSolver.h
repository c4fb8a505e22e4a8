#pragma once
#include "Core/CArray.h"
#include "UI/CLayoutNode.h"
#include "UI/CLayoutProgram.h"

#include <cmath>
#include <cstdint>

namespace tal {

class CViewArea;

// A list of areas waiting for work of the layout pass; each area is listed at most once.
using CLayoutAreaList = CArray<CViewArea*>;

// The expression solver under the layout of one window. Every variable of every view area is a node
// here: a constant or the result of a small postfix program over constants and other nodes. When a
// node's value changes, every node that reads it is re-evaluated at once (each one once, after all its
// inputs, however long the chain), and the areas owning changed nodes are queued on the changed list.
// A dependency cycle is evaluated depth first until it settles or is 200 levels deep, then stops with
// the log line "Too many recursions (level 201)".
// It also keeps the four pending lists through which the layout pass defers work.
// Owned by the root area of its window; UI thread only, no lock.
class CLayoutSolver {
public:
    static constexpr int kChunkShift = 11;
    static constexpr int kChunkNodes = 1 << kChunkShift;
    static constexpr int kStackSize = 256;
    static constexpr int kLevelLimit = 201;

    // --- life cycle ---
    CLayoutSolver() = default;
    ~CLayoutSolver();
    CLayoutSolver(const CLayoutSolver&) = delete;
    CLayoutSolver& operator=(const CLayoutSolver&) = delete;

    // --- nodes ---
    // A fresh node owned by owner (may be null): value 0, no program, no dependents. The last freed node
    // is handed out first; a new chunk hands out ascending indices. The value's address stays valid
    // until the node is freed or the solver is destroyed.
    std::int32_t allocNode(CViewArea* owner, double** valueAddress = nullptr);
    // Returns the node to the free list. Nodes that read it lose their programs and keep their values.
    void freeNode(std::int32_t n);
    // Sizes the table to the whole chunks that hold count nodes; only ever grows it in practice.
    void reserveNodes(std::int32_t count);

    // --- values and programs ---
    // Makes the node a constant v. Dropping the program marks nothing; a changed value propagates and
    // marks the owners of every changed node, the node's own owner last.
    void setConstant(std::int32_t n, double v);
    // Gives the node a copy of program and evaluates it; an identical non-empty program does nothing.
    // A malformed program (unknown operand, stack underflow or more than 256 values) is refused with a
    // log line and the node becomes a constant keeping its value.
    void setProgram(std::int32_t n, const CLayoutProgram& program);
    // Drops the node's program and its links; its value stays, nothing is evaluated or marked.
    void clearProgram(std::int32_t n);
    // Runs the node's program and stores a single result through setValue at level + 1.
    void evaluate(std::int32_t n, int level);
    // Stores a computed value v unless it does not differ from the current one, and propagates it. At
    // level 201 or deeper it logs "Too many recursions (level %i)" and stores nothing.
    void setValue(std::int32_t n, int level, double v);
    // Index of the first pool entry within a relative 1e-4 of v, appending v when there is none.
    std::int32_t addConstant(double v);
    void linkDependencies(std::int32_t n);
    void unlinkDependencies(std::int32_t n);

    // --- pending lists ---
    // Each area remembers the lists it waits in, so a request is checked in constant time.
    static constexpr std::uint8_t kInRebuild = 1, kInContentUpdate = 2, kInRedraw = 4, kInChanged = 8;
    void requestRebuild(CViewArea* area) { addToList(mRebuildList, area, kInRebuild); }
    void requestContentUpdate(CViewArea* area) { addToList(mContentUpdateList, area, kInContentUpdate); }
    void requestRedraw(CViewArea* area) { addToList(mRedrawList, area, kInRedraw); }
    void markChanged(CViewArea* area) { addToList(mChangedList, area, kInChanged); }
    // Removes the area from all four lists.
    void forgetOwner(CViewArea* area);
    // Detach a list whole: the caller owns the returned list (null when absent) and deletes it; the
    // solver's list becomes absent, so later requests start a new one.
    CLayoutAreaList* takeRebuildList() { return take(mRebuildList, kInRebuild); }
    CLayoutAreaList* takeChangedList() { return take(mChangedList, kInChanged); }
    CLayoutAreaList* takeContentUpdateList() { return take(mContentUpdateList, kInContentUpdate); }
    CLayoutAreaList* takeRedrawList() { return take(mRedrawList, kInRedraw); }

    // --- queries ---
    CLayoutNode& node(std::int32_t n) noexcept { return mChunks[n >> kChunkShift][n & (kChunkNodes - 1)]; }
    const CLayoutNode& node(std::int32_t n) const noexcept { return mChunks[n >> kChunkShift][n & (kChunkNodes - 1)]; }
    double value(std::int32_t n) const noexcept { return mValueChunks[n >> kChunkShift][n & (kChunkNodes - 1)]; }
    // The node's value in place; the address stays valid while the node lives.
    double& valueRef(std::int32_t n) noexcept { return mValueChunks[n >> kChunkShift][n & (kChunkNodes - 1)]; }
    std::int32_t nodeCapacity() const noexcept { return mNodeCapacity; }
    std::int32_t freeHead() const noexcept { return mFreeHead; }
    const CArray<double>& constants() const noexcept { return mConstants; }
    const CLayoutAreaList* rebuildList() const noexcept { return mRebuildList; }
    const CLayoutAreaList* changedList() const noexcept { return mChangedList; }
    const CLayoutAreaList* contentUpdateList() const noexcept { return mContentUpdateList; }
    const CLayoutAreaList* redrawList() const noexcept { return mRedrawList; }
    // Whether two values differ: |u - v| > (|u| + |v|) * 2.2204461e-16. Infinite or NaN values never do.
    static bool differs(double u, double v) noexcept {
        return std::fabs(u - v) > (std::fabs(u) + std::fabs(v)) * 2.2204461e-16;
    }
    // Whether the program would be accepted by setProgram.
    bool isValidProgram(const CLayoutProgram& program) const;

private:
    static void addToList(CLayoutAreaList*& list, CViewArea* area, std::uint8_t bit);
    static CLayoutAreaList* take(CLayoutAreaList*& list, std::uint8_t bit) noexcept;
    bool isNodeIndex(std::int32_t n) const noexcept { return n >= 0 && n < mNodeCapacity; }
    // Runs the program; true with the result when exactly one value is left.
    bool run(const CLayoutProgram& program, double& result);
    // After node n took a new value: re-evaluates everything that reads it and marks the owners.
    void propagate(std::int32_t n, int level);
    bool propagateInKeptOrder(std::int32_t n);
    static bool readsSameNodes(const CLayoutProgram& a, const CLayoutProgram& b);
    void propagateInFoundOrder(std::int32_t n, int level);
    void markDependents(std::int32_t u);
    void touchDependents(std::int32_t n);
    void releaseDependents(std::int32_t n, bool changed, std::int32_t source);

    CArray<double> mConstants;
    std::int32_t mFreeHead = -1;
    CLayoutAreaList* mRebuildList = nullptr;        // owned
    CLayoutAreaList* mContentUpdateList = nullptr;  // owned
    CLayoutAreaList* mRedrawList = nullptr;         // owned
    CLayoutAreaList* mChangedList = nullptr;        // owned
    std::int32_t mNodeCapacity = 0;
    CArray<CLayoutNode*> mChunks;                   // owned, kChunkNodes nodes each
    CArray<double*> mValueChunks;                   // owned, the values of each chunk's nodes, dense

    // One step of a program compiled for a kept order: an operation on the running value with up
    // to two operands read straight from node values or held as constants.
    union CStepOperand {
        const double* node;
        double constant;
    };
    struct CStep {
        std::int32_t op;
        CStepOperand a, b;
    };
    // The evaluation order found for a source reaching many nodes, valid while the links stay and
    // none of its nodes gets another program. Its programs are compiled into one block of steps, and
    // the readers of each node are listed by their place in the order, so a propagation walks a few
    // dense arrays from front to back.
    struct CPropagationOrder {
        std::int32_t source = -1;
        std::uint64_t graphVersion = 0;
        CArray<std::int32_t> order;          // node indices in evaluation order
        CArray<double*> targets;             // their values
        CArray<CViewArea*> owners;           // their owners
        CArray<std::int32_t> codeStart;      // first step of each node's program, and the end
        CArray<CStep> code;
        CArray<std::int32_t> readerStart;    // first reader of each node, and the end
        CArray<std::int32_t> readers;        // places in the order
        CArray<std::int32_t> sourceReaders;  // places of the source's readers
        CArray<std::uint8_t> dirty;          // propagation scratch: an input changed
    };
    void keepOrder(int slot, std::int32_t source);
    void compileInto(const CLayoutProgram& program, std::int32_t n, CArray<CStep>& code);
    double execute(const CStep* step, const CStep* end);
    void forgetKeptOrdersOf(std::int32_t n);
    static constexpr int kKeptOrderCount = 2;
    static constexpr int kKeptOrderMinimum = 64;
    CPropagationOrder mKeptOrders[kKeptOrderCount];
    int mNextKeptOrder = 0;
    std::uint64_t mGraphVersion = 1;

    // Propagation scratch, kept to avoid allocations.
    bool mIsPropagating = false;
    std::uint32_t mEpoch = 0;
    CArray<std::int32_t> mReached;
    CArray<std::int32_t> mWork;
    CArray<CViewArea*> mChangedOwners;   // owners of the changed nodes in the order of the changes
    double mStack[kStackSize];
};

} // namespace tal
