#include "UI/CSpectrumContainer.h"

#include "Core/CTemplateBody.h"
#include "support/SpectrumTestTree.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {
namespace {

// The spectrum template as the description gives it: the container's settings by reference, and
// the three value lists of the channel group.
class CSpectrumTemplate : public CTemplateBody {
public:
    const CString& bodyTag() const override { return mTag; }
    CError* buildAttrs(CObject& target) override {
        CObject* container = target.parent();
        for (const char* name : {"viz-name", "color-swatch", "group-selector", "min-max", "min-max-freq"}) {
            CAttrValue* value = container->attrs().findValue(name);
            if (value == nullptr)
                continue;
            if (CError* error = target.setAttr(CString(name), value->asText(), false))
                return error;
        }
        const std::pair<const char*, const char*> fixed[] = {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"inactive-timeout", "0"}};
        for (const auto& [name, value] : fixed)
            if (CError* error = target.setAttr(CString(name), CString(value), false))
                return error;
        return nullptr;
    }
    CError* buildChildren(CObject& target) override {
        for (const char* name : {"audio-channel-list", "audio-channel-names", "audio-group-name"}) {
            CObject* list = nullptr;
            if (CError* error = CParamTestTree::build(list, &target, "ui:value-list-manual", name, {}))
                return error;
        }
        CStringList items;
        items.add("1");
        items.add("2");
        return dynamic_cast<CValueList*>(target.findChild(CString("audio-channel-list")))->setItems(items);
    }

private:
    CString mTag{"ui:spectrum"};
};

class CSpectrumContainerTest : public CSpectrumTestTree {
protected:
    // underlaySelector: the container's "group-selector-extra" (empty: no underlay slot).
    CSpectrumContainer* container(const char* underlaySelector = "") {
        CObject* placeholder = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(placeholder, CString("template"), CString("test:spectrum-t"), false)), "");
        placeholder->setTemplateBody(new CSpectrumTemplate);
        ui->addTemplate(CString("test:spectrum-t"), placeholder);
        window = beginWindow("window", {{"width", "200"}, {"height", "100"}});
        CView* view = begin(window, "switched-view",
                            {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                             {"spectrum-tag", "test:spectrum-t"}, {"viz-name", "plugin.spectrum"},
                             {"viz-name-extra", "plugin.spectrum-sec"}, {"color-swatch", "ui.swatch"},
                             {"group-selector", "ui.groups"}, {"min-max", "ui.levels"}, {"min-max-freq", "ui.freq"},
                             {"static-spectrum-count-max", "5"}, {"import-slot-count", "2"},
                             {"group-selector-extra", underlaySelector}},
                            "ui:spectrum-container");
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        return dynamic_cast<CSpectrumContainer*>(view);
    }
};

TEST_F(CSpectrumContainerTest, LiveSlotGetsAPrimaryAndASecondarySpectrum) {
    CSpectrumContainer* c = container();
    ASSERT_NE(c, nullptr);
    CSpectrum* primary = c->liveSlot().primary;
    CSpectrum* secondary = c->liveSlot().secondary;
    ASSERT_NE(primary, nullptr);
    ASSERT_NE(secondary, nullptr);
    EXPECT_EQ(test::utf8Of(primary->getTextAttr("viz-name")), "plugin.spectrum");
    EXPECT_EQ(test::utf8Of(secondary->getTextAttr("viz-name")), "plugin.spectrum-sec");
    EXPECT_TRUE(secondary->getBoolAttr("is-secondary"));
    EXPECT_EQ(test::utf8Of(primary->getTextAttr("z-index")), "100 ^");
    EXPECT_EQ(primary->curve().slotCount(), 2);
    EXPECT_EQ(c->importSlotCount(), 2);
    EXPECT_EQ(c->staticSlotCount(), 5);
    EXPECT_EQ(c->importSlot(0).primary, nullptr);   // import slots start disabled
    EXPECT_EQ(c->underlaySlot().primary, nullptr);
    EXPECT_FALSE(c->hasLiveSpectrumData(0));
}

TEST_F(CSpectrumContainerTest, FreezeReachesTheLiveSpectraOnly) {
    CSpectrumContainer* c = container();
    ASSERT_NE(c, nullptr);
    CObject* button = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(button, ui, "core:object", "freeze-button", {})), "");
    CAttrMap args;
    args.findOrAdd("source")->value.setText(CString("ui.freeze-button"));
    args.findOrAdd("state")->value.setText(CString("false"));
    ASSERT_EQ(takeMessage(c->runEvent(CString("freeze"), &args)), "");
    EXPECT_TRUE(c->liveSlot().primary->isFrozen());
    EXPECT_TRUE(c->liveSlot().secondary->isFrozen());
    args.findOrAdd("state")->value.setText(CString("true"));
    ASSERT_EQ(takeMessage(c->runEvent(CString("freeze"), &args)), "");
    EXPECT_FALSE(c->liveSlot().primary->isFrozen());
}

TEST_F(CSpectrumContainerTest, ImportSlotChildrenFollowTheirExportSlot) {
    CSpectrumContainer* c = container();
    ASSERT_NE(c, nullptr);
    CSpectrumContainer::CSpectrumSlot& slot = c->importSlot(0);
    slot.isEnabled = true;
    slot.isImported = true;
    slot.exportSlot = 3;
    slot.colorIndex = 0;
    ASSERT_EQ(takeMessage(c->updateSlotChildren(slot)), "");
    CSpectrum* first = slot.primary;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getIntAttr("export-slot"), 3);
    EXPECT_EQ(test::utf8Of(first->getTextAttr("z-index")), "1 ^");
    EXPECT_EQ(first->getIntAttr("is-imported"), 1);
    // The same export slot only updates the children.
    slot.isVisible = false;
    ASSERT_EQ(takeMessage(c->updateSlotChildren(slot)), "");
    EXPECT_EQ(slot.primary, first);
    EXPECT_EQ(first->getIntAttr("is-hidden"), 1);
    // Another export slot replaces them; disabling releases them.
    slot.exportSlot = 4;
    ASSERT_EQ(takeMessage(c->updateSlotChildren(slot)), "");
    ASSERT_NE(slot.primary, nullptr);
    EXPECT_NE(slot.primary, first);
    EXPECT_EQ(slot.primary->getIntAttr("export-slot"), 4);
    slot.isEnabled = false;
    ASSERT_EQ(takeMessage(c->updateSlotChildren(slot)), "");
    EXPECT_EQ(slot.primary, nullptr);
    EXPECT_EQ(slot.secondary, nullptr);
}

TEST_F(CSpectrumContainerTest, UnderlaySlotUsesTheExtraGroupSelector) {
    CSpectrumContainer* c = container("ui.groups");
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->underlaySlot().primary, nullptr);
    EXPECT_EQ(test::utf8Of(c->underlaySlot().primary->getTextAttr("group-selector")), "ui.groups");
    ASSERT_NE(c->underlaySlot().secondary, nullptr);
}

} // namespace
} // namespace tal
