#pragma once
#include "Core/CTarget.h"
#include "UI/CDynListObject.h"

namespace tal {

class CColorSwatch;

// "ui:dynlist-color-swatch": the colours of the colour swatch named by "color-swatch" as items that
// show a colour patch ("[IMG=is.button#Color:<name>]"), in ascending order of colour index, with
// the index as each item's value. Points at the swatch without owning it. Editor thread only.
class CDynListColorSwatch : public CDynListObject {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CDynListColorSwatch() override;

    [[nodiscard]] CError* init() override;
    void getItems(std::int32_t listId, CStringList& out) override;

private:
    CTarget<CColorSwatch> mColorSwatch;
};

} // namespace tal
