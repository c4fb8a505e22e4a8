#pragma once
#include "Core/CObject.h"

#include <string>
#include <vector>

namespace tal {

// A test object of tag "test:rec" that writes its life-cycle calls and attribute handler runs to
// one journal, so tests can check their order. Its scheme has recording handlers for the attributes
// "a", "b", "c", "x" and "y", a handler for "fail" that returns an error, and a handler for "kill"
// that releases the object named by the value's text.
class CRecordingObject : public CObject {
public:
    ~CRecordingObject() override;

    // Registers "test:rec" (and "test:rec2", an equal second tag) once per process.
    static void registerTags();
    static std::vector<std::string>& journal();
    static void initRecordingScheme(CObjectScheme* scheme);

    CError* init() override;
    CError* createChilds() override;
    CError* initChilds() override;
    CError* onChildAdded(CObject* child) override;
    void releaseLinks() override;

    // Handler runs of attribute "x" on this object.
    int xRuns = 0;

private:
    std::string label() const;
};

// Creates a child through the full life cycle with the given attributes set deferred first.
CObject* buildChild(CObject& parent, const char* tag, const char* name,
                    std::initializer_list<std::pair<const char*, const char*>> attrs = {});

} // namespace tal
