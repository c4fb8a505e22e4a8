// `delmaro-tool shot` run as a user runs it, on the small window of tests/fixtures/shot/window.xml:
// a panel (10, 10, 120 x 80 points) with a knob (30, 30, 30 x 30) and a meter (180, 10, 20 x 100),
// each drawn with its debug highlight (the knob's cancels the panel's).
#include "PngFile.h"
#include "support/ToolRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

tal::test::ToolRun runShotTool(const std::string& arguments) {
    return tal::test::runTool(TAL_TOOL_PATH, "shot " + arguments);
}

struct ShotFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("shot-test-" + std::to_string(::getpid()));
    ShotFolder() { std::filesystem::create_directories(path); }
    ~ShotFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const char* name) const { return (path / name).string(); }
};

const std::string kWindow = std::string(TAL_SHOT_FIXTURES) + "/shot/window.xml";

// The colour "rrggbb" of a pixel of an RGB image.
std::string colourAt(const std::vector<std::uint8_t>& rgb, int width, int x, int y) {
    char text[8];
    const std::uint8_t* p = &rgb[std::size_t((y * width + x) * 3)];
    std::snprintf(text, sizeof text, "%02x%02x%02x", p[0], p[1], p[2]);
    return text;
}

TEST(ShotCommand, DrawsTheMainWindowAtItsScaleAndSize) {
    ShotFolder folder;
    struct Row {
        const char* options;
        int width, height;
        double pixelsPerPoint;
    };
    for (const Row& r : {Row{"", 240, 120, 1.0}, Row{"--scale 2", 480, 240, 2.0}, Row{"--size 300x150", 300, 150, 1.0},
                         Row{"--scale 1.5 --size 200x100", 300, 150, 1.5}}) {
        SCOPED_TRACE(r.options);
        const std::string out = folder.file("shot.png");
        const tal::test::ToolRun run = runShotTool("'" + out + "' --description '" + kWindow + "' " + r.options);
        ASSERT_EQ(run.status, 0) << run.output;
        std::int32_t w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        std::string error;
        ASSERT_TRUE(delmaro_tool::readPngFile(out, w, h, rgb, error)) << error;
        EXPECT_EQ(w, r.width);
        EXPECT_EQ(h, r.height);
        auto at = [&](double x, double y) { return colourAt(rgb, w, int(x * r.pixelsPerPoint), int(y * r.pixelsPerPoint)); };
        EXPECT_EQ(at(5, 5), "000000");        // nothing drawn: black
        EXPECT_EQ(at(15, 15), "ffff40");      // the panel's highlight
        EXPECT_EQ(at(40, 40), "000000");      // the knob's highlight over the panel's
        EXPECT_EQ(at(190, 50), "ffff40");     // the meter
        EXPECT_EQ(at(170, 50), "000000");     // between the panel and the meter
    }
}

TEST(ShotCommand, ReportsWhatItCannotDo) {
    ShotFolder folder;
    const std::string out = folder.file("never.png");
    {
        std::ofstream script(folder.file("bad.events"));
        script << "move 10 10\nwait 0.1\nfly 1 2\n";
    }
    std::ofstream(folder.file("badbutton.events")) << "# comment\npress Q 1 2\n";
    std::ofstream(folder.file("badmod.events")) << "key a hyper\n";
    struct Row {
        std::string arguments;
        const char* message;
    };
    const Row rows[] = {
        {"", "no output file"},
        {"'" + out + "' --size 0x100 --description '" + kWindow + "'", "bad --size"},
        {"'" + out + "' --size 9000x100", "bad --size"},
        {"'" + out + "' --scale x", "bad --scale"},
        {"'" + out + "' --set =1", "bad --set"},
        {"'" + out + "' --description '" + folder.file("missing.xml") + "'", "cannot open"},
        {"'" + out + "' --description '" + kWindow + "' --events '" + folder.file("bad.events") + "'", "bad.events:3"},
        {"'" + out + "' --description '" + kWindow + "' --events '" + folder.file("badbutton.events") + "'",
         "badbutton.events:2: unknown button"},
        {"'" + out + "' --description '" + kWindow + "' --events '" + folder.file("badmod.events") + "'",
         "badmod.events:1: unknown modifier"},
        {"'" + out + "' --program 2", "--program"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.arguments);
        const tal::test::ToolRun run = runShotTool(r.arguments);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.output.find(r.message), std::string::npos) << run.output;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(ShotCommand, ADescriptionWithoutAWindowIsAClearError) {
    ShotFolder folder;
    {
        std::ofstream xml(folder.file("empty.xml"));
        xml << "<description><core:object _name=\"ui\"/></description>\n";
    }
    const tal::test::ToolRun run = runShotTool("'" + folder.file("out.png") + "' --description '" + folder.file("empty.xml") + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("has no window to show"), std::string::npos) << run.output;
}

TEST(ShotCommand, AnEventScriptRunsAndTheShotIsStillWritten) {
    ShotFolder folder;
    {
        std::ofstream script(folder.file("hover.events"));
        script << "# hover, press and drag over the knob\nmove 40 40\nwait 0.2\ndown 40 40\nup 40 40\n"
                  "drag 40 40 80 60\nwheel 40 40 2\nkey 65\n";
    }
    const std::string out = folder.file("events.png");
    const tal::test::ToolRun run = runShotTool("'" + out + "' --description '" + kWindow + "' --events '" +
                                    folder.file("hover.events") + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST(ShotCommand, TheScriptLanguageTakesEveryStepAndWritesShotsOnTheWay) {
    ShotFolder folder;
    const std::string hover = folder.file("hover.png"), press = folder.file("press.png");
    {
        std::ofstream script(folder.file("all.events"));
        script << "move 40 40\nwait 0.1\nshot " << hover << "\n"
               << "press L 40 40 ctrl+shift\nmove 45 45\nshot " << press << "\nrelease L 45 45\n"
               << "click R 40 40 alt\nclick M 40 40\nclick X1 40 40\nclick X2 40 40\nclick L 40 40 double\n"
               << "drag 40 40 80 60 shift\nwheel 40 40 -3\nkey return\nkey 0xE018\nkey z ctrl\ntext hello world\n";
    }
    for (const char* scale : {"1", "2"}) {
        SCOPED_TRACE(scale);
        const std::string out = folder.file("final.png");
        const tal::test::ToolRun run = runShotTool("'" + out + "' --scale " + scale + " --description '" + kWindow +
                                                   "' --events '" + folder.file("all.events") + "'");
        ASSERT_EQ(run.status, 0) << run.output;
        for (const std::string& file : {hover, press, out}) {
            std::int32_t w = 0, h = 0;
            std::vector<std::uint8_t> rgb;
            std::string error;
            ASSERT_TRUE(delmaro_tool::readPngFile(file, w, h, rgb, error)) << file << ": " << error;
            EXPECT_EQ(w, 240 * std::stoi(scale));
            EXPECT_EQ(h, 120 * std::stoi(scale));
            // The shots show the window: the meter's highlight is there.
            EXPECT_EQ(colourAt(rgb, w, 190 * std::stoi(scale), 50 * std::stoi(scale)), "ffff40");
        }
        std::filesystem::remove(hover);
        std::filesystem::remove(press);
    }
}

} // namespace
