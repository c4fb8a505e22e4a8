#include "UI/Controls/RulerParsers.h"

#include "Core/NumberText.h"

#include <cmath>

namespace tal {
namespace {

bool isBlank(std::uint32_t c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Calls piece(start, count) for every non-empty run of text[from, to) between separators.
template <class IsSeparator, class Piece>
bool forEachPiece(const CString& text, int from, int to, IsSeparator isSeparator, Piece piece) {
    int i = from;
    while (i < to) {
        while (i < to && isSeparator(text.charAt(i)))
            ++i;
        const int start = i;
        while (i < to && !isSeparator(text.charAt(i)))
            ++i;
        if (i > start && !piece(start, i - start))
            return false;
    }
    return true;
}

void readStep(const CString& text, int start, int count, CRulerStep& step, int slot) {
    if (text.charAt(start + count - 1) == '%') {
        step.isRelative[slot] = true;
        step.fraction[slot] = parseDouble(CString(text, start, count - 1)) * 0.01;
    } else {
        step.isRelative[slot] = false;
        step.step[slot] = parseDouble(CString(text, start, count));
    }
}

} // namespace

bool parseRulerStepping(const CString& text, CArray<CRulerStep>& out) {
    out.clear();
    const bool ok = forEachPiece(text, 0, text.length(), isBlank, [&](int itemStart, int itemCount) {
        int partStart[4];
        int partCount[4];
        int parts = 0;
        forEachPiece(text, itemStart, itemStart + itemCount, [](std::uint32_t c) { return c == '/'; },
                     [&](int start, int count) {
                         if (parts < 4) {
                             partStart[parts] = start;
                             partCount[parts] = count;
                         }
                         ++parts;
                         return parts <= 3;
                     });
        if (parts != 2 && parts != 3)
            return false;
        CRulerStep step;
        // Two steps a/b stand for a/a/b.
        const int first = parts == 2 ? 1 : 0;
        for (int slot = 0; slot < 3; ++slot) {
            const int part = slot < first ? 0 : slot - first;
            readStep(text, partStart[part], partCount[part], step, slot);
        }
        out.add(step);
        return true;
    });
    if (!ok)
        out.clear();
    return ok;
}

bool parseHairlineLengths(const CString& text, CArray<int>& out) {
    out.clear();
    int count = 0;
    int lengths[4] = {0, 0, 0, 0};
    forEachPiece(text, 0, text.length(), isBlank, [&](int start, int n) {
        if (count < 4) {
            const double x = parseDouble(CString(text, start, n));
            // Half away from zero; unreadable or non-finite text gives 0.
            lengths[count] = std::isfinite(x) && std::fabs(x) < 1e9 ? int(x < 0 ? -std::floor(0.5 - x)
                                                                               : std::floor(x + 0.5))
                                                                    : 0;
        }
        ++count;
        return count <= 4;
    });
    if (count != 4)
        return false;
    for (int length : lengths)
        out.add(length);
    return true;
}

} // namespace tal
