#include "Audio/Processes/CModFilterIIRModule.h"

#include "Audio/CAudioBlockPool.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/Filters/BiquadCascade.h"
#include "Audio/Filters/BiquadRoutines.h"
#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CDCDAWContext.h"
#include "Audio/Processes/CAudioModuleHost.h"
#include "Audio/Processes/CAudioTerminalBinding.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CObjectLookups.h"
#include "Core/Log.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace tal {

CModFilterIIRModule::~CModFilterIIRModule() { discardDesign(); }

void CModFilterIIRModule::bindParams() { bindKey(kKeyIndex, &mIndexChanged, &mIndexStore); }

void CModFilterIIRModule::init() {
    if (mFirstInit) {
        mFirstInit = false;
        bindValues();
    }
    discardDesign();
    mRebuild = true;
}

void CModFilterIIRModule::bindValues() {
    CObject* def = owner != nullptr ? owner->moduleDefinition() : nullptr;
    if (def != nullptr) {
        CAudioFilterGenArray* array = nullptr;
        if (CError* err = def->findObjectByAttr<CAudioFilterGenArray>(array, CString("gen-array"), false)) {
            reportError(&err);
        }
        mGenArray = array;
    }
    if (mGenArray == nullptr) {
        const CString text = def != nullptr ? def->getTextAttr("gen-array").narrowed() : CString();
        char message[1024];
        std::snprintf(message, sizeof message, "The 'gen-array' '%s' not found.", text.chars8());
        const CString name = owner != nullptr ? owner->moduleHostName().narrowed() : CString();
        if (name.isEmpty()) {
            writeLog(message, true);
        } else {
            char line[1280];
            std::snprintf(line, sizeof line, "%s // %s", message, name.chars8());
            writeLog(line, true);
        }
        // Without designers the module passes its input through; nothing else is bound.
        return;
    }
    int count = 0;
    const CAudioTerminalBinding* bindings = owner->moduleBindings(count);
    for (int i = 0; i < count; ++i) {
        const CString* name = bindings[i].paramName;
        if (name == nullptr || name->equals("count") || name->equals("index") || name->equals("points"))
            continue;
        if (mValueCount == kMaxValues)
            break;
        const int position = mValueCount++;
        mValueNames[position] = name->narrowed();
        mNames.add(std::string_view(mValueNames[position].chars8(), std::size_t(mValueNames[position].length())),
                   position);
        const int key = bindings[i].key;
        if (key >= 0 && key < flagSlotCount)
            flagSlots[key] = &mValueChanged;
        regModuleParam(owner, key, &mValueStores[position]);
    }
}

void CModFilterIIRModule::discardDesign() noexcept {
    mStages.clear();
    for (int i = mStateCount - 1; i >= 0; --i) {
        if (mStates[i].stateBlock != nullptr)
            CAudioBlockPool::releaseBlock(mStates[i].stateBlock);
        mStates[i] = {};
    }
    mStateCount = 0;
}

void CModFilterIIRModule::update() {
    if (inputsChanged) {
        discardDesign();
        mRebuild = true;
    }
    refresh();
}

void CModFilterIIRModule::refresh() noexcept {
    for (int i = 0; i < mValueCount; ++i)
        if (!hasValues(mValueStores[i]))
            return;   // nothing is designed before every value exists
    if (mGenArray == nullptr)
        return;
    const std::int64_t wide = hasValues(mIndexStore) ? toInteger(read(mIndexStore, 0.0)) : 0;
    const int index = wide < INT_MIN || wide > INT_MAX ? -1 : int(wide);
    bool changed = false;
    if (mRebuild || index != mCurrentIndex) {
        if (!mRebuild)
            discardDesign();   // a new filter type never morphs: it starts from silent state
        mRebuild = false;
        mCurrentIndex = index;
        mDesigner = mGenArray->getGen(index);
        for (int i = 0; i < mValueCount; ++i)
            mCurrentValues[i] = read(mValueStores[i], 0.0);
        changed = true;
    } else {
        for (int i = 0; i < mValueCount; ++i) {
            const double v = read(mValueStores[i], 0.0);
            if (v != mCurrentValues[i] && !std::isnan(v) && !std::isnan(mCurrentValues[i])) {
                mCurrentValues[i] = v;
                changed = true;
            }
        }
    }
    if (mDesigner == nullptr)
        discardDesign();
    else if (changed)
        redesign();
}

double* CModFilterIIRModule::coefficientBlock(const CAudioFilterStage& stage) const noexcept {
    double* block = blockPool->allocBlock(int(sizeof(double)) * stage.coefficientCount());
    stage.copyCoefficients(block);
    return block;
}

void CModFilterIIRModule::startState(int i, const CAudioFilterStage& stage, double* coefficients) noexcept {
    CModFilterIIRStageState& s = mStates[i];
    if (s.stateBlock != nullptr)
        CAudioBlockPool::releaseBlock(s.stateBlock);
    s.routines = *stage.routines;
    s.stateBlock = blockPool->allocBlock(s.routines.stateBytes);
    context->runSetupRoutine(*s.routines.init, stage.coefficientCount(), s.stateBlock, coefficients, sampleRate);
}

void CModFilterIIRModule::redesign() noexcept {
    CAudioFilterStageList design;
    const CAudioFilterValues values{&mNames, mValueCount, mCurrentValues, nullptr};
    mDesigner->designStage(design, values, context, sampleRate);
    if (design.isEmpty())
        return;   // frozen: the records keep running the previous coefficients, a morph included
    for (const CAudioFilterStage& stage : design) {
        if (stage.routines == nullptr) {
            discardDesign();
            return;
        }
    }
    mStages = design;
    for (int j = 0; j < mStages.count(); ++j) {
        const CAudioFilterStage& stage = mStages[j];
        double* coefficients = coefficientBlock(stage);
        if (j >= mStateCount) {
            startState(j, stage, coefficients);
            mStateCount = j + 1;
        } else if (!mStates[j].sameRoutines(*stage.routines)) {
            // The stage at this position is of another kind than the record (a serial designer
            // whose earlier item yielded nothing): its state cannot be morphed, start it afresh.
            startState(j, stage, coefficients);
        } else {
            context->runSetupRoutine(*mStates[j].routines.update, stage.coefficientCount(), mStates[j].stateBlock,
                                     coefficients, sampleRate);
        }
        CAudioBlockPool::releaseBlock(coefficients);
    }
    // Records beyond the design would keep filtering with stages that no longer exist.
    for (int j = mStateCount - 1; j >= mStages.count(); --j) {
        CAudioBlockPool::releaseBlock(mStates[j].stateBlock);
        mStates[j] = {};
    }
    mStateCount = mStages.count();
}

void CModFilterIIRModule::reset() {
    for (int i = 0; i < mStages.count() && i < mStateCount; ++i) {
        const CAudioFilterStage& stage = mStages[i];
        double* coefficients = coefficientBlock(stage);
        CModFilterIIRStageState& s = mStates[i];
        if (s.stateBlock == nullptr || CAudioBlockPool::capacity(s.stateBlock) < s.routines.stateBytes) {
            if (s.stateBlock != nullptr)
                CAudioBlockPool::releaseBlock(s.stateBlock);
            s.stateBlock = blockPool->allocBlock(s.routines.stateBytes);
        }
        context->runSetupRoutine(*s.routines.init, stage.coefficientCount(), s.stateBlock, coefficients, sampleRate);
        CAudioBlockPool::releaseBlock(coefficients);
    }
}

void CModFilterIIRModule::process() {
    if (mStateCount == 0) {
        for (int c = 0; c < outputCount; ++c)
            passInput(c);
        return;
    }
    double* current = inputBlock(0);
    for (int i = 0; i < mStateCount; ++i) {
        double* out = newBlock();
        context->runProcessRoutine(*mStates[i].routines.process, blockLength, out, mStates[i].stateBlock, current);
        if (i > 0)
            CAudioBlockPool::releaseBlock(current);
        current = out;
    }
    outputs[0].block = current;
    // The cascade serves one channel; further channels of a whole-terminal module pass unfiltered.
    for (int c = 1; c < outputCount; ++c)
        passInput(c);
}

bool CModFilterIIRModule::canPairWith(const CModFilterIIRModule& other) const noexcept {
    if (mStateCount == 0 || mStateCount != other.mStateCount || context != other.context ||
        blockLength != other.blockLength || outputCount != 1 || other.outputCount != 1)
        return false;
    for (int i = 0; i < mStateCount; ++i)
        if (mStates[i].routines.process != other.mStates[i].routines.process)
            return false;
    return true;
}

int CModFilterIIRModule::biquadStates(CBiquadState** states, BiquadShape* shapes, int capacity) const noexcept {
    if (mStateCount > capacity)
        return -1;
    for (int i = 0; i < mStateCount; ++i) {
        if (!biquadShapeOf(*mStates[i].routines.process, shapes[i]))
            return -1;
        states[i] = reinterpret_cast<CBiquadState*>(mStates[i].stateBlock);
    }
    return mStateCount;
}

bool CModFilterIIRModule::runsBiquads() const noexcept {
    BiquadShape shape;
    for (int i = 0; i < mStateCount; ++i)
        if (!biquadShapeOf(*mStates[i].routines.process, shape))
            return false;
    return true;
}

bool CModFilterIIRModule::runChainPair(CModFilterIIRModule* const* a, CModFilterIIRModule* const* b,
                                       int bands) noexcept {
    CBiquadState* states0[kMaxChainStages];
    CBiquadState* states1[kMaxChainStages];
    BiquadShape shapes[kMaxChainStages];
    BiquadShape shapes1[kMaxChainStages];
    int count = 0;
    for (int band = 0; band < bands; ++band) {
        const int n0 = a[band]->biquadStates(states0 + count, shapes + count, kMaxChainStages - count);
        const int n1 = b[band]->biquadStates(states1 + count, shapes1 + count, kMaxChainStages - count);
        if (n0 < 0 || n0 != n1)
            return false;
        for (int i = count; i < count + n0; ++i)
            if (shapes[i] != shapes1[i])
                return false;
        count += n0;
    }
    // A single section gains nothing from running side by side; the paired routine serves it.
    if (count < 2)
        return false;
    double* out0 = a[0]->newBlock();
    double* out1 = b[0]->newBlock();
    runBiquadCascadePair(states0, states1, shapes, count, a[0]->inputBlock(0), b[0]->inputBlock(0), out0, out1,
                         a[0]->blockLength);
    a[0]->outputs[0].block = out0;
    b[0]->outputs[0].block = out1;
    return true;
}

void CModFilterIIRModule::processPair(CModFilterIIRModule& a, CModFilterIIRModule& b) noexcept {
    // Biquad stages run side by side as one cascade; other stage kinds run stage by stage.
    CModFilterIIRModule* const one0[1] = {&a};
    CModFilterIIRModule* const one1[1] = {&b};
    if (runChainPair(one0, one1, 1))
        return;
    double* current0 = a.inputBlock(0);
    double* current1 = b.inputBlock(0);
    const int n = a.blockLength;
    for (int i = 0; i < a.mStateCount; ++i) {
        double* out0 = a.newBlock();
        double* out1 = b.newBlock();
        a.context->runProcessRoutinePair(*a.mStates[i].routines.process, n, out0, a.mStates[i].stateBlock, current0,
                                         out1, b.mStates[i].stateBlock, current1);
        if (i > 0) {
            CAudioBlockPool::releaseBlock(current0);
            CAudioBlockPool::releaseBlock(current1);
        }
        current0 = out0;
        current1 = out1;
    }
    a.outputs[0].block = current0;
    b.outputs[0].block = current1;
}

} // namespace tal
