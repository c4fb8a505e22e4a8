#pragma once
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Other/CColorSwatch.h"
#include "UI/BindingCreators.h"
#include "UI/CSector.h"
#include "UI/CSpectrum.h"
#include "UI/CSpectrumCurve.h"
#include "UI/CValueList.h"
#include "UI/DisplayCreators.h"
#include "support/BindingTestTree.h"
#include "support/ParamTestTree.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tal {

// A window of 200 x 100 pixels with one spectrum view over it, its channel list "1", "2", the
// group source "ui.groups" (group 0), the ranges 20 .. 20000 Hz and -90 .. 0 dB and the curve colour
// "SpectrumLine" at swatch index 0.
class CSpectrumTestTree : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:spectrum-swatch", [] { return static_cast<CObject*>(new CColorSwatch); }, &CObject::initScheme},
                {"test:spectrum-groups", [] { return static_cast<CObject*>(new CTestGroupSource); }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry& registry = CCreatorRegistry::instance();
            registry.registerTable(kBindingCreatorTable);
            registry.registerTable(kDisplayCreatorTable);
            return registry.registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange", {})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:spectrum-groups", "groups", {{"group", "0"}})), "");
        groups = dynamic_cast<CTestGroupSource*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "freq",
                                                    {{"is-log", "true"}, {"min", "20"}, {"max", "20000"}, {"scale-power", "1"}})),
                  "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:min-max", "levels",
                                                    {{"min", "-90"}, {"max", "0"}, {"scale-power", "1"}})),
                  "");
        CObject* swatch = nullptr;
        ASSERT_EQ(takeMessage(ui->addChild(swatch, CString("test:spectrum-swatch"), CString("swatch"), false)), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, swatch, "core:object", "c0",
                                                    {{"is-color", "true"}, {"index", "0"}, {"color", "SpectrumLine"}})),
                  "");
        ASSERT_EQ(takeMessage(swatch->init()), "");
        ASSERT_EQ(takeMessage(swatch->createChilds()), "");
        ASSERT_EQ(takeMessage(swatch->initChilds()), "");
        addColor("SpectrumLine", "40c0ff", "1");
    }
    static std::string takeMessage(CError* error) { return test::takeMessage(error); }

    // Begins the spectrum with its three lists; extra attributes override the defaults.
    CSpectrum* spectrum(Attrs extra, bool isFinished = true) {
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        std::vector<std::pair<const char*, const char*>> attrs = {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"viz-name", "plugin.spectrum"},
            {"color-swatch", "ui.swatch"}, {"color-index", "0"}, {"group-selector", "ui.groups"},
            {"min-max", "ui.levels"}, {"min-max-freq", "ui.freq"}, {"inactive-timeout", "0"},
            {"export-slot", "-1"}};
        for (const auto& [key, value] : extra) {
            bool isReplaced = false;
            for (auto& a : attrs)
                if (std::string(a.first) == key) {
                    a.second = value;
                    isReplaced = true;
                }
            if (!isReplaced)
                attrs.emplace_back(key, value);
        }
        CView* view = beginList(window, attrs);
        auto* s = dynamic_cast<CSpectrum*>(view);
        if (s == nullptr)
            return nullptr;
        CObject* object = nullptr;
        for (const char* name : {"audio-channel-list", "audio-channel-names", "audio-group-name"})
            EXPECT_EQ(takeMessage(CParamTestTree::build(object, s, "ui:value-list-manual", name, {})), "");
        setItems(s, "audio-channel-list", {"1", "2"});
        setItems(s, "audio-channel-names", {"L", "R"});
        setItems(s, "audio-group-name", {"Stereo"});
        if (isFinished) {
            finish(s);
            finish(window);
        }
        return s;
    }
    CView* beginList(CView* parent, const std::vector<std::pair<const char*, const char*>>& attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(parent->addChild(object, CString("ui:spectrum"), CString("spectrum"), false)), "");
        for (const auto& [key, value] : attrs)
            EXPECT_EQ(takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        if (CError* error = object->init()) {
            initError = takeMessage(error);
            return nullptr;
        }
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        return dynamic_cast<CView*>(object);
    }
    static void setItems(CObject* owner, const char* name, std::vector<const char*> items) {
        CStringList list;
        for (const char* item : items)
            list.add(item);
        auto* values = dynamic_cast<CValueList*>(owner->findChild(CString(name)));
        ASSERT_NE(values, nullptr);
        ASSERT_EQ(takeMessage(values->setItems(list)), "");
    }
    static bool isAnyPresent(const CSpectrum* s) {
        for (std::int32_t i = 0; i < s->curve().slotCount(); ++i)
            if (s->curve().isPresent(i))
                return true;
        return false;
    }
    // The window's 200 x 100 pixels as one black sector.
    static std::unique_ptr<CSector> blackSector() {
        auto sector = std::make_unique<CSector>();
        sector->windowRect = CPixelRect{0, 0, 200, 100};
        sector->clipRect = CPixelRect{0, 0, 200, 100};
        sector->backBuffer = std::make_unique<CLinearBitmap>();
        delete sector->backBuffer->setSize(200, 100, true);
        sector->target = sector->backBuffer.get();
        return sector;
    }
    // Paints a prepared view into four 100 x 50 sectors, each on a thread of its own, and checks that
    // every sector holds the same pixels as the same part of one whole-window paint (each channel
    // within tolerance).
    static void expectConcurrentSectorsMatch(CView* view, int tolerance = 0) {
        auto whole = blackSector();
        view->paintToSector(*whole);
        std::vector<std::unique_ptr<CSector>> parts;
        for (int i = 0; i < 4; ++i) {
            auto sector = std::make_unique<CSector>();
            sector->windowRect = CPixelRect{100 * (i % 2), 50 * (i / 2), 100, 50};
            sector->clipRect = CPixelRect{0, 0, 100, 50};
            sector->backBuffer = std::make_unique<CLinearBitmap>();
            delete sector->backBuffer->setSize(100, 50, true);
            sector->target = sector->backBuffer.get();
            parts.push_back(std::move(sector));
        }
        std::vector<std::thread> workers;
        for (auto& part : parts)
            workers.emplace_back([view, sector = part.get()] { view->paintToSector(*sector); });
        for (std::thread& worker : workers)
            worker.join();
        int lit = 0;
        for (const auto& part : parts)
            for (std::int32_t y = 0; y < 50; ++y)
                for (std::int32_t x = 0; x < 100; ++x) {
                    const std::uint8_t* a = part->backBuffer->pixel(x, y);
                    const std::uint8_t* b = whole->backBuffer->pixel(part->windowRect.x + x, part->windowRect.y + y);
                    ASSERT_TRUE(std::abs(a[0] - b[0]) <= tolerance && std::abs(a[1] - b[1]) <= tolerance &&
                                std::abs(a[2] - b[2]) <= tolerance)
                        << part->windowRect.x + x << ", " << part->windowRect.y + y << ": " << int(a[0]) << " " << int(b[0]);
                    lit += a[0] + a[1] + a[2] > 0 ? 1 : 0;
                }
        EXPECT_GT(lit, 100);
    }
    // Paints the window's 200 x 100 pixels from black.
    std::unique_ptr<CSector> render(CSpectrum* s) {
        auto sector = blackSector();
        s->selectColorStates();
        if (s->prepareDraw())
            s->paintToSector(*sector);
        return sector;
    }

    CView* window = nullptr;
    CTestGroupSource* groups = nullptr;
    std::string initError;
};

} // namespace tal
