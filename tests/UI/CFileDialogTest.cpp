// The file-dialog service over a scripted panel: what the view's result event carries for each
// mode, the cleaned suggested name, the remembered folder in both scopes, cancelling, an invalid
// mode, and requests of a tree that goes.
#include "UI/CFileDialog.h"

#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CSystem.h"
#include "Core/RecordTags.h"
#include "Platform/CFileDialogProcess.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "support/AppDataFolder.h"
#include "support/CEventTestTree.h"
#include "support/CLogCapture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tal {
namespace {

// Answers every panel with the paths given (or cancels), recording what it was asked.
struct FileDialogScript {
    std::vector<std::string> answer;
    bool chosen = true;
    std::vector<CFileDialogProcess::Request> asked;
    static bool run(const CFileDialogProcess::Request& request, std::vector<std::string>& paths, void* user) {
        auto* self = static_cast<FileDialogScript*>(user);
        self->asked.push_back(request);
        paths = self->answer;
        return self->chosen;
    }
};

class CFileDialogService : public CEventTestTree {
protected:
    void SetUp() override {
        CEventTestTree::SetUp();
        view = addListener(ui, "view");
        receiver = addListener(ui, "receiver");
        receiver->listenObject(view->getFullName(), CString("on-result"), CString("on"));
        receiver->action = [this](CEventTestObject&, CAttrMap& args) -> CError* {
            std::map<std::string, std::string> got;
            for (auto* n = args.first(); n != nullptr; n = CAttrMap::next(n))
                got[text(n->key)] = text(n->value.asText());
            results.push_back(got);
            return nullptr;
        };
        CMainLoopTimers::setCurrent(&loop);
        CFileDialogProcess::setScript(&FileDialogScript::run, &script);
    }
    void TearDown() override {
        CFileDialogProcess::setScript(nullptr, nullptr);
        CMainLoopTimers::setCurrent(nullptr);
        CEventTestTree::TearDown();
    }
    // Opens a dialog and runs the loop until the request is gone (at most 100 turns).
    void runDialog(const CFileDialogParams& params) {
        CError* err = CFileDialog::open(view, params);
        ASSERT_EQ(err, nullptr);
        for (int turn = 0; turn < 100 && CFileDialog::pendingCount() > 0; ++turn) {
            loop.advance(0.1);
            loop.pump();
            bridge->pump();
        }
        bridge->pump();
        EXPECT_EQ(CFileDialog::pendingCount(), 0);
    }
    static void setFilter(CFileDialogParams& p, const char* extension, const char* description) {
        p.filters.findOrAdd(CString(extension))->value = CString(description);
    }

    test::AppDataFolder appData;
    CLogCapture log;
    CPumpedMainLoopTimers loop;
    FileDialogScript script;
    CEventTestObject* view = nullptr;
    CEventTestObject* receiver = nullptr;
    std::vector<std::map<std::string, std::string>> results;
};

struct FileDialogCase {
    const char* name;
    int mode;
    bool multiple;
    const char* defaultExtension;
    std::vector<std::string> answer;
    std::map<std::string, std::string> expected;   // of the parameters this system sets
};

TEST_F(CFileDialogService, ResultEventCarriesPathAndNamesForEachMode) {
    const FileDialogCase cases[] = {
        {"save without extension", 1, false, "", {"/home/u/banks/My bank"},
         {{"path", "/home/u/banks/"}, {"filename", "My bank.cbf"}}},
        {"save with extension in capitals", 1, false, "", {"/home/u/banks/Old.CBF"},
         {{"path", "/home/u/banks/"}, {"filename", "Old.CBF"}}},
        {"name ending in a dot", 1, false, "", {"/b/name."}, {{"path", "/b/"}, {"filename", "name..cbf"}}},
        {"open one", 0, false, "", {"/x/y.cbf"}, {{"path", "/x/"}, {"filename", "y.cbf"}}},
        {"open one of several allowed", 0, true, "", {"/x/y.cbf"}, {{"path", "/x/"}, {"0", "y.cbf"}, {"count", "1"}}},
        {"open three", 0, true, "", {"/a/1.cbf", "/a/2.cbf", "/a/3"},
         {{"path", "/a/"}, {"0", "1.cbf"}, {"1", "2.cbf"}, {"2", "3.cbf"}, {"count", "3"}}},
        {"folder", 2, false, "", {"/home/u/folder"}, {{"path", "/home/u/folder"}, {"filename", ""}}},
        {"no slash", 1, false, "bnk", {"plain"}, {{"path", ""}, {"filename", "plain.bnk"}}},
    };
    for (const FileDialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        results.clear();
        script.answer = c.answer;
        CFileDialogParams p;
        p.mode = c.mode;
        p.allowMultiple = c.multiple;
        p.defaultExtension = CString(c.defaultExtension);
        setFilter(p, "cbf", "Compressed bank files");
        p.resultEvent = CString("on-result");
        p.eventParams.findOrAdd("slot")->value.setInt(7);
        runDialog(p);
        ASSERT_EQ(results.size(), 1u);
        std::map<std::string, std::string> got = results[0];
        EXPECT_EQ(got["slot"], "7");
        EXPECT_EQ(got["sender"], text(view->getFullName()));
        for (const char* registryKey : {"slot", "sender", "event-name", "listener", "listener-id", "listener-proc"})
            got.erase(registryKey);
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(CFileDialogService, SuggestedSaveNameLosesCharactersFileNamesCannotHold) {
    script.chosen = false;
    CFileDialogParams p;
    p.mode = 1;
    p.suggestedName = CString("a/b:c?d|e\\f*g\"h<i>j");
    p.resultEvent = CString("on-result");
    runDialog(p);
    ASSERT_EQ(script.asked.size(), 1u);
    EXPECT_EQ(script.asked[0].suggestedName, "a b:c d e f g h i j");
    EXPECT_TRUE(results.empty());                   // cancelled: nothing fires
}

TEST_F(CFileDialogService, ChosenFolderIsRememberedInTheKeysScope) {
    for (const char* key : {"bank-folder", "/bank-folder"}) {
        SCOPED_TRACE(key);
        results.clear();
        script.asked.clear();
        script.answer = {"/home/u/presets/x.cbf"};
        CFileDialogParams p;
        p.mode = 0;
        p.resultEvent = CString("on-result");
        p.folderKey = CString(key);
        runDialog(p);
        CAppData& scope = key[0] == '/' ? CAppData::globalScope() : CAppData::localScope();
        CByteBuffer bytes;
        scope.read(CString("bank-folder"), bytes, kTagAppData, true);
        ASSERT_FALSE(bytes.isEmpty());
        CMemoryReader reader(bytes.data(), bytes.size());
        CString stored;
        ASSERT_EQ(reader.readString(stored), nullptr);
        EXPECT_EQ(text(stored), "/home/u/presets/");
        // The next dialog with that key starts there.
        runDialog(p);
        ASSERT_EQ(script.asked.size(), 2u);
        EXPECT_EQ(script.asked[0].startFolder, ".");
        EXPECT_EQ(script.asked[1].startFolder, "/home/u/presets/");
        test::AppDataFolder::resetScopes();
    }
}

// A broken remembered folder is an error of open, and nothing is shown.
TEST_F(CFileDialogService, BrokenRememberedFolderIsAnErrorAndShowsNothing) {
    const std::uint8_t tooLong[] = {0xff, 0xff, 0x00, 0x00, 'x'};   // a length of 65535 bytes
    CByteBuffer bytes(tooLong, std::int32_t(sizeof tooLong));
    CAppData::localScope().write(CString("broken"), bytes, nullptr, kTagAppData);
    CFileDialogParams p;
    p.folderKey = CString("broken");
    p.resultEvent = CString("on-result");
    CError* err = CFileDialog::open(view, p);
    ASSERT_NE(err, nullptr);
    EXPECT_NE(text(CSystem::getErrorText(err)).find("UI/CFileDialog"), std::string::npos);
    EXPECT_EQ(CFileDialog::pendingCount(), 0);
    EXPECT_TRUE(script.asked.empty());
}

// An invalid mode is reported and its request does not stay pending.
TEST_F(CFileDialogService, InvalidModeIsReportedAndTheRequestCloses) {
    CFileDialogParams p;
    p.mode = 3;
    p.resultEvent = CString("on-result");
    runDialog(p);
    bool logged = false;
    for (const std::string& line : log.lines())
        logged |= line.find("Invalid file dialog mode.") != std::string::npos;
    EXPECT_TRUE(logged);
    EXPECT_TRUE(script.asked.empty());
    EXPECT_TRUE(results.empty());
}

// The panel is shown on a later turn, never inside open; a tree that goes takes its panels along.
TEST_F(CFileDialogService, PanelsComeLaterAndGoWithTheirTree) {
    script.answer = {"/a/b.cbf"};
    CFileDialogParams p;
    p.resultEvent = CString("on-result");
    ASSERT_EQ(CFileDialog::open(view, p), nullptr);
    EXPECT_TRUE(script.asked.empty());
    EXPECT_EQ(CFileDialog::pendingCount(), 1);
    loop.pump();                                    // shown now
    EXPECT_EQ(script.asked.size(), 1u);
    CFileDialog::cancelRequestsOf(view->getEventRegistryId());
    EXPECT_EQ(CFileDialog::pendingCount(), 0);
    loop.advance(1.0);
    loop.pump();
    bridge->pump();
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(loop.timerCount(), 0);
}

} // namespace
} // namespace tal
