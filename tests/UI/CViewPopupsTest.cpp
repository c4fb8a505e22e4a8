// The popup protocol of views: toggling popups open and closed (local and registered), their
// placement and width, the popup counter, results travelling along "popup-result-target" (cycles
// stopped), and the error window.
#include "UI/CViewPopups.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Other/CImageDraw.h"
#include "UI/CImageScaleQueue.h"
#include "UI/CScaleRecord.h"
#include "UI/CViewArea.h"
#include "support/CLogCapture.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tal {
namespace {

// The shared window data with every window request recorded.
class CPopupSharedData : public CRecordingSharedData {
public:
    struct Request {
        std::string parent, tag, name, closing;
        std::map<std::string, std::string> attrs;
        bool showErrors = false;
    };
    CError* openWindow(const CString& parentView, const CString& templateTag, const CString& windowName,
                       const CAttrMap& attrs, const CString& closingWindow, bool showErrors) override {
        Request r{text(parentView), text(templateTag), text(windowName), text(closingWindow), {}, showErrors};
        for (auto* n = attrs.first(); n != nullptr; n = CAttrMap::next(n))
            r.attrs[text(n->key)] = text(n->value.asText());
        requests.push_back(r);
        return failNext ? newError("@talstr_Test_openWindow_Failed Window failed.") : nullptr;
    }
    std::vector<Request> requests;
    bool failNext = false;
};

// "test:popup-view": a view whose "popup-result" runs the popup protocol.
class CPopupTestView : public CView {
public:
    CError* onPopupResult(CAttrMap& args) override { return CViewPopups::result(*this, args); }
};

class CViewPopupsTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:popup-shared-data", [] { return static_cast<CObject*>(new CPopupSharedData); }, &CWindowSharedData::initScheme},
            {"test:popup-view", [] { return static_cast<CObject*>(new CPopupTestView); }, &CView::initScheme},
            {"", nullptr, nullptr}};
        if (CCreatorRegistry::instance().find(CString("test:popup-shared-data")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(table), 0);
        }
        sharedData->release();
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:popup-shared-data"), CString("window-shared-data"), false)), "");
        popupData = dynamic_cast<CPopupSharedData*>(object);
        sharedData = popupData;
        window = beginWindow("window", {{"width", "300"}, {"height", "200"}});
        above = build(window, "above", {{"placement", "top"}, {"width", "100%"}, {"height", "30"}});
        button = build(window, "button", {{"placement", "left"}, {"width", "100"}, {"height", "20"},
                                          {"win-error-message-tag", "ui:win-error-message"}});
        finish(window);
        ASSERT_EQ(takeError(), "");
    }
    CAttrMap& args(std::initializer_list<std::pair<const char*, const char*>> values) {
        map.clear();
        for (const auto& [k, v] : values) map.findOrAdd(k)->value.setText(CString(v));
        return map;
    }
    // A popup window object under view, as the window layer would create it.
    CObject* popupWindow(CView* parent, const char* name) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(parent->addChild(object, CString("test:window-renderer"), CString(name), false)), "");
        static_cast<CRecordingWindowRenderer*>(object)->journal = &journal;
        return object;
    }
    int count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& line : journal) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    CPopupSharedData* popupData = nullptr;
    CView* window = nullptr;
    CView* above = nullptr;
    CView* button = nullptr;
    CViewPopups popups;       // the button's
    CViewPopups mainPopups;   // the main root view's
    CAttrMap map;
};

TEST_F(CViewPopupsTest, ToggleOpensBelowTheViewThenCloses) {
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-list"}, {"index", "4"},
                                                                           {"shift-x", "2"}, {"do-showerror", "true"}}))), "");
    ASSERT_EQ(popupData->requests.size(), 1u);
    const auto& r = popupData->requests[0];
    EXPECT_EQ(r.parent, text(button->getFullName()));
    EXPECT_EQ(r.tag, "ui:win-list");
    EXPECT_EQ(r.name, "popup-1");
    EXPECT_EQ(r.closing, "");
    EXPECT_TRUE(r.showErrors);
    EXPECT_EQ(r.attrs.at("opener"), text(button->getFullName()));
    EXPECT_EQ(r.attrs.at("index"), "4");
    EXPECT_EQ(r.attrs.at("popup-width"), "compact");
    EXPECT_EQ(r.attrs.at("window-tag"), "ui:win-list");
    EXPECT_EQ(std::stod(r.attrs.at("window-x")), button->area()->totalRect().x + 2.0);
    const CAreaRect total = button->area()->totalRect();
    ASSERT_GT(total.height, 0.0);
    EXPECT_EQ(std::stod(r.attrs.at("window-y")), total.y + total.height);   // below the view
    for (const char* gone : {"do-showerror", "shift-x", "is-same-width", "is-manual-coords"})
        EXPECT_EQ(r.attrs.count(gone), 0u) << gone;

    CObject* popup = popupWindow(button, "popup-1");
    popups.created(*button, &mainPopups, args({{"window-tag", "ui:win-list"}, {"is-local-popup", "true"},
                                               {"window", text(popup->getFullName()).c_str()}}));
    EXPECT_TRUE(popups.isLocalPopupOpen());
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-list"}}))), "");
    EXPECT_EQ(popupData->requests.size(), 1u);   // closed, not opened again
    EXPECT_EQ(count("close-window"), 1);
    EXPECT_FALSE(popups.isLocalPopupOpen());
    EXPECT_EQ(popups.localPopupPath(), nullptr);
}

TEST_F(CViewPopupsTest, AlwaysCreateClosesAndOpensTheNextPopup) {
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-list"}}))), "");
    CObject* popup = popupWindow(button, "popup-1");
    popups.created(*button, &mainPopups, args({{"is-local-popup", "true"}, {"window", text(popup->getFullName()).c_str()}}));
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-list"},
                                                                           {"is-popup-toggle-always-create", "true"}}))), "");
    ASSERT_EQ(popupData->requests.size(), 2u);
    EXPECT_EQ(popupData->requests[1].name, "popup-2");
    EXPECT_EQ(popupData->requests[1].closing, text(popup->getFullName()));
    EXPECT_EQ(count("close-window"), 1);
}

TEST_F(CViewPopupsTest, RegisteredPopupsCloseThroughTheMainRootView) {
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-menu"}}))), "");
    CObject* popup = popupWindow(window, "popup-1");
    popups.created(*button, &mainPopups, args({{"window-tag", "ui:win-menu"}, {"is-local-popup", "false"},
                                               {"window", text(popup->getFullName()).c_str()}}));
    EXPECT_FALSE(popups.isLocalPopupOpen());
    ASSERT_NE(mainPopups.registry.find(CString("ui:win-menu")), nullptr);
    // An empty tag only closes (nothing registered under it); the tag closes its popup.
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", ""}}))), "");
    EXPECT_EQ(count("close-window"), 0);
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-menu"}}))), "");
    EXPECT_EQ(count("close-window"), 1);
    EXPECT_EQ(popupData->requests.size(), 1u);
}

TEST_F(CViewPopupsTest, LocalPopupWithoutWindowStillCountsAsOpen) {
    popups.created(*button, &mainPopups, args({{"is-local-popup", "true"}, {"window", ""}}));
    EXPECT_TRUE(popups.isLocalPopupOpen());
    EXPECT_EQ(popups.localPopupPath(), nullptr);
}

TEST_F(CViewPopupsTest, SameWidthFollowsTheViewAtTheWindowScale) {
    window->area()->setWindowScale(2.0, 2.0);
    ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
    ASSERT_EQ(button->area()->totalRect().width, 200.0);
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-list"}, {"is-same-width", "true"},
                                                                           {"width-modif", "10"}}))), "");
    EXPECT_EQ(std::stod(popupData->requests[0].attrs.at("popup-width")), 110.0);
    // Manual coordinates: from the content origin, in points.
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:win-x"}, {"is-manual-coords", "true"},
                                                                           {"shift-x", "7"}, {"shift-y", "3"}}))), "");
    EXPECT_EQ(std::stod(popupData->requests[1].attrs.at("window-x")), 7.0);
    EXPECT_EQ(std::stod(popupData->requests[1].attrs.at("window-y")), 3.0);
    EXPECT_EQ(popupData->requests[1].attrs.at("is-manual-coords"), "1");
}

TEST_F(CViewPopupsTest, SpectrumEditorHangsUnderTheMainRootView) {
    ASSERT_EQ(test::takeMessage(popups.toggle(*button, &mainPopups, args({{"popup-tag", "ui:spectrum-editor"}}))), "");
    EXPECT_EQ(popupData->requests[0].parent, text(window->getFullName()));
}

TEST_F(CViewPopupsTest, ResultCyclesEndAfterOneRoundTrip) {
    struct Case { const char* aTarget; const char* bTarget; int closes; };
    for (const Case& c : {Case{".", nullptr, 1}, Case{"^b", "^a", 2}}) {
        SCOPED_TRACE(c.aTarget);
        journal.clear();
        CView* a = build(window, "a", {{"popup-result-target", c.aTarget}}, "test:popup-view");
        CView* b = build(window, "b", {{"popup-result-target", c.bTarget != nullptr ? c.bTarget : ""}}, "test:popup-view");
        ASSERT_EQ(takeError(), "");
        CLogCapture log;
        ASSERT_EQ(test::takeMessage(CViewPopups::result(*a, args({{"index", "2"}}))), "");
        EXPECT_EQ(count("popup-close"), c.closes);
        int loops = 0;
        for (const std::string& line : log.lines())
            loops += line == "Infinite loop caused by popup-result-target // " + text(a->getFullName()) ? 1 : 0;
        EXPECT_EQ(loops, 1);
        a->release();
        b->release();
    }
}

TEST_F(CViewPopupsTest, ErrorResultsOpenTheErrorWindow) {
    EXPECT_FALSE(popups.showErrorResult(*button, &mainPopups, nullptr, CString("Title"), true));
    EXPECT_TRUE(popupData->requests.empty());
    EXPECT_TRUE(popups.showErrorResult(*button, &mainPopups, newError("@talstr_Test_x_Broken  It broke.  "),
                                       CString(" Load "), false));
    ASSERT_EQ(popupData->requests.size(), 1u);
    const auto& r = popupData->requests[0];
    EXPECT_EQ(r.tag, "ui:win-error-message");
    EXPECT_FALSE(r.showErrors);
    EXPECT_EQ(r.attrs.at("title"), "Load");
    EXPECT_EQ(r.attrs.at("title-message"), "It broke.");
    EXPECT_EQ(r.attrs.at("is-copy-to-clipboard-hidden"), "1");
    EXPECT_EQ(r.attrs.at("owner-window"), text(window->getFullName()));
    // A failing error window is logged, not shown again.
    popupData->failNext = true;
    CLogCapture log;
    popups.showErrorPopup(*button, &mainPopups, CString("again"), CString(), true);
    EXPECT_EQ(popupData->requests.size(), 2u);
    EXPECT_FALSE(log.lines().empty());
}

} // namespace
} // namespace tal
