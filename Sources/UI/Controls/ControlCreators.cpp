#include "UI/Controls/ControlCreators.h"

#include "Other/CColorSwatch.h"
#include "UI/Controls/CCaption.h"
#include "UI/Controls/CKnob.h"
#include "UI/Controls/CKnobLabels.h"
#include "UI/Controls/CMouseMoveNotifier.h"
#include "UI/Controls/CMultiChangeDisplay.h"
#include "UI/Controls/CReadOut.h"
#include "UI/Controls/CReadOutAlt.h"
#include "UI/Controls/CSimpleSlider.h"
#include "UI/Controls/CRuler.h"
#include "UI/Controls/CRulerArea.h"
#include "UI/Controls/CButton.h"
#include "UI/Controls/CButtonAB.h"
#include "UI/Controls/CCaption.h"
#include "UI/Controls/CSelectorFPS.h"
#include "UI/Controls/CSelectorScale.h"
#include "UI/Controls/CTextView.h"
#include "UI/CUIParamController.h"

namespace tal {

const CCreatorTableEntry kControlCreatorTable[] = {
    {"ui:button-ab", &CButtonAB::create, &CButtonAB::initScheme},
    {"ui:button-base", &CButton::create, &CButton::initScheme},
    {"ui:caption", &CCaption::create, &CCaption::initScheme},
    {"ui:color-swatch", &CColorSwatch::create, &CObject::initScheme},
    {"ui:multichange-display", &CMultiChangeDisplay::create, &CMultiChangeDisplay::initScheme},
    {"ui:readout", &CReadOut::create, &CReadOut::initScheme},
    {"ui:readout-alt", &CReadOutAlt::create, &CReadOutAlt::initScheme},
    {"ui:selector-fps", &CSelectorFPS::create, &CSelectorFPS::initScheme},
    {"ui:selector-scale", &CSelectorScale::create, &CSelectorScale::initScheme},
    {"ui:textview", &CTextView::create, &CTextView::initScheme},
    {"ui:knob", &CKnob::create, &CKnob::initScheme},
    {"ui:knob-labels", &CKnobLabels::create, &CKnobLabels::initScheme},
    {"ui:mouse-move-notifier", &CMouseMoveNotifier::create, &CView::initScheme},
    {"ui:simple-slider", &CSimpleSlider::create, &CSimpleSlider::initScheme},
    {"ui:ruler", &CRuler::create, &CRuler::initScheme},
    {"ui:ruler-area", &CRulerArea::create, &CRulerArea::initScheme},
    {"ui:ui-param-controller", &CUIParamController::create, &CUIParamController::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
