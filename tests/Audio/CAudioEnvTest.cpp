#include "Audio/CAudioEnv.h"

#include "support/CObjectTreeTest.h"
#include "support/GraphTestSupport.h"

#include <gtest/gtest.h>

namespace tal {
namespace {

class CAudioEnvTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        ASSERT_TRUE(test::registerGraphTags());
    }
};

TEST_F(CAudioEnvTest, CreatedFromItsTagWithTheStreamDefaults) {
    CObject* plugin = add(root, "plugin");
    CObject* made = add(plugin, "audio-env", "audio:audio-env");
    ASSERT_EQ(made->init(), nullptr);
    auto* env = dynamic_cast<CAudioEnv*>(root->findObject(CString("plugin.audio-env")));
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->sampleRate, 44100.0);
    EXPECT_FALSE(env->processing);
    EXPECT_EQ(env->latency, 0);
    EXPECT_EQ(env->runningTime, 0.0);
    EXPECT_EQ(env->vizTime, 0.0);
    EXPECT_EQ(env->activeVizFrameRate, 30.0);
    EXPECT_EQ(env->requestedVizFrameRate, 30.0);
    EXPECT_TRUE(env->processingLock.tryLock());
    env->processingLock.unlock();
}

} // namespace
} // namespace tal
