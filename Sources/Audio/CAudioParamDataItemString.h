#pragma once

#include "Audio/CAudioParamDataItem.h"
#include "Core/CString.h"

namespace tal {

// A string item. A stored text of exactly one blank reads back as the empty text.
class CAudioParamDataItemString : public CAudioParamDataItem {
public:
    CAudioParamDataItemString() = default;
    explicit CAudioParamDataItemString(const CString& text) : mText(text) {}

    [[nodiscard]] CAudioParamDataItem* clone() const override;
    [[nodiscard]] CError* save(COutputStream& out) const override;
    [[nodiscard]] CError* load(CInputStream& in) override;
    int getType() const override { return kTypeString; }

    const CString& getText() const { return mText; }

private:
    CString mText;
};

} // namespace tal
