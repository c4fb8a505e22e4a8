#pragma once

#include "Audio/Filters/CAudioFilterGen.h"

#include <vector>

namespace tal {

class CString;

// The serial designer ("audio:fltgen-serial"): chains the designs of its items, each fed with
// adjusted values v'[i] = pow(v[i], e_i) * a_i (e_i and a_i are 1 where an item gives none).
// The product builds its steep low/high-pass modes and its corrected peaking mode this way.
// Its items are its "audio:fltgen-serial-item" children, collected in initChilds, or items added
// by code; the item designers are not owned and must outlive this designer. Read-only after the
// description has loaded; see CAudioFilterGen for threads.
class CAudioFilterSerialGen : public CAudioFilterGen {
public:
    static constexpr int kMaxValues = 16;   // a design with more values yields no stage

    struct Item {
        const CAudioFilterGen* designer = nullptr;
        std::vector<double> factors;      // "adjust"
        std::vector<double> exponents;    // "adjust-pow"
    };

    CAudioFilterSerialGen() = default;

    // --- life cycle and configuration: while the description loads ---
    // Appends every CAudioFilterSerialGenItem child, in child order.
    [[nodiscard]] CError* initChilds() override;
    void addItem(Item item) { mItems.push_back(std::move(item)); }
    int itemCount() const noexcept { return static_cast<int>(mItems.size()); }
    // The numbers of an "adjust" or "adjust-pow" text: split at every ",", empty pieces dropped; a
    // piece that is not a well-formed number gives 1.0.
    static std::vector<double> parseAdjustList(const CString& text);

    // --- design: any thread ---
    void designStage(CAudioFilterStageList& stages, const CAudioFilterValues& values, CDCDAWContext* context,
                     double sampleRate) const noexcept override;

private:
    std::vector<Item> mItems;
};

// One item of a serial designer ("audio:fltgen-serial-item"): the designer named by "fltgen"
// (required) and the per-position factors "adjust" and exponents "adjust-pow". Read in init.
class CAudioFilterSerialGenItem : public CObject {
public:
    CAudioFilterSerialGenItem() = default;

    [[nodiscard]] CError* init() override;

    const CAudioFilterSerialGen::Item& item() const noexcept { return mItem; }

private:
    CAudioFilterSerialGen::Item mItem;
};

} // namespace tal
