#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

#include <vector>

namespace tal {
class CString;
}

namespace tal {

// The serial designer ("audio:fltgen-serial"): chains the designs of its items, each fed with
// adjusted values v'[i] = pow(v[i], e_i) * a_i (e_i and a_i are 1 where an item gives none).
// The product builds its steep low/high-pass modes and its corrected peaking mode this way.
// Configured while the description loads (the item designers are not owned and must outlive
// this designer); read-only afterwards; see CAudioFilterGen for threads.
class CAudioFilterSerialGen : public CAudioFilterGen {
public:
    static constexpr int kMaxValues = 16;   // a design with more values yields no stage

    struct Item {
        const CAudioFilterGen* designer = nullptr;
        std::vector<double> factors;      // "adjust"
        std::vector<double> exponents;    // "adjust-pow"
    };

    CAudioFilterSerialGen() = default;

    // --- configuration: while the description loads ---
    void addItem(Item item) { mItems.push_back(std::move(item)); }
    // The numbers of an "adjust" or "adjust-pow" text: split at every ",", empty pieces dropped; a
    // piece that is not a well-formed number gives 1.0.
    static std::vector<double> parseAdjustList(const CString& text);
    int itemCount() const noexcept { return static_cast<int>(mItems.size()); }

    // --- design: any thread ---
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override;

private:
    std::vector<Item> mItems;
};

} // namespace tal
