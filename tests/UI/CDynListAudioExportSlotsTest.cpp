#include "UI/CDynListAudioExportSlots.h"

#include "Core/CCreatorRegistry.h"
#include "Other/CColorSwatch.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "UI/CVizExchange.h"
#include "support/BindingTestTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tal {
namespace {

// The exchange "ui.viz-exchange" with names for export slots 0 and 2, a swatch of four colours and
// a slot parameter of range 0..4.
class CDynListAudioExportSlotsTest : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        static const CCreatorTableEntry table[] = {
            {"test:export-slots", &CDynListAudioExportSlots::create, &CDynListAudioExportSlots::initScheme},
            {"test:color-swatch", [] { return static_cast<CObject*>(new CColorSwatch); }, &CObject::initScheme},
            {"", nullptr, nullptr},
        };
        CCreatorRegistry::instance().registerTable(table);  // may be registered already
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:viz-exchange", "viz-exchange",
                                                    {{"interface-client", "^client"}})),
                  "");
        CParamInterfaceMessageWriter writer("export-slot-names");
        writer.i32(2);
        writer.i32(0);
        writer.string(CString("1: Bass (Main)`opt1=3`opt2=0"));
        writer.i32(2);
        writer.string(CString("3: Drums (Main)`opt1=-1`opt2=0"));
        connector->reply(writer);

        ASSERT_EQ(takeMessage(ui->addChild(object, CString("test:color-swatch"), CString("swatch"), false)), "");
        for (int i = 0; i < 4; ++i) {
            CObject* c = nullptr;
            const std::string name = "C" + std::to_string(i);
            ASSERT_EQ(takeMessage(object->addChild(c, CString("core:object"), CString(name.c_str()), false)), "");
            ASSERT_EQ(takeMessage(c->setAttr(CString("is-color"), CString("true"), true)), "");
            ASSERT_EQ(takeMessage(c->setIntAttr(CString("index"), i, true)), "");
            ASSERT_EQ(takeMessage(c->setAttr(CString("color"), CString(name.c_str()), true)), "");
        }
        ASSERT_EQ(takeMessage(object->initChilds()), "");
        info = makeInfo("Slot", 1, 0, 4, "0", true);
        slotBridge = bridgeWith("slot", *info);
    }
    CDynListAudioExportSlots* slots(const char* name, bool isImport, const char* bridge = "ui.slot",
                                    std::string* error = nullptr) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(ui->addChild(object, CString("test:export-slots"), CString(name), false)), "");
        EXPECT_EQ(takeMessage(object->setAttr(CString("color-swatch"), CString("ui.swatch"), false)), "");
        if (isImport) {
            EXPECT_EQ(takeMessage(object->setAttr(CString("is-import"), CString("true"), false)), "");
        }
        EXPECT_EQ(takeMessage(object->init()), "");
        EXPECT_EQ(takeMessage(object->createChilds()), "");
        if (bridge != nullptr)
            addUIParam(object, "ui-param-export-slot", {{"bridge", bridge}});
        const std::string message = takeMessage(object->initChilds());
        if (error != nullptr)
            *error = message;
        else
            EXPECT_EQ(message, "");
        return dynamic_cast<CDynListAudioExportSlots*>(object);
    }
    static std::vector<std::string> items(CDynList& list) {
        CStringList out;
        list.getItems(0, out);
        std::vector<std::string> texts;
        for (int i = 0; i < out.count(); ++i)
            texts.push_back(text(out[i]));
        return texts;
    }

    std::unique_ptr<CAudioParamInfo> info;
    CParamBridge* slotBridge = nullptr;
};

TEST_F(CDynListAudioExportSlotsTest, AnExportListShowsUsedSlotsDisabled) {
    CDynListAudioExportSlots* list = slots("export", false);
    EXPECT_EQ(items(*list), (std::vector<std::string>{"---", "1: Bass (Main) [IMG=is.button#Color:C3]", "2",
                                                      "3: Drums (Main)", "4"}));
    const bool disabled[] = {false, true, false, true, false};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->isItemDisabled(0, i), disabled[i]) << i;
        EXPECT_EQ(list->getItemValue(0, i), i) << i;
    }
}

TEST_F(CDynListAudioExportSlotsTest, AnImportListShowsOnlyNamedSlots) {
    CDynListAudioExportSlots* list = slots("import", true);
    EXPECT_EQ(items(*list), (std::vector<std::string>{"---", "1: Bass (Main) [IMG=is.button#Color:C3]",
                                                      "3: Drums (Main)"}));
    const int values[] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->getItemValue(0, i), values[i]) << i;
        EXPECT_FALSE(list->isItemDisabled(0, i)) << i;
    }
}

TEST_F(CDynListAudioExportSlotsTest, WithoutAnActiveSlotParameterTheListIsEmpty) {
    addBridge("silent", "plugin.q", "^client");
    CDynListAudioExportSlots* list = slots("export", false, "ui.silent");
    EXPECT_TRUE(items(*list).empty());
    std::string error;
    slots("unattached", false, nullptr, &error);
    EXPECT_EQ(error, "Required UI parameter 'ui-param-export-slot' is not attached.");
}

} // namespace
} // namespace tal
