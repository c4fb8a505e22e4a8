#include "Core/CArguments.h"

#include "Core/CError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace tal;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A tool's command line with one definition of every type; its help text goes to a string.
class CToolLine {
public:
    explicit CToolLine(std::vector<std::string> words, const char* description = "Converts a file.") {
        mArgv.push_back("/usr/local/bin/tool");
        for (const std::string& w : words)
            mStore.push_back(w);
        for (const std::string& w : mStore)
            mArgv.push_back(w.c_str());
        mArgs = std::make_unique<CArguments>(int(mArgv.size()), mArgv.data(), CString("1.0"), CString("(c) Talmero"),
                                             CString(description));
        mArgs->addRequired(CString("input"), CArguments::kFileName, CString("The file to read."));
        mArgs->addRequired(CString("output"), CArguments::kFolder, CString("The folder to write to."));
        mArgs->addOptional('v', CString("verbose"), CArguments::kSwitch, CString("Prints more."));
        mArgs->addOptional('n', CString("count"), CArguments::kInteger, CString("How many."));
        mArgs->addOptional('g', CString("gain"), CArguments::kReal, CString("A gain."));
        mArgs->addOptional('i', CString("ident"), CArguments::kIdentifier, CString("A name."));
        mArgs->addOptional('f', CString("file"), CArguments::kFileNameOrEmpty, CString("Another file."));
        mArgs->addOptional('t', CString("text"), CArguments::kText, CString("Any text."));
        mOut = open_memstream(&mBuffer, &mSize);
        mArgs->setOutput(mOut);
    }
    ~CToolLine() {
        std::fclose(mOut);
        std::free(mBuffer);
    }
    // The message line of the check's error, or "ok".
    std::string check() {
        CError* error = mArgs->check();
        if (error == nullptr)
            return "ok";
        std::string message = error->line(0).chars8();
        delete error;
        return message;
    }
    std::string output() {
        std::fflush(mOut);
        return std::string(mBuffer, mSize);
    }
    CArguments& args() { return *mArgs; }
    std::string optional(const char* name) {
        const CArguments::Definition* def = mArgs->findOptional(CString(name));
        return def == nullptr ? "?" : def->value.chars8();
    }

private:
    std::vector<std::string> mStore;
    std::vector<const char*> mArgv;
    std::unique_ptr<CArguments> mArgs;
    char* mBuffer = nullptr;
    std::size_t mSize = 0;
    std::FILE* mOut = nullptr;
};

struct CheckCase {
    std::vector<std::string> words;
    const char* result;       // "ok" or the error message
};

class CArgumentsCheck : public ::testing::TestWithParam<CheckCase> {};

} // namespace

TEST_P(CArgumentsCheck, AssignsOrRejectsTheWords) {
    const CheckCase& c = GetParam();
    CToolLine line(c.words);
    EXPECT_EQ(line.check(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Words, CArgumentsCheck, ::testing::Values(
    CheckCase{{"a.wav", "out"}, "ok"},
    CheckCase{{"-v", "a.wav", "--count=3", "out", "-g", "0.5"}, "ok"},
    CheckCase{{"a.wav"}, "Not enough required arguments specified in the command line."},
    CheckCase{{"a", "b", "c"}, "Too many arguments specified in the command line at position 3."},
    CheckCase{{"a", "b", "-"}, "Invalid argument name in \"-\" specified at command line position 3."},
    CheckCase{{"--nope", "a", "b"}, "Invalid argument name in \"--nope\" specified at command line position 1."},
    CheckCase{{"a", "-z", "b"}, "Invalid argument name in \"-z\" specified at command line position 2."},
    CheckCase{{"a", "b", "--count"}, "No argument value specified in \"--count\" at command line position 3."},
    CheckCase{{"a", "b", "--count=1=2"}, "No argument value specified in \"--count=1=2\" at command line position 3."},
    CheckCase{{"a", "b", "-n"}, "No argument value specified in \"-n\" at command line position 3."},
    CheckCase{{"a", "b", "-vx"}, "Unexpected argument value specified in \"-vx\" at command line position 3."},
    CheckCase{{"a", "b", "-n1", "--count=2"}, "Redefining argument \"count\"'s value at command line position 4 is not allowed."},
    CheckCase{{"a", "b", "--verbose=maybe"}, "Invalid argument \"verbose\"'s boolean value \"maybe\" specified at the command line position 3."},
    CheckCase{{"a", "b", "--count=x1"}, "Invalid argument \"count\"'s integer value \"x1\" specified at the command line position 3."},
    CheckCase{{"a", "b", "--gain=loud"}, "Invalid argument \"gain\"'s floating point value \"loud\" specified at the command line position 3."},
    CheckCase{{"a", "b", "--ident="}, "Argument \"ident\" specified at the command line position 3 contains an empty C identifier."},
    CheckCase{{"a", "b", "-i1st"}, "C identifier \"1st\" specified in the \"ident\" argument at the command line position 3 cannot begin with a non-alpha character."},
    CheckCase{{"a", "b", "-ia-b"}, "C identifier \"a-b\" specified in the \"ident\" argument at the command line position 3 contains unallowed character(s)."},
    CheckCase{{"a", "b", "-i_a1"}, "ok"},
    CheckCase{{"", "b"}, "File name argument \"input\" specified at the command line position 1 cannot be empty."},
    CheckCase{{"dir/", "b"}, "File name argument \"input\" specified at the command line position 1 cannot end with a slash."},
    CheckCase{{"dir\\", "b"}, "File name argument \"input\" specified at the command line position 1 cannot end with a slash."},
    CheckCase{{"a\x01" "b", "b"}, "Argument \"input\" specified at the command line position 1 contains unallowed characters."},
    CheckCase{{"a", "b\x02"}, "Argument \"output\" specified at the command line position 2 contains unallowed characters."},
    CheckCase{{"a", "b", "--file="}, "ok"},
    CheckCase{{"a", "b", "--text=a=b"}, "No argument value specified in \"--text=a=b\" at command line position 3."}));

TEST(CArguments, ValuesAreConvertedByType) {
    CToolLine line({"  dir\\in.wav ", "out\\sub", "-n", "12", "--verbose=TRUE", "-f", "x\\y", "-g-2.5e1"});
    ASSERT_EQ(line.check(), "ok");
    EXPECT_STREQ(line.args().getRequired(0).value.chars8(), "dir/in.wav");   // trimmed, "\" to "/"
    EXPECT_EQ(line.args().getRequired(0).position, 1);
    EXPECT_STREQ(line.args().getRequired(1).value.chars8(), "out/sub/");    // a folder ends with "/"
    EXPECT_EQ(line.optional("count"), "12");
    EXPECT_EQ(line.args().findOptional(CString("count"))->position, 3);
    EXPECT_EQ(line.optional("verbose"), "true");
    EXPECT_EQ(line.optional("file"), "x/y");
    EXPECT_EQ(line.optional("gain"), "-2.5e1");
    EXPECT_FALSE(line.args().isGiven(CString("ident")));
    EXPECT_TRUE(line.args().isGiven(CString("gain")));
}

TEST(CArguments, ShortSwitchAloneIsTrue) {
    CToolLine line({"a", "b", "-v"});
    ASSERT_EQ(line.check(), "ok");
    EXPECT_EQ(line.optional("verbose"), "true");
}

TEST(CArguments, HelpPrintsEverythingAndEndsWithAnEmptyMessage) {
    for (const char* word : {"--help", "-h"}) {
        SCOPED_TRACE(word);
        CToolLine line({word});
        EXPECT_EQ(line.check(), "");
        const std::string out = line.output();
        EXPECT_EQ(out.rfind("tool (1.0) (c) Talmero\n\nUsage: tool <input> <output> [options]\n\nConverts a file.\n", 0), 0u)
            << out;
        EXPECT_THAT(out, HasSubstr("* Required arguments (should be defined in a strict left-to-right order):\n"
                                   "  <input>: The file to read.\n"));
        EXPECT_THAT(out, HasSubstr("* Optional arguments (can be defined anywhere in the command line):\n"));
        EXPECT_THAT(out, HasSubstr("  -n, --count=<value>: How many.\n"));
    }
}

TEST(CArguments, NoWordsPrintsTheShortHelp) {
    CToolLine line({});
    EXPECT_EQ(line.check(), "");
    const std::string out = line.output();
    EXPECT_THAT(out, HasSubstr("Usage: tool <input> <output> [options]\n"));
    EXPECT_THAT(out, HasSubstr("Please specify --help or -h to get the command line information.\n"));
    EXPECT_THAT(out, Not(HasSubstr("* Optional arguments")));
}

TEST(CArguments, HelpWrapsBeforeColumn80KeepingEveryWord) {
    std::string description;
    for (int i = 0; i < 40; ++i)
        description += "word" + std::to_string(i) + (i % 7 == 6 ? ". " : " ");
    CToolLine line({"-h"}, description.c_str());
    line.check();
    std::istringstream out(line.output());
    std::string text, row;
    bool sawSentenceGap = false;
    while (std::getline(out, row)) {
        EXPECT_LT(row.size(), 80u) << row;
        if (row.rfind("word", 0) == 0) {
            text += row + " ";
            sawSentenceGap |= row.find(".  word") != std::string::npos;
        }
    }
    std::istringstream expected(description), got(text);
    std::vector<std::string> a{std::istream_iterator<std::string>(expected), {}}, b{std::istream_iterator<std::string>(got), {}};
    EXPECT_EQ(a, b);
    EXPECT_TRUE(sawSentenceGap);               // two blanks after a sentence
}
