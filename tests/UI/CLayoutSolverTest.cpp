#include "UI/CLayoutSolver.h"

#include "support/CLogCapture.h"
#include "support/LayoutTestOwner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace tal;

namespace {

// Areas of a window of their own serve as node owners of a separate solver; their own pending work is
// done first, so only the solver under test queues them. Declared before that solver, they outlive it.
struct Owners {
    CLayoutTestWindow window;
    Owners() {
        CLayoutTestOwner& root = window.add("root", nullptr);
        for (int i = 0; i < 4; ++i)
            window.add("a" + std::to_string(i), &root);
        if (CError* err = window.root().updateLayout())
            delete err;
    }
    CViewArea* operator()(int i) { return window.owners[std::size_t(i) + 1]->area.get(); }
};

std::vector<CViewArea*> changedOwners(CLayoutSolver& s) {
    std::vector<CViewArea*> out;
    if (CLayoutAreaList* list = s.takeChangedList()) {
        for (CViewArea* a : *list)
            out.push_back(a);
        delete list;
    }
    return out;
}

int countLines(const CLogCapture& log, const std::string& text) {
    int n = 0;
    for (const std::string& line : log.lines())
        n += line == text ? 1 : 0;
    return n;
}

} // namespace

TEST(CLayoutSolver, FirstNodesAreZeroAndOneAndAFreedNodeIsHandedOutNext) {
    CLayoutSolver s;
    EXPECT_EQ(s.allocNode(nullptr), 0);
    EXPECT_EQ(s.allocNode(nullptr), 1);
    const std::int32_t c = s.allocNode(nullptr);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(s.nodeCapacity(), CLayoutSolver::kChunkNodes);
    s.freeNode(1);
    s.freeNode(0);
    EXPECT_EQ(s.allocNode(nullptr), 0);   // last freed, first taken
    EXPECT_EQ(s.allocNode(nullptr), 1);
    EXPECT_EQ(s.allocNode(nullptr), 3);
}

TEST(CLayoutSolver, NodeValuesKeepTheirAddressWhenTheTableGrows) {
    CLayoutSolver s;
    double* first = nullptr;
    const std::int32_t n0 = s.allocNode(nullptr, &first);
    s.setConstant(n0, 42.0);
    for (int i = 0; i < 3 * CLayoutSolver::kChunkNodes; ++i)
        s.allocNode(nullptr);
    EXPECT_EQ(s.nodeCapacity(), 4 * CLayoutSolver::kChunkNodes);
    EXPECT_EQ(first, &s.valueRef(n0));
    EXPECT_EQ(*first, 42.0);
}

TEST(CLayoutSolver, ChainUpdatesAtOnceAndMarksOwnersDeepestFirst) {
    Owners fakeOwner;
    CLayoutSolver s;
    const std::int32_t a = s.allocNode(fakeOwner(0));
    const std::int32_t b = s.allocNode(fakeOwner(1));
    const std::int32_t c = s.allocNode(fakeOwner(2));
    const std::int32_t two = s.addConstant(2.0), one = s.addConstant(1.0);
    CLayoutProgram pb, pc;
    s.setProgram(b, pb.node(a).constant(two).op(opMul));   // b = a * 2
    s.setProgram(c, pc.node(b).constant(one).op(opAdd));   // c = b + 1
    changedOwners(s);

    s.setConstant(a, 5.0);
    EXPECT_EQ(s.value(b), 10.0);
    EXPECT_EQ(s.value(c), 11.0);
    EXPECT_EQ(changedOwners(s), (std::vector<CViewArea*>{fakeOwner(2), fakeOwner(1), fakeOwner(0)}));

    s.setConstant(a, 5.0);   // the stored value: nothing
    EXPECT_TRUE(changedOwners(s).empty());
    s.setConstant(a, 0.0);
    changedOwners(s);
    s.setConstant(a, -0.0);   // no change either
    EXPECT_TRUE(changedOwners(s).empty());
    EXPECT_FALSE(std::signbit(s.value(a)));
}

TEST(CLayoutSolver, SetConstantDropsTheProgramWithoutMarking) {
    Owners fakeOwner;
    CLayoutSolver s;
    const std::int32_t a = s.allocNode(fakeOwner(0)), b = s.allocNode(fakeOwner(1));
    s.setConstant(a, 3.0);
    CLayoutProgram p;
    s.setProgram(b, p.node(a));
    changedOwners(s);
    s.setConstant(b, 3.0);
    EXPECT_TRUE(s.node(b).program.isEmpty());
    EXPECT_EQ(s.node(a).dependents.count(), 0);
    EXPECT_TRUE(changedOwners(s).empty());
    s.setConstant(a, 9.0);   // no longer followed
    EXPECT_EQ(s.value(b), 3.0);
}

TEST(CLayoutSolver, SettingTheSameProgramAgainEvaluatesNothing) {
    Owners fakeOwner;
    CLayoutSolver s;
    const std::int32_t a = s.allocNode(fakeOwner(0)), b = s.allocNode(fakeOwner(1));
    s.setConstant(a, 3.0);
    CLayoutProgram p;
    p.node(a);
    s.setProgram(b, p);
    changedOwners(s);
    s.valueRef(b) = 100.0;   // a stale value that a new evaluation would overwrite
    s.setProgram(b, p);
    EXPECT_EQ(s.value(b), 100.0);
    EXPECT_TRUE(changedOwners(s).empty());
}

TEST(CLayoutSolver, SelfReferenceStopsAtTheLevelLimitWithOneLogLine) {
    CLogCapture log;
    Owners fakeOwner;
    CLayoutSolver s;
    const std::int32_t n = s.allocNode(fakeOwner(0));
    CLayoutProgram p;
    p.node(n).constant(s.addConstant(1.0)).op(opAdd);   // n = n + 1
    s.setProgram(n, p);
    EXPECT_EQ(countLines(log, "Too many recursions (level 201)"), 1);
    EXPECT_EQ(s.value(n), 200.0);   // stored at levels 1 to 200
}

TEST(CLayoutSolver, LongAcyclicChainsPropagateToTheEnd) {
    CLogCapture log;
    Owners fakeOwner;
    CLayoutSolver s;
    const std::int32_t head = s.allocNode(fakeOwner(0));
    const std::int32_t one = s.addConstant(1.0);
    std::vector<std::int32_t> chain{head};
    for (int i = 0; i < 600; ++i) {
        const std::int32_t n = s.allocNode(fakeOwner(1));
        CLayoutProgram p;
        s.setProgram(n, p.node(chain.back()).constant(one).op(opAdd));
        chain.push_back(n);
    }
    s.setConstant(head, 1000.0);
    for (std::size_t i = 0; i < chain.size(); i += 100)
        EXPECT_EQ(s.value(chain[i]), 1000.0 + double(i)) << "node " << i;
    EXPECT_EQ(s.value(chain.back()), 1600.0);
    EXPECT_TRUE(log.lines().empty());
}

TEST(CLayoutSolver, DiamondSeesFinalInputs) {
    // d = b + c with b = a * 2 and c = a * 3: whatever the order, d ends as 5a, and a node reading d
    // sees only that final value.
    CLayoutSolver s;
    const std::int32_t a = s.allocNode(nullptr), b = s.allocNode(nullptr), c = s.allocNode(nullptr),
                       d = s.allocNode(nullptr), e = s.allocNode(nullptr);
    CLayoutProgram pb, pc, pd, pe;
    s.setProgram(b, pb.node(a).constant(s.addConstant(2.0)).op(opMul));
    s.setProgram(c, pc.node(a).constant(s.addConstant(3.0)).op(opMul));
    s.setProgram(d, pd.node(b).node(c).op(opAdd));
    s.setProgram(e, pe.node(d).node(a).op(opDiv));   // 5 whenever a != 0
    s.setConstant(a, 7.0);
    EXPECT_EQ(s.value(d), 35.0);
    EXPECT_EQ(s.value(e), 5.0);
}

struct OpCase {
    const char* name;
    std::vector<double> pushes;
    std::vector<ELayoutOp> ops;
    double expected;   // NaN: the node keeps its previous value
};

class CLayoutSolverOps : public ::testing::TestWithParam<OpCase> {};

TEST_P(CLayoutSolverOps, EvaluatesAsTheTableSays) {
    const OpCase& c = GetParam();
    CLayoutSolver s;
    const std::int32_t n = s.allocNode(nullptr);
    s.setConstant(n, -12345.0);
    CLayoutProgram p;
    for (double v : c.pushes)
        p.constant(s.addConstant(v));
    for (ELayoutOp op : c.ops)
        p.op(op);
    s.setProgram(n, p);
    if (std::isnan(c.expected))
        EXPECT_EQ(s.value(n), -12345.0);
    else
        EXPECT_EQ(s.value(n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CLayoutSolverOps,
    ::testing::Values(
        OpCase{"div", {7, 2}, {opDiv}, 3.5},
        OpCase{"divByZeroKeepsValue", {7, 0}, {opDiv}, std::nan("")},
        OpCase{"divOr", {9, 3, 5}, {opDivOr}, 3.0},
        OpCase{"divOrZero", {9, 0, 5}, {opDivOr}, 5.0},
        OpCase{"half", {9}, {opHalf}, 4.5},
        OpCase{"floor", {-2.5}, {opFloor}, -3.0},
        OpCase{"max", {3, 7}, {opMax}, 7.0},
        OpCase{"min", {3, 7}, {opMin}, 3.0},
        OpCase{"maxNZero", {5, 0}, {opMaxN, opAdd}, 5.0},
        OpCase{"maxNTwo", {1000, 3, 7, 2}, {opMaxN, opMax}, 1000.0},
        OpCase{"maxNTwoAlone", {3, 7, 2}, {opMaxN}, 7.0},
        OpCase{"maxNFloor", {-1e30, -1e25, 2}, {opMaxN}, -1e20},
        OpCase{"clamp", {5, 0, 10}, {opClamp}, 5.0},
        OpCase{"clampBelow", {-5, 0, 10}, {opClamp}, 0.0},
        OpCase{"clampCrossedUpperWins", {5, 20, 10}, {opClamp}, 10.0},
        OpCase{"sub", {3, 7}, {opSub}, -4.0},
        OpCase{"mul", {3, 7}, {opMul}, 21.0},
        OpCase{"add", {3, 7}, {opAdd}, 10.0},
        OpCase{"roundUp", {2.5}, {opRound}, 3.0},
        OpCase{"roundDown", {-2.5}, {opRound}, -3.0},
        OpCase{"twoValuesLeft", {3, 7}, {}, std::nan("")},
        OpCase{"noValueLeft", {}, {}, std::nan("")}),
    [](const ::testing::TestParamInfo<OpCase>& info) { return std::string(info.param.name); });

TEST(CLayoutSolver, UnknownWordsAreSkipped) {
    CLayoutSolver s;
    const std::int32_t n = s.allocNode(nullptr);
    CLayoutProgram p;
    p.constant(s.addConstant(4.0));
    p.add(99);
    p.add(-3);
    p.op(opHalf);
    s.setProgram(n, p);
    EXPECT_EQ(s.value(n), 2.0);
}

TEST(CLayoutSolver, ConstantsWithinARelativeTenThousandthShareAnEntry) {
    CLayoutSolver s;
    const std::int32_t hundred = s.addConstant(100.0);
    EXPECT_EQ(s.addConstant(100.005), hundred);
    EXPECT_NE(s.addConstant(100.05), hundred);
    const std::int32_t zero = s.addConstant(0.0);
    EXPECT_NE(s.addConstant(1e-300), zero);
    EXPECT_EQ(s.addConstant(0.0), zero);
}

TEST(CLayoutSolver, FreeingANodeLeavesItsReadersWithTheirLastValues) {
    CLayoutSolver s;
    const std::int32_t a = s.allocNode(nullptr), b = s.allocNode(nullptr), other = s.allocNode(nullptr);
    s.setConstant(a, 4.0);
    CLayoutProgram p;
    s.setProgram(b, p.node(a).node(other).op(opAdd).constant(s.addConstant(1.0)).op(opAdd));
    EXPECT_EQ(s.value(b), 5.0);
    s.freeNode(a);
    EXPECT_TRUE(s.node(b).program.isEmpty());
    EXPECT_EQ(s.node(other).dependents.count(), 0);   // b no longer reads it either
    s.setConstant(other, 1.0);
    EXPECT_EQ(s.value(b), 5.0);
    EXPECT_EQ(s.value(b), 5.0);
    const std::int32_t again = s.allocNode(nullptr);
    EXPECT_EQ(again, a);
    s.setConstant(again, 50.0);   // the new node is not read by b
    EXPECT_EQ(s.value(b), 5.0);
}

TEST(CLayoutSolver, MalformedProgramsAreRefusedWithALogLine) {
    CLayoutSolver s;
    const std::int32_t n = s.allocNode(nullptr);
    const std::int32_t a = s.allocNode(nullptr);
    s.setConstant(n, 8.0);
    CLayoutProgram underflow, badNode, badConst, tooDeep, countUnknown, missingOperand;
    underflow.constant(s.addConstant(1.0)).op(opAdd);
    badNode.node(999999);
    badConst.constant(9999);
    for (int i = 0; i <= CLayoutSolver::kStackSize; ++i)
        tooDeep.node(a);
    for (int i = 0; i < CLayoutSolver::kStackSize; ++i)
        tooDeep.op(opAdd);
    countUnknown.node(a).node(a).op(opMaxN);   // the count must be a constant
    missingOperand.add(opNode);
    for (const CLayoutProgram* p : {&underflow, &badNode, &badConst, &tooDeep, &countUnknown, &missingOperand}) {
        CLogCapture log;
        s.setProgram(n, *p);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("Invalid layout program"), std::string::npos);
        EXPECT_TRUE(s.node(n).program.isEmpty());
        EXPECT_EQ(s.value(n), 8.0);
        EXPECT_EQ(s.node(a).dependents.count(), 0);
    }
    CLayoutProgram deepButValid;
    for (int i = 0; i < CLayoutSolver::kStackSize; ++i)
        deepButValid.node(a);
    for (int i = 1; i < CLayoutSolver::kStackSize; ++i)
        deepButValid.op(opAdd);
    s.setConstant(a, 0.5);
    CLogCapture log;
    s.setProgram(n, deepButValid);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(s.value(n), 128.0);
}

TEST(CLayoutSolver, PendingListsHoldEachAreaOnceAndAreTakenWhole) {
    Owners fakeOwner;
    CLayoutSolver s;
    EXPECT_EQ(s.rebuildList(), nullptr);
    s.requestRebuild(fakeOwner(1));
    s.requestRebuild(fakeOwner(2));
    s.requestRebuild(fakeOwner(1));
    s.requestRedraw(fakeOwner(1));
    s.requestContentUpdate(fakeOwner(2));
    ASSERT_NE(s.rebuildList(), nullptr);
    EXPECT_EQ(s.rebuildList()->count(), 2);
    s.forgetOwner(fakeOwner(1));
    EXPECT_EQ(s.rebuildList()->count(), 1);
    EXPECT_EQ(s.redrawList()->count(), 0);
    CLayoutAreaList* taken = s.takeRebuildList();
    EXPECT_EQ(s.rebuildList(), nullptr);
    s.requestRebuild(fakeOwner(3));
    EXPECT_EQ(taken->count(), 1);
    EXPECT_EQ((*taken)[0], fakeOwner(2));
    EXPECT_EQ(s.rebuildList()->count(), 1);
    delete taken;
}

TEST(CLayoutSolver, AKeptOrderFollowsLaterLinkChanges) {
    // 100 nodes read the source, so its evaluation order is kept; then one of them is made to read
    // the last of the others as well, which must now be evaluated before it.
    CLayoutSolver s;
    const std::int32_t source = s.allocNode(nullptr);
    const std::int32_t two = s.addConstant(2.0);
    std::vector<std::int32_t> readers;
    for (int i = 0; i < 100; ++i) {
        readers.push_back(s.allocNode(nullptr));
        CLayoutProgram p;
        s.setProgram(readers.back(), p.node(source).constant(two).op(opMul));
    }
    s.setConstant(source, 1.0);
    s.setConstant(source, 2.0);   // through the kept order
    EXPECT_EQ(s.value(readers[99]), 4.0);
    CLayoutProgram sum;
    s.setProgram(readers[0], sum.node(source).node(readers[99]).op(opAdd));
    s.setConstant(source, 3.0);
    EXPECT_EQ(s.value(readers[99]), 6.0);
    EXPECT_EQ(s.value(readers[0]), 9.0);
    CLayoutProgram sameNodesOtherOp;
    s.setProgram(readers[0], sameNodesOtherOp.node(source).node(readers[99]).op(opSub));
    EXPECT_EQ(s.value(readers[0]), -3.0);
    s.setConstant(source, 5.0);
    EXPECT_EQ(s.value(readers[0]), -5.0);
}

TEST(CLayoutSolver, AKeptOrderComputesWhatAFreshEvaluationComputes) {
    // Readers of every operation, with node and constant operands on either side and nested
    // operations, follow a source often enough to be evaluated through its kept order; each value
    // must equal that of the same program set anew on a node of its own in a twin solver, starting
    // from the reader's last value (kept when the result is infinite or two values are left).
    CLayoutSolver s, twin;
    std::int32_t src = 0, a = 0, b = 0, zero = 0, k1 = 0, k2 = 0, two = 0;
    for (CLayoutSolver* solver : {&twin, &s}) {
        src = solver->allocNode(nullptr);
        a = solver->allocNode(nullptr);
        b = solver->allocNode(nullptr);
        zero = solver->allocNode(nullptr);
        solver->setConstant(a, 3.5);
        solver->setConstant(b, -2.25);
        k1 = solver->addConstant(0.75);
        k2 = solver->addConstant(40.0);
        two = solver->addConstant(2.0);
    }
    using P = CLayoutProgram;
    std::vector<P> programs;
    for (ELayoutOp op : {opAdd, opSub, opMul, opDiv, opMax, opMin}) {
        programs.push_back(P().node(src).node(a).op(op));
        programs.push_back(P().node(a).node(src).op(op));
        programs.push_back(P().node(src).constant(k1).op(op));
        programs.push_back(P().constant(k2).node(src).op(op));
        programs.push_back(P().node(src).node(a).op(opAdd).node(b).node(src).op(opMul).op(op));
    }
    for (ELayoutOp op : {opClamp, opDivOr}) {
        programs.push_back(P().node(src).node(a).node(b).op(op));
        programs.push_back(P().node(a).node(src).node(b).op(op));
        programs.push_back(P().node(a).node(b).node(src).op(op));
        programs.push_back(P().node(src).constant(k1).constant(k2).op(op));
        programs.push_back(P().node(src).node(zero).node(b).op(op));
        programs.push_back(P().node(a).node(src).op(opMul).node(b).node(src).op(opSub).node(a).op(op));
    }
    for (ELayoutOp op : {opHalf, opFloor, opRound})
        programs.push_back(P().node(src).constant(k1).op(opMul).op(op));
    programs.push_back(P().node(src));
    programs.push_back(P().node(src).node(a).node(b).constant(two).op(opMaxN));
    programs.push_back(P().node(src).op(ELayoutOp(99)).node(a).op(opAdd));
    programs.push_back(P().node(src).node(a).node(b).constant(k1).op(opAdd).op(opMul).op(opSub));
    programs.push_back(P().node(src).node(a));   // leaves two values: never stored
    while (programs.size() < 80)
        programs.push_back(P().node(src).constant(two).op(opMul));
    std::vector<std::int32_t> readers;
    for (const P& p : programs) {
        readers.push_back(s.allocNode(nullptr));
        s.setProgram(readers.back(), p);
    }
    s.setConstant(src, 100.0);   // finds and keeps the order
    for (double v : {1.0, 2.5, -3.75, 0.0, 3.5, -2.25, 1e6, 0.5}) {
        std::vector<double> before;
        for (std::int32_t r : readers)
            before.push_back(s.value(r));
        s.setConstant(src, v);
        twin.setConstant(src, v);
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const std::int32_t fresh = twin.allocNode(nullptr);
            twin.setConstant(fresh, before[i]);
            twin.setProgram(fresh, programs[i]);
            EXPECT_EQ(s.value(readers[i]), twin.value(fresh)) << "program " << i << " at " << v;
            twin.freeNode(fresh);
        }
    }
}
