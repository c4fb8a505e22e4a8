#include "ViewSheet.h"

#include "Core/CError.h"
#include "Other/CColor.h"
#include "Other/CLinearBitmap.h"
#include "UI/CSector.h"
#include "UI/CView.h"
#include "UI/CViewColorTable.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace delmaro_tool {

using namespace tal;

namespace {

class CSheetView : public CView {
public:
    void paint(CSector& sector) override {
        const CColor* color = colorTable() != nullptr ? colorTable()->colorInState(0, sector.colorState) : nullptr;
        CPixelRect visible;
        if (color == nullptr || !drawItem(1)->intersectContext(sector, visible)) return;
        sector.target->fillRect(visible, *color, 255, 1.0);
    }
};

// Every view of the subtree at view that is shown, in tree order.
void collectViews(CObject* object, std::vector<CView*>& views) {
    auto* view = dynamic_cast<CView*>(object);
    if (view != nullptr && (view->area() == nullptr || !view->area()->isShown())) return;
    if (view != nullptr) views.push_back(view);
    for (int i = 0; i < object->childCount(); ++i) collectViews(object->child(i), views);
}

} // namespace

CObject* createSheetView() { return new CSheetView; }

CError* renderViewSheet(CView& root, double scale, CLinearBitmap& out) {
    if (root.area() == nullptr) return newError("The root view has no area.", root.getFullName());
    root.area()->setWindowScale(scale, scale);
    if (CError* error = root.updateLayout()) return traceError(error, root.getFullName());
    const CAreaRect& total = root.area()->totalRect();
    const std::int32_t width = std::max(1, std::int32_t(std::ceil(total.width)));
    const std::int32_t height = std::max(1, std::int32_t(std::ceil(total.height)));
    if (CError* error = out.setSize(width, height, true)) return traceError(error, root.getFullName());
    std::vector<CView*> views;
    collectViews(&root, views);
    std::stable_sort(views.begin(), views.end(), [](CView* a, CView* b) { return a->z() < b->z(); });
    CSector sector;
    sector.windowRect = CPixelRect{0, 0, width, height};
    for (CView* view : views) {
        const CAreaRect& clip = view->area()->clipRect();
        if (view->cumulativeOpacity() < 0.005 || clip.width <= 0.1 || clip.height <= 0.1) continue;
        view->selectColorStates();
        if (!view->prepareDraw()) continue;
        sector.clipRect = CPixelRect{0, 0, width, height};
        CPixelRect visible;
        if (!view->drawItem(1)->intersectContext(sector, visible)) continue;
        sector.clipRect = visible;
        sector.target = &out;
        view->paintToSector(sector);
    }
    return nullptr;
}

} // namespace delmaro_tool
