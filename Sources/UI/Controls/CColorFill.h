#pragma once
#include "Other/CColor.h"
#include "UI/CView.h"

namespace tal {

// "ui:color-fill": paints its whole area with one colour that code gives it (the colour picker sets
// the pure colour of the chosen hue behind its field). The owner rebuilds the colour's tone ramp on
// the UI thread and then invalidates the view; a colour never built paints white. Owned by the
// object tree; paint reads the colour only.
class CColorFill : public CView {
public:
    static CObject* create();

    void paint(CSector& sector) override;

    CColor& fillColor() noexcept { return mFillColor; }

private:
    CColor mFillColor;
};

} // namespace tal
