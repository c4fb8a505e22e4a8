#include "Audio/CAudioParamRegistry.h"

#include "Audio/CAudioParamRegistryListener.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/CAudioParamUndo.h"
#include "Audio/CAudioPresetBank.h"
#include "Core/CAppData.h"
#include "Core/CMemoryReader.h"
#include "Core/CSystem.h"
#include "Core/RecordTags.h"
#include "Core/CStringList.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/CLogCapture.h"
#include "support/LeBytes.h"
#include "support/PresetBytes.h"
#include "support/RegistryTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace tal;

namespace {

const char* const kReal = "shared::audio.paramcvt.real";

// The master registry over "plugin.modMain" with its parameters: gain and freq (storable), inst
// (persistent only), glob (global only) and the program name (a storable string).
class CAudioParamRegistryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // Application data (the user's default preset) in a folder of the test's own.
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mPreferences.path().c_str()));
        resetScopes();
        CObject* modMain = CParamTestTree::plain(tree.audio(), "modMain");
        def(modMain, "gain", "is-storable", "1");
        def(modMain, "freq", "is-storable", "2");
        def(modMain, "inst", "is-persistent", "3");
        def(modMain, "glob", "is-global", "4");
        CObject* object = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, modMain, "audio:param", "preset-name",
                                                    {{"element-size", "1"},
                                                     {"data-type", "string"},
                                                     {"converter", "shared::audio.paramcvt.text"},
                                                     {"is-storable", "true"},
                                                     {"def-values", "Default"}})),
                  "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, tree.plugin(), "test:param-undo", "interface-base",
                                                    {{"undo-count-max", "32"}})),
                  "");
        undo = dynamic_cast<CAudioParamUndo*>(object);
        ASSERT_NE(undo, nullptr);
        undo->setCollector(&tree.collector());
    }

    void TearDown() override {
        resetScopes();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    static void resetScopes() {
        for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
            scope->resetForTest();
    }

    // A real-valued definition from 0 to 100 with one flag set and one default value.
    void def(CObject* parent, const char* name, const char* flag, const char* defValue) {
        CObject* object = nullptr;
        CError* err = CParamTestTree::build(object, parent, "audio:param", name,
                                            {{"element-size", "1"}, {"converter", kReal}, {"min-values", "0"},
                                             {"max-values", "100"}, {flag, "true"}, {"def-values", defValue}});
        ASSERT_EQ(takeMessage(err), "") << name;
    }

    // Builds the master registry and hands it every parameter of its hierarchy, as the collector does.
    CAudioParamRegistry* master(const char* file = "", const char* remap = "plugin=audio") {
        CObject* object = nullptr;
        CError* err = CParamTestTree::build(object, tree.plugin(), "audio:param-registry", "param-registry",
                                            {{"hierarchy", "plugin.modMain"},
                                             {"id", "DLMR"},
                                             {"is-master", "true"},
                                             {"def-name-remap", remap},
                                             {"param-collector", CRegistryTestTree::kCollectorPath},
                                             {"param-undo", "shared::plugin.interface-base"},
                                             {"preset-name-param", "plugin.modMain.preset-name"},
                                             {"preset-naming", "Master preset"},
                                             {"file", file}});
        EXPECT_EQ(takeMessage(err), "");
        CAudioParamRegistry* registry = dynamic_cast<CAudioParamRegistry*>(object);
        for (const char* name : {"gain", "freq", "inst", "glob", "preset-name"}) {
            const CString full = CString("plugin.modMain.") + CString(name);
            registry->claimParam(full, tree.collector().acquireParam(full));
        }
        return registry;
    }

    CAudioParam* param(const char* name) {
        return tree.collector().findParam(CString("plugin.modMain.") + CString(name));
    }
    double value(const char* name, int element = 0) { return param(name)->getCurrent().getValue(0, element, 0, -1.0); }
    void set(const char* name, double v) { param(name)->setValue(0, nullptr, nullptr, v); }

    test::TempFolder mPreferences;
    CString mSavedBundleFolder;
    CRegistryTestTree tree;
    CAudioParamUndo* undo = nullptr;
};

// A bank file of presets named as given, each with one "gain" entry of the given value.
void writeBankFile(const std::string& path, const std::vector<std::pair<const char*, double>>& presets) {
    CAudioPresetBank bank;
    for (const auto& [name, gain] : presets) {
        CAudioPreset* preset = bank.addPreset();
        preset->setName(name);
        const LeBytes entry = test::floatEntry("audio.modMain.gain", {{gain}});
        preset->setEntry("gain", CByteBuffer(entry.data(), entry.size()));
    }
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.saveCompressed(out), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    test::writeWholeFile(path, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::vector<std::uint8_t> presetBytes(const CAudioPreset& preset) {
    CWriteSeqBuffer out;
    EXPECT_EQ(preset.save(out), nullptr);
    std::vector<std::uint8_t> bytes(std::size_t(out.getSize()));
    out.copyTo(bytes.data());
    return bytes;
}

CError* activate(CAudioParamRegistry& registry, const std::vector<std::uint8_t>& bytes, bool persistent, int group) {
    CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
    return registry.activatePreset(in, persistent, group);
}

} // namespace

TEST_F(CAudioParamRegistryFixture, MissingFactoryBankGivesOneDefaultProgram) {
    CAudioParamRegistry* registry = master("no-such-bank.cbf");
    EXPECT_EQ(registry->getProgramCount(), 1);
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Default");
    registry->finishBinding();
    EXPECT_EQ(value("gain"), 1.0);   // no entries: every parameter at its default
    EXPECT_EQ(textOf(param("preset-name")->getString(0, 0)), "Default");
    CStringList names;
    int current = 7;
    registry->getPresetNames(true, names, current);
    EXPECT_EQ(names.count(), 0);
    EXPECT_EQ(current, -1);
}

TEST_F(CAudioParamRegistryFixture, InvalidRemapFailsInitWithTheWholeText) {
    CObject* object = nullptr;
    CError* err = CParamTestTree::build(object, tree.plugin(), "audio:param-registry", "r",
                                        {{"hierarchy", "plugin.x"},
                                         {"def-name-remap", "plugin=audio broken"},
                                         {"param-collector", CRegistryTestTree::kCollectorPath}});
    EXPECT_EQ(takeMessage(err), "Invalid remapping string 'plugin=audio broken' defined.");
    CAudioParamRegistry* registry = dynamic_cast<CAudioParamRegistry*>(object);
    ASSERT_NE(registry, nullptr);
    ASSERT_EQ(registry->getRemaps().size(), 1u);
    EXPECT_EQ(textOf(registry->getRemaps()[0].replacement), "audio");
    // A loader that goes on after the failed init: the registry stays out of the collector.
    EXPECT_EQ(takeMessage(registry->initChilds()), "");
    EXPECT_EQ(tree.collector().findRegistry(CString("plugin.r")), nullptr);
}

TEST_F(CAudioParamRegistryFixture, ClaimsOnlyNamesBelowItsHierarchy) {
    CAudioParamRegistry* registry = master();
    CAudioParam* p = tree.collector().acquireParam("plugin.modMainX");
    EXPECT_FALSE(registry->claimParam("plugin.modMain", p));
    EXPECT_FALSE(registry->claimParam("plugin.modMainX", p));
    EXPECT_TRUE(registry->claimParam("plugin.modMain.extra", p));
    EXPECT_EQ(registry->findParam("extra"), p);
}

TEST_F(CAudioParamRegistryFixture, CaptureAndApplyFollowTheDefinitionFlags) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    CAudioPreset captured;
    registry->storePreset(captured, -1);
    // Storable and persistent parameters are captured; the global-only one is not.
    std::vector<std::string> names;
    for (auto* n = captured.getEntries().first(); n != nullptr; n = CAudioPreset::CEntryMap::next(n))
        names.push_back(textOf(n->key));
    EXPECT_EQ(names, (std::vector<std::string>{"freq", "gain", "inst", "preset-name"}));
    EXPECT_EQ(textOf(captured.getName()), "DLMR:Default");

    set("gain", 50);
    set("inst", 60);
    set("glob", 70);
    // Without persistent parameters: gain comes back, inst and glob keep their values.
    registry->applyPreset(captured.getEntries(), false, false, {}, -1, -1, false);
    EXPECT_EQ(value("gain"), 1.0);
    EXPECT_EQ(value("inst"), 60.0);
    EXPECT_EQ(value("glob"), 70.0);
    registry->applyPreset(captured.getEntries(), false, true, {}, -1, -1, false);
    EXPECT_EQ(value("inst"), 3.0);
}

TEST_F(CAudioParamRegistryFixture, ParametersMissingFromAPresetAreResetUnlessInDefaultsMode) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    set("gain", 10);
    set("freq", 20);
    CAudioPreset onlyGain;
    onlyGain.setName("DLMR:G");
    registry->storePreset(onlyGain, -1);
    onlyGain.getEntries().remove("freq");
    set("gain", 11);
    set("freq", 21);
    registry->applyPreset(onlyGain.getEntries(), true, false, {}, -1, -1, false);
    EXPECT_EQ(value("gain"), 11.0);   // defaults mode: current values untouched
    EXPECT_EQ(value("freq"), 21.0);
    registry->applyPreset(onlyGain.getEntries(), false, false, {}, -1, -1, false);
    EXPECT_EQ(value("gain"), 10.0);
    EXPECT_EQ(value("freq"), 2.0);    // not in the preset: back to its default
    // The defaults-mode load made 10 the default of gain.
    set("gain", 12);
    registry->resetToDefaults();
    EXPECT_EQ(value("gain"), 10.0);
}

TEST_F(CAudioParamRegistryFixture, ForeignAndDamagedPresetsChangeNothing) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    set("gain", 10);
    CAudioPreset preset;
    registry->storePreset(preset, -1);
    set("gain", 33);
    const std::vector<std::uint8_t> good = presetBytes(preset);

    preset.setName("TLIO:Other");
    const std::vector<std::uint8_t> foreign = presetBytes(preset);
    preset.setName("NoColon");
    const std::vector<std::uint8_t> noColon = presetBytes(preset);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"another registry's id", foreign, "Incompatible preset."},
        {"a name without id", noColon, "Incompatible preset."},
        {"cut short", std::vector<std::uint8_t>(good.begin(), good.end() - 3), nullptr},
        {"cut after the count", std::vector<std::uint8_t>(good.begin(), good.begin() + 20), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CError* err = activate(*registry, c.bytes, true, -1);
        ASSERT_NE(err, nullptr);
        if (c.message != nullptr) {
            EXPECT_EQ(textOf(err->message()), c.message);
        }
        delete err;
        EXPECT_EQ(value("gain"), 33.0);
        EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Default");
    }
    ASSERT_EQ(activate(*registry, good, true, -1), nullptr);
    EXPECT_EQ(value("gain"), 10.0);
    CStringList history;
    std::int32_t position = 0;
    undo->getHistory(history, position);
    ASSERT_EQ(history.count(), 2);
    EXPECT_EQ(textOf(history[1]), "Master preset activate");
}

TEST_F(CAudioParamRegistryFixture, APresetWithOneDamagedEntryAppliesTheRestAndLogsIt) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    set("gain", 10);
    set("freq", 20);
    CAudioPreset preset;
    registry->storePreset(preset, -1);
    preset.setName("DLMR:Half");
    const LeBytes broken = LeBytes().str("audio.modMain.freq").i32(1).i32(1);
    preset.setEntry("freq", CByteBuffer(broken.data(), broken.size()));
    set("gain", 11);
    set("freq", 21);
    CLogCapture log;
    ASSERT_EQ(activate(*registry, presetBytes(preset), false, -1), nullptr);
    EXPECT_EQ(value("gain"), 10.0);   // entries after the damaged one still apply
    EXPECT_EQ(value("freq"), 21.0);   // the damaged entry is skipped
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Half");
    EXPECT_FALSE(log.lines().empty());
}

TEST_F(CAudioParamRegistryFixture, ProgramSwitchStoresTheLeftProgramAndSwapsHistories) {
    test::TempFolder folder;
    CAudioPresetBank bank;
    for (const char* name : {"DLMR:A", "DLMR:B", "DLMR:C"}) bank.addPreset()->setName(name);
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.saveCompressed(out), nullptr);
    CByteBuffer bytes;
    out.moveTo(bytes);
    test::writeWholeFile(folder.file("bank.cbf"), std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    CAudioParamRegistry* registry = master(folder.file("bank.cbf").c_str());
    registry->finishBinding();
    ASSERT_EQ(registry->getProgramCount(), 3);
    registry->setCurrentProgram(1, nullptr);
    EXPECT_EQ(textOf(param("preset-name")->getString(0, 0)), "B");

    // An undoable edit in program 1, then away to program 2 and back.
    CAudioPreset edited;
    registry->storePreset(edited, -1);
    edited.setName("DLMR:B");
    set("gain", 42);
    registry->storePreset(edited, -1);
    set("gain", 1);
    ASSERT_EQ(activate(*registry, presetBytes(edited), false, -1), nullptr);
    EXPECT_EQ(value("gain"), 42.0);
    CStringList history;
    std::int32_t position = 0;
    undo->getHistory(history, position);
    ASSERT_EQ(position, 1);

    registry->setCurrentProgram(2, nullptr);
    EXPECT_EQ(value("gain"), 1.0);   // program 2 has no entries: defaults
    undo->getHistory(history, position);
    EXPECT_EQ(position, 0);          // program 2's own (empty) history

    registry->setCurrentProgram(1, nullptr);
    EXPECT_EQ(value("gain"), 42.0);
    undo->getHistory(history, position);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(registry->getCurrentProgram(), 1);

    // Switching to the current program, to -1 or past the end does nothing.
    set("gain", 43);
    for (int index : {1, -1, 3}) registry->setCurrentProgram(index, nullptr);
    EXPECT_EQ(value("gain"), 43.0);
    EXPECT_EQ(registry->getCurrentProgram(), 1);
}

TEST_F(CAudioParamRegistryFixture, ABExchangeSwapsStatesAndTheFirstSwitchChangesNothing) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    set("gain", 10);
    registry->exchangeShadowPreset();
    EXPECT_EQ(value("gain"), 10.0);
    set("gain", 20);
    registry->exchangeShadowPreset();
    EXPECT_EQ(value("gain"), 10.0);
    registry->exchangeShadowPreset();
    EXPECT_EQ(value("gain"), 20.0);
    registry->updateShadowPreset();
    set("gain", 30);
    registry->exchangeShadowPreset();
    EXPECT_EQ(value("gain"), 20.0);
}

TEST_F(CAudioParamRegistryFixture, BanksReplaceProgramsAndDamagedOrForeignBanksAreRefused) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    set("gain", 10);
    CAudioPresetBank bank;
    CAudioPreset* first = bank.addPreset();
    registry->storePreset(*first, -1);
    first->setName("DLMR:Loaded");
    CWriteSeqBuffer out;
    ASSERT_EQ(bank.save(out), nullptr);
    std::vector<std::uint8_t> good(std::size_t(out.getSize()));
    out.copyTo(good.data());
    bank.getPreset(0)->setName("TLSP:Loaded");
    CWriteSeqBuffer foreignOut;
    ASSERT_EQ(bank.save(foreignOut), nullptr);
    std::vector<std::uint8_t> foreign(std::size_t(foreignOut.getSize()));
    foreignOut.copyTo(foreign.data());

    set("gain", 5);
    for (const std::vector<std::uint8_t>& bad : {foreign, std::vector<std::uint8_t>(good.begin(), good.end() - 1)}) {
        CMemoryReader in(bad.data(), std::int32_t(bad.size()));
        CError* err = registry->activateBank(in, false);
        ASSERT_NE(err, nullptr);
        delete err;
        EXPECT_EQ(value("gain"), 5.0);
        EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Default");
    }
    CMemoryReader in(good.data(), std::int32_t(good.size()));
    ASSERT_EQ(registry->activateBank(in, false), nullptr);
    EXPECT_EQ(value("gain"), 10.0);
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Loaded");

    // Writing the program bank and a program preset; index errors are reported.
    CWriteSeqBuffer written;
    ASSERT_EQ(registry->acquireBank(false, written), nullptr);
    CError* err = registry->acquirePreset(false, 4, -1, written);
    EXPECT_EQ(textOf(err->message()), "Invalid preset index 4 specified.");
    delete err;
}

TEST_F(CAudioParamRegistryFixture, RenameAndMasterResetAreUndoSteps) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    registry->renamePreset(0, "Bright", nullptr);
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Bright");
    EXPECT_EQ(textOf(param("preset-name")->getString(0, 0)), "Bright");
    set("gain", 9);
    set("inst", 9);
    registry->resetToDefaults();
    EXPECT_EQ(value("gain"), 1.0);
    EXPECT_EQ(value("inst"), 9.0);   // persistent-only parameters keep their values
    // The name parameter's reset renames the program ("Default") through the name listener.
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Default");
    CStringList history;
    std::int32_t position = 0;
    undo->getHistory(history, position);
    ASSERT_EQ(history.count(), 3);
    EXPECT_EQ(textOf(history[1]), "Program name change");
    EXPECT_EQ(textOf(history[2]), "Master reset");
}

// The editor renames through the registry (preset lock, then the name parameter's lock) while the
// name parameter is edited directly on another thread (its lock, then the registry's reaction). The
// registry reacts after the parameter's update, so the two never wait for each other, and at the
// end the program name and the parameter agree.
TEST_F(CAudioParamRegistryFixture, ConcurrentRenameAndNameParameterEdits) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    CAudioParam* name = param("preset-name");
    std::thread editor([&] {
        for (int i = 0; i < 300; ++i) registry->renamePreset(0, CString("A") + CString(i), nullptr);
    });
    for (int i = 0; i < 300; ++i) name->setString(0, 0, CString("B") + CString(i), nullptr, nullptr, {});
    editor.join();
    CString text;
    {
        CAudioParamLock lock(name);
        text = name->getString(0, 0);
    }
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:" + textOf(text));
}

TEST_F(CAudioParamRegistryFixture, TheUsersDefaultPresetReplacesProgramZeroButNotTheFactoryBank) {
    writeBankFile(mPreferences.file("bank.cbf"), {{"DLMR:A", 5}, {"DLMR:B", 6}});
    LeBytes record;
    record.str("DLMR:Mine").i32(1);
    test::appendEntry(record, "gain", test::floatEntry("audio.modMain.gain", {{42}}));
    CAppData::localScope().write(CString("default-preset"), CByteBuffer(record.data(), record.size()), nullptr,
                                 kTagPreset);

    CAudioParamRegistry* registry = master(mPreferences.file("bank.cbf").c_str());
    EXPECT_TRUE(registry->isDefaultPresetLoaded());
    EXPECT_EQ(registry->getProgramCount(), 2);
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Mine");
    EXPECT_EQ(textOf(registry->getProgramName(1)), "DLMR:B");
    CStringList factory;
    int current = 0;
    registry->getPresetNames(true, factory, current);
    ASSERT_EQ(factory.count(), 2);
    EXPECT_EQ(textOf(factory[0]), "DLMR:A");

    registry->finishBinding();
    EXPECT_EQ(value("gain"), 42.0);
    EXPECT_EQ(param("gain")->getDefaults().getValue(0, 0, 0, -1.0), 42.0);   // also the new default
    registry->activateFactoryPreset(0);
    EXPECT_EQ(value("gain"), 5.0);
}

TEST_F(CAudioParamRegistryFixture, AnAbsentOrDamagedDefaultPresetIsIgnored) {
    writeBankFile(mPreferences.file("bank.cbf"), {{"DLMR:A", 5}});
    const std::vector<std::pair<const char*, LeBytes>> cases = {
        {"absent", LeBytes()},
        {"entry count beyond the bytes", LeBytes().str("DLMR:Mine").i32(3)},
        {"cut inside the name", LeBytes().i32(40).raw({'D', 'L'})},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        resetScopes();
        if (bytes.size() > 0)
            CAppData::localScope().write(CString("default-preset"), CByteBuffer(bytes.data(), bytes.size()), nullptr,
                                         kTagPreset);
        CAudioParamRegistry* registry = master(mPreferences.file("bank.cbf").c_str());
        EXPECT_FALSE(registry->isDefaultPresetLoaded());
        EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:A");
        registry->finishBinding();
        EXPECT_EQ(value("gain"), 5.0);
        registry->release();
    }
}

namespace {

// An enumerated registry "plugin.colors" over "plugin.colors.*" whose bank is the local item
// "color-presets"; each preset sets "hue" (real 0 to 100, default 5). A selector parameter
// "plugin.selector" names it in its definition.
class CAudioParamRegistrySelector : public CAudioParamRegistryFixture {
protected:
    void SetUp() override {
        CAudioParamRegistryFixture::SetUp();
        CObject* colors = CParamTestTree::plain(tree.audio(), "colors");
        def(colors, "hue", "is-storable", "5");
        CAudioPresetBank bank;
        for (double hue : {10.0, 20.0, 30.0, 40.0}) {
            CAudioPreset* preset = bank.addPreset();
            preset->setName("TLCO:p");
            const LeBytes entry = test::floatEntry("audio.colors.hue", {{hue}});
            preset->setEntry("hue", CByteBuffer(entry.data(), entry.size()));
        }
        CWriteSeqBuffer out;
        ASSERT_EQ(out.write32(std::uint32_t(1)), nullptr);
        ASSERT_EQ(bank.save(out), nullptr);
        CByteBuffer bytes;
        out.moveTo(bytes);
        CAppData::localScope().write(CString("color-presets"), bytes, nullptr, kTagAppList);
    }

    CAudioParamRegistry* colors(bool elementEnum) {
        CObject* object = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(object, tree.plugin(), "audio:param-registry", "colors",
                                                    {{"hierarchy", "plugin.colors"},
                                                     {"id", "TLCO"},
                                                     {"is-enumerated", "true"},
                                                     {"is-element-enum", elementEnum ? "true" : ""},
                                                     {"store-name", "color-presets"},
                                                     {"def-name-remap", "plugin=audio"},
                                                     {"param-collector", CRegistryTestTree::kCollectorPath}})),
                  "");
        auto* registry = dynamic_cast<CAudioParamRegistry*>(object);
        const CString hue("plugin.colors.hue");
        registry->claimParam(hue, tree.collector().acquireParam(hue));
        return registry;
    }
    CAudioParam* selector() {
        return tree.boundParam("selector", {{"element-size", "1"},
                                            {"converter", kReal},
                                            {"min-values", "-10"},
                                            {"max-values", "10"},
                                            {"def-values", "0"},
                                            {"param-registry", "shared::plugin.colors"}});
    }
    double hue(int element = 0) {
        return tree.collector().findParam("plugin.colors.hue")->getCurrent().getValue(0, element, 0, -1.0);
    }
};

} // namespace

// The list is a user file: a damaged one leaves the registry working, without enumerated presets.
TEST_F(CAudioParamRegistrySelector, ADamagedPresetListIsIgnored) {
    const std::uint8_t damaged[] = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    CAppData::localScope().write(CString("color-presets"), CByteBuffer(damaged, sizeof damaged), nullptr,
                                 kTagAppList);
    CAudioParamRegistry* registry = colors(false);
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(registry->getEnumeratedCount(), 0);
}

TEST_F(CAudioParamRegistrySelector, ASelectorValuePicksThePresetOfItsRoundedIndex) {
    CAudioParamRegistry* registry = colors(false);
    ASSERT_EQ(registry->getEnumeratedCount(), 4);
    CAudioParam* sel = selector();
    // Binding the selector (value 0) selected preset 0 for group 0; the defaults stay.
    EXPECT_EQ(hue(), 10.0);
    EXPECT_EQ(tree.collector().findParam("plugin.colors.hue")->getCurrent().getDefault(0, 0), 5.0);
    struct Case {
        double value;
        double hue;
    };
    // Rounded half away from zero; an index outside the bank resets the registry's parameters.
    for (const Case& c : {Case{1.0, 20.0}, Case{2.5, 40.0}, Case{-0.5, 5.0}, Case{0.49, 10.0}, Case{4.0, 5.0},
                          Case{1.5, 30.0}}) {
        SCOPED_TRACE(c.value);
        sel->setValue(0, nullptr, nullptr, c.value);
        EXPECT_EQ(hue(), c.hue);
    }
}

TEST_F(CAudioParamRegistrySelector, AnElementSelectorPicksAPresetPerElement) {
    colors(true);
    CAudioParam* sel = selector();
    const std::vector<double> picks = {3.0, 0.0, 9.0};
    CAudioParamChange change;
    change.group = 0;
    change.firstElement = 0;
    change.count = 3;
    change.elementSize = 1;
    change.values = picks.data();
    change.table = &sel->getCurrent().getData();
    sel->applyChange(change, nullptr, {});
    EXPECT_EQ(hue(0), 40.0);
    EXPECT_EQ(hue(1), 10.0);
    EXPECT_EQ(hue(2), 5.0);   // index 9 is outside the bank: the element's default
}

TEST_F(CAudioParamRegistrySelector, NoBankNoReaction) {
    resetScopes();
    CAppData::localScope().write(CString("color-presets"), CByteBuffer(LeBytes().i32(0).data(), 4), nullptr,
                                 kTagAppList);
    CAudioParamRegistry* registry = colors(false);
    EXPECT_EQ(registry->getEnumeratedCount(), 0);   // a count below 1: no bank
    CAudioParam* sel = selector();
    CAudioParam* huep = tree.collector().findParam("plugin.colors.hue");
    ASSERT_TRUE(huep->bindDefinition(registry->getRemaps(), nullptr, {}));
    huep->setValue(0, nullptr, nullptr, 77.0);
    sel->setValue(0, nullptr, nullptr, 1.0);
    EXPECT_EQ(hue(), 77.0);
}

TEST_F(CAudioParamRegistryFixture, ListenersHearProgramAndNameChangesWithTheirSender) {
    CAudioParamRegistry* registry = master();
    registry->finishBinding();
    struct Log : CAudioParamRegistryListener {
        ~Log() override { detach(); }
        void onRegistryUpdate(CAudioParamRegistry* r, const void* s) override { calls.emplace_back(r, s); }
        std::vector<std::pair<CAudioParamRegistry*, const void*>> calls;
    } log;
    registry->addListener(&log);
    int sender = 0;
    registry->renamePreset(0, "Bright", &sender);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].first, registry);
    EXPECT_EQ(log.calls[0].second, &sender);

    // Editing the preset-name parameter renames the program once the change is over.
    log.calls.clear();
    param("preset-name")->setString(0, 0, "Edited", nullptr, nullptr, {});
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].second, registry);
    EXPECT_EQ(textOf(registry->getProgramName(0)), "DLMR:Edited");

    registry->removeListener(&log);
    registry->renamePreset(0, "Again", &sender);
    EXPECT_EQ(log.calls.size(), 1u);
}
