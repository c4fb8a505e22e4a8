#pragma once
#include "Core/CAttrMap.h"
#include "UI/CSectorMap.h"
#include "UI/CView.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"
#include "support/AppDataFolder.h"
#include "support/CEventTestTree.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tal {

class CDynamicColor;
class CDynamicPalette;

// A sector map that records what views ask of it in a journal ("move <view> <old> -> <new>",
// "remove <view> <rect>", "invalidate <view> <rect>", "map-destroyed") and keeps the set of views
// registered in it (moved in and not removed since).
class CRecordingSectorMap : public CSectorMap {
public:
    explicit CRecordingSectorMap(std::vector<std::string>& journal) : mJournal(journal) {}
    ~CRecordingSectorMap() override;

    void invalidateSectors(const CAreaRect& rect, CView* view) override;
    void moveView(CView* view, const CAreaRect& oldRect, const CAreaRect& newRect) override;
    void removeView(CView* view, const CAreaRect& rect) override;

    std::vector<CView*> registered;

private:
    std::vector<std::string>& mJournal;
};

// "test:window-renderer": records every window event views run on it as "<event> k=v ..." in the
// journal; its actual position, mouse-inside flag and outer window are set by the test.
class CRecordingWindowRenderer : public CWindowRenderer {
public:
    static void initTestScheme(CObjectScheme* scheme);

    CWindowRenderer* getOutermostWindow() override { return outer != nullptr ? outer : this; }
    // A stand-in without the real renderer's timer children.
    CError* initChilds() override { return CObject::initChilds(); }
    CError* updateActualPosition(bool quiet) override;
    void setMouseInside(bool inside) noexcept { mIsMouseInside = inside; }

    std::vector<std::string> events;
    double actualX = 0.0, actualY = 0.0;
    CWindowRenderer* outer = nullptr;   // not owned
    const char* failEvent = nullptr;    // the event that returns an error
    std::vector<std::string>* journal = sDefaultJournal;   // receives the events too (not owned)
    // The journal of renderers made by the description builder (set by the test tree).
    static inline std::vector<std::string>* sDefaultJournal = nullptr;
    std::function<void(const std::string&)> onEvent;   // runs after each event is recorded
};

// "test:window-shared-data": the shared window data with a view under the mouse set by the test and
// the hover and cursor calls recorded. With useWindows set the real hit test and hover path run
// (the calls are still recorded).
class CRecordingSharedData : public CWindowSharedData {
public:
    CView* getViewUnderMouse(CWindowRenderer* window, int options) override {
        return useWindows ? CWindowSharedData::getViewUnderMouse(window, options) : viewUnderMouse;
    }
    CError* updateHoverPath(CView* view) override {
        hovered.push_back(view);
        return useWindows ? CWindowSharedData::updateHoverPath(view) : nullptr;
    }
    void showCursor(bool show) override { cursorCalls.push_back(show); }

    CView* viewUnderMouse = nullptr;   // not owned
    bool useWindows = false;
    std::vector<CView*> hovered;
    std::vector<bool> cursorCalls;
};

// A tree like an editor's: "ui.window-shared-data" (recording), "ui.palette" (a palette without a
// parameter, its cache in a temporary folder) and helpers that build views as the description
// builder does. Windows are built under "ui" (the event bridge carrier); a root view gets
// "is-root-view".
class CViewTestTree : public CEventTestTree {
protected:
    using Attrs = std::initializer_list<std::pair<const char*, const char*>>;

    void SetUp() override;
    void TearDown() override;

    // Stores the attributes (handlers deferred), runs init and createChilds; lastError holds the
    // first error. finish runs initChilds.
    CView* begin(CObject* parent, const char* name, Attrs attrs, const char* tag = "ui:view");
    void finish(CObject* view);
    // begin and finish.
    CView* build(CObject* parent, const char* name, Attrs attrs, const char* tag = "ui:view");
    // A root view "name" with a recording renderer child "renderer" named by its "window" and a
    // recording sector map; begun, not finished.
    CView* beginWindow(const char* name, Attrs attrs = {});
    // A ready colour of the palette (tone as "rrggbb", contrast 1: every ramp entry is the tone;
    // enabled when brightness is above 0).
    CDynamicColor* addColor(const char* name, const char* tone, const char* brightness = "0");

    std::string takeError();

    std::vector<std::string> journal;
    CRecordingSharedData* sharedData = nullptr;
    CDynamicPalette* palette = nullptr;
    CRecordingWindowRenderer* renderer = nullptr;   // of the last beginWindow
    CRecordingSectorMap* sectorMap = nullptr;       // of the last beginWindow
    CError* lastError = nullptr;
    std::unique_ptr<test::AppDataFolder> appData;
};

// "x y w h" of a rectangle, two decimals.
std::string rectText(const CAreaRect& r);

} // namespace tal
