#pragma once

namespace tal {

class CError;
class CObject;
class CString;

// The unbuilt body of a template placeholder: the description of the objects that instantiating
// the template makes. Owned by its placeholder object and destroyed with it. The description
// loader provides the implementation; the object tree only asks it for its tag and to build.
class CTemplateBody {
public:
    virtual ~CTemplateBody() = default;

    // The tag of the body's top element: the tag of every object made from the template.
    virtual const CString& bodyTag() const = 0;
    // Sets the body's attributes on target, with handlers deferred; builds no children.
    [[nodiscard]] virtual CError* buildAttrs(CObject& target) = 0;
    // Builds the body's children under target, each through its full life cycle; skips the
    // body's own attributes.
    [[nodiscard]] virtual CError* buildChildren(CObject& target) = 0;
};

} // namespace tal
