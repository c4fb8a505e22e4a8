#include "support/ViewTestTree.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Other/CImageDraw.h"
#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CImageScaleQueue.h"
#include "UI/PaletteCreators.h"
#include "UI/ViewCreators.h"
#include "support/StreamTestHelpers.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

namespace tal {

std::string rectText(const CAreaRect& r) {
    char line[128];
    std::snprintf(line, sizeof line, "%.2f %.2f %.2f %.2f", r.x, r.y, r.width, r.height);
    return line;
}

namespace {

std::string nameOf(CView* view) { return view != nullptr ? text(view->getFullName()) : std::string("-"); }

} // namespace

CRecordingSectorMap::~CRecordingSectorMap() {
    mJournal.push_back("map-destroyed registered=" + std::to_string(registered.size()));
}

void CRecordingSectorMap::invalidateSectors(const CAreaRect& rect, CView* view) {
    mJournal.push_back("invalidate " + nameOf(view) + " " + rectText(rect));
}

void CRecordingSectorMap::moveView(CView* view, const CAreaRect& oldRect, const CAreaRect& newRect) {
    mJournal.push_back("move " + nameOf(view) + " " + rectText(oldRect) + " -> " + rectText(newRect));
    if (std::find(registered.begin(), registered.end(), view) == registered.end()) registered.push_back(view);
}

void CRecordingSectorMap::removeView(CView* view, const CAreaRect& rect) {
    mJournal.push_back("remove " + nameOf(view) + " " + rectText(rect));
    registered.erase(std::remove(registered.begin(), registered.end(), view), registered.end());
}

namespace {

const char* const kRecordedWindowEvents[] = {
    "content-ready", "update-window-bounds", "close-window", "minimize-window", "popup-close", "update-window-origin",
    "focus-lost", "move-mouse-cursor", "wrap-around-mouse-cursor", "confirm-close-window", "deny-close-window"};

template <int I>
CError* recordWindowEvent(CObject* object, CAttrMap* args) {
    auto* window = static_cast<CRecordingWindowRenderer*>(object);
    std::string line = kRecordedWindowEvents[I];
    for (auto* n = args != nullptr ? args->first() : nullptr; n != nullptr; n = CAttrMap::next(n))
        line += " " + text(n->key) + "=" + text(n->value.asText());
    window->events.push_back(line);
    if (window->journal != nullptr) window->journal->push_back(line);
    if (window->onEvent) window->onEvent(line);
    if (window->failEvent != nullptr && line.rfind(window->failEvent, 0) == 0) return newError("window event failed");
    return nullptr;
}

template <int... I>
void addRecordedWindowEvents(CObjectScheme* scheme, std::integer_sequence<int, I...>) {
    ((scheme->addEventHandler(CString(kRecordedWindowEvents[I])) = CEventHandler{nullptr, &recordWindowEvent<I>, true}), ...);
}

} // namespace

void CRecordingWindowRenderer::initTestScheme(CObjectScheme* scheme) {
    CWindowRenderer::initScheme(scheme);
    addRecordedWindowEvents(scheme, std::make_integer_sequence<int, int(std::size(kRecordedWindowEvents))>());
}

CError* CRecordingWindowRenderer::updateActualPosition(bool) {
    CError* err = setDoubleAttr(CString("actual-x"), actualX, false);
    if (err == nullptr) err = setDoubleAttr(CString("actual-y"), actualY, false);
    return err;
}

void CViewTestTree::SetUp() {
    appData = std::make_unique<test::AppDataFolder>();
    CEventTestTree::SetUp();
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:window-renderer", [] { return static_cast<CObject*>(new CRecordingWindowRenderer); },
             &CRecordingWindowRenderer::initTestScheme},
            {"test:window-shared-data", [] { return static_cast<CObject*>(new CRecordingSharedData); },
             &CWindowSharedData::initScheme},
            {"", nullptr, nullptr},
        };
        CCreatorRegistry::instance().registerTable(kPaletteCreatorTable);   // may be registered already
        CCreatorRegistry::instance().registerTable(kViewCreatorTable);      // may be registered already
        return CCreatorRegistry::instance().registerTable(table) == 0;
    }();
    ASSERT_TRUE(registered);
    CRecordingWindowRenderer::sDefaultJournal = &journal;
    CObject* object = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:window-shared-data"), CString("window-shared-data"), false)), "");
    sharedData = dynamic_cast<CRecordingSharedData*>(object);
    ASSERT_NE(sharedData, nullptr);
    ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("ui:dynamic-palette"), CString("palette"), false)), "");
    palette = dynamic_cast<CDynamicPalette*>(object);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(test::takeMessage(palette->init()), "");
}

void CViewTestTree::TearDown() {
    takeError();
    CRecordingWindowRenderer::sDefaultJournal = nullptr;
    CEventTestTree::TearDown();
    appData.reset();
}

CDynamicColor* CViewTestTree::addColor(const char* name, const char* tone, const char* brightness) {
    CObject* object = nullptr;
    CError* err = palette->addChild(object, CString("ui:dynamic-color"), CString(name), false);
    for (const auto& [key, value] : {std::pair{"palette", "ui.palette"}, {"gradient-size", "1"}, {"tone", tone},
                                     {"contrast", "1"}, {"opacity", "1"}, {"brightness", brightness}}) {
        if (err == nullptr) err = object->setAttr(CString(key), CString(value), false);
    }
    if (err == nullptr) err = object->init();
    auto* color = dynamic_cast<CDynamicColor*>(object);
    if (err == nullptr && color != nullptr) {
        color->setReady(true);
        err = color->update();
    }
    EXPECT_EQ(test::takeMessage(err), "") << name;
    return color;
}

CView* CViewTestTree::begin(CObject* parent, const char* name, Attrs attrs, const char* tag) {
    CObject* object = nullptr;
    EXPECT_EQ(test::takeMessage(parent->addChild(object, CString(tag), CString(name), false)), "");
    auto* view = dynamic_cast<CView*>(object);
    if (view == nullptr) return nullptr;
    for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
    CError* err = view->init();
    if (err == nullptr) err = view->createChilds();
    if (lastError == nullptr) lastError = err;
    else delete err;
    return view;
}

void CViewTestTree::finish(CObject* view) {
    CError* err = view->initChilds();
    if (lastError == nullptr) lastError = err;
    else delete err;
}

CView* CViewTestTree::build(CObject* parent, const char* name, Attrs attrs, const char* tag) {
    CView* view = begin(parent, name, attrs, tag);
    if (view != nullptr) finish(view);
    return view;
}

CView* CViewTestTree::beginWindow(const char* name, Attrs attrs) {
    CObject* object = nullptr;
    EXPECT_EQ(test::takeMessage(ui->addChild(object, CString("ui:view"), CString(name), false)), "");
    auto* view = dynamic_cast<CView*>(object);
    EXPECT_NE(view, nullptr);
    if (view == nullptr) return nullptr;
    EXPECT_EQ(test::takeMessage(view->setAttr(CString("is-root-view"), CString("true"), false)), "");
    for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
    CObject* window = nullptr;
    EXPECT_EQ(test::takeMessage(view->addChild(window, CString("test:window-renderer"), CString("renderer"), false)), "");
    renderer = dynamic_cast<CRecordingWindowRenderer*>(window);
    renderer->journal = &journal;
    EXPECT_EQ(test::takeMessage(view->setAttr(CString("window"), renderer->getFullName(), false)), "");
    CError* err = view->init();
    if (err == nullptr) {
        auto map = std::make_unique<CRecordingSectorMap>(journal);
        sectorMap = map.get();
        view->setSectorMap(std::move(map));
        err = view->createChilds();
    }
    if (lastError == nullptr) lastError = err;
    else delete err;
    return view;
}

std::string CViewTestTree::takeError() {
    std::string message = lastError != nullptr ? text(lastError->message()) : std::string();
    delete lastError;
    lastError = nullptr;
    return message;
}

} // namespace tal
