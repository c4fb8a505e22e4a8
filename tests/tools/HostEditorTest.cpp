// `delmaro-tool host editor` run as a user runs it: on the private Xvfb it opens the built plug-in's
// editor in a window of its own and writes what the editor painted; without a display it says so.
#include "CHostModule.h"
#include "CHostPlugin.h"
#include "PngFile.h"

#include "support/TempFolder.h"
#include "support/ToolRun.h"
#include "support/X11TestSupport.h"

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace Steinberg;

// Runs the tool with DISPLAY set to `display` (unset when empty), as a user's shell would.
tal::test::ToolRun runEditorTool(const std::string& display, const std::string& arguments) {
    const char* old = std::getenv("DISPLAY");
    const std::string saved = old ? old : "";
    if (display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", display.c_str(), 1);
    std::ostringstream text;
    text << "host editor '" << TAL_PLUGIN_MODULE << "' " << arguments;
    tal::test::ToolRun run = tal::test::runTool(TAL_TOOL_PATH, text.str());
    if (old)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
    return run;
}

// The editor's own size, asked of the plug-in in this process (no window needed).
ViewRect editorSize() {
    delmaro_tool::CHostModule module;
    ViewRect size;
    if (!module.open(TAL_PLUGIN_MODULE).empty())
        return size;
    delmaro_tool::CHostPlugin plugin;
    if (!plugin.create(module.factory()).empty() || plugin.controller() == nullptr)
        return size;
    if (IPlugView* view = plugin.controller()->createView(Vst::ViewType::kEditor)) {
        view->getSize(&size);
        view->release();
    }
    plugin.destroy();
    return size;
}

} // namespace

TEST(HostEditorCommand, WritesWhatTheEditorPaintedAtItsSize) {
    TAL_REQUIRE_XVFB(display);
    const ViewRect own = editorSize();
    ASSERT_GT(own.getWidth(), 0);
    tal::test::TempFolder folder;
    struct Row { std::string sizeOption; int width, height; };
    for (const Row& r : {Row{"", own.getWidth(), own.getHeight()}, Row{"--size 1000x700", 1000, 700}}) {
        SCOPED_TRACE(r.sizeOption);
        const std::string png = folder.file("editor.png");
        const tal::test::ToolRun run = runEditorTool(display, "--png '" + png + "' " + r.sizeOption);
        ASSERT_EQ(run.status, 0) << run.output;
        std::int32_t width = 0, height = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(delmaro_tool::readPngFile(png, width, height, rgb, error)) << error;
        EXPECT_EQ(width, r.width);
        EXPECT_EQ(height, r.height);
        // Nothing of the host window's own colour (magenta) is left: the editor covered it all.
        int hostColoured = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
            hostColoured += rgb[i] == 0xff && rgb[i + 1] == 0 && rgb[i + 2] == 0xff;
        EXPECT_EQ(hostColoured, 0);
    }
}

TEST(HostEditorCommand, PlaysAnEventScriptIntoTheEditorAndShootsOnTheWay) {
    TAL_REQUIRE_XVFB(display);
    const ViewRect own = editorSize();
    ASSERT_GT(own.getWidth(), 0);
    tal::test::TempFolder folder;
    const std::string mid = folder.file("mid.png"), png = folder.file("editor.png");
    {
        std::ofstream script(folder.file("run.events"));
        script << "move 100 100\nwait 0.1\npress L 100 100\nmove 100 80\nshot " << mid
               << "\nrelease L 100 80\nwheel 200 200 -3\nclick R 150 150\nkey z ctrl\ntext ab\n";
    }
    std::ofstream(folder.file("bad.events")) << "press L 1\n";
    tal::test::ToolRun run = runEditorTool(display, "--png '" + png + "' --events '" + folder.file("run.events") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const std::string& file : {mid, png}) {
        std::int32_t width = 0, height = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(delmaro_tool::readPngFile(file, width, height, rgb, error)) << file << ": " << error;
        EXPECT_EQ(width, own.getWidth());
        EXPECT_EQ(height, own.getHeight());
    }
    run = runEditorTool(display, "--png '" + folder.file("never.png") + "' --events '" + folder.file("bad.events") + "'");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("bad.events:1:"), std::string::npos) << run.output;
}

TEST(HostEditorCommand, WithoutADisplayItSaysSo) {
    tal::test::TempFolder folder;
    const tal::test::ToolRun run = runEditorTool("", "--png '" + folder.file("x.png") + "'");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("no X display"), std::string::npos) << run.output;
    const tal::test::ToolRun bad = runEditorTool(":1", "--png '" + folder.file("x.png") + "' --size 10xten");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.output.find("--size"), std::string::npos) << bad.output;
}
