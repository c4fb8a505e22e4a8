#pragma once
#include "Core/CTarget.h"
#include "UI/CDynListAudio.h"

namespace tal {

class CColorSwatch;
class CVizExchange;

// The export slots through which plug-in instances exchange visualisation data, as a dynamic list
// over the range of the slot parameter "ui-param-export-slot": "---" for no slot, then per slot its
// number, or the name the exchange ("ui.viz-exchange") keeps for it with its colour from the swatch
// "color-swatch". An export list ("is-import" false) shows named (used) slots disabled; an import
// list shows only named slots. Announces an update when the slot names change. No tag: the
// product's description uses none. Editor thread only.
class CDynListAudioExportSlots : public CDynListAudio {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CDynListAudioExportSlots() override;

    [[nodiscard]] CError* init() override;
    [[nodiscard]] virtual CError* onUpdateSlotNames();
    void getItems(std::int32_t listId, CStringList& out) override;

private:
    CTarget<CColorSwatch> mColorSwatch;
    bool mIsImport = false;
    CTarget<CVizExchange> mVizExchange;
};

} // namespace tal
