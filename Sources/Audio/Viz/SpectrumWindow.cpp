#include "Audio/Viz/SpectrumWindow.h"

#include <cmath>

namespace tal {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// The sequence x(k) = cos(k * theta + phase) or sin(...) by the two-term recurrence
// x(k+1) = 2 cos(theta) x(k) - x(k-1), started from two library values.
struct CRecurrence {
    CRecurrence(double first, double second, double theta) : twoCos(2.0 * std::cos(theta)), current(first), following(second) {}
    double next() noexcept {
        const double value = current;
        const double after = twoCos * following - current;
        current = following;
        following = after;
        return value;
    }
    double twoCos;
    double current;
    double following;
};

CRecurrence cosines(double theta) { return CRecurrence(1.0, std::cos(theta), theta); }

} // namespace

void buildSpectrumWindow(std::int32_t type, double* out, std::int32_t count) {
    if (count <= 0)
        return;
    const double n = double(count);
    const double theta = kTwoPi / n;
    switch (type) {
    case kWindowBlackman: {
        const double scale = 3.3671751485073687 / n;
        CRecurrence c1 = cosines(theta), c2 = cosines(2.0 * theta);
        for (std::int32_t k = 0; k < count; ++k)
            out[k] = scale * (0.42 - 0.5 * c1.next() + 0.08 * c2.next());
        break;
    }
    case kWindowHiRes: {
        const double scale = 5.527964235380254 / n;
        CRecurrence c1 = cosines(theta), c2 = cosines(2.0 * theta), c3 = cosines(3.0 * theta);
        for (std::int32_t k = 0; k < count; ++k) {
            const double v = 0.355768 - 0.487396 * c1.next() + 0.144232 * c2.next() - 0.012604 * c3.next();
            out[k] = scale * v * v;
        }
        break;
    }
    case kWindowDome: {
        const double scale = 1.854082169738002 / n;
        const double step = kPi / n;
        CRecurrence s(std::sin(step), std::sin(2.0 * step), step);
        for (std::int32_t k = 0; k < count; ++k)
            out[k] = scale * std::sqrt(std::fabs(s.next()));
        break;
    }
    default: {
        const double scale = 2.82842712474619 / n;
        CRecurrence c1 = cosines(theta);
        for (std::int32_t k = 0; k < count; ++k)
            out[k] = scale * (0.5 - 0.5 * c1.next());
        break;
    }
    }
}

} // namespace tal
