#pragma once
// A view test tree for the panel views: their tags registered, a window holding one panel view that
// covers it, and tile-sized sectors to paint into.
#include "Core/CCreatorRegistry.h"
#include "UI/CSector.h"
#include "UI/CViewArea.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "UI/Controls/PanelCreators.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tal {

class CPanelTestTree : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        if (CCreatorRegistry::instance().find(CString("ui:spotlight-base")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kPanelCreatorTable), 0);
        }
        if (CCreatorRegistry::instance().find(CString("imageset")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kResourceCreatorTable), 0);
        }
        ASSERT_EQ(test::takeMessage(shared->addChild(sets, CString("core:object"), CString("is"), false)), "");
    }

    // A window of width x height points at a scale with one view of tag covering it; edge spacers
    // put the view at (left, top) points.
    CView* panel(const char* tag, const std::vector<std::pair<const char*, const char*>>& attrs, const char* width, const char* height, double scale = 1.0,
                 const char* left = "0", const char* top = "0") {
        const std::string name = "window" + std::to_string(++windowCount);
        window = beginWindow(name.c_str(), {{"width", width}, {"height", height}});
        build(window, "above", {{"placement", "top"}, {"height", top}});
        build(window, "before", {{"placement", "left"}, {"width", left}});
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(object, CString(tag), CString("panel"), false)), "");
        auto* view = dynamic_cast<CView*>(object);
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        for (const auto& [key, value] : {std::pair{"placement", "left"}, {"width", "100%"}, {"height", "100%"}})
            EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(view->init()), "");
        EXPECT_EQ(test::takeMessage(view->createChilds()), "");
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        window->area()->setWindowScale(scale, scale);
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        return view;
    }

    // A sector of the window at (x, y), w x h, every pixel (r, g, b, 255), its whole bitmap the clip.
    static std::unique_ptr<CSector> filledSector(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                                                 std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        auto sector = std::make_unique<CSector>();
        sector->windowRect = CPixelRect{x, y, w, h};
        sector->clipRect = CPixelRect{0, 0, w, h};
        sector->backBuffer = std::make_unique<CLinearBitmap>();
        delete sector->backBuffer->setSize(w, h, true);
        sector->target = sector->backBuffer.get();
        for (std::int32_t py = 0; py < h; ++py)
            for (std::int32_t px = 0; px < w; ++px) {
                std::uint8_t* p = pixelAt(*sector, px, py);
                p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
            }
        return sector;
    }
    static std::uint8_t* pixelAt(CSector& sector, std::int32_t x, std::int32_t y) {
        return sector.backBuffer->pixels() + y * sector.backBuffer->stride() + 4 * x;
    }

    // A one-channel layer of a size, authored at a scale, in a colour slot, inked where covered says.
    template <class Covered>
    static CImageLayer* coverageLayer(std::int32_t slot, std::int32_t width, std::int32_t height, double scale,
                                      std::int32_t tone, Covered covered) {
        std::vector<std::uint8_t> pixels(std::size_t(width * height));
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                pixels[std::size_t(y * width + x)] = covered(x, y);
        auto* layer = new CImageLayer;
        layer->init(slot, width, height, 0, 0, scale, 0.0, 0, 0, 0, 1, tone, pixels.data(), 8);
        layer->encodeRuns(pixels.data(), 8);
        return layer;
    }
    // Saves the set and loads it as "shared::is.<name>".
    void addImageSet(const char* name, CImageSet& set) {
        const std::string file = folder.file(std::string(name) + ".is");
        ASSERT_EQ(set.save(CString(file.c_str())), nullptr);
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(sets->addChild(object, CString("imageset"), CString(name), false)), "");
        ASSERT_EQ(test::takeMessage(object->setAttr(CString("file"), CString(file.c_str()), true)), "");
    }

    CView* window = nullptr;
    test::TempFolder folder;
    CObject* sets = nullptr;
    int windowCount = 0;
};

} // namespace tal
