// The product description's selector templates: the frame-rate row and the scale drop-down built
// from them show the stored settings.
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CXMLLoader.h"
#include "Platform/CHeadlessWindowBackend.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "ProductCreators.h"
#include "UI/Controls/CButton.h"
#include "UI/Controls/CSelectorFPS.h"
#include "UI/Controls/CSelectorScale.h"
#include "support/UserSettingsSandbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

std::string textOf(CObject* object, const char* name) {
    CAttrValue* value = object->attrs().findValue(name);
    return value != nullptr ? std::string(value->asText().narrowed().chars8()) : std::string("<none>");
}

class SelectorTemplates : public ::testing::Test {
protected:
    void SetUp() override {
        for (const CCreatorTableEntry* const* table = productCreatorTables(); *table != nullptr; ++table)
            CCreatorRegistry::instance().registerTable(*table);
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        // The buttons name the shared image set; an empty one stands in for it.
        CObject* sets = nullptr;
        CObject* set = nullptr;
        ASSERT_EQ(shared->addChild(sets, CString("core:object"), CString("is"), false), nullptr);
        ASSERT_EQ(sets->addChild(set, CString("imageset"), CString("button"), false), nullptr);
        CMainLoopTimers::setCurrent(&loop);
        CWindowBackend::setCurrent(&screen);
        root = new CObject;
        root->initRoot(nullptr);
        CError* error = CXMLLoader::loadXMLData(*root, CString(TAL_DEFAULT_UI_DESCRIPTION), true);
        ASSERT_EQ(error, nullptr) << error->message().narrowed().chars8();
        bar = root->findObject(CString("ui.main-window.top-bar"));
        ASSERT_NE(bar, nullptr);
    }
    void TearDown() override {
        root->release();
        CWindowBackend::setCurrent(nullptr);
        CMainLoopTimers::setCurrent(nullptr);
        shared->release();
        CObject::setSharedObject(nullptr);
    }
    template <class T>
    T* make(const char* tag, const char* name) {
        T* made = nullptr;
        CError* error = bar->createChild(made, CString(tag), CString(name), true, nullptr, nullptr);
        EXPECT_EQ(error, nullptr) << (error != nullptr ? error->message().narrowed().chars8() : "");
        delete error;
        return made;
    }

    test::UserSettingsSandbox settings;
    CPumpedMainLoopTimers loop;
    CHeadlessWindowBackend screen;
    CObject* shared = nullptr;
    CObject* root = nullptr;
    CObject* bar = nullptr;
};

TEST_F(SelectorTemplates, TheFrameRateRowShowsTheStoredRate) {
    auto* fps = make<CSelectorFPS>("ui:frame-rate-selector", "fps");
    ASSERT_NE(fps, nullptr);
    std::vector<std::string> titles;
    for (std::int32_t i = 0; i < fps->buttonCount(); ++i) titles.push_back(textOf(fps->button(i), "title"));
    EXPECT_EQ(titles, (std::vector<std::string>{"20", "30", "40", "50", "60", "72"}));
    EXPECT_EQ(fps->activeIndex(), 2);
}

TEST_F(SelectorTemplates, TheScaleDropDownShowsTheStoredScale) {
    auto* scale = make<CSelectorScale>("ui:scale-selector", "scale");
    ASSERT_NE(scale, nullptr);
    CObject* dropdown = scale->findObject(CString(".dropdown"));
    ASSERT_NE(dynamic_cast<CButton*>(dropdown), nullptr);
    EXPECT_EQ(textOf(dropdown, "title"), "100%");
    EXPECT_EQ(textOf(dropdown, "selected-item"), "2");
    EXPECT_EQ(textOf(dropdown, "is-item-list-empty"), "0");
}

} // namespace
} // namespace tal
