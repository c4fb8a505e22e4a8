#pragma once
#include "UI/CView.h"
#include "support/RendererTestTree.h"

#include <string>
#include <vector>

namespace tal {

class CWindowCloser;
class CWindowOpener;

// "test:close-view": a view that records each "pre-close-window" as "<short name> <queue id>" in a
// shared list and answers it as its attribute "close-answer" says: "confirm" (also when absent) or
// "deny" at once, "later" (answerLater does it), "fail" (an error from the handler).
class CCloseTestView : public CView {
public:
    [[nodiscard]] CError* onPreCloseWindow(CAttrMap& args) override;
    // Answers the last request now.
    [[nodiscard]] CError* answerLater(bool confirm);

    static inline std::vector<std::string>* asked = nullptr;   // not owned
    std::int32_t lastQueue = 0;
    CString lastCloser;
};

// The renderer test tree with the window closer and opener under the shared data and real window
// renderers for any number of windows: the main window ("window") and windows whose root views hang
// under views of other windows (popups, settings, messages). Every window's root view is a
// "test:close-view".
class CMultiWindowTestTree : public CRendererTestTree {
protected:
    void SetUp() override;
    void TearDown() override;

    // A window of w x h units whose root view "name" is a child of parent (a view; ui for a top
    // window), with the attributes of the root view and of its renderer; opened (its first paint
    // delivered) unless open is false. Popup windows ("is-popup-window") get a deactivate timer.
    CView* addWindow(CObject* parent, const char* name, int w, int h, Attrs rootAttrs = {}, Attrs rendererAttrs = {},
                     bool open = true);
    // The renderer of a window's root view.
    static CWindowRenderer* rendererOf(CView* root);
    // Delivers what the event bridge and the backend hold (released windows go now).
    void settle();

    CWindowCloser* closer = nullptr;
    CWindowOpener* opener = nullptr;
    std::vector<std::string> askedViews;
};

} // namespace tal
