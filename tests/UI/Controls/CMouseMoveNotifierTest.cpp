// The mouse-move notifier: the parent hears every operation under its own name first, the target
// only the configured names, with the received arguments; unknown events are errors, a missing
// target is not.
#include "UI/Controls/CMouseMoveNotifier.h"

#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/SchemeThunks.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

std::vector<std::string> gHeard;

// "test:listening-view": writes "<name>:<event>[ x=<x>]" for the mouse events of the view and for
// "readout-enter", "readout-exit" and "clicked".
class CListeningView : public CView {
public:
    static CObject* create() { return new CListeningView(); }
    static void initScheme(CObjectScheme* scheme) {
        CView::initScheme(scheme);
        addPlainEventOf<CListeningView, &CListeningView::onReadoutEnter>(scheme, "readout-enter");
        addPlainEventOf<CListeningView, &CListeningView::onReadoutExit>(scheme, "readout-exit");
        addArgsEventOf<CListeningView, &CListeningView::onClicked>(scheme, "clicked");
    }
    CError* onMouseEnter() override { return hear("mouse-enter", nullptr); }
    CError* onMouseExit() override { return hear("mouse-exit", nullptr); }
    CError* onMousePress(CAttrMap& args) override { return hear("mouse-press", &args); }
    CError* onMouseMove(CAttrMap& args) override { return hear("mouse-move", &args); }
    CError* onMouseWheel(CAttrMap& args) override { return hear("mouse-wheel", &args); }
    CError* onReadoutEnter() { return hear("readout-enter", nullptr); }
    CError* onReadoutExit() { return hear("readout-exit", nullptr); }
    CError* onClicked(CAttrMap& args) { return hear("clicked", &args); }

private:
    CError* hear(const char* event, CAttrMap* args) {
        std::string line = getShortName().narrowed().chars8() + std::string(":") + event;
        if (args != nullptr)
            if (CAttrValue* x = args->findValue("x"))
                line += " x=" + std::to_string(x->asInt());
        gHeard.push_back(line);
        return nullptr;
    }
};

class CMouseMoveNotifierTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:listening-view", &CListeningView::create, &CListeningView::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        gHeard.clear();
        window = beginWindow("window");
        target = build(window, "target", {}, "test:listening-view");
        holder = begin(window, "holder", {}, "test:listening-view");
    }
    CMouseMoveNotifier* notifier(Attrs attrs) {
        auto* view = dynamic_cast<CMouseMoveNotifier*>(build(holder, "notifier", attrs, "ui:mouse-move-notifier"));
        EXPECT_EQ(takeError(), "");
        return view;
    }
    static CAttrMap& at(CAttrMap& args, int x) {
        args.findOrAdd("x")->value.setInt(x);
        return args;
    }

    CView* window = nullptr;
    CView* target = nullptr;
    CView* holder = nullptr;
};

TEST_F(CMouseMoveNotifierTest, TheParentHearsFirstAndTheTargetGetsTheSameArguments) {
    CMouseMoveNotifier* n = notifier({{"is-send-to-parent", "true"}, {"target-view", "^^target"},
                                      {"mouse-press-event", "clicked"}});
    ASSERT_NE(n, nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(n->onMousePress(at(args, 7))), "");
    ASSERT_EQ(test::takeMessage(n->onMouseMove(at(args, 9))), "");   // no target name: parent only
    EXPECT_EQ(gHeard, (std::vector<std::string>{"holder:mouse-press x=7", "target:clicked x=7", "holder:mouse-move x=9"}));
}

// The knob's readout: only enter and exit are configured, and without "is-send-to-parent" the
// parent hears nothing.
TEST_F(CMouseMoveNotifierTest, OnlyTheConfiguredEventsReachTheTarget) {
    CMouseMoveNotifier* n = notifier({{"target-view", "^^target"}, {"mouse-enter-event", "readout-enter"},
                                      {"mouse-exit-event", "readout-exit"}});
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->parentTarget(), nullptr);
    CAttrMap args;
    ASSERT_EQ(test::takeMessage(n->onMouseEnter()), "");
    ASSERT_EQ(test::takeMessage(n->onMouseMove(at(args, 3))), "");
    ASSERT_EQ(test::takeMessage(n->onMouseWheel(at(args, 3))), "");
    ASSERT_EQ(test::takeMessage(n->onMouseExit()), "");
    EXPECT_EQ(gHeard, (std::vector<std::string>{"target:readout-enter", "target:readout-exit"}));
}

TEST_F(CMouseMoveNotifierTest, AMissingTargetIsNoErrorAndAnUnknownEventIs) {
    CMouseMoveNotifier* lost = notifier({{"is-send-to-parent", "true"}, {"target-view", "^^nowhere"},
                                         {"mouse-enter-event", "readout-enter"}});
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(test::takeMessage(lost->onMouseEnter()), "");
    EXPECT_EQ(gHeard, (std::vector<std::string>{"holder:mouse-enter"}));
    gHeard.clear();
    CMouseMoveNotifier* wrong = notifier({{"is-send-to-parent", "true"}, {"target-view", "^^target"},
                                          {"mouse-exit-event", "no-such-event"}});
    const std::string message = test::takeMessage(wrong->onMouseExit());
    EXPECT_NE(message.find("no-such-event"), std::string::npos) << message;
    EXPECT_EQ(gHeard, (std::vector<std::string>{"holder:mouse-exit"}));   // the parent was told first
}

} // namespace
} // namespace tal
