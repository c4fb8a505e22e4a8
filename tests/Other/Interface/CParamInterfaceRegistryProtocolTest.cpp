#include "Other/Interface/CParamInterfaceBase.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Audio/RegistryCreators.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "Other/Interface/CParamInterfaceRegistryListener.h"
#include "support/CLogCapture.h"
#include "support/InterfaceTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// Records what reaches it: "listen", "session <current>: names", "factory <current>: names",
// "preset <request> <name>", "bank <request> <count>".
struct CRecordingRegistryListener : CParamInterfaceRegistryListener {
    void onRegistryListen() override { events.push_back("listen"); }
    void onRegistryUpdate(bool isFactory, const CString& id, const CStringList& names, std::int32_t current) override {
        std::string line = std::string(isFactory ? "factory " : "session ") + text(id) + " " + std::to_string(current) + ":";
        for (int i = 0; i < names.count(); ++i)
            line += " " + text(names[i]);
        events.push_back(line);
    }
    CError* onPresetData(std::int32_t requestId, CAudioPreset& preset) override {
        events.push_back("preset " + std::to_string(requestId) + " " + text(preset.getName()));
        return nullptr;
    }
    CError* onBankData(std::int32_t requestId, CAudioPresetBank& bank) override {
        events.push_back("bank " + std::to_string(requestId) + " " + std::to_string(bank.getCount()));
        return nullptr;
    }
    std::vector<std::string> events;
};

// The interface test tree with the instance's registries: the master "plugin.param-registry" (id
// "DLMR", factory presets Warm and Bright, a storable gain and the preset name) and
// "plugin.param-registry-io" (id "TLIO", not master).
class CParamInterfaceRegistryProtocol : public CInterfaceTestTree {
protected:
    void SetUp() override {
        CInterfaceTestTree::SetUp();
        static const bool registered = (CCreatorRegistry::instance().registerTable(registryCreatorTable()), true);
        (void)registered;
        CObject* modMain = CParamTestTree::plain(params->audio(), "modMain");
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, modMain, "audio:param", "gain",
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.real"},
                                                     {"min-values", "0"},
                                                     {"max-values", "100"},
                                                     {"is-storable", "true"},
                                                     {"def-values", "1"}})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, modMain, "audio:param", "preset-name",
                                                    {{"element-size", "1"},
                                                     {"data-type", "string"},
                                                     {"converter", "shared::audio.paramcvt.text"},
                                                     {"is-storable", "true"},
                                                     {"def-values", "Default"}})), "");
        writeFactoryBank();
        master = registry("param-registry", "plugin.modMain", "DLMR", true);
        io = registry("param-registry-io", "plugin.io", "TLIO", false);
        for (const char* name : {"gain", "preset-name"}) {
            const CString full = CString("plugin.modMain.") + CString(name);
            master->claimParam(full, collector->acquireParam(full));
        }
        master->finishBinding();
        client = openEditor("editor");
        ASSERT_NE(client, nullptr);
        tick();
    }

    void writeFactoryBank() {
        CAudioPresetBank bank;
        bank.addPreset()->setName(CString("DLMR:Warm"));
        bank.addPreset()->setName(CString("DLMR:Bright"));
        CWriteSeqBuffer bytes;
        ASSERT_EQ(bank.saveCompressed(bytes), nullptr);
        CByteBuffer block;
        bytes.moveTo(block);
        bankFile = folder.file("Factory.cbf");
        std::ofstream file(bankFile, std::ios::binary);
        file.write(reinterpret_cast<const char*>(block.data()), block.size());
        ASSERT_TRUE(file.good());
    }

    CAudioParamRegistry* registry(const char* name, const char* hierarchy, const char* id, bool isMaster,
                                  const char* presetNameParam = "") {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, plugin, "audio:param-registry", name,
                                                    {{"hierarchy", hierarchy},
                                                     {"id", id},
                                                     {"is-master", isMaster ? "true" : ""},
                                                     {"def-name-remap", "plugin=audio"},
                                                     {"param-collector", "^param-collector"},
                                                     {"param-undo", "^interface-base"},
                                                     {"preset-name-param", isMaster ? "plugin.modMain.preset-name" : presetNameParam},
                                                     {"preset-naming", "Master preset"},
                                                     {"file", isMaster ? bankFile.c_str() : ""}})), "");
        return dynamic_cast<CAudioParamRegistry*>(object);
    }

    CAudioParam* gain() { return collector->findParam(CString("plugin.modMain.gain")); }
    double gainValue() {
        CAudioParamLock lock(gain());
        return gain()->getCurrent().getValue(0, 0, 0, -1.0);
    }
    std::string presetName() {
        CAudioParam* name = collector->findParam(CString("plugin.modMain.preset-name"));
        CAudioParamLock lock(name);
        return text(name->getString(0, 0));
    }
    std::int32_t listen(const char* name, CParamInterfaceRegistryListener* l) {
        std::int32_t handle = 0;
        client->listenRegistry(CString(name), l, handle);
        return handle;
    }
    std::string error(std::int32_t handle) {
        CAudioParamRegistry* found = nullptr;
        return takeMessage(interfaceBase->getRegistry(handle, found));
    }

    test::TempFolder folder;
    std::string bankFile;
    CAudioParamRegistry* master = nullptr;
    CAudioParamRegistry* io = nullptr;
    CParamInterfaceClient* client = nullptr;
    CRecordingRegistryListener listener;
};

TEST_F(CParamInterfaceRegistryProtocol, ListeningToTheMasterBringsSessionThenFactoryNames) {
    CRecordingParamListener paramListener;
    EXPECT_EQ(client->listenParam(CString("plugin.modMain.gain"), &paramListener), 1);
    EXPECT_EQ(listen("plugin.param-registry", &listener), 1);  // a counter of its own
    EXPECT_EQ(listener.events, std::vector<std::string>{"listen"});
    tick();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"listen", "session DLMR 0: DLMR:Default DLMR:Bright",
                                                         "factory DLMR -1: DLMR:Warm DLMR:Bright"}));
}

TEST_F(CParamInterfaceRegistryProtocol, AnotherRegistryBringsOnlyAnEmptySessionList) {
    listen("plugin.param-registry-io", &listener);
    tick();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"listen", "session TLIO -1:"}));
}

TEST_F(CParamInterfaceRegistryProtocol, AHandleWithoutRegistryGetsNoReplyAndItsRequestsFail) {
    for (const char* name : {"plugin.no-such-registry", "plugin.interface-base", "shared::audio.modMain.gain"}) {
        SCOPED_TRACE(name);
        const std::int32_t handle = listen(name, &listener);
        client->requestPreset(handle, 5, false, -1, -1);
        tick();
        EXPECT_EQ(listener.events, std::vector<std::string>{"listen"});
        EXPECT_EQ(error(handle), "Param registry object '" + std::to_string(handle) + "' is NULL.");
        listener.events.clear();
    }
    EXPECT_EQ(error(99), "No param registry object '99' found.");
}

TEST_F(CParamInterfaceRegistryProtocol, ProgramChangesReachTheRegistryListenersAndEveryHistory) {
    const std::int32_t handle = listen("plugin.param-registry", &listener);
    CParamInterfaceClient* other = openEditor("other");
    tick();
    listener.events.clear();
    client->setCurrentProgram(handle, 0);  // the current one: nothing happens
    EXPECT_EQ(queuedNames(client->clientId()), std::vector<std::string>{});
    client->setCurrentProgram(handle, 1);
    EXPECT_EQ(presetName(), "Bright");
    EXPECT_EQ(queuedNames(other->clientId()), std::vector<std::string>{"update-undo-history"});
    tick();
    ASSERT_FALSE(listener.events.empty());
    EXPECT_EQ(listener.events.back(), "session DLMR 1: DLMR:Default DLMR:Bright");
    client->setCurrentProgram(handle, 7);  // beyond the bank
    client->renamePreset(handle, 0, CString("Soft"));  // not the current program: the bank only
    tick();
    EXPECT_EQ(listener.events.back(), "session DLMR 1: DLMR:Soft DLMR:Bright");
    EXPECT_EQ(presetName(), "Bright");
    EXPECT_EQ(client->undoHistoryNames().count(), 1);  // no step
}

TEST_F(CParamInterfaceRegistryProtocol, RequestedPresetsAndBanksReachTheListenerOnceEach) {
    const std::int32_t handle = listen("plugin.param-registry", &listener);
    const std::int32_t ioHandle = listen("plugin.param-registry-io", &listener);
    tick();
    listener.events.clear();
    CLogCapture log;
    client->requestPreset(handle, 10, true, 1, -1);
    client->requestPreset(handle, 11, true, 5, -1);   // beyond the factory bank: no record
    client->requestPreset(handle, 12, false, -1, -1);
    client->requestBank(handle, 13, false);
    client->requestBank(ioHandle, 14, false);          // not master: no record
    client->requestPreset(ioHandle, 15, true, 99, -1);  // not master: the live state, index ignored
    tick();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"preset 10 DLMR:Bright", "preset 12 DLMR:Default", "bank 13 2",
                                                         "preset 15 TLIO:"}));
    // The audio side logged its two failures; the client raised none for the empty replies.
    std::vector<std::string> messages;
    for (const std::string& line : log.lines())
        if (line.find('(') == std::string::npos)  // message lines, not trace lines
            messages.push_back(line);
    EXPECT_EQ(messages, (std::vector<std::string>{"Invalid preset index 5 specified.",
                                                  "Acquiring bank in a non-master registry is an error."}));
}

TEST_F(CParamInterfaceRegistryProtocol, PresetActivationIsOneUndoStepAndAForeignPresetIsRefused) {
    const std::int32_t handle = listen("plugin.param-registry", &listener);
    gain()->setValue(0, nullptr, nullptr, 50.0);
    CAudioPreset foreign;
    foreign.setName(CString("TLIO:Routing"));
    EXPECT_FALSE(client->activatePreset(handle, foreign, -1));
    EXPECT_EQ(gainValue(), 50.0);
    CAudioPreset own;
    own.setName(CString("DLMR:Flat"));  // no entries: every parameter to its default
    EXPECT_TRUE(client->activatePreset(handle, own, -1));
    EXPECT_EQ(gainValue(), 1.0);
    tick();
    ASSERT_EQ(client->undoHistoryNames().count(), 2);
    EXPECT_EQ(text(client->undoHistoryNames()[1]), "Master preset activate");
    client->setUndoHistoryPos(0);
    EXPECT_EQ(gainValue(), 50.0);
}

TEST_F(CParamInterfaceRegistryProtocol, AnEditorChangeMarksTheOwningPresetAsUserEdited) {
    // A registry with a preset name of its own owns its parameters: their edits make it read "User".
    CObject* spec = CParamTestTree::plain(params->audio(), "spec");
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, spec, "audio:param", "mode",
                                                {{"element-size", "1"},
                                                 {"converter", "shared::audio.paramcvt.real"},
                                                 {"min-values", "0"},
                                                 {"max-values", "10"},
                                                 {"is-storable", "true"},
                                                 {"def-values", "0"}})), "");
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, spec, "audio:param", "preset-name",
                                                {{"element-size", "1"},
                                                 {"data-type", "string"},
                                                 {"converter", "shared::audio.paramcvt.text"},
                                                 {"is-storable", "true"},
                                                 {"def-values", "Wide"}})), "");
    CAudioParamRegistry* spectrum = registry("param-registry-spectrum", "plugin.spec", "TLSP", false,
                                             "plugin.spec.preset-name");
    for (const char* name : {"mode", "preset-name"}) {
        const CString full = CString("plugin.spec.") + CString(name);
        CAudioParam* param = collector->acquireParam(full);
        ASSERT_TRUE(param->bindDefinition(spectrum->getRemaps(), nullptr, {}));
        spectrum->claimParam(full, param);
    }
    CAudioParam* name = collector->findParam(CString("plugin.spec.preset-name"));
    name->setString(0, 0, CString("Wide"), nullptr, nullptr, {});
    CRecordingParamListener paramListener;
    const std::int32_t handle = client->listenParam(CString("plugin.spec.mode"), &paramListener);
    const std::int32_t undo = client->createUndoData(CString("Mode"), false, 0);
    EXPECT_EQ(text(name->getString(0, 0)), "Wide");
    client->changeParam(handle, floatChange(0, 0, {7.0}), undo);
    client->submitUndoData(undo, CString());
    EXPECT_EQ(text(name->getString(0, 0)), "User");
    client->setUndoHistoryPos(0);  // the name is part of the step
    EXPECT_EQ(text(name->getString(0, 0)), "Wide");
    // A change outside any record marks the preset as well.
    client->changeParam(handle, floatChange(0, 0, {3.0}), -1);
    EXPECT_EQ(text(name->getString(0, 0)), "User");
}

TEST_F(CParamInterfaceRegistryProtocol, ExchangingTheShadowPresetTwiceRestoresTheLiveState) {
    const std::int32_t handle = listen("plugin.param-registry", &listener);
    client->updateShadowPreset(handle);
    tick();
    EXPECT_EQ(queuedNames(client->clientId()), std::vector<std::string>{});  // updating sends nothing
    gain()->setValue(0, nullptr, nullptr, 20.0);
    client->exchangeShadowPreset(handle);
    EXPECT_EQ(gainValue(), 1.0);
    client->exchangeShadowPreset(handle);
    EXPECT_EQ(gainValue(), 20.0);
}

TEST_F(CParamInterfaceRegistryProtocol, TheMasterResetIsOneUndoStep) {
    const std::int32_t handle = listen("plugin.param-registry", &listener);
    gain()->setValue(0, nullptr, nullptr, 30.0);
    client->activateDefaultPreset(handle);
    EXPECT_EQ(gainValue(), 1.0);
    tick();
    EXPECT_EQ(text(client->undoHistoryNames()[client->undoHistoryNames().count() - 1]), "Master reset");
}

TEST_F(CParamInterfaceRegistryProtocol, UnlistenedHandlesIgnoreLateRepliesAndReleaseUnlistensTheRest) {
    const std::int32_t first = listen("plugin.param-registry", &listener);
    listen("plugin.param-registry-io", &listener);
    EXPECT_EQ(interfaceBase->registryListenerCount(), 2);
    client->unlistenRegistry(first);  // its names are still queued
    client->unlistenRegistry(first);  // already gone: nothing is sent
    client->unlistenRegistry(12345);  // never given: nothing is sent
    EXPECT_EQ(interfaceBase->registryListenerCount(), 1);
    tick();
    EXPECT_EQ(listener.events, (std::vector<std::string>{"listen", "listen", "session TLIO -1:"}));
    master->renamePreset(1, CString("Loud"), nullptr);  // the unlistened handle hears nothing
    EXPECT_EQ(queuedNames(client->clientId()), std::vector<std::string>{});
    closeEditor(client);
    client = nullptr;
    EXPECT_EQ(interfaceBase->registryListenerCount(), 0);
}

TEST_F(CParamInterfaceRegistryProtocol, AClientThatGoesAwayLeavesNoListenerBehind) {
    CParamInterfaceClient* other = openEditor("other");
    CRecordingParamListener paramListener;
    other->listenParam(CString("plugin.modMain.gain"), &paramListener);
    std::int32_t handle = 0;
    other->listenRegistry(CString("plugin.param-registry"), &listener, handle);
    listen("plugin.param-registry-io", &listener);  // this editor's stays
    EXPECT_EQ(interfaceBase->paramListenerCount(), 1);
    EXPECT_EQ(interfaceBase->registryListenerCount(), 2);
    baseConnector->unregisterClient(other->clientId());  // gone without unlistening
    EXPECT_EQ(interfaceBase->paramListenerCount(), 0);
    EXPECT_EQ(interfaceBase->registryListenerCount(), 1);
    master->renamePreset(1, CString("Loud"), nullptr);
    gain()->setValue(0, nullptr, nullptr, 3.0);
    EXPECT_EQ(baseConnector->queuedCount(other->clientId()), 0);
}

// The host switches programs on its own thread while the editor listens and stops listening: the
// registry's notifications (under its preset lock, taking the undo lock for the history) and the
// editor's requests (undo lock, then the preset lock only outside it) never wait on each other.
TEST_F(CParamInterfaceRegistryProtocol, ConcurrentHostProgramChangesAndRegistryListening) {
    std::atomic<bool> stop{false};
    std::atomic<int> budget{0};  // program changes left in this round: the editor's queue stays short
    std::thread host([&] {
        for (int i = 0; !stop.load(); ++i) {
            int left = budget.load();
            if (left > 0 && budget.compare_exchange_weak(left, left - 1))
                master->setCurrentProgram(i % 2, nullptr);
            else
                std::this_thread::yield();
        }
    });
    for (int round = 0; round < 200; ++round) {
        budget.store(8);
        const std::int32_t handle = listen("plugin.param-registry", &listener);
        client->requestPreset(handle, round, false, -1, -1);
        tick();
        client->unlistenRegistry(handle);
    }
    stop.store(true);
    host.join();
    tick();
    EXPECT_EQ(interfaceBase->registryListenerCount(), 0);
    int presets = 0;
    for (const std::string& e : listener.events)
        presets += e.rfind("preset ", 0) == 0 ? 1 : 0;
    EXPECT_EQ(presets, 200);
}

} // namespace
} // namespace tal
