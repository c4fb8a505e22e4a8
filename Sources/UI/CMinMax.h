#pragma once
#include "Core/CObject.h"
#include "UI/CUIParamUpdateHandler.h"

#include <algorithm>
#include <cmath>

namespace tal {

class CUIParam;

// "ui:min-max": a value range shared by displays (frequency, gain and level axes) with the mapping
// between values and normalised axis positions (logarithmic with "is-log", bent by "scale-power").
// The ends come from "min" and "max", or follow the values of the child UI parameters
// "ui-param-min" and "ui-param-max", or the display range of "ui-param-param-min-max"; an inactive
// binding collapses the range to 0..0. Fires "min-max-update" on every real change and
// "min-max-ready" once. Editor thread only.
class CMinMax : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CMinMax() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- attribute handlers ---
    [[nodiscard]] virtual CError* attrMin();
    [[nodiscard]] virtual CError* attrMax();
    [[nodiscard]] virtual CError* attrScalePower();

    // --- the mapping ---
    // The position of v; not limited at the top. A logarithmic range maps values at or below 0, and
    // every value of a range with an end at or below 0, to 0.
    double toNormal(double v) const noexcept {
        double position = 0.0;
        if (mIsLog) {
            if (mMin > 0.0 && mMax > 0.0 && v > 0.0)
                position = std::log(v / mMin) / std::log(mMax / mMin);
        } else if (mMax - mMin != 0.0) {
            position = (v - mMin) / (mMax - mMin);
        }
        if (!isUnitPower())
            position = position < 0.0 ? 0.0 : std::pow(position, mPower);
        return position;
    }
    double fromNormal(double p) const noexcept {
        if (mIsLog && (mMin <= 0.0 || mMax <= 0.0))
            return mMin;
        const double x = isUnitPower() ? p : std::pow(p, 1.0 / mPower);
        return mIsLog ? std::exp(std::log(mMax / mMin) * x + std::log(mMin)) : mMin + (mMax - mMin) * x;
    }
    double fromNormalClamped(double p) const noexcept { return fromNormal(std::clamp(p, 0.0, 1.0)); }

    // --- queries ---
    double min() const noexcept { return mMin; }
    double max() const noexcept { return mMax; }
    double power() const noexcept { return mPower; }
    bool isLog() const noexcept { return mIsLog; }

    // Whether two real settings count as equal (relative tolerance of one unit of the last place).
    static bool isSameReal(double a, double b) noexcept {
        return std::fabs(b - a) <= (std::fabs(a) + std::fabs(b)) * 2.2204461e-16;
    }

private:
    bool isUnitPower() const noexcept { return isSameReal(mPower, 1.0); }
    [[nodiscard]] CError* setField(double& field, double value);
    // Sets the activity flag of a bound end and updates the range (errors are logged).
    void setParamActive(CUIParam* param, bool isActive);
    [[nodiscard]] CError* updateFromParams();

    bool mIsLog = false;
    bool mMinActive = false;
    bool mMaxActive = false;
    bool mRangeActive = false;
    double mMin = 0.0;
    double mMax = 0.0;
    double mPower = 0.0;
    CUIParam* mMinParam = nullptr;    // not owned: a child
    CUIParam* mMaxParam = nullptr;    // not owned: a child
    CUIParam* mRangeParam = nullptr;  // not owned: a child
};

} // namespace tal
