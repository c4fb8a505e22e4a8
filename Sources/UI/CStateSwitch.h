#pragma once
#include "Core/CArray.h"
#include "Core/CObject.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CSwitchState.h"
#include "UI/CUIParamUpdateHandler.h"

namespace tal {

class CUIParam;

// "ui:state-switch": changes attributes of other objects (usually views) by the values of UI
// parameters. Its "ui:state-data" children each describe a state: a condition ("if") over
// parameter values, the objects to change ("state-target", paths relative to the switch) and the
// attribute names whose values the state-data carries ("state-attrs"), or a template tag that
// replaces the switch's "target" objects ("state-tag"). On every change of one of its UI parameters
// (after the switch has completed) every state whose condition holds is applied in document order;
// when none holds, the default state (the state-data without "if") is applied.
// Conditions: groups separated by "|", comparisons by "&", each "name = values", "name != values",
// "name[offset] = !values" or bare values (against the default bridge, "bridge", or the simple value
// with "is-simple-value"); values are integers ("0x", "#" and "$" for hexadecimal). A bridge named by
// a relative path is resolved when the condition is compiled, and the switch creates a UI parameter
// for every bridge a condition names.
// Owns its states, conditions and target references; the UI parameters are its children and the
// targets belong to the tree. UI thread only.
class CStateSwitch : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CStateSwitch() override;

    // Reads the attributes, registers the states and applies them once.
    [[nodiscard]] CError* initChilds() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- operations ---
    // Registers the state-data objects below node (depth first, nested ones too).
    [[nodiscard]] CError* registerState(CObject* node);
    // Compiles an "if" text into condition; groups compiled before a failure stay.
    [[nodiscard]] CError* buildExpression(const CString& text, CArray<CSwitchCondGroup*>& condition);
    // Makes sure a UI parameter exists for a bridge's full name.
    [[nodiscard]] CError* ensureBridgeParam(const CString& fullName);
    // Whether the condition holds for the current values (comparisons without a parameter are
    // logged and skipped).
    bool evaluate(const CArray<CSwitchCondGroup*>& condition);
    // Applies the states that hold, or the default state; before completion only when forced.
    [[nodiscard]] CError* applyStates(bool force);
    [[nodiscard]] CError* applyState(CSwitchState& state);
    // Replaces every target by a new object of the template tag (once per tag).
    [[nodiscard]] CError* applyStateTag(const CString& tag);

    // --- queries ---
    int stateCount() const noexcept { return mStates.count(); }
    CSwitchState* state(int index) const noexcept { return mStates[index]; }
    const CSwitchState& defaultState() const noexcept { return mDefaultState; }
    const CString& defaultBridge() const noexcept { return mDefaultBridge; }
    CUIParam* findParam(const CString& key) const;

    // The key of the UI parameter without a bridge.
    static const char* const kSimpleValue;

private:
    // Rounds half away from zero.
    static std::int32_t nearestInt(double v) noexcept;

    CString mDefaultBridge;
    CSwitchState mDefaultState;
    CString mAppliedStateTag;
    CArray<CSwitchState*> mStates;               // owned
    CArray<CTarget<CObject>*> mTargets;          // owned
    CSortedMap<CString, CUIParam*> mParams;      // not owned: children
};

} // namespace tal
