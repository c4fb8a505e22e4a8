#include "Audio/CAudioProcessDefBase.h"

#include "Audio/CAudioGraphContext.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamRemapDef.h"
#include "Audio/CAudioProcessBase.h"
#include "Core/CError.h"

namespace tal {

namespace {

CAudioProcessDefBase::CProcessFactory gMultibandFactory = nullptr;
CAudioProcessDefBase::CProcessFactory gStackFactory = nullptr;

} // namespace

void CAudioProcessDefBase::setProcessFactories(CProcessFactory multiband, CProcessFactory stack) noexcept {
    gMultibandFactory = multiband;
    gStackFactory = stack;
}

CError* CAudioProcessDefBase::init() {
    if (CError* err = CAudioProcessDefBaseInit::init())
        return traceError(err, getFullName());
    mMultibandFreqParam = &getTextAttr("multiband-freq-param");
    mMultibandCountParam = &getTextAttr("multiband-count-param");
    mStackParam = &getTextAttr("stack-param");
    mStacked = getBoolAttr("is-stacked");
    mSmoothUpdate = getBoolAttr("is-smooth-update");
    mStackIndexShift = getIntAttr("stack-index-shift");
    mMultiband = getBoolAttr("is-multiband");
    mTerminalWhole = getBoolAttr("is-terminal-whole");
    mChannelStack = getBoolAttr("is-channel-stack");
    mPrototype = getBoolAttr("is-prototype");
    mOutOfOrder = getBoolAttr("is-outoforder");
    mBypassStateId = getIntAttr("bypass-state-id");
    mCompInput = getBoolAttr("is-comp-input");
    const CString& combo = getTextAttr("input-combo-mode");
    mInputComboMode = combo.equals("avg") ? 1 : combo.equals("max") ? 2 : 0;
    if (mStackIndexShift < 0)
        return newError("@talstr_CAudioProcessDefBase_init_InvalidStackIndexShift Invalid stack index shift value '%1' specified.",
                        getFullName(), CString(mStackIndexShift, 1, 10));
    return nullptr;
}

CError* CAudioProcessDefBase::createProcess(CAudioProcessBase** holder, const CString& prefix,
                                            const CAudioGraphContext& context, std::int32_t groupIndex,
                                            std::int32_t stackIndex, CAudioBlockPool* pool, bool noStack,
                                            bool noMultiband) {
    CAudioProcessBase* process = nullptr;
    if (mMultiband && !noMultiband) {
        if (gMultibandFactory == nullptr)
            return newError("@talstr_CAudioProcessDefBase_createProcess_NoMultiband Multiband processes are not available.",
                            getFullName());
        process = gMultibandFactory();
    } else if (mStacked && !noStack) {
        if (gStackFactory == nullptr)
            return newError("@talstr_CAudioProcessDefBase_createProcess_NoStack Stacked processes are not available.",
                            getFullName());
        process = gStackFactory();
    } else {
        process = newProcess();
    }
    process->setIdentity(&prefix, this, &context, groupIndex, stackIndex + mStackIndexShift, pool);
    process->setCombineMode(combineModeOf(mInputComboMode));
    process->setCompensationInput(mCompInput);

    if (!noStack && !noMultiband && context.collector != nullptr) {
        CAudioParamCollector& collector = *context.collector;
        for (int i = 0; i < remaps().count(); ++i) {
            for (const CAudioParamRemapPair& pair : remaps()[i]->getPairs()) {
                const CString orig = resolveParamName(pair.orig, prefix);
                // A pair the collector refuses (it would close a cycle) is not withdrawn later.
                if (collector.addRemap(orig, resolveParamName(pair.replacement, prefix)))
                    process->addRemappedName(orig);
            }
        }
        registerParams(prefix, collector);
        for (int i = 0; i < filters().count(); ++i) {
            if (CError* err = process->addParamFilter(*filters()[i].definition, *filters()[i].groupPrefix)) {
                delete process;   // withdraws its remappings and filters
                return traceError(err, getFullName());
            }
        }
    }
    process->bindParams();

    if (CAudioProcessBase* old = *holder) {
        old->disconnectAll();   // never leave links into a destroyed process
        delete old;
    }
    *holder = process;
    if (CError* err = process->init()) {
        // A half-initialised process is never wired or run.
        *holder = nullptr;
        delete process;
        return traceError(err, getFullName());
    }
    return nullptr;
}

} // namespace tal
