#include "UI/CGraphGridLines.h"

#include "UI/CMinMax.h"

#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;

} // namespace

void CGraphGridLines::frequencyLines(const CMinMax& range, double left, double width, std::vector<double>& out) {
    out.clear();
    out.push_back(left);
    out.push_back(left + width - 1.0);
    double decade = 1.0;
    for (int k = 0; k < 5; ++k, decade *= 10.0) {
        for (int d = 1; d <= 9; ++d) {
            const double g = range.toNormal(d * decade);
            const bool isZero = std::fabs(g) <= std::fabs(g) * kEpsilon;
            const bool isOne = std::fabs(g - 1.0) <= std::fabs(g) * kEpsilon + kEpsilon;
            if (!isZero && !isOne)
                out.push_back(left + g * (width - 1.0));
        }
    }
}

void CGraphGridLines::gainLines(const CMinMax& range, double gainStep, double top, double height,
                                std::vector<double>& out) {
    out.clear();
    if (CMinMax::isSameReal(gainStep, 0.0))
        return;
    const double count = std::round((range.max() - range.min()) / gainStep);
    if (!(count >= 1.0))
        return;
    for (int j = 0; j <= int(count); ++j)
        out.push_back(top + j * (height - 1.0) / count);
}

double CGraphGridLines::snap(double position) noexcept { return std::round(std::round(position * 128.0) / 128.0); }

void CGraphGridLines::place(const std::vector<double>& positions, double origin, double size, bool hideBorders,
                            std::vector<int>& out) {
    out.clear();
    for (double p : positions) {
        const double e = snap(p) - origin;
        if (hideBorders && (std::fabs(e) < 1.1 || std::fabs(e - (size - 1.0)) < 1.1))
            continue;
        if (e >= 0.0 && e < size)
            out.push_back(int(e));
    }
}

} // namespace tal
