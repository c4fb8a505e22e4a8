#include "Audio/CAudioProcessDefBaseInit.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

TEST(CAudioProcessDefBaseInit, ResolveParamName) {
    struct Row {
        const char* base;
        const char* name;
        const char* full;
    };
    const Row rows[] = {
        {"plugin.modMain.modMSEncoder", "pairs", "plugin.modMain.modMSEncoder.pairs"},
        {"plugin.modMain.modMSEncoder", "^io-params.ms-pairs", "plugin.modMain.io-params.ms-pairs"},
        {"plugin.modMain.modBypass", "^bypass-enable", "plugin.modMain.bypass-enable"},
        {"plugin.modMain", "modSpectrum.block-size", "plugin.modMain.modSpectrum.block-size"},
        {"plugin.modMain", "/x.y", "x.y"},
        {"plugin.modMain.a", "^^b", "plugin.b"},
        {"plugin.modMain", "^", "plugin"},
        {"plugin.modMain", "", "plugin.modMain"},
        {"plugin", "^^^x", ".x"},   // every component dropped
        {"plugin.modMain", "^.x", "plugin.x"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.base) + " + " + r.name);
        EXPECT_TRUE(CAudioProcessDefBaseInit::resolveParamName(CString(r.name), CString(r.base)) == CString(r.full));
    }
}

} // namespace
} // namespace tal
