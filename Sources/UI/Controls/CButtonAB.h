#pragma once
#include "Core/CTarget.h"
#include "UI/Controls/CButton.h"

namespace tal {

class CPluginControl;

// "ui:button-ab": the A/B compare button. A click asks the audio side to exchange the two settings
// ("on-ab" of "ui.plugin-control") and then shows the other side: the view state "b-state" on this
// button and on the partner copy button ("copy-button-path") while B is current, the label
// ".labels.a" or ".labels.b" of the current side coloured "Selection" and the other "ButtonAB".
// The parameter of slot ".ui-param-ab-state" (0 A, 1 B) is written on a click and followed
// otherwise; without it the state lives in the button. A failing "on-ab" changes nothing.
// Owned by the object tree; the labels and the plug-in control are not owned. UI thread only.
class CButtonAB : public CButton {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CButtonAB() override;

    [[nodiscard]] CError* init() override;
    // The button's second step, the three label views, then the look of state A.
    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;
    [[nodiscard]] CError* onHighlightChanged(bool highlighted) override;
    [[nodiscard]] virtual CError* onCopyButtonReady();

    // Shows stateA (true: A); with notify the audio side is asked first and the parameter written
    // only after it agreed.
    [[nodiscard]] CError* setABState(bool stateA, bool notify);

    bool isStateA() const noexcept { return mIsStateA; }

private:
    CTarget<CButton> mCopyButton;
    bool mIsStateA = true;
    CView* mLabels = nullptr;          // not owned: children
    CView* mLabelA = nullptr;          // not owned
    CView* mLabelB = nullptr;          // not owned
    CPluginControl* mPluginControl = nullptr;   // not owned: found by init
    std::int32_t mAbStateSlot = -1;
};

} // namespace tal
