#include "UI/CViewAreaUpdateHandler.h"

#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CLayoutSolver.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace tal {

namespace {

std::string fixed2(double v) {
    const double scaled = v * 100.0;
    const double r = scaled < 0.0 ? -std::floor(0.5 - scaled) : std::floor(scaled + 0.5);
    CString text;
    formatFixedPoint(text, std::int64_t(r), 2);
    return text.chars8();
}

bool rectsDiffer(const CAreaRect& a, const CAreaRect& b) {
    return CLayoutSolver::differs(a.x, b.x) || CLayoutSolver::differs(a.y, b.y) ||
           CLayoutSolver::differs(a.width, b.width) || CLayoutSolver::differs(a.height, b.height);
}

} // namespace

CString formatRectText(const CAreaRect& r) {
    const std::string text = "(" + fixed2(r.x) + " " + fixed2(r.y) + "; " + fixed2(r.width) + " x " + fixed2(r.height) + ")";
    return CString(text.c_str());
}

CError* CViewAreaUpdateHandler::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (!isDebug)
        return nullptr;
    const std::string t = formatRectText(total).chars8();
    const std::string k = rectsDiffer(clip, total) ? std::string(formatRectText(clip).chars8()) : std::string("no");
    const std::string line = "handleViewAreaUpdate \"" + std::string(debugName.chars8()) + "\" Total=" + t + " Clip=" + k;
    writeLog(line.c_str(), true);
    return nullptr;
}

CError* CViewAreaUpdateHandler::updateContent() { return nullptr; }

} // namespace tal
