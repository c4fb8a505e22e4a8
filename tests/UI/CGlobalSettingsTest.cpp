// The interaction preferences object: its creation values, the three exponential precision
// mappings with their fall-backs, and the product description's binding of every field to the
// global shared attributes under "ui.global-data".

#include "UI/CGlobalSettings.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "Core/CXMLLoader.h"
#include "ProductCreators.h"
#include "support/UserSettingsSandbox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tal {
namespace {

class GlobalSettingsTree : public ::testing::Test {
protected:
    void SetUp() override {
        for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
            CCreatorRegistry::instance().registerTable(*table);
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        root = new CObject;
        root->initRoot(nullptr);
    }
    void TearDown() override {
        root->release();
        shared->release();
        CObject::setSharedObject(nullptr);
    }
    CGlobalSettings* make() {
        CObject* made = nullptr;
        EXPECT_EQ(root->addChild(made, CString("ui:global-settings"), CString("global-settings"), false), nullptr);
        return dynamic_cast<CGlobalSettings*>(made);
    }
    static void set(CObject* object, const char* name, const char* text) {
        CError* error = object->setAttr(CString(name), CString(text), true);
        EXPECT_EQ(error, nullptr) << name;
        delete error;
    }

    test::UserSettingsSandbox sandbox;   // global preferences in a temporary folder
    CObject* shared = nullptr;
    CObject* root = nullptr;
};

TEST_F(GlobalSettingsTree, NewObjectHoldsTheCreationValues) {
    CGlobalSettings* settings = make();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isCurveDragAddsPoints);
    EXPECT_TRUE(settings->showKnobLabels);
    EXPECT_TRUE(settings->showVirtualKeyboard);
    EXPECT_FALSE(settings->isMouseWheelOnLists);
    EXPECT_FALSE(settings->tabletMode);
    EXPECT_EQ(settings->dragPrecisionFactor, 0.0);
    EXPECT_EQ(settings->mouseWheelPrecisionFactor, 0.0);
    EXPECT_EQ(settings->shiftKeyPrecisionFactor, 0.0);
    // The four left open start at the description's defaults.
    EXPECT_EQ(settings->framesPerSecond, 40);
    EXPECT_FALSE(settings->isEqAutoClick);
    EXPECT_FALSE(settings->radialKnobMode);
    EXPECT_FALSE(settings->showPresetSelector);
}

struct FactorCase {
    const char* attribute;
    const char* text;
    double expected;   // closed form of the mapping
    double CGlobalSettings::*field;
};

TEST_F(GlobalSettingsTree, PrecisionSettingsMapExponentiallyWithoutClamping) {
    const FactorCase cases[] = {
        {"drag-precision", "0", 0.05, &CGlobalSettings::dragPrecisionFactor},
        {"drag-precision", "1", 0.001, &CGlobalSettings::dragPrecisionFactor},
        {"drag-precision", "0.8", 0.05 * std::pow(0.02, 0.8), &CGlobalSettings::dragPrecisionFactor},
        {"drag-precision", "1.5", 0.05 * std::pow(0.02, 1.5), &CGlobalSettings::dragPrecisionFactor},
        {"drag-precision", "fine", 0.05, &CGlobalSettings::dragPrecisionFactor},
        {"mouse-wheel-precision", "0", 0.2, &CGlobalSettings::mouseWheelPrecisionFactor},
        {"mouse-wheel-precision", "0.5", 0.2 * std::sqrt(0.025), &CGlobalSettings::mouseWheelPrecisionFactor},
        {"mouse-wheel-precision", "1", 0.005, &CGlobalSettings::mouseWheelPrecisionFactor},
        {"shift-key-precision", "1", 0.1, &CGlobalSettings::shiftKeyPrecisionFactor},
        {"shift-key-precision", "0.5", 2.0 / 3.0 * std::sqrt(0.15), &CGlobalSettings::shiftKeyPrecisionFactor},
        {"shift-key-precision", "", 2.0 / 3.0, &CGlobalSettings::shiftKeyPrecisionFactor},
    };
    for (const FactorCase& c : cases) {
        SCOPED_TRACE(std::string(c.attribute) + " = '" + c.text + "'");
        CGlobalSettings* settings = make();
        set(settings, c.attribute, c.text);
        EXPECT_NEAR(settings->*c.field, c.expected, c.expected * 1e-12);
        settings->release();
    }
    // The figures the settings window shows.
    EXPECT_NEAR(CGlobalSettings::dragFactorOf(0.8), 0.00218672, 5e-9);
    EXPECT_NEAR(CGlobalSettings::shiftKeyFactorOf(0.5), 0.258199, 5e-7);
    EXPECT_NEAR(CGlobalSettings::mouseWheelFactorOf(0.5), 0.0316228, 5e-8);
}

TEST_F(GlobalSettingsTree, PlainSettingsStoreTheirValueOrZero) {
    CGlobalSettings* settings = make();
    set(settings, "frames-per-second", "60");
    EXPECT_EQ(settings->framesPerSecond, 60);
    EXPECT_TRUE(settings->showKnobLabels);   // nothing else changed
    set(settings, "frames-per-second", "many");
    EXPECT_EQ(settings->framesPerSecond, 0);
    set(settings, "tablet-mode", "true");
    set(settings, "radial-knob-mode", "1");
    set(settings, "show-knob-labels", "0");
    set(settings, "show-virtual-keyboard", "maybe");
    EXPECT_TRUE(settings->tabletMode);
    EXPECT_TRUE(settings->radialKnobMode);
    EXPECT_FALSE(settings->showKnobLabels);
    EXPECT_FALSE(settings->showVirtualKeyboard);
}

// The product description: every field follows its global preference.
TEST_F(GlobalSettingsTree, ProductDescriptionBindsEveryFieldToItsGlobalPreference) {
    CError* error = CXMLLoader::loadXMLData(*root, CString(TAL_DEFAULT_UI_DESCRIPTION), true);
    ASSERT_EQ(error, nullptr) << error->message().narrowed().chars8();
    auto* settings = dynamic_cast<CGlobalSettings*>(root->findObject(CString("ui.global-settings")));
    ASSERT_NE(settings, nullptr);
    EXPECT_DOUBLE_EQ(settings->dragPrecisionFactor, CGlobalSettings::dragFactorOf(0.8));
    EXPECT_DOUBLE_EQ(settings->mouseWheelPrecisionFactor, CGlobalSettings::mouseWheelFactorOf(0.5));
    EXPECT_DOUBLE_EQ(settings->shiftKeyPrecisionFactor, CGlobalSettings::shiftKeyFactorOf(0.5));
    EXPECT_EQ(settings->framesPerSecond, 40);
    EXPECT_TRUE(settings->isCurveDragAddsPoints);
    EXPECT_TRUE(settings->showKnobLabels);
    EXPECT_FALSE(settings->showVirtualKeyboard);   // the description's default replaces creation's true
    EXPECT_FALSE(settings->tabletMode);

    struct Change { const char* name; const char* text; };
    const Change changes[] = {{"tablet-mode", "true"}, {"shift-key-precision", "1"}, {"frames-per-second", "25"}};
    for (const Change& change : changes) {
        auto* preference = dynamic_cast<CSharedAttribute*>(
            root->findObject(CString((std::string("ui.global-data.") + change.name).c_str())));
        ASSERT_NE(preference, nullptr) << change.name;
        EXPECT_EQ(preference->storeValue(CString(change.text)), nullptr);
        EXPECT_EQ(preference->onUpdate(), nullptr);   // what the bridge runs on the UI thread
    }
    EXPECT_TRUE(settings->tabletMode);
    EXPECT_NEAR(settings->shiftKeyPrecisionFactor, 0.1, 1e-12);
    EXPECT_EQ(settings->framesPerSecond, 25);
}

} // namespace
} // namespace tal
