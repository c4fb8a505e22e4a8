#include "support/RendererTestTree.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CTimerQueued.h"
#include "UI/CSector.h"
#include "UI/CViewDrawItem.h"
#include "UI/WindowCreators.h"
#include "support/StreamTestHelpers.h"
#include "support/WindowTestTree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tal {

CError* CRectTestView::init() {
    if (CError* error = CView::init())
        return error;
    const unsigned long rgb = std::strtoul(getTextAttr("fill").narrowed().chars8(), nullptr, 16);
    mRgb[0] = std::uint8_t(rgb >> 16), mRgb[1] = std::uint8_t(rgb >> 8), mRgb[2] = std::uint8_t(rgb);
    mOpaque = getBoolAttr("is-opaque-fill");
    return nullptr;
}

void CRectTestView::paint(CSector& sector) {
    CPixelRect r;
    if (!drawItem(1)->intersectContext(sector, r))
        return;
    for (std::int32_t y = r.y; y < r.y + r.height; ++y) {
        std::uint8_t* p = sector.target->pixel(r.x, y);
        for (std::int32_t x = 0; x < r.width; ++x, p += 4)
            p[0] = mRgb[0], p[1] = mRgb[1], p[2] = mRgb[2], p[3] = 255;
    }
}

void CPaintRecordingRenderer::paintView(CView& view, CSector& sector) {
    if (recording) {
        char line[160];
        std::snprintf(line, sizeof line, "%s %d,%d %d %d %d %d", view.getShortName().narrowed().chars8(), sector.column,
                      sector.row, sector.clipRect.x, sector.clipRect.y, sector.clipRect.width, sector.clipRect.height);
        std::lock_guard<std::mutex> lock(mMutex);
        mPaints.emplace_back(line);
    }
    CWindowRenderer::paintView(view, sector);
}

std::vector<std::string> CPaintRecordingRenderer::takePaints() {
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<std::string> out;
    out.swap(mPaints);
    return out;
}

namespace {

void addTemplate(CObject* parent, const char* name, const char* tag,
                 std::vector<std::pair<std::string, std::string>> attrs) {
    CObject* placeholder = nullptr;
    ASSERT_EQ(parent->addChild(placeholder, CString("template"), CString(name), false), nullptr);
    placeholder->setTemplateBody(new CAttrTemplateBody(tag, std::move(attrs)));
    parent->addTemplate(CString(name), placeholder);
}

} // namespace

void CRendererTestTree::SetUp() {
    CViewTestTree::SetUp();
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
            {"test:rect-view", [] { return static_cast<CObject*>(new CRectTestView); }, &CView::initScheme},
            {"test:paint-renderer", [] { return static_cast<CObject*>(new CPaintRecordingRenderer); },
             &CWindowRenderer::initScheme},
            {"", nullptr, nullptr},
        };
        CCreatorRegistry::instance().registerTable(table);                 // core:timer may be there already
        CCreatorRegistry::instance().registerTable(kWindowCreatorTable);   // may be registered already
        return CCreatorRegistry::instance().find(CString("test:paint-renderer")) != nullptr;
    }();
    ASSERT_TRUE(registered);
    CMainLoopTimers::setCurrent(&loop);
    CWindowBackend::setCurrent(&backend);
    CObject* treeRoot = ui->root();
    addTemplate(treeRoot, "core:timer", "core:timer", {});
    addTemplate(treeRoot, "ui:update-timer-group", "ui:update-timer-group", {{"timer-tag", "core:timer"}});
}

void CRendererTestTree::TearDown() {
    CViewTestTree::TearDown();
    CWindowBackend::setCurrent(nullptr);
    CMainLoopTimers::setCurrent(nullptr);
}

CView* CRendererTestTree::beginRoot(int width, int height, double scale, Attrs attrs) {
    CObject* object = nullptr;
    EXPECT_EQ(test::takeMessage(ui->addChild(object, CString("ui:view"), CString("window"), false)), "");
    root = dynamic_cast<CView*>(object);
    const std::string w = std::to_string(width), h = std::to_string(height);
    for (const auto& [key, value] : std::vector<std::pair<const char*, const char*>>{
             {"is-root-view", "true"}, {"width", w.c_str()}, {"height", h.c_str()}})
        EXPECT_EQ(test::takeMessage(root->setAttr(CString(key), CString(value), false)), "");
    for (const auto& [key, value] : attrs)
        EXPECT_EQ(test::takeMessage(root->setAttr(CString(key), CString(value), false)), "");
    // The editor's zoom: the renderer's window scale is it times the backend's pixel factor.
    EXPECT_EQ(test::takeMessage(ui->root()->setDoubleAttr(CString("VisualScale"), scale, false)), "");
    EXPECT_EQ(test::takeMessage(root->init()), "");
    EXPECT_EQ(test::takeMessage(root->createChilds()), "");
    CObject* r = nullptr;
    EXPECT_EQ(test::takeMessage(root->addChild(r, CString("test:paint-renderer"), CString("window-renderer"), false)), "");
    paintRenderer = static_cast<CPaintRecordingRenderer*>(r);
    EXPECT_EQ(test::takeMessage(r->setAttr(CString("is-main-window"), CString("true"), false)), "");
    EXPECT_EQ(test::takeMessage(r->init()), "");
    EXPECT_EQ(test::takeMessage(r->createChilds()), "");
    CAttrMap renderAttrs, posAttrs;
    renderAttrs.findOrAdd("fps")->value.setText(CString("40"));
    renderAttrs.findOrAdd("order-asc")->value.setText(CString("1000"));
    posAttrs.findOrAdd("interval")->value.setText(CString("0.3"));
    CObject* timer = nullptr;
    EXPECT_EQ(test::takeMessage(r->createChild(timer, CString("ui:update-timer"), CString("render-timer"), false,
                                               &renderAttrs, nullptr)), "");
    EXPECT_EQ(test::takeMessage(r->createChild(timer, CString("ui:interval-timer"),
                                               CString("update-actual-pos-timer"), false, &posAttrs, nullptr)), "");
    EXPECT_EQ(test::takeMessage(r->initChilds()), "");
    return root;
}

CView* CRendererTestTree::addView(CObject* parent, const char* name, int x, int y, int w, int h, const char* rgb,
                                  Attrs more) {
    const std::string border = "L" + std::to_string(x) + " T" + std::to_string(y);
    const std::string ws = std::to_string(w), hs = std::to_string(h);
    std::vector<std::pair<const char*, const char*>> attrs = {{"placement", "overlay"}, {"outer-border", border.c_str()},
                                                              {"width", ws.c_str()}, {"height", hs.c_str()},
                                                              {"fill", rgb}};
    attrs.insert(attrs.end(), more.begin(), more.end());
    CObject* object = nullptr;
    EXPECT_EQ(test::takeMessage(parent->addChild(object, CString("test:rect-view"), CString(name), false)), "");
    for (const auto& [key, value] : attrs)
        EXPECT_EQ(test::takeMessage(object->setAttr(CString(key), CString(value), false)), "") << key;
    EXPECT_EQ(test::takeMessage(object->init()), "");
    EXPECT_EQ(test::takeMessage(object->createChilds()), "");
    EXPECT_EQ(test::takeMessage(object->initChilds()), "");
    return static_cast<CView*>(object);
}

void CRendererTestTree::openWindow() {
    EXPECT_EQ(test::takeMessage(root->initChilds()), "");
    ASSERT_TRUE(paintRenderer->isOpened());
    EXPECT_EQ(backend.processEvents(), 1);   // the first paint
}

void CRendererTestTree::tick() {
    // 25 ms: the render timer's period; its tick comes through the event bridge.
    for (int i = 0; i < 25; ++i) {
        loop.advance(0.001);
        bridge->pump();
    }
    backend.processEvents();
}

const CHeadlessWindowBackend::Window& CRendererTestTree::window() const {
    return *backend.window(paintRenderer->windowId());
}

void CRendererTestTree::windowBitmap(CLinearBitmap& out) const {
    const CHeadlessWindowBackend::Window& w = window();
    EXPECT_EQ(out.setSize(w.pixelWidth, w.pixelHeight, false), nullptr);
    for (int y = 0; y < w.pixelHeight; ++y)
        std::memcpy(out.pixel(0, y), w.pixels.data() + std::size_t(y) * std::size_t(w.pixelWidth) * 4,
                    std::size_t(w.pixelWidth) * 4);
}

std::string CRendererTestTree::pixelAt(int x, int y) const {
    const CHeadlessWindowBackend::Window& w = window();
    const std::uint8_t* p = w.pixels.data() + (std::size_t(y) * std::size_t(w.pixelWidth) + std::size_t(x)) * 4;
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", p[0], p[1], p[2]);
    return text;
}

} // namespace tal
