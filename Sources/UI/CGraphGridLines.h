#pragma once
#include <vector>

namespace tal {

class CMinMax;

// The positions of a graph's background grid when no ruler supplies them: vertical lines at every
// d·10^k (d = 1..9, 1 Hz to 90 kHz) on a frequency range, horizontal lines every gain step on a gain
// range, and their placement as whole pixels of the view. Pure computations; the grid-line view
// calls them in prepareDraw.
class CGraphGridLines {
public:
    // Window x positions: the two borders (left, left + width - 1), then left + g·(width - 1) for
    // every candidate value whose normalised position g is neither 0 nor 1. Values outside the range
    // stay in the list (they fall outside the view).
    static void frequencyLines(const CMinMax& range, double left, double width, std::vector<double>& out);
    // Window y positions top + j·(height - 1)/count for j = 0..count, count = the range over the
    // step rounded to the nearest integer; none for a step of 0 or a count below 1.
    static void gainLines(const CMinMax& range, double gainStep, double top, double height, std::vector<double>& out);
    // A window position on whole pixels: first to 1/128 pixel, then to the pixel, halves away from 0.
    static double snap(double position) noexcept;
    // The view coordinates of the lines that lie inside a view of `size` pixels at `origin`, in list
    // order; with hideBorders, lines within 1.1 pixels of either edge are dropped.
    static void place(const std::vector<double>& positions, double origin, double size, bool hideBorders,
                      std::vector<int>& out);
};

} // namespace tal
