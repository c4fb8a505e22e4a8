#pragma once
// Knobs in a window of the panel test tree: their tags registered, "ui.global-settings", a colour
// swatch "ui.color-swatch", and tiny synthetic image sets whose image sizes tell which image and
// layer a prepared draw shows.
#include "Core/CCreatorRegistry.h"
#include "Other/CColorSwatch.h"
#include "Other/CImage.h"
#include "UI/BindingCreators.h"
#include "UI/CGlobalSettings.h"
#include "UI/CUIParam.h"
#include "UI/Controls/CKnob.h"
#include "UI/Controls/ControlCreators.h"
#include "UI/Controls/PanelTestTree.h"

#include <string>
#include <utility>
#include <vector>

namespace tal {

class CKnobTestTree : public CPanelTestTree {
protected:
    void SetUp() override {
        CPanelTestTree::SetUp();
        static const bool registered = [] {
            CCreatorRegistry::instance().registerTable(kBindingCreatorTable);   // may be registered already
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            static const CCreatorTableEntry table[] = {
                {"test:color-swatch", [] { return static_cast<CObject*>(new CColorSwatch()); }, &CObject::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(table);
            return CCreatorRegistry::instance().find(CString("ui:knob")) != nullptr;
        }();
        ASSERT_TRUE(registered);
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("ui:global-settings"), CString("global-settings"), false)), "");
        settings = dynamic_cast<CGlobalSettings*>(object);
        ASSERT_NE(settings, nullptr);
        CObject* swatch = nullptr;
        ASSERT_EQ(test::takeMessage(ui->addChild(swatch, CString("test:color-swatch"), CString("color-swatch"), false)), "");
        addObject(swatch, "core:object", "c0", {{"is-color", "true"}, {"index", "0"}, {"color", "Custom1"}});
        ASSERT_EQ(test::takeMessage(swatch->initChilds()), "");
        addColor("Knob", "808080");
        addColor("KnobIndicator", "c0c0c0");
        addColor("Custom1", "ff4000");
        addColor("RulerLabelText", "e0e0e0");
        addColor("KnobHoverGlow", "40c0ff");
    }

    // A plain object child through its whole life cycle.
    static CObject* addObject(CObject* parent, const char* tag, const char* name,
                              const std::vector<std::pair<const char*, const char*>>& attrs) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(parent->addChild(object, CString(tag), CString(name), false)), "");
        if (object == nullptr) return nullptr;
        for (const auto& [key, value] : attrs) EXPECT_EQ(test::takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(object->init()), "");
        EXPECT_EQ(test::takeMessage(object->createChilds()), "");
        EXPECT_EQ(test::takeMessage(object->initChilds()), "");
        return object;
    }

    // Image i, layer l of a probe set is (1 + i % 16 + 20 l) x (1 + i / 16) pixels, fully inked.
    static CImage* probeImage(std::int32_t index, int layers) {
        auto* image = new CImage;
        for (int l = 0; l < layers; ++l)
            image->addLayer(coverageLayer(0, 1 + index % 16 + 20 * l, 1 + index / 16, 1.0, 255,
                                          [](int, int) { return std::uint8_t(255); }));
        return image;
    }
    // "image:layer" of a prepared draw of a probe set.
    static std::string probeName(const CImageDraw& draw) {
        const int l = (draw.width - 1) / 20;
        const int i = (draw.width - 1) % 20 + 16 * (draw.height - 1);
        return std::to_string(i) + ":" + std::to_string(l);
    }
    // Prepares the knob's drawing and names what it requested, in order.
    std::vector<std::string> requested(CKnob* knob) {
        EXPECT_TRUE(knob->prepareDraw());
        sharedData->prepareImages(0);
        std::vector<std::string> names;
        for (int i = 0; i < knob->drawRequests().count(); ++i)
            names.push_back(probeName(*knob->drawRequests()[i].draw));
        return names;
    }

    // A knob of size w x h points filling a window, with a simple UI parameter "ui-param" (unless
    // withParam is false) and its drag controller.
    CKnob* knob(const std::vector<std::pair<const char*, const char*>>& attrs, const char* width = "100",
                const char* height = "100", double scale = 1.0, bool withParam = true) {
        const std::string name = "window" + std::to_string(++windowCount);
        window = beginWindow(name.c_str(), {{"width", width}, {"height", height}});
        std::vector<std::pair<const char*, const char*>> all = {{"placement", "left"}, {"width", "100%"}, {"height", "100%"},
                                                              {"center-x", "0.5"}, {"center-y", "0.5"},
                                                              {"inner-radius", "0.27"}, {"outer-radius", "0.44"},
                                                              {"zone-start", "0.89"}, {"zone-end", "0.60"},
                                                              {"color", "Knob"}, {"color-swatch", "/ui.color-swatch"}};
        all.insert(all.end(), attrs.begin(), attrs.end());
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(window->addChild(object, CString("ui:knob"), CString("knob-base"), false)), "");
        auto* view = dynamic_cast<CKnob*>(object);
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        for (const auto& [key, value] : all) EXPECT_EQ(test::takeMessage(view->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(view->init()), "");
        EXPECT_EQ(test::takeMessage(view->createChilds()), "");
        if (withParam)
            addObject(view, "ui:ui-param", "ui-param", {{"is-simple-attr", "true"}, {"shared-attribute-value", "0"}});
        addObject(view, "ui:ui-param-controller", "ui-param-controller", {{"ui-param", "^ui-param"}, {"is-vertical", "true"}, {"sensitivity", "1.0"}});
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        window->area()->setWindowScale(scale, scale);
        EXPECT_EQ(test::takeMessage(window->updateLayout()), "");
        return view;
    }
    static void setValue(CKnob* knob, double x) {
        CUIParamValue v;
        v[0] = x;
        knob->uiParam()->setNormalizedValue(0, -1, v);
    }

    CGlobalSettings* settings = nullptr;
};

} // namespace tal
