#pragma once
#include "Core/CTemplateBody.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "support/CEventTestTree.h"

#include <string>
#include <utility>
#include <vector>

namespace tal {

class CWindowSharedData;

// A template body that makes one object of a tag with a few attributes and no children.
class CAttrTemplateBody : public CTemplateBody {
public:
    CAttrTemplateBody(const char* tag, std::vector<std::pair<std::string, std::string>> attrs);
    const CString& bodyTag() const override { return mTag; }
    [[nodiscard]] CError* buildAttrs(CObject& target) override;
    [[nodiscard]] CError* buildChildren(CObject&) override { return nullptr; }

private:
    CString mTag;
    std::vector<std::pair<std::string, std::string>> mAttrs;
};

// The event test tree with what the window layer needs: the window tags registered, the timer
// templates on the root, "ui.window-shared-data", and a manual main loop that is the current one.
class CWindowTestTree : public CEventTestTree {
protected:
    void SetUp() override;
    void TearDown() override;

    // Adds a template placeholder under parent.
    void addAttrTemplate(CObject* parent, const char* name, const char* tag,
                         std::vector<std::pair<std::string, std::string>> attrs);
    // Moves the manual clock and delivers what the timers posted through the bridge.
    void runFor(double seconds);

    CPumpedMainLoopTimers loop;
    CWindowSharedData* sharedData = nullptr;
};

} // namespace tal
