#pragma once
#include "Audio/CAudioProcessDefBaseInit.h"

#include <cstdint>

namespace tal {

class CAudioBlockPool;
class CAudioProcessBase;
struct CAudioGraphContext;

// The description object of one audio process and the factory of its processes. The composite
// definition and every module definition derive from it; each makes its own process class
// (newProcess). Reads its shaping attributes once in init; read-only afterwards, shared by every
// instance. Processes keep a pointer to their definition, so the description tree must outlive
// them.
class CAudioProcessDefBase : public CAudioProcessDefBaseInit {
public:
    // Makes the process of a stacked or multiband definition (those classes live with the modules).
    using CProcessFactory = CAudioProcessBase* (*)();

    CAudioProcessDefBase() = default;

    // --- life cycle: while the description loads ---
    [[nodiscard]] CError* init() override;

    // --- process creation (main thread at set-up, audio thread in a composite's rebuild) ---
    // A new, uninitialised process of the definition's own class.
    virtual CAudioProcessBase* newProcess() = 0;
    // Makes, names, binds and initialises a process into *holder. prefix is the process's full
    // name; the process keeps a reference to it, so the caller keeps it alive and unchanged while
    // the process lives. The element index is stackIndex plus the definition's shift. Copies made by
    // stacked and multiband processes (noStack or noMultiband set) register no remappings,
    // parameters or filters. A process already in the holder is disconnected and destroyed before
    // the new one's init. When making, filters or init fail, the new process is destroyed and the
    // error returned; after a failing init the holder is left empty, otherwise as it was.
    [[nodiscard]] CError* createProcess(CAudioProcessBase** holder, const CString& prefix,
                                        const CAudioGraphContext& context, std::int32_t groupIndex,
                                        std::int32_t stackIndex, CAudioBlockPool* pool, bool noStack,
                                        bool noMultiband);
    // Start-up: the makers of stacked and multiband processes. Until they are set, creating a
    // process of such a definition fails.
    static void setProcessFactories(CProcessFactory multiband, CProcessFactory stack) noexcept;

    // --- queries ---
    bool isStacked() const noexcept { return mStacked; }
    bool isSmoothUpdate() const noexcept { return mSmoothUpdate; }
    const CString& multibandFreqParam() const noexcept { return *mMultibandFreqParam; }
    const CString& multibandCountParam() const noexcept { return *mMultibandCountParam; }
    const CString& stackParam() const noexcept { return *mStackParam; }
    std::int32_t stackIndexShift() const noexcept { return mStackIndexShift; }
    bool isMultiband() const noexcept { return mMultiband; }
    bool isChannelStack() const noexcept { return mChannelStack; }
    bool isTerminalWhole() const noexcept { return mTerminalWhole; }
    bool isPrototype() const noexcept { return mPrototype; }
    bool isOutOfOrder() const noexcept { return mOutOfOrder; }
    // Id of the enclosing composite's bypass state that switches this child off; -1 for none.
    std::int32_t bypassStateId() const noexcept { return mBypassStateId; }
    bool isCompInput() const noexcept { return mCompInput; }
    // 0 sum, 1 average ("avg"), 2 per-sample maximum ("max").
    std::int32_t inputComboMode() const noexcept { return mInputComboMode; }

private:
    bool mStacked = false;
    bool mSmoothUpdate = false;
    const CString* mMultibandFreqParam = &CString::emptyString;   // the attribute values
    const CString* mMultibandCountParam = &CString::emptyString;
    const CString* mStackParam = &CString::emptyString;
    std::int32_t mStackIndexShift = 0;
    bool mMultiband = false;
    bool mChannelStack = false;
    bool mTerminalWhole = false;
    bool mPrototype = false;
    bool mOutOfOrder = false;
    std::int32_t mBypassStateId = 0;
    bool mCompInput = false;
    std::int32_t mInputComboMode = 0;
};

} // namespace tal
