// The VST 3 binding over a small instance (tests/fixtures/descriptions/wrapper-instance.xml): the
// host parameters made from the exported parameters, their texts both ways, the program parameter
// of a single-program bank, the unit, and values that travel between the host and the instance.
#include "Audio/VST/CAudioWrapperVST3.h"

#include "Audio/CAudioExtParam.h"
#include "Audio/CAudioExtParamList.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "support/WrapperTestApp.h"

#include "pluginterfaces/base/ustring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tal {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string narrow(const TChar* text) {
    std::string out;
    for (int i = 0; i < 128 && text[i] != 0; ++i)
        out.push_back(char(text[i]));
    return out;
}

class CAudioWrapperVST3Instance : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::CWrapperTestApp::start(); }
    static void TearDownTestSuite() { test::CWrapperTestApp::stop(); }
    void SetUp() override {
        FUnknown* made = CAudioWrapperVST3::createInstance(nullptr);
        ASSERT_NE(made, nullptr);
        mEffect = static_cast<CAudioWrapperVST3*>(static_cast<IAudioProcessor*>(made));
        ASSERT_EQ(mEffect->initialize(nullptr), kResultOk);
    }
    void TearDown() override {
        if (mEffect != nullptr) {
            mEffect->terminate();
            mEffect->release();
        }
    }
    std::string text(ParamID id, double normalized) {
        String128 s {};
        EXPECT_EQ(mEffect->getParamStringByValue(id, normalized, s), kResultOk);
        return narrow(s);
    }
    double value(ParamID id, const char* text) {
        String128 s {};
        UString(s, 128).fromAscii(text);
        double v = -1.0;
        EXPECT_EQ(mEffect->getParamValueByString(id, s, v), kResultOk);
        return v;
    }

    CLogCapture log;
    CAudioWrapperVST3* mEffect = nullptr;
};

TEST_F(CAudioWrapperVST3Instance, ExportedParametersBecomeHostParameters) {
    ASSERT_EQ(mEffect->getParameterCount(), 3);   // Bypass, Gain, Program
    ParameterInfo bypass {}, gain {}, program {};
    ASSERT_EQ(mEffect->getParameterInfo(0, bypass), kResultOk);
    ASSERT_EQ(mEffect->getParameterInfo(1, gain), kResultOk);
    ASSERT_EQ(mEffect->getParameterInfo(2, program), kResultOk);
    EXPECT_EQ(narrow(bypass.title), "Bypass");
    EXPECT_EQ(bypass.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
    EXPECT_EQ(bypass.stepCount, 1);
    EXPECT_EQ(narrow(gain.title), "Gain");
    EXPECT_EQ(gain.id, 1u);
    EXPECT_EQ(narrow(gain.units), "dB");
    EXPECT_EQ(gain.flags, ParameterInfo::kCanAutomate);
    EXPECT_EQ(gain.stepCount, 0);
    // 0 dB in a range of -12 to 12 dB.
    EXPECT_EQ(text(1, gain.defaultNormalizedValue), "0.0");
    EXPECT_EQ(program.id, 999u);
    EXPECT_EQ(program.stepCount, 0);   // one program: not stepped, never divided by zero
    EXPECT_EQ(program.flags, ParameterInfo::kIsProgramChange | ParameterInfo::kIsList);
}

TEST_F(CAudioWrapperVST3Instance, ValueTextsGoBothWays) {
    for (const char* t : {"-12.0", "-3.5", "0.0", "6.0", "12.0"}) {
        SCOPED_TRACE(t);
        const double v = value(1, t);
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, 1.0);
        EXPECT_EQ(text(1, v), t);
    }
    EXPECT_LT(value(1, "-6"), value(1, "3"));
    EXPECT_EQ(text(0, 1.0), "On");
    EXPECT_EQ(text(0, 0.0), "Off");
}

TEST_F(CAudioWrapperVST3Instance, HostValuesReachTheInstanceAndInstanceValuesTheHost) {
    CAudioExtParam* gain = mEffect->getExtParamList()->getParam(1);
    const double six = value(1, "6");
    ASSERT_EQ(mEffect->setParamNormalized(1, six), kResultTrue);
    EXPECT_NEAR(gain->getNormalized(), six, 1e-12);
    EXPECT_EQ(std::string(gain->getValueText().narrowed().chars8()), "6.0");
    // A change made inside the instance (the editor) is what the host reads back.
    mEffect->getCollector()->findParam(CString("plugin.modMain.gain"))->setValue(0, nullptr, nullptr, 1.0);
    EXPECT_EQ(text(1, mEffect->getParamNormalized(1)), "0.0");
}

TEST_F(CAudioWrapperVST3Instance, OneUnitWithTheProgramList) {
    UnitInfo unit {};
    ASSERT_EQ(mEffect->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(narrow(unit.name), "Root");
    EXPECT_EQ(unit.programListId, 999);
    ProgramListInfo list {};
    ASSERT_EQ(mEffect->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.programCount, 1);
    String128 name {};
    ASSERT_EQ(mEffect->getProgramName(999, 0, name), kResultOk);
    EXPECT_EQ(narrow(name), "Default");   // the registry id before ':' stays hidden
    EXPECT_EQ(mEffect->getProgramName(1, 0, name), kResultFalse);
}

} // namespace
} // namespace tal
