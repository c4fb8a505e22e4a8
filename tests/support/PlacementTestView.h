#pragma once
#include "Core/CAttrMap.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "UI/CViewBasePlacement.h"
#include "UI/ViewCreators.h"
#include "support/CObjectTreeTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tal {

// A view made only of the placement layer ("test:placement-view"). It records the painting layer's
// calls (tiles invalidated, hover refreshes, "mouse-exit" runs, disabled changes) and can be told to
// fail in them. Its hover refresh runs the pending layout pass, as a view's does.
class CPlacementTestView : public CViewBasePlacement {
public:
    static void registerTags() {
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:placement-view", [] { return static_cast<CObject*>(new CPlacementTestView); },
                 &CPlacementTestView::initTestScheme},
                {"", nullptr, nullptr},
            };
            int failures = CCreatorRegistry::instance().registerTable(table);
            if (CCreatorRegistry::instance().find(CString("ui:window-shared-data")) == nullptr)
                failures += CCreatorRegistry::instance().registerTable(kViewCreatorTable);
            return failures == 0;
        }();
        EXPECT_TRUE(registered);
    }
    static void initTestScheme(CObjectScheme* scheme) {
        CViewBasePlacement::initScheme(scheme);
        CEventHandler& h = scheme->addEventHandler(CString("mouse-exit"));
        h.withArgs = [](CObject* object, CAttrMap*) -> CError* {
            auto* view = static_cast<CPlacementTestView*>(object);
            ++view->mouseExits;
            return view->failMouseExit ? newError("mouse-exit failed") : nullptr;
        };
        h.hasArgs = true;
    }

    void invalidateSectors(const CAreaRect& rect, CViewBasePlacement* view) override {
        sectorCalls.push_back({rect, view});
    }
    CError* updateHover() override {
        ++hoverCalls;
        if (failHover) return newError("hover failed");
        return updateLayout();
    }
    CError* onDisabledChanged() override {
        ++disabledChanges;
        if (failDisabledChanged) return newError("disabled change failed");
        return CViewBasePlacement::onDisabledChanged();
    }
    CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override {
        lastTotal = total;
        lastClip = clip;
        ++reports;
        return onReport ? onReport() : nullptr;
    }

    std::vector<std::pair<CAreaRect, CViewBasePlacement*>> sectorCalls;
    int hoverCalls = 0, mouseExits = 0, disabledChanges = 0, reports = 0;
    bool failHover = false, failMouseExit = false, failDisabledChanged = false;
    CAreaRect lastTotal, lastClip;
    std::function<CError*()> onReport;   // runs inside each report
};

// A tree with the shared window data at "ui.window-shared-data" and helpers that build views as the
// description builder does: attributes stored with their handlers deferred, then init, createChilds
// (which runs the handlers) and initChilds.
class CPlacementTest : public CObjectTreeTest {
protected:
    using Attrs = std::initializer_list<std::pair<const char*, const char*>>;

    void SetUp() override {
        CObjectTreeTest::SetUp();
        CPlacementTestView::registerTags();
        CObject* ui = add(root, "ui");
        add(ui, "window-shared-data", "ui:window-shared-data");
    }

    // Builds a view; lastError holds the first error (null on success). The view stays in the tree
    // also when a step failed.
    CPlacementTestView* build(CObject* parent, const char* name, Attrs attrs, bool isRoot = false) {
        CObject* object = nullptr;
        EXPECT_EQ(parent->addChild(object, CString("test:placement-view"), CString(name), false), nullptr);
        auto* view = static_cast<CPlacementTestView*>(object);
        for (const auto& [key, text] : attrs)
            EXPECT_EQ(view->setAttr(CString(key), CString(text), false), nullptr);
        if (isRoot) {
            EXPECT_EQ(view->setAttr(CString("is-root-view"), CString("true"), false), nullptr);
        }
        lastError = view->init();
        if (lastError == nullptr) lastError = view->createChilds();
        if (lastError == nullptr) lastError = view->initChilds();
        return view;
    }
    CPlacementTestView* rootView(Attrs attrs = {}, const char* name = "window") {
        CPlacementTestView* v = build(root, name, attrs, true);
        EXPECT_EQ(takeError(), "");
        return v;
    }
    // The message of lastError ("" for none); the error is freed.
    std::string takeError() {
        std::string message = lastError != nullptr ? str(lastError->message()) : std::string();
        delete lastError;
        lastError = nullptr;
        return message;
    }
    // Sets an attribute with its handler run now; the message of its error ("" for none).
    static std::string set(CObject* view, const char* name, const char* text) {
        CError* err = view->setAttr(CString(name), CString(text), true);
        std::string message = err != nullptr ? str(err->message()) : std::string();
        delete err;
        return message;
    }

    void TearDown() override {
        takeError();
        CObjectTreeTest::TearDown();
    }

    CError* lastError = nullptr;
};

} // namespace tal
