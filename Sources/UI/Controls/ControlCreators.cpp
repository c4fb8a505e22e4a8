#include "UI/Controls/ControlCreators.h"

#include "UI/Controls/CButton.h"
#include "UI/Controls/CButtonAB.h"
#include "UI/Controls/CCaption.h"
#include "UI/Controls/CSelectorFPS.h"
#include "UI/Controls/CSelectorScale.h"
#include "UI/Controls/CTextView.h"

namespace tal {

const CCreatorTableEntry kControlCreatorTable[] = {
    {"ui:button-ab", &CButtonAB::create, &CButtonAB::initScheme},
    {"ui:button-base", &CButton::create, &CButton::initScheme},
    {"ui:caption", &CCaption::create, &CCaption::initScheme},
    {"ui:selector-fps", &CSelectorFPS::create, &CSelectorFPS::initScheme},
    {"ui:selector-scale", &CSelectorScale::create, &CSelectorScale::initScheme},
    {"ui:textview", &CTextView::create, &CTextView::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
