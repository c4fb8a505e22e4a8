#include "Audio/VST/CAudioWrapperVST3ProgramParameter.h"

#include "Audio/CAudioProgramSource.h"
#include "Core/CString.h"

#include "pluginterfaces/base/ustring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tal;
using namespace Steinberg;
using namespace Steinberg::Vst;

// Programs named "TLMR:<name>" (the last one without a registry id), recording switches.
class CTestPrograms : public CAudioProgramSource {
public:
    explicit CTestPrograms(int count) : mCount(count) {}
    std::int32_t getProgramCount() override { return mCount; }
    std::int32_t getCurrentProgram() override { return current; }
    tal::CString getProgramName(std::int32_t index) override {
        if (index < 0 || index >= mCount)
            return tal::CString();
        const std::string name = index == mCount - 1 && mCount > 1 ? "Plain" : "TLMR:Preset " + std::to_string(index);
        return tal::CString(name.c_str());
    }
    void setCurrentProgram(std::int32_t index) override { switches.push_back(index); }

    std::int32_t current = 0;
    std::vector<std::int32_t> switches;

private:
    int mCount;
};

std::string text(const CAudioWrapperVST3ProgramParameter& p, double normalized) {
    String128 s {};
    p.toString(normalized, s);
    std::string out;
    for (int i = 0; i < 128 && s[i] != 0; ++i)
        out.push_back(char(s[i]));
    return out;
}

TEST(CAudioWrapperVST3ProgramParameter, ElevenProgramsMapToTenthsAndRoundToTheNearest) {
    CTestPrograms programs(11);
    programs.current = 4;
    auto* p = new CAudioWrapperVST3ProgramParameter(programs, 999);
    EXPECT_EQ(p->getInfo().id, 999u);
    EXPECT_EQ(p->getInfo().stepCount, 10);
    EXPECT_EQ(p->getInfo().flags, ParameterInfo::kIsProgramChange | ParameterInfo::kIsList);
    EXPECT_DOUBLE_EQ(p->getNormalized(), 0.4);   // starts on the current program
    EXPECT_DOUBLE_EQ(p->toNormalized(3), 0.3);
    EXPECT_EQ(p->programOf(0.34), 3);
    EXPECT_EQ(p->programOf(0.36), 4);
    EXPECT_EQ(p->programOf(1.0), 10);
    p->setNormalized(0.36);
    p->setNormalized(0.7);
    EXPECT_EQ(programs.switches, (std::vector<std::int32_t>{4, 7}));
    p->release();
}

TEST(CAudioWrapperVST3ProgramParameter, NamesHideTheRegistryIdAndTextsDoNotParse) {
    CTestPrograms programs(11);
    auto* p = new CAudioWrapperVST3ProgramParameter(programs, 999);
    EXPECT_EQ(text(*p, p->toNormalized(2)), "Preset 2");
    EXPECT_EQ(text(*p, 1.0), "Plain");   // a name without ':' shows whole
    ParamValue v = 0.5;
    String128 typed {};
    UString(typed, 128).fromAscii("Preset 2");
    EXPECT_FALSE(p->fromString(typed, v));
    EXPECT_EQ(v, 0.5);
    p->release();
}

TEST(CAudioWrapperVST3ProgramParameter, OneProgramIsNotSteppedAndNeverDividesByZero) {
    CTestPrograms programs(1);
    auto* p = new CAudioWrapperVST3ProgramParameter(programs, 999);
    EXPECT_EQ(p->getInfo().stepCount, 0);
    EXPECT_EQ(p->getNormalized(), 0.0);
    for (double v : {0.0, 0.5, 1.0}) {
        EXPECT_EQ(p->toPlain(v), 0.0);
        EXPECT_EQ(p->programOf(v), 0);
    }
    EXPECT_EQ(p->toNormalized(0.0), 0.0);
    EXPECT_EQ(text(*p, 0.7), "Preset 0");
    p->setNormalized(1.0);
    EXPECT_EQ(programs.switches, (std::vector<std::int32_t>{0}));
    p->release();
}

} // namespace
