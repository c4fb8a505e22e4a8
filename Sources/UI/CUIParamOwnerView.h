#pragma once

namespace tal {

class CError;

// What the UI-parameter update handler needs of an owner that is a view: a way to disable it while
// a required parameter is absent or inactive. The view's own setting is its bool attribute
// "is-disabled", which the handler reads from the owner object. Implemented beside CObject by the
// view classes; editor thread only.
class CUIParamOwnerView {
public:
    virtual ~CUIParamOwnerView() = default;
    // Sets the view's disabled state; an error object or null.
    [[nodiscard]] virtual CError* setDisabled(bool disabled) = 0;
};

} // namespace tal
