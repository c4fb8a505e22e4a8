#pragma once
#include "UI/CViewBasePlacement.h"
#include "UI/CViewStateData.h"

namespace tal {

class CViewCommand;
class CViewState;

// The state layer of every view: named states ("hover", "pushed", "active" ...) described by
// "ui:view-state" children, applied over the view's default values, with a cross-fade of the look
// (colour state and image-set range) and tweens of "opacity", "width" and "height" on the view's
// animation clock; and the "ui:view-command" children that answer the view's events.
// A view without a colour state, image-set range, "has-view-states", state objects or commands has
// no record, and every state operation on it does nothing.
// UI thread only, no lock.
class CViewBaseState : public CViewBasePlacement {
public:
    // The placement layer's scheme plus the events "set-state", "timer" and "unset-state".
    static void initScheme(CObjectScheme* scheme);

    CViewBaseState() = default;
    ~CViewBaseState() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    // Applies the states set so far (every state object below is registered by now).
    [[nodiscard]] CError* initChilds() override;

    // --- states ---
    void ensureStateData();
    [[nodiscard]] CError* registerState(const CString& name, CViewState* state);
    void unregisterState(const CString& name);
    // The values a state object applies: its "duration" and "morph-duration" as reals and the text of
    // every attribute its "state-attrs" lists.
    [[nodiscard]] CError* addViewState(CViewState* state, CAttrMap& out);
    // Blank-separated names; isImmediate applies without cross-fade or tween.
    [[nodiscard]] CError* setState(const CString& names, bool isImmediate);
    [[nodiscard]] CError* unsetState(const CString& names, bool isImmediate);
    // The whole text is one key: set names are unset, anything else is set (split at blanks).
    [[nodiscard]] CError* toggleState(const CString& name, bool isImmediate);
    // Recomputes the view's attributes from its defaults merged with every set state, in name order.
    [[nodiscard]] CError* applyStates(bool isImmediate);
    bool isStateSet(const CString& name) const;

    // --- commands ---
    void addCommand(const CString& event, CViewCommand* command);
    void removeCommand(const CString& event, CViewCommand* command);
    // Runs the commands of an event in registration order; args may be null. Survives actions that
    // release the view or its commands: it stops when the view is gone and skips a gone command.
    [[nodiscard]] CError* runCommand(const CString& event, CAttrMap* args);

    // --- animations ---
    [[nodiscard]] CError* startMorph(const CViewStateLook& look, double duration);
    void updateMorph();
    [[nodiscard]] CError* startTween(CViewStateTween& tween, const CString& name, const CString& target, double duration);
    [[nodiscard]] CError* stepTween(CViewStateTween& tween, bool& running);
    [[nodiscard]] CError* updateTweens();
    // The ease of both animations: 0 at 0, 1/2 at 1/2, 1 at 1, flat at both ends.
    static double ease(double progress) noexcept;

    // --- virtual operations of this layer ---
    // The animation clock in seconds; views read their window's frame clock.
    virtual double getTime();
    [[nodiscard]] virtual CError* onSetState(CAttrMap& args);
    [[nodiscard]] virtual CError* onTimer();
    [[nodiscard]] virtual CError* onUnsetState(CAttrMap& args);

    // --- queries ---
    CViewStateData* stateData() const noexcept { return mStateData; }

    // Watches a view for the span of a call that may release it (a command's action, a state's
    // attribute handler): the view's destructor marks every watch on it, and removing a command marks
    // the watches that run it. Nested watches form a stack on the UI thread.
    class CViewWatch {
    public:
        explicit CViewWatch(CViewBaseState* view) noexcept : mView(view), mOuter(sInnermost) { sInnermost = this; }
        ~CViewWatch() { sInnermost = mOuter; }
        CViewWatch(const CViewWatch&) = delete;
        CViewWatch& operator=(const CViewWatch&) = delete;
        bool isViewGone() const noexcept { return mViewGone; }

    private:
        friend class CViewBaseState;
        bool stopped() const noexcept { return mViewGone || mCommandGone; }

        CViewBaseState* mView;
        CViewCommand* mCurrent = nullptr;   // the command being run
        int mIndex = 0;                     // its place in the list
        bool mViewGone = false;
        bool mCommandGone = false;
        CViewWatch* mOuter;
        static inline thread_local CViewWatch* sInnermost = nullptr;
    };

private:
    using CCommandRun = CViewWatch;
    CError* runOneCommand(CViewCommand* command, const CString& event, CAttrMap* args, CCommandRun& run);
    CError* runEventAction(CViewCommand* command, const CString& event, CAttrMap* args, CCommandRun& run);
    CError* runStateReady();
    void subscribeRender();
    void unsubscribeRender();
    CString windowName() const;

    CViewStateData* mStateData = nullptr;   // owned
};

} // namespace tal
