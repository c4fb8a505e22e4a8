#include "UI/Controls/ControlCreators.h"

#include "UI/Controls/CCaption.h"
#include "UI/Controls/CRuler.h"
#include "UI/Controls/CRulerArea.h"
#include "UI/Controls/CTextView.h"

namespace tal {

const CCreatorTableEntry kControlCreatorTable[] = {
    {"ui:caption", &CCaption::create, &CCaption::initScheme},
    {"ui:textview", &CTextView::create, &CTextView::initScheme},
    {"ui:ruler", &CRuler::create, &CRuler::initScheme},
    {"ui:ruler-area", &CRulerArea::create, &CRulerArea::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
