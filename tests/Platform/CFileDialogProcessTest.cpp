#include "Platform/CFileDialogProcess.h"

#include "Platform/SystemOpen.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <poll.h>
#include <sys/stat.h>

using namespace tal;

namespace {

// Puts a folder of fake programs first in PATH (or alone), restoring PATH at the end.
class FakeProgramPath {
public:
    FakeProgramPath(const std::string& folder, bool alone) {
        const char* old = std::getenv("PATH");
        mOld = old ? old : "";
        setenv("PATH", alone ? folder.c_str() : (folder + ":" + mOld).c_str(), 1);
    }
    ~FakeProgramPath() { setenv("PATH", mOld.c_str(), 1); }

private:
    std::string mOld;
};

void writeFakeProgram(const std::string& path, const std::string& script) {
    test::writeWholeFile(path, "#!/bin/sh\n" + script);
    chmod(path.c_str(), 0755);
}

// Waits for the panel's descriptor and reads until the panel ends; 60 s at most.
bool runPanelToEnd(CFileDialogProcess& panel, std::vector<std::string>& paths) {
    for (int turns = 0; turns < 600; ++turns) {
        pollfd p{panel.fd(), POLLIN, 0};
        poll(&p, 1, 100);
        if (panel.onReadable(paths))
            return true;
    }
    return false;
}

struct DialogScript {
    std::vector<std::string> answer;
    bool chosen = true;
    CFileDialogProcess::Request seen;
    static bool run(const CFileDialogProcess::Request& request, std::vector<std::string>& paths, void* user) {
        auto* self = static_cast<DialogScript*>(user);
        self->seen = request;
        paths = self->answer;
        return self->chosen;
    }
};

} // namespace

TEST(CFileDialogProcess, ProgramArgumentsFollowTheRequest) {
    CFileDialogProcess::Request save;
    save.mode = CFileDialogProcess::kModeSave;
    save.title = "Save bank";
    save.startFolder = "/home/u/banks";
    save.suggestedName = "My bank";
    save.filters = {{"cbf", "Compressed bank files"}};
    const std::vector<std::string> zenity = CFileDialogProcess::zenityArguments(save);
    EXPECT_EQ(zenity, (std::vector<std::string>{"zenity", "--file-selection", "--title", "Save bank", "--save",
                                                "--confirm-overwrite", "--filename", "/home/u/banks/My bank",
                                                "--file-filter=Compressed bank files | *.cbf *.CBF"}));
    const std::vector<std::string> kdialog = CFileDialogProcess::kdialogArguments(save);
    EXPECT_EQ(kdialog, (std::vector<std::string>{"kdialog", "--title", "Save bank", "--getsavefilename",
                                                 "/home/u/banks/My bank", "*.cbf *.CBF|Compressed bank files"}));

    CFileDialogProcess::Request open;
    open.allowMultiple = true;
    open.filters = {{"csv", "Curves"}, {"txt", "Text"}};
    const std::vector<std::string> zenityOpen = CFileDialogProcess::zenityArguments(open);
    EXPECT_EQ(zenityOpen, (std::vector<std::string>{"zenity", "--file-selection", "--multiple", "--separator", "\n",
                                                    "--filename", "./", "--file-filter=Curves | *.csv *.CSV",
                                                    "--file-filter=Text | *.txt *.TXT"}));
    const std::vector<std::string> kdialogOpen = CFileDialogProcess::kdialogArguments(open);
    EXPECT_EQ(kdialogOpen.back(), "*.csv *.CSV|Curves\n*.txt *.TXT|Text");

    CFileDialogProcess::Request folder;
    folder.mode = CFileDialogProcess::kModeFolder;
    folder.startFolder = "/tmp/";
    EXPECT_EQ(CFileDialogProcess::zenityArguments(folder),
              (std::vector<std::string>{"zenity", "--file-selection", "--directory", "--filename", "/tmp/"}));
    EXPECT_EQ(CFileDialogProcess::kdialogArguments(folder),
              (std::vector<std::string>{"kdialog", "--getexistingdirectory", "/tmp/"}));
}

// The program gets its arguments as they are (no shell), and what it prints is the answer.
TEST(CFileDialogProcess, PanelProgramAnswersThroughItsOutput) {
    test::TempFolder bin;
    // A stand-in that prints its arguments, one a line, as if they were the chosen paths.
    writeFakeProgram(bin.file("zenity"), "for a in \"$@\"; do printf '%s\\n' \"$a\"; done\n");
    FakeProgramPath path(bin.path(), false);
    CFileDialogProcess::Request request;
    request.mode = CFileDialogProcess::kModeSave;
    request.startFolder = "/a b";
    request.suggestedName = "x$(touch pwned);'\"*";
    std::string error;
    CFileDialogProcess panel;
    ASSERT_TRUE(panel.start(request, error)) << error;
    std::vector<std::string> paths;
    ASSERT_TRUE(runPanelToEnd(panel, paths));
    std::vector<std::string> expected = CFileDialogProcess::zenityArguments(request);
    expected.erase(expected.begin());
    EXPECT_EQ(paths, expected);
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_FALSE(panel.isRunning());
}

TEST(CFileDialogProcess, CancelledOrMissingProgramsGiveNoPaths) {
    test::TempFolder bin;
    // zenity is missing: kdialog answers, and its cancel (status 1) gives no paths.
    writeFakeProgram(bin.file("kdialog"), "echo /would/be/ignored\nexit 1\n");
    {
        FakeProgramPath path(bin.path(), true);
        CFileDialogProcess panel;
        std::string error;
        ASSERT_TRUE(panel.start(CFileDialogProcess::Request{}, error)) << error;
        std::vector<std::string> paths{"old"};
        ASSERT_TRUE(runPanelToEnd(panel, paths));
        EXPECT_TRUE(paths.empty());
    }
    test::TempFolder empty;
    FakeProgramPath path(empty.path(), true);
    CFileDialogProcess panel;
    std::string error;
    EXPECT_FALSE(panel.start(CFileDialogProcess::Request{}, error));
    EXPECT_NE(error.find("zenity"), std::string::npos) << error;
    EXPECT_FALSE(panel.isRunning());
    CFileDialogProcess::Request bad;
    bad.mode = 7;
    EXPECT_FALSE(panel.start(bad, error));
    EXPECT_EQ(error, "Invalid file dialog mode.");
}

// A panel closed while shown ends its program; nothing is left running.
TEST(CFileDialogProcess, CancelEndsAShownPanel) {
    test::TempFolder bin;
    writeFakeProgram(bin.file("zenity"), "exec sleep 600\n");
    FakeProgramPath path(bin.path(), false);
    CFileDialogProcess panel;
    std::string error;
    ASSERT_TRUE(panel.start(CFileDialogProcess::Request{}, error)) << error;
    std::vector<std::string> paths;
    EXPECT_FALSE(panel.onReadable(paths));        // still shown
    EXPECT_TRUE(panel.isRunning());
    panel.cancel();
    EXPECT_FALSE(panel.isRunning());
}

TEST(CFileDialogProcess, ScriptAnswersInPlaceOfThePrograms) {
    DialogScript script;
    CFileDialogProcess::setScript(&DialogScript::run, &script);
    struct Row { std::vector<std::string> answer; bool chosen; std::vector<std::string> expected; };
    const std::string longPath = "/" + std::string(100000, 'p');
    for (const Row& r : {Row{{"/home/u/bank.cbf"}, true, {"/home/u/bank.cbf"}},
                         Row{{"/a/1.csv", "/a/2.csv", "/a/3.csv"}, true, {"/a/1.csv", "/a/2.csv", "/a/3.csv"}},
                         Row{{"/x"}, false, {}},
                         Row{{longPath}, true, {longPath}}}) {
        SCOPED_TRACE(r.answer.size());
        script.answer = r.answer;
        script.chosen = r.chosen;
        CFileDialogProcess::Request request;
        request.suggestedName = "name";
        CFileDialogProcess panel;
        std::string error;
        ASSERT_TRUE(panel.start(request, error)) << error;
        EXPECT_EQ(script.seen.suggestedName, "name");
        std::vector<std::string> paths;
        ASSERT_TRUE(runPanelToEnd(panel, paths));
        EXPECT_EQ(paths, r.expected);
    }
    CFileDialogProcess::setScript(nullptr, nullptr);
}

// The address reaches the program as one argument, whatever characters it holds.
TEST(SystemOpen, AddressIsPassedAsOneArgument) {
    test::TempFolder folder;
    const std::string target = folder.file("a file; rm -rf $HOME 'x' \"y\"");
    setSystemOpenProgramForTest("touch");
    ASSERT_TRUE(openWithSystem(target));
    bool made = false;
    for (int i = 0; i < 600 && !made; ++i) {
        made = std::filesystem::exists(target);
        if (!made)
            poll(nullptr, 0, 100);
    }
    EXPECT_TRUE(made);
    EXPECT_FALSE(openWithSystem(""));
    setSystemOpenProgramForTest("no-such-program-here");
    EXPECT_FALSE(openWithSystem("https://example.org/"));
    setSystemOpenProgramForTest("");
}
