#pragma once
#include "Core/CCheckedObject.h"
#include "Core/CString.h"
#include "UI/CAreaRect.h"

namespace tal {

class CError;

// The owner side of a view area: the layout pass reports the area's new rectangles through it and
// asks it to rebuild view-specific content after layout. Every view derives from it; tests use small
// owners of their own. Not owned by the area; it outlives its area. UI thread only.
class CViewAreaUpdateHandler : public CCheckedObject {
public:
    // --- life cycle ---
    CViewAreaUpdateHandler() = default;
    ~CViewAreaUpdateHandler() override = default;
    CViewAreaUpdateHandler(const CViewAreaUpdateHandler&) = delete;
    CViewAreaUpdateHandler& operator=(const CViewAreaUpdateHandler&) = delete;

    // --- called by the layout pass ---
    // New total and clip rectangles in window pixels (both zero for a hidden area). The base writes
    // the line 'handleViewAreaUpdate "name" Total=(..) Clip=(..)' to the log when isDebug is set, with
    // "no" for a clip equal to the total rectangle, and returns null. An error ends the layout pass.
    [[nodiscard]] virtual CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip);
    // A content update asked for with CLayoutSolver::requestContentUpdate. The base does nothing.
    [[nodiscard]] virtual CError* updateContent();

    bool isDebug = false;
    CString debugName;   // the view's full name, for debug lines
};

// The text of a rectangle for debug lines: "(10.00 20.50; 100.00 x 30.00)".
CString formatRectText(const CAreaRect& rect);

} // namespace tal
