#include "UI/Controls/CRulerScale.h"

#include "Core/CStringList.h"
#include "Core/CSystem.h"
#include "Core/NumberText.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <locale.h>

namespace tal {
namespace {

constexpr double kEpsilon = 2.220446049250313e-16;
constexpr double kFarAway = -1e20;   // offset of a zero that is not in the range

// Equal texts, with the cheap differences ruled out first.
bool sameText(const CString& a, const CString& b) noexcept {
    return a.length() == b.length() && (a.isEmpty() || a.charAt(0) == b.charAt(0)) && a == b;
}

bool sameValue(double a, double b) noexcept { return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * kEpsilon; }

double roundHalfAway(double x) noexcept { return x < 0.0 ? -std::floor(0.5 - x) : std::floor(x + 0.5); }

bool hasPowerCurve(double power) noexcept { return std::fabs(power - 1.0) > std::fabs(power) * kEpsilon + kEpsilon; }

double applyPower(double t, double power) noexcept {
    if (!hasPowerCurve(power))
        return t;
    return t >= 0.0 ? std::pow(t, power) : 0.0;
}

// The normalised position without the power curve; 0 for degenerate ranges.
double normalizePlain(bool isLog, double value, double min, double max) noexcept {
    double t = 0.0;
    if (isLog) {
        const double range = min > 0.0 && max > 0.0 ? std::log(max / min) : 0.0;
        if (range != 0.0 && value > 0.0)
            t = std::log(value / min) / range;
    } else if (max - min != 0.0) {
        t = (value - min) / (max - min);
    }
    return std::isfinite(t) ? t : 0.0;
}

// The C locale, made once: label numbers never take the host's decimal comma. Freed when the
// module is unloaded, so a host that loads and unloads the plug-in again and again loses nothing.
struct CLocaleHolder {
    locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    ~CLocaleHolder() {
        if (locale != locale_t(nullptr)) freelocale(locale);
    }
};

locale_t cLocale() noexcept {
    static const CLocaleHolder holder;
    return holder.locale;
}

// Checks a label format: literal text, "%%" and at most one f, e, g, E or G conversion with flags,
// width and precision (two digits each) and an optional "l". On success conversion holds the narrow conversion ("%.0f") and
// [convStart, convEnd) its place in the format; hasConversion tells whether there is one.
bool checkFormat(const CString& format, char (&conversion)[16], int& convStart, int& convEnd, bool& hasConversion) {
    hasConversion = false;
    const int n = format.length();
    for (int i = 0; i < n; ++i) {
        if (format.charAt(i) != '%')
            continue;
        if (format.charAt(i + 1) == '%') {
            ++i;
            continue;
        }
        if (hasConversion)
            return false;
        int j = i + 1;
        int out = 0;
        conversion[out++] = '%';
        int flags = 0;
        while (j < n && (format.charAt(j) == '-' || format.charAt(j) == '+' || format.charAt(j) == ' ' ||
                         format.charAt(j) == '#' || format.charAt(j) == '0')) {
            if (++flags > 5)
                return false;
            conversion[out++] = char(format.charAt(j++));
        }
        for (int digits = 0; j < n && format.charAt(j) >= '0' && format.charAt(j) <= '9'; ++digits, ++j) {
            if (digits == 2)
                return false;
            conversion[out++] = char(format.charAt(j));
        }
        if (format.charAt(j) == '.') {
            conversion[out++] = '.';
            ++j;
            for (int digits = 0; j < n && format.charAt(j) >= '0' && format.charAt(j) <= '9'; ++digits, ++j) {
                if (digits == 2)
                    return false;
                conversion[out++] = char(format.charAt(j));
            }
        }
        // "l" changes nothing for a double ("%lf" is "%f"); "L" would read a long double.
        if (format.charAt(j) == 'l')
            ++j;
        const std::uint32_t c = format.charAt(j);
        if (c != 'f' && c != 'e' && c != 'g' && c != 'E' && c != 'G')
            return false;
        conversion[out++] = char(c);
        conversion[out] = 0;
        convStart = i;
        convEnd = j + 1;
        hasConversion = true;
        i = j;
    }
    return true;
}

// Appends format[from, to) with "%%" read as "%".
void appendLiteral(CString& out, const CString& format, int from, int to) {
    int run = from;
    for (int i = from; i < to; ++i) {
        if (format.charAt(i) == '%') {
            out.appendSub(format, run, i - run);
            out.appendChar('%');
            ++i;
            run = i + 1;
        }
    }
    if (to > run)
        out.appendSub(format, run, to - run);
}

void appendNumber(CString& out, const char* conversion, double value) {
    char buffer[64];
    const locale_t previous = uselocale(cLocale());
    std::snprintf(buffer, sizeof buffer, conversion, value);
    uselocale(previous);
    out.append(buffer);
}

} // namespace

double CRulerScale::normalize(double value) const noexcept {
    const double t = applyPower(normalizePlain(isLog, value, min, max), power);
    return std::isfinite(t) ? t : 0.0;
}

double CRulerScale::offsetOf(double t) const noexcept {
    const double h = (end - start) * (isMirrored ? 0.5 : 1.0);
    return start < end ? h * (1.0 - t) : -h * t;
}

double CRulerScale::valueToPosition(bool isInverted, bool isAbsolute, double value) const noexcept {
    double t = normalize(value);
    if (isInverted)
        t = 1.0 - t;
    double position = offsetOf(t);
    if (isAbsolute)
        position += start + std::min((end - start) * (isMirrored ? 0.5 : 1.0), 0.0);
    return position;
}

void CRulerScale::clear() noexcept {
    for (CArray<CRulerHairline>& group : hairlineGroups)
        group.clear();
    labels.clear();
    labelValues.clear();
}

void CRulerScale::addHairline(int group, double position, bool isMinor) {
    hairlineGroups[group].add(CRulerHairline{position, isMinor});
}

void CRulerScale::addLabel(double position, CString text) {
    labels.push_back(CRulerLabel{position, std::move(text)});
}

bool CRulerScale::hasNear(const std::vector<double>& sorted, double low, double high) noexcept {
    const auto it = std::upper_bound(sorted.begin(), sorted.end(), low);
    return it != sorted.end() && *it < high;
}

void CRulerScale::buildLabels(bool isVertical) {
    clear();
    span = end - start;
    lowerBound = span > 0.0 ? start : end;
    if (isMirrored)
        span *= 0.5;
    if (min == 0.0 && max == 0.0)
        return;
    // Nothing sensible can be laid out over non-finite inputs.
    if (!std::isfinite(start) || !std::isfinite(end) || !std::isfinite(min) || !std::isfinite(max) ||
        !std::isfinite(power) || !std::isfinite(uiScale))
        return;
    if (span == 0.0) {
        addLabel(start, getLabelText(max));
        return;
    }
    if (lineCount >= 2) {
        addLineCountLabels();
        return;
    }
    if (isLabelsLinear) {
        addTitleLabels();
        return;
    }
    addEndLabels();
    if (steps.isEmpty())
        return;
    for (CRulerStep& item : steps)
        for (int k = 0; k < 3; ++k)
            if (item.isRelative[k])
                item.step[k] = item.fraction[k] * (max - min);

    // The finest item whose middle step leaves room for a label.
    const double maxOffset = offsetOf(normalize(max));
    int item = steps.count() - 1;
    for (int i = 0; i < steps.count(); ++i) {
        const double d = std::fabs(maxOffset - offsetOf(normalize(max - steps[i].step[1])));
        if (d > uiScale * minLabelSpacing) {
            item = i;
            break;
        }
    }

    const int endLabelCount = int(labels.size());
    addGridPass(true, false, isVertical, item);
    // A logarithmic walk does not use the steps: further passes would only repeat it.
    if (!isLog) {
        addGridPass(false, false, isVertical, item);
        addGridPass(false, true, isVertical, item);
    }
    if (!matchWildcard(labelFormat, "*.*") || matchWildcard(labelFormat, "*.0f"))
        removeDuplicateLabels(endLabelCount);
    if (isMirrored) {
        const int count = int(labels.size());
        for (int i = endLabelCount; i < count; ++i) {
            CRulerLabel copy = labels[std::size_t(i)];
            copy.position = end - copy.position + start;
            labels.push_back(std::move(copy));
        }
    }
}

void CRulerScale::addEndLabels() {
    const int group = isLog ? 1 : 3;
    addHairline(group, start, false);
    labelValues.add(max);
    addLabel(start, getLabelText(max));
    if (isMirrored) {
        addHairline(group, end, false);
        labelValues.add(max);
        addLabel(end, getLabelText(max));
    }
    addHairline(group, start + span, false);
    labelValues.add(min);
    addLabel(start + span, getLabelText(min));
    if (isLog || std::min(min, max) > 0.0 || std::max(min, max) < 0.0)
        return;
    const double zero = offsetOf(normalize(0.0));
    addHairline(group, lowerBound + zero, false);
    const double u = labelSize * 0.5 * uiScale;
    if (std::fabs(offsetOf(0.0) - zero) > u && std::fabs(offsetOf(1.0) - zero) > u) {
        labelValues.add(0.0);
        addLabel(lowerBound + zero, getLabelText(0.0));
    }
    if (isMirrored)
        addHairline(group, end - (lowerBound + zero) + start, false);
}

void CRulerScale::addGridPass(bool isMajor, bool isMinor, bool isVertical, int item) {
    double s = steps[item].step[isMajor ? 2 : isMinor ? 0 : 1];
    if (max < min)
        s = -s;
    const int group = isLog ? 1 : isMajor ? 2 : isMinor ? 0 : 1;
    const double lo = std::min(min, max);
    const double hi = std::max(min, max);
    const double oMin = offsetOf(0.0);
    const double oMax = offsetOf(1.0);
    const double oZero = lo <= 0.0 && 0.0 <= hi ? offsetOf(normalize(0.0)) : kFarAway;
    const double u = uiScale * labelSize;
    double lastHairline = 2.0 * span;
    double lastLabel = 2.0 * span;
    // What the overlap checks compare against, sorted once. Labels added by this pass need no
    // check: the walk is monotonic, so the last one (lastLabel) is the nearest of them.
    const bool checksOverlap = isHideOverlappingLabels && !isMajor;
    mMajorPositions.clear();
    mLabelPositions.clear();
    if (checksOverlap) {
        for (const CRulerHairline& major : hairlineGroups[2])
            mMajorPositions.push_back(major.position);
        for (const CRulerLabel& label : labels)
            mLabelPositions.push_back(label.position);
        std::sort(mMajorPositions.begin(), mMajorPositions.end());
        std::sort(mLabelPositions.begin(), mLabelPositions.end());
    }

    auto use = [&](double v) {
        if (sameValue(v, min) || sameValue(v, max) || v == 0.0 || v < lo || v > hi)
            return;
        const double offset = positionOfValue(v);
        const double position = lowerBound + offset;
        if (std::fabs(lastHairline - offset) > 2.0 && std::fabs(oZero - offset) > 3.0 &&
            std::fabs(oMin - offset) > 3.0 && std::fabs(oMax - offset) > 3.0) {
            // A major hairline p with |p + 1 - position| < 2 hides this one.
            const bool drop = (isVertical && position > start + span) ||
                              (checksOverlap && hasNear(mMajorPositions, position - 3.0, position + 1.0));
            if (!drop) {
                addHairline(group, position, isMinor);
                if (isMirrored)
                    addHairline(group, end - position + start, isMinor);
                lastHairline = offset;
            }
        }
        if (isMinor)
            return;
        if (std::fabs(lastLabel - offset) > u && std::fabs(oMin - offset) > u && std::fabs(oMax - offset) > u &&
            std::fabs(oZero - offset) > u && !(checksOverlap && hasNear(mLabelPositions, position - u, position + u))) {
            labelValues.add(v);
            addLabel(position, getLabelText(v));
            lastLabel = offset;
        }
    };

    if (isLog) {
        // 1 000 000, 990 000 ... 10 000, then 9000 ... 1000, 900 ... 100, 90 ... 10, 9 ... 2.
        const double maxOffset = offsetOf(normalize(max));
        bool previousAbove = false;
        for (int unit = 10000; unit >= 1; unit /= 10) {
            const int first = unit == 10000 ? 100 : 9;
            const int last = unit == 1 ? 2 : 1;
            for (int n = first; n >= last; --n) {
                const double v = double(n) * double(unit);
                // The first value under max would crowd the max label.
                const bool crowded = previousAbove && v < max &&
                                     std::fabs(maxOffset - positionOfValue(v)) <= uiScale * labelSize;
                previousAbove = v > max;
                if (!crowded)
                    use(v);
            }
        }
        return;
    }
    // A zero, unusable or too fine step gives no values.
    if (!(s != 0.0) || !std::isfinite(s) || std::fabs(max - min) / std::fabs(s) > kMaxGridValues)
        return;
    // Values are whole multiples of the step, walked from above max toward min.
    double k = roundHalfAway(max / s) + 2.0;
    auto beyondMax = [&](double v) { return s > 0.0 ? v > max : v < max; };
    auto beyondMin = [&](double v) { return s > 0.0 ? v < min : v > min; };
    for (;;) {
        k -= 1.0;
        double v = k * s;
        while (beyondMax(v)) {
            k -= 1.0;
            v = k * s;
        }
        if (sameValue(v, min) || beyondMin(v))
            break;
        use(v);
    }
}

void CRulerScale::removeDuplicateLabels(int keepCount) {
    std::vector<CRulerLabel> kept;
    kept.reserve(labels.size());
    const int count = int(labels.size());
    keepCount = std::min(keepCount, count);
    for (int i = 0; i < keepCount; ++i)
        kept.push_back(labels[std::size_t(i)]);
    for (int i = keepCount; i < count; ++i) {
        if (labels[std::size_t(i)].text.isEmpty())
            continue;
        const CString text = labels[std::size_t(i)].text;
        bool isEndText = false;
        for (int j = 0; j < keepCount && !isEndText; ++j)
            isEndText = sameText(labels[std::size_t(j)].text, text);
        bool valid = false;
        double printed = parseDouble(text, &valid);
        if (!valid)
            printed = -999.0;
        // Of the labels printing the same text, the one whose value is nearest the text stays; the
        // group is handled once, so each of them is emptied here.
        double bestPosition = labels[std::size_t(i)].position;
        double bestDistance = 999.0;
        for (int j = i; j < count; ++j) {
            CRulerLabel& other = labels[std::size_t(j)];
            if (!sameText(other.text, text))
                continue;
            const double d = j < labelValues.count() ? std::fabs(labelValues[j] - printed) : 999.0;
            if (d < bestDistance) {
                bestDistance = d;
                bestPosition = other.position;
            }
            other.text = CString::emptyString;
        }
        if (!isEndText)
            kept.push_back(CRulerLabel{bestPosition, text});
    }
    labels.swap(kept);
}

void CRulerScale::addLineCountLabels() {
    const double absSpan = std::fabs(span);
    // The normalised range that lies inside the visible bounds (with their 0.1 px tolerance).
    const double xA = 1.0 - (visibleStart - 0.1 - start) / span;
    const double xB = 1.0 - (visibleEnd + 0.1 - start) / span;
    const double xLow = std::min(xA, xB);
    const double xHigh = std::min(std::max(xA, xB), 1.0001);
    double a = 0.0;
    double s = 1.0 / (lineCount - 1);
    bool isFirstLevel = true;
    CArray<double> level;
    for (int depth = 0; depth < kMaxLineCountLevels; ++depth) {
        level.clear();
        const std::size_t existing = labels.size();
        double i = std::max(0.0, std::floor((xLow - a) / s) - 1.0);
        for (;; i += 1.0) {
            const double x = a + i * s;
            if (x >= 1.0001 || x > xHigh + s)
                break;
            const double p = (1.0 - x) * span + start;
            if (p < visibleStart - 0.1 || p > visibleEnd + 0.1)
                continue;
            level.add(x);
            // A level that would exceed the line count is dropped whole and ends the refinement.
            if (existing + std::size_t(level.count()) > std::size_t(lineCount))
                return;
        }
        for (double x : level) {
            const double p = (1.0 - x) * span + start;
            CString text;
            CUIParam* param = lineCountParam;
            if (param != nullptr && param->bridge() != nullptr && !param->isSimple() &&
                param->sharedAttribute() == nullptr)
                param->bridge()->formatNormalizedValue(text, param->getComponentCount() == 2 ? 1 : 0, -1, x);
            addLabel(p, std::move(text));
            addHairline(isFirstLevel ? 1 : 0, p, false);
        }
        if (labels.size() >= std::size_t(lineCount))
            return;
        // Each further level adds the midpoints between the lines so far.
        if (isFirstLevel) {
            a = s * 0.5;
        } else {
            a *= 0.5;
            s *= 0.5;
        }
        isFirstLevel = false;
        // Midpoints closer than a pixel to their neighbours add nothing visible.
        if (a * absSpan < 1.0)
            return;
    }
}

void CRulerScale::addTitleLabels() {
    if (titles == nullptr || titles->count() == 0)
        return;
    const int k = titles->count();
    if (k == 1) {
        addLabel(start + span * 0.5, getLabelText(min));
        return;
    }
    const double u = uiScale * labelSize;
    double previous = 0.0;
    for (int i = 0; i < k; ++i) {
        const double f = double(i) / double(k - 1);
        const double p = start + span * f;
        if (i == 0 || i == k - 1 || !isHideOverlappingLabels ||
            (std::fabs(previous - p) >= u && std::fabs(span * f) >= u && std::fabs(span - span * f) >= u)) {
            addLabel(p, getLabelText(min + (max - min) * f));
            previous = p;
        }
    }
}

CString CRulerScale::getLabelText(double value) const {
    if (titles != nullptr)
        return formatLabelValue(isLog, labelFormat, titles, value, min, max);
    if (scaleParam != nullptr) {
        const double display = scaleParam->toDisplay(0, normalizePlain(isLog, value, min, max));
        return formatLabelValue(isLog, labelFormat, nullptr, display, 0.0, 1.0);
    }
    return formatLabelValue(isLog, labelFormat, nullptr, value, min, max);
}

CString CRulerScale::formatLabelValue(bool isLog, const CString& format, const CStringList* titles, double value,
                                      double min, double max) {
    if (titles != nullptr) {
        const int k = titles->count();
        double f = max - min != 0.0 ? (value - min) / (max - min) : 0.0;
        f = std::isfinite(f) ? std::clamp(f, 0.0, 1.0) : 0.0;
        const int index = int(roundHalfAway((k - 1) * f));
        return index >= 0 && index < k ? (*titles)[index] : CString();
    }
    const bool isThousands = isLog && value > 999.9;
    if (isThousands)
        value *= 0.001;
    char conversion[16];
    int convStart = 0;
    int convEnd = 0;
    bool hasConversion = false;
    CString out;
    if (!checkFormat(format, conversion, convStart, convEnd, hasConversion)) {
        appendNumber(out, "%g", value);
    } else if (!hasConversion) {
        appendLiteral(out, format, 0, format.length());
    } else {
        appendLiteral(out, format, 0, convStart);
        appendNumber(out, conversion, value);
        appendLiteral(out, format, convEnd, format.length());
    }
    if (out.equals("-0"))
        return CString("0");
    if (isThousands)
        out.append("k");
    return out;
}

} // namespace tal
