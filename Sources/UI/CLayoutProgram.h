#pragma once
#include "UI/CLayoutWords.h"

#include <cstdint>

namespace tal {

// The opcodes of layout programs. a and b are the two top stack values (b on top); x, y, z the three
// top values (z on top). opConst and opNode take one operand word; every other word is one instruction.
enum ELayoutOp : std::int32_t {
    opConst = 0,   // push the constant-pool entry named by the operand
    opDiv = 1,     // a / b, unguarded
    opDivOr = 2,   // x / y when y is non-zero and finite, else z
    opHalf = 3,    // top * 0.5
    opFloor = 4,   // floor(top)
    opMax = 5,     // a if a > b, else b
    opMaxN = 6,    // N = round(top); the largest of -1e20 and the N values below; N = 0 gives 0
    opMin = 7,     // a if a < b, else b
    opClamp = 8,   // x limited below by y, then above by z (z wins when the limits cross)
    opSub = 9,     // a - b
    opMul = 10,    // a * b
    opAdd = 11,    // a + b
    opRound = 12,  // round half away from zero
    opNode = 13,   // push the current value of the node named by the operand
    kLayoutOpCount = 14
};

// A postfix program of the layout solver: a list of 32-bit words, 12 of them inline. The solver
// copies a program when it is set, so callers build one in a local and keep it.
class CLayoutProgram : public CLayoutWords<12> {
public:
    // --- emitting ---
    CLayoutProgram& op(ELayoutOp code) {
        add(code);
        return *this;
    }
    CLayoutProgram& node(std::int32_t index) {
        add(opNode);
        add(index);
        return *this;
    }
    CLayoutProgram& constant(std::int32_t poolIndex) {
        add(opConst);
        add(poolIndex);
        return *this;
    }
    CLayoutProgram& words(const CLayoutProgram& other) {
        append(other.data(), other.count());
        return *this;
    }
};

} // namespace tal
