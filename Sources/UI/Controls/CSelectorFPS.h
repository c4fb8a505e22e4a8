#pragma once
#include "Core/CTarget.h"
#include "UI/Controls/CSelector.h"

namespace tal {

class CSharedAttribute;

// "ui:selector-fps": a selector of numeric choices (the editor's frame rates). A click on another
// button stores its title as text through the shared attribute named by "shared-attribute"; the
// integer attribute "value", bound to that shared attribute, marks the button whose title is that
// number (none when no title is). Setting "value" or "active-button" stores nothing.
// Owned by the object tree. UI thread only.
class CSelectorFPS : public CSelector {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CSelectorFPS() override;

    [[nodiscard]] CError* initChilds() override;
    [[nodiscard]] CError* setActiveButton(std::int32_t index, bool notify) override;
    [[nodiscard]] virtual CError* attrValue(CAttrValue& value);
    // Marks the first button whose title reads as the number in "value" (a title that is no number
    // reads as 0).
    [[nodiscard]] CError* selectButtonForValue();

private:
    CTarget<CSharedAttribute> mSharedAttribute;
};

} // namespace tal
