#pragma once
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamStorage.h"
#include "support/BindingTestTree.h"
#include "support/ParamTestTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace tal {

// The binding test tree with what the curve editor's tests share: a logarithmic band frequency
// parameter and the value ranges "ui.freq" (20 .. 20000 Hz, logarithmic) and "ui.gain" (-18 .. 18).
class CSurfaceTestTree : public CRecordingBindingTree {
protected:
    void SetUp() override {
        CRecordingBindingTree::SetUp();
        range("freq", {{"is-log", "true"}, {"min", "20"}, {"max", "20000"}, {"scale-power", "1"}});
        range("gain", {{"min", "-18"}, {"max", "18"}, {"scale-power", "1"}});
    }
    // A frequency parameter of 20 .. 20000 Hz on the logarithmic converter, one value per band.
    std::unique_ptr<CAudioParamInfo> freqInfo(const char* defaults) {
        auto info = std::make_unique<CAudioParamInfo>();
        info->setLayout(1, CAudioParamStorage::kTypeFloat, false, false);
        info->setFlags(false, true, true);
        info->setNames(CString("freq"), CString("freq"), CString::emptyString);
        info->converterNames().add("shared::audio.paramcvt.freq");
        info->setRange(0, 20.0, 20000.0);
        EXPECT_EQ(test::takeMessage(info->parseConverterNames()), "");
        EXPECT_EQ(test::takeMessage(info->defaultValues().parseDefValues(CString(defaults), *info)), "");
        return info;
    }
    void range(const char* name, AttrList attrs) {
        CObject* object = nullptr;
        ASSERT_EQ(test::takeMessage(CParamTestTree::build(object, ui, "ui:min-max", name, attrs)), "");
    }
    // The display position of frequency f on the 20 .. 20000 Hz axis, and of gain dB on -18 .. 18.
    static double freqX(double f) { return std::log(f / 20.0) / std::log(1000.0); }
    static double gainY(double dB) { return (dB + 18.0) / 36.0; }
};

} // namespace tal
