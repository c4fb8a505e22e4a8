// The style object: attributes derived from the palette's feature switches and the preferences, and
// the repaint of every open window.
#include "UI/CStyle.h"

#include "UI/CDynamicColor.h"
#include "UI/CDynamicPalette.h"
#include "UI/CView.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

class CStyleTest : public CViewTestTree {
protected:
    // "ui.style" with the three preferences, built as the description builder does.
    CStyle* makeStyle(const char* shadows, const char* spotlight, const char* textures) {
        CObject* object = nullptr;
        EXPECT_EQ(test::takeMessage(ui->addChild(object, CString("ui:style"), CString("style"), false)), "");
        for (const auto& [key, value] :
             {std::pair{"ui-shadows", shadows}, {"ui-spotlight", spotlight}, {"ui-textures", textures}})
            EXPECT_EQ(test::takeMessage(object->setAttr(CString(key), CString(value), false)), "");
        EXPECT_EQ(test::takeMessage(object->init()), "");
        EXPECT_EQ(test::takeMessage(object->createChilds()), "");
        return dynamic_cast<CStyle*>(object);
    }
    static std::string attr(CStyle* style, const char* name) {
        CAttrValue* v = style->attrs().findValue(name);
        return v != nullptr ? text(v->asText()) : std::string("<none>");
    }
};

TEST_F(CStyleTest, AttributesFollowTheSwitchesAndPreferences) {
    const struct {
        const char* flat;   // brightness of "FlatPanels", nullptr: no such colour
        const char *shadows, *spotlight, *textures;
        double textureOpacity, gradientOpacity;
        const char* panel;
        const char* shadowHidden;
        const char* lightHidden;
    } cases[] = {
        {"60", "true", "true", "true", 0.75, 0.0, "Panel", "0", "0"},
        {"60", "true", "true", "false", 0.0, 0.0, "Panel", "0", "0"},
        {"-5", "true", "true", "false", 0.33, 0.66, "RealisticPanel", "0", "0"},
        {"-5", "false", "false", "true", 1.0, 1.0, "Panel", "1", "1"},
        {nullptr, "true", "true", "false", 0.0, 0.0, "Panel", "0", "0"},   // no switch: flat panels
    };
    for (const auto& c : cases) {
        CDynamicColor* flat = c.flat != nullptr ? addColor("FlatPanels", "808080", c.flat) : nullptr;
        CStyle* style = makeStyle(c.shadows, c.spotlight, c.textures);
        ASSERT_NE(style, nullptr);
        const std::string label = std::string(c.flat ? c.flat : "none") + " " + c.textures;
        EXPECT_DOUBLE_EQ(style->getDoubleAttr("overlay-texture-opacity"), c.textureOpacity) << label;
        EXPECT_DOUBLE_EQ(style->getDoubleAttr("overlay-gradient-opacity"), c.gradientOpacity) << label;
        EXPECT_EQ(attr(style, "panel-color"), c.panel) << label;
        EXPECT_EQ(attr(style, "is-shadow-hidden"), c.shadowHidden) << label;
        EXPECT_EQ(attr(style, "is-global-light-hidden"), c.lightHidden) << label;
        EXPECT_EQ(attr(style, "title-frame-spread"), "1") << label;
        EXPECT_EQ(attr(style, "meter-inner-border-spread2"), "4") << label;
        style->release();
        if (flat != nullptr) flat->release();
    }
}

TEST_F(CStyleTest, APaletteAnnouncementDerivesAgainAndRepaintsEveryWindow) {
    CDynamicColor* larger = addColor("LargerPanelBorder", "808080", "-5");
    CView* window = beginWindow("window", {{"width", "40"}, {"height", "20"}});
    finish(window);
    ASSERT_EQ(takeError(), "");
    sharedData->windowList().add(renderer->getFullName());
    CStyle* style = makeStyle("true", "true", "true");
    EXPECT_EQ(attr(style, "title-frame-caption-border"), "B5.5");
    // Serve the window's pending redraws, as the renderer does each frame.
    ASSERT_EQ(window->updateLayout(), nullptr);
    std::unique_ptr<CLayoutAreaList> list(window->area()->solver()->takeRedrawList());
    window->clearRedrawRequests();
    ASSERT_FALSE(window->isFullRedrawPending());
    ASSERT_EQ(larger->setAttr(CString("brightness"), CString("60"), true), nullptr);
    ASSERT_EQ(palette->fireEvent(CString("dynamic-palette-updated"), false), nullptr);
    EXPECT_EQ(attr(style, "title-frame-caption-border"), "B4");
    EXPECT_EQ(attr(style, "title-frame-spread-overlays"), "-1.75");
    EXPECT_TRUE(window->isFullRedrawPending());
}

} // namespace
} // namespace tal
