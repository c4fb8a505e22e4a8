#include "UI/Controls/ControlCreators.h"

#include "UI/Controls/CTextView.h"

namespace tal {

const CCreatorTableEntry kControlCreatorTable[] = {
    {"ui:textview", &CTextView::create, &CTextView::initScheme},
    {"", nullptr, nullptr},
};

} // namespace tal
