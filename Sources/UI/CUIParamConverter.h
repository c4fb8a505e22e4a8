#pragma once
#include "Core/CObject.h"
#include "UI/CUIParamUpdateHandler.h"

namespace tal {

// "ui:ui-param-converter": copies the plain value of its child UI parameter, plus "incr", into the
// attribute "attr" of the object "target" at every change (integer mode "is-integer": rounded half
// away from zero, and with "is-ignore-negative" a negative result is not written). Owned by the
// editor tree; editor thread only.
class CUIParamConverter : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CUIParamConverter() override;

    // --- life cycle ---
    // Reads "is-ignore-negative" and "is-integer".
    [[nodiscard]] CError* init() override;

    // --- CUIParamUpdateHandler ---
    // Writes the target's attribute; errors of the lookup and the write are returned.
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

private:
    bool mIsIgnoreNegative = false;
    bool mIsInteger = false;
};

} // namespace tal
