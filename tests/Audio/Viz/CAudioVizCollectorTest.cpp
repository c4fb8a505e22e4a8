#include "Audio/Viz/CAudioVizCollector.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamLock.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizSlotManager.h"
#include "Audio/Viz/VizCreators.h"
#include "Core/CMemoryReader.h"
#include "Core/CUpdateListener.h"
#include "Core/CWriteSeqBuffer.h"
#include "support/GraphTestSupport.h"
#include "support/LeBytes.h"
#include "support/ParamTestTree.h"
#include "support/StreamTestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

using test::Bytes;

// Registers the visualisation tags once; other suites of this program may have registered them.
bool registerVizTags() {
    static const int failed = CCreatorRegistry::instance().registerTable(kVizCreatorTable);
    (void)failed;
    return CCreatorRegistry::instance().find(CString("audio:viz-collector")) != nullptr;
}

// One plug-in instance's tree as the description makes it: "plugin" with "audio-env" and
// "viz-collector", the shared "audio.param-enable-viz" definition, and a parameter collector.
class CAudioVizCollectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::registerGraphTags());
        ASSERT_TRUE(registerVizTags());
        CObject* def = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(def, tree.audio(), "audio:param", "param-enable-viz",
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.enum-enable"},
                                                     {"min-values", "0"},
                                                     {"max-values", "1"},
                                                     {"def-values", "0"}})),
                  "");
        root = new CObject;
        root->initRoot(nullptr);
        CObject* plugin = CParamTestTree::plain(root, "plugin");
        CObject* made = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(made, plugin, "audio:audio-env", "audio-env", {})), "");
        env = dynamic_cast<CAudioEnv*>(made);
        ASSERT_EQ(takeMessage(CParamTestTree::build(made, plugin, "audio:param-collector", "param-collector",
                                                    {{"env", "^audio-env"}})),
                  "");
        params = dynamic_cast<CAudioParamCollector*>(made);
        ASSERT_NE(params, nullptr);
        ASSERT_EQ(takeMessage(CParamTestTree::build(made, plugin, "audio:viz-collector", "viz-collector",
                                                    {{"env", "^audio-env"}, {"param-collector", "^param-collector"}})),
                  "");
        viz = dynamic_cast<CAudioVizCollector*>(made);
        ASSERT_NE(viz, nullptr);
    }
    void TearDown() override {
        if (root != nullptr) root->release();
    }

    // The "-enable" value of an item, or -1 when the parameter was never given a value.
    double enableValue(const char* item) {
        CAudioParam* p = params->findParam(CString(item, "-enable"));
        if (p == nullptr) return -1.0;
        CAudioParamLock lock(p);
        if (p->getCurrent().getElementCount(0) < 1) return -1.0;
        return p->getCurrent().getValue(0, 0, 0);
    }

    CAudioVizDataMeter* meterAt(double time) {
        auto* m = new CAudioVizDataMeter;
        m->time = time;
        m->level = time * 2.0;
        return m;
    }

    Bytes reply(double rate = 30.0) {
        return test::written([&](COutputStream& out) { ASSERT_EQ(takeMessage(viz->writeVizData(out, rate)), ""); });
    }

    // The item blocks of a reply: name and the time stamps of its frames.
    struct Block {
        std::string name;
        std::vector<double> times;
    };
    static std::vector<Block> parse(const Bytes& bytes, double* vizTime = nullptr) {
        std::vector<Block> blocks;
        CMemoryReader in(bytes.data(), std::int32_t(bytes.size()));
        double t = 0.0;
        EXPECT_EQ(in.readDouble(t), nullptr);
        if (vizTime) *vizTime = t;
        for (;;) {
            std::int32_t count = 0;
            EXPECT_EQ(in.read32(count), nullptr);
            if (count == 0) break;
            Block block;
            CString name;
            EXPECT_EQ(in.readString(name), nullptr);
            block.name = textOf(name);
            for (int i = 0; i < count; ++i) {
                CAudioVizData* frame = nullptr;
                EXPECT_EQ(takeMessage(CAudioVizData::readFromStream(in, frame)), "");
                if (frame == nullptr) return blocks;
                block.times.push_back(frame->time);
                delete frame;
            }
            blocks.push_back(block);
        }
        EXPECT_EQ(in.getRemainingSize(), 0);
        return blocks;
    }

    CParamTestTree tree;
    CObject* root = nullptr;
    CAudioEnv* env = nullptr;
    CAudioVizCollector* viz = nullptr;
    CAudioParamCollector* params = nullptr;   // an object of the tree
};

TEST_F(CAudioVizCollectorTest, InitNeedsTheEnvironmentAndTheParameterCollector) {
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> attrs;
        const char* missing;
    } cases[] = {
        {"none", {}, "env"},
        {"no-params", {{"env", "plugin.audio-env"}}, "param-collector"},
        {"no-env", {{"param-collector", "plugin.param-collector"}}, "env"},
        {"env-is-params", {{"env", "plugin.param-collector"}, {"param-collector", "plugin.param-collector"}}, "env"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CObject* made = nullptr;
        ASSERT_EQ(root->addChild(made, CString("audio:viz-collector"), CString(c.name), false), nullptr);
        for (const auto& [key, value] : c.attrs)
            ASSERT_EQ(made->setAttr(CString(key), CString(value), false), nullptr);
        const std::vector<std::string> lines = test::takeLines(made->init());
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines[0].find(c.missing), std::string::npos) << lines[0];
    }
}

TEST_F(CAudioVizCollectorTest, ItemsAreFoundAgainByName) {
    CAudioVizItem* a = viz->getVizItem(CString("modSpectrum"));
    CAudioVizItem* b = viz->getVizItem(CString("modSpectrum-sec"));
    EXPECT_NE(a, b);
    EXPECT_EQ(viz->getVizItem(CString("modSpectrum")), a);
    EXPECT_EQ(textOf(*a->name), "modSpectrum");
    EXPECT_EQ(a->collector, viz);
    EXPECT_EQ(a->totalRequests, 0);
}

TEST_F(CAudioVizCollectorTest, UnrequestedFramesAreDroppedAndEnableIsNeverWritten) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->postVizData(item, meterAt(1.0));
    viz->runHostBlockRequests();
    EXPECT_EQ(viz->queuedFrameCount(item), 0);
    EXPECT_EQ(enableValue("spec"), -1.0);
}

TEST_F(CAudioVizCollectorTest, RequestsTakeEffectAtTheNextHostBlock) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->addItemRequest(item);
    EXPECT_EQ(item->totalRequests, 0);
    EXPECT_EQ(enableValue("spec"), -1.0);
    viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 1);
    EXPECT_EQ(enableValue("spec"), 1.0);

    viz->postVizData(item, meterAt(1.0));
    viz->postVizData(item, meterAt(2.0));
    EXPECT_EQ(viz->queuedFrameCount(item), 2);

    viz->removeItemRequest(item);
    viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 0);
    EXPECT_EQ(enableValue("spec"), 0.0);
    EXPECT_EQ(viz->queuedFrameCount(item), 0);   // switching off drops what waits
}

TEST_F(CAudioVizCollectorTest, BalancedRequestsInOneBlockChangeNothing) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->addItemRequest(item);
    viz->addItemRequest(item);
    viz->removeItemRequest(item);
    viz->removeItemRequest(item);
    viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 0);
    EXPECT_EQ(enableValue("spec"), -1.0);
}

TEST_F(CAudioVizCollectorTest, SecondListenerKeepsTheItemOn) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->addItemRequest(item);
    viz->runHostBlockRequests();
    viz->addItemRequest(item);
    viz->runHostBlockRequests();
    viz->removeItemRequest(item);
    viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 1);
    EXPECT_EQ(enableValue("spec"), 1.0);
    viz->removeItemRequest(item);
    viz->removeItemRequest(item);   // one more than there were: the count stays at 0
    viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 0);
    EXPECT_EQ(enableValue("spec"), 0.0);
}

TEST_F(CAudioVizCollectorTest, ReplyCarriesTheWaitingFramesInTheDocumentedLayout) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->addItemRequest(item);
    viz->runHostBlockRequests();
    CAudioVizDataMeter* first = meterAt(0.5);
    CAudioVizDataMeter* second = meterAt(0.75);
    const Bytes firstRecord = test::written([&](COutputStream& out) {
        CWriteSeqBuffer scratch;
        ASSERT_EQ(first->writeRecord(out, scratch), nullptr);
    });
    const Bytes secondRecord = test::written([&](COutputStream& out) {
        CWriteSeqBuffer scratch;
        ASSERT_EQ(second->writeRecord(out, scratch), nullptr);
    });
    viz->postVizData(item, first);
    viz->postVizData(item, second);
    env->vizTime = 2.0;
    LeBytes expected;
    expected.f64(2.0).i32(2).str("spec").raw(firstRecord).raw(secondRecord).i32(0);
    EXPECT_EQ(reply(), expected.bytes());
    EXPECT_EQ(viz->queuedFrameCount(item), 0);
    LeBytes empty;
    empty.f64(2.0).i32(0);
    EXPECT_EQ(reply(), empty.bytes());
}

TEST_F(CAudioVizCollectorTest, EmptyReplyStoresTheRequestedRateButIgnoresNonsense) {
    EXPECT_EQ(reply(60.0).size(), 12u);
    EXPECT_EQ(env->requestedVizFrameRate, 60.0);
    for (const double bad : {0.0, -5.0, std::nan("")}) {
        SCOPED_TRACE(bad);
        reply(bad);
        EXPECT_EQ(env->requestedVizFrameRate, 60.0);
    }
}

TEST_F(CAudioVizCollectorTest, QueueKeepsTheNewest1024Frames) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    CAudioVizItem* other = viz->getVizItem(CString("other"));
    viz->addItemRequest(item);
    viz->addItemRequest(other);
    viz->runHostBlockRequests();
    for (int i = 1; i <= 1025; ++i)
        viz->postVizData(item, meterAt(i));
    viz->postVizData(other, meterAt(7.0));
    const std::vector<Block> blocks = parse(reply());
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].name, "spec");   // registration order
    ASSERT_EQ(blocks[0].times.size(), 1024u);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(blocks[0].times[i], double(i + 2)) << i;
    EXPECT_EQ(blocks[1].name, "other");
    EXPECT_EQ(blocks[1].times, std::vector<double>{7.0});
}

TEST_F(CAudioVizCollectorTest, StoppingDiscardsWaitingFrames) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    viz->addItemRequest(item);
    viz->runHostBlockRequests();
    viz->postVizData(item, meterAt(1.0));
    viz->releaseExportSlots();
    viz->postVizData(item, meterAt(2.0));
    const std::vector<Block> blocks = parse(reply());
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].times, std::vector<double>{2.0});
}

// The audio thread posts frames and applies requests once per "host block"; the main thread
// listens, fetches replies and stops listening. Every frame that arrives is complete and the
// frames of the item arrive in the order they were posted.
TEST_F(CAudioVizCollectorTest, ConcurrentProducerAndEditor) {
    CAudioVizItem* item = viz->getVizItem(CString("spec"));
    constexpr int kFrames = 20000;
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int i = 1; i <= kFrames; ++i) {
            if (i % 16 == 0)
                viz->runHostBlockRequests();
            viz->postVizData(item, meterAt(i));
        }
        viz->runHostBlockRequests();
        done.store(true, std::memory_order_release);
    });
    double last = 0.0;
    int received = 0;
    int round = 0;
    while (!done.load(std::memory_order_acquire)) {
        if (round % 50 == 0) viz->addItemRequest(item);
        if (round % 50 == 25) viz->removeItemRequest(item);
        ++round;
        for (const Block& block : parse(reply())) {
            for (double t : block.times) {
                ASSERT_GT(t, last);
                last = t;
                ++received;
            }
        }
    }
    audio.join();
    for (const Block& block : parse(reply()))
        received += int(block.times.size());
    EXPECT_LE(received, kFrames);
}


// --- export slots: two instances of the plug-in in one process ---

// One instance with export slots switched on: its own tree, environment, parameters and collector.
struct ExportInstance {
    ExportInstance(const char* instanceName) {
        root = new CObject;
        root->initRoot(nullptr);
        CObject* plugin = CParamTestTree::plain(root, "plugin");
        CObject* made = nullptr;
        EXPECT_EQ(takeMessage(CParamTestTree::build(made, plugin, "audio:audio-env", "audio-env", {})), "");
        env = dynamic_cast<CAudioEnv*>(made);
        EXPECT_EQ(takeMessage(CParamTestTree::build(made, plugin, "audio:param-collector", "param-collector",
                                                    {{"env", "^audio-env"}})),
                  "");
        params = dynamic_cast<CAudioParamCollector*>(made);
        slotParam = params->acquireParam(CString("plugin.modMain.export-slot"));
        defineFrom(slotParam, "shared::audio.param-export-slot");
        CAudioParam* name = params->acquireParam(CString("plugin.modMain.instance-name"));
        defineFrom(name, instanceName);
        CAudioParam* groups = params->acquireParam(CString("plugin.modMain.io-params.group-names"));
        defineFrom(groups, "shared::audio.param-group-names");
        EXPECT_EQ(plugin->addChild(made, CString("audio:viz-collector"), CString("viz-collector"), false), nullptr);
        viz = dynamic_cast<CAudioVizCollector*>(made);
        EXPECT_EQ(viz->setAttr(CString("env"), CString("^audio-env"), false), nullptr);
        EXPECT_EQ(viz->setAttr(CString("param-collector"), CString("^param-collector"), false), nullptr);
        EXPECT_EQ(viz->setAttr(CString("export-slot-param"), CString("plugin.modMain.export-slot"), false), nullptr);
        EXPECT_EQ(takeMessage(viz->init()), "");
    }
    ~ExportInstance() { root->release(); }

    void defineFrom(CAudioParam* p, const char* path) {
        const CAudioParamDef* def = nullptr;
        ASSERT_EQ(takeMessage(root->findObjectChecked(def, CString(path))), "");
        CAudioParamLock lock(p);
        p->setInfo(&def->getInfo(), &lock, CAudioParamContext{});
    }
    void exportGroup(int group, double value) { slotParam->setValue(group, nullptr, nullptr, value); }

    CObject* root = nullptr;
    CAudioEnv* env = nullptr;
    CAudioVizCollector* viz = nullptr;
    CAudioParamCollector* params = nullptr;   // an object of the tree
    CAudioParam* slotParam = nullptr;
};

class CAudioVizCollectorExportTest : public CAudioVizCollectorTest {
protected:
    void SetUp() override {
        CAudioVizCollectorTest::SetUp();
        CObject* def = nullptr;
        ASSERT_EQ(takeMessage(CParamTestTree::build(def, tree.audio(), "audio:param", "param-export-slot",
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.real"},
                                                     {"min-values", "0"},
                                                     {"max-values", "48"},
                                                     {"def-values", "0"}})),
                  "");
        for (const auto& [name, value] : {std::pair{"param-name-drums", "Drums"}, std::pair{"param-name-bass", "Bass"},
                                          std::pair{"param-group-names", "Main,Side"}}) {
            ASSERT_EQ(takeMessage(CParamTestTree::build(def, tree.audio(), "audio:param", name,
                                                        {{"element-size", "1"},
                                                         {"data-type", "string"},
                                                         {"converter", "shared::audio.paramcvt.text"},
                                                         {"def-values", value}})),
                      "");
        }
    }
};

std::string shown(int slot) { return textOf(CAudioVizSlotManager::instance().shownName(slot)); }

TEST_F(CAudioVizCollectorExportTest, GroupClaimsItsSlotAndNamesIt) {
    ExportInstance a("shared::audio.param-name-drums");
    a.exportGroup(0, 3.0);   // slot index 2
    EXPECT_EQ(shown(2), "3: Drums (Main)`opt1=0`opt2=0");
    EXPECT_FALSE(a.viz->ownsExportSlot(0));   // claims happen on the audio thread
    a.viz->runHostBlockRequests();
    EXPECT_TRUE(a.viz->ownsExportSlot(0));
    EXPECT_EQ(a.viz->exportSlotOf(0), 2);
    EXPECT_EQ(CAudioVizSlotManager::instance().ownerOf(2), a.viz->instanceId());
    const Bytes names = test::written([&](COutputStream& out) { ASSERT_EQ(a.viz->writeExportSlotNames(out), nullptr); });
    LeBytes expected;
    expected.i32(1).i32(2).str("3: Drums (Main)`opt1=0`opt2=0");
    EXPECT_EQ(names, expected.bytes());
}

TEST_F(CAudioVizCollectorExportTest, ValuesOutsideTheSlotRangeClaimNothing) {
    ExportInstance a("shared::audio.param-name-drums");
    for (const double value : {0.0, 49.0, 1000.0, -7.0}) {
        SCOPED_TRACE(value);
        a.exportGroup(1, value);
        a.viz->runHostBlockRequests();
        EXPECT_EQ(a.viz->exportSlotOf(1), -1);
        EXPECT_FALSE(a.viz->ownsExportSlot(1));
    }
}

TEST_F(CAudioVizCollectorExportTest, ImporterReceivesTheOwnersFrames) {
    ExportInstance a("shared::audio.param-name-drums");
    ExportInstance b("shared::audio.param-name-bass");
    a.exportGroup(0, 11.0);   // slot index 10
    a.viz->runHostBlockRequests();
    CAudioVizItem* item = a.viz->getVizItem(CString("spec"));
    EXPECT_FALSE(b.viz->addSlotRequest(48, CString("spec")));
    EXPECT_FALSE(b.viz->addSlotRequest(-1, CString("spec")));
    EXPECT_TRUE(b.viz->addSlotRequest(10, CString("spec")));
    a.viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 1);
    EXPECT_EQ(item->exportRequestsPerGroup[0], 1);
    CAudioParam* enable = a.params->findParam(CString("spec-enable"));
    ASSERT_NE(enable, nullptr);
    {
        CAudioParamLock lock(enable);
        EXPECT_EQ(enable->getCurrent().getValue(0, 0, 0), 1.0);
    }
    CAudioVizDataMeter* frame = new CAudioVizDataMeter;
    frame->group = 0;
    frame->time = 5.0;
    a.viz->postVizData(item, frame);
    EXPECT_EQ(a.viz->queuedFrameCount(item), 0);   // a's own editor does not listen

    const Bytes reply = test::written([&](COutputStream& out) { ASSERT_EQ(b.viz->writeVizData(out, 30.0), nullptr); });
    CMemoryReader in(reply.data(), std::int32_t(reply.size()));
    double t = 0;
    std::int32_t count = 0;
    CString name;
    ASSERT_EQ(in.readDouble(t), nullptr);
    ASSERT_EQ(in.read32(count), nullptr);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(in.readString(name), nullptr);
    EXPECT_EQ(textOf(name), "spec");
    CAudioVizData* got = nullptr;
    ASSERT_EQ(CAudioVizData::readFromStream(in, got), nullptr);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->exportSlot, 10);
    EXPECT_EQ(got->time, 0.0);
    delete got;
    ASSERT_EQ(in.read32(count), nullptr);
    EXPECT_EQ(count, 0);

    // The importer stops listening: the owner's item switches off.
    EXPECT_TRUE(b.viz->removeSlotRequest(10, CString("spec")));
    a.viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 0);
    {
        CAudioParamLock lock(enable);
        EXPECT_EQ(enable->getCurrent().getValue(0, 0, 0), 0.0);
    }
}

TEST_F(CAudioVizCollectorExportTest, RequestsStayWithTheSlotWhenTheOwnerMoves) {
    ExportInstance a("shared::audio.param-name-drums");
    ExportInstance b("shared::audio.param-name-bass");
    a.exportGroup(0, 21.0);   // slot index 20
    a.viz->runHostBlockRequests();
    ASSERT_TRUE(b.viz->addSlotRequest(20, CString("spec")));
    a.viz->runHostBlockRequests();
    CAudioVizItem* item = a.viz->getVizItem(CString("spec"));
    EXPECT_EQ(item->totalRequests, 1);
    a.exportGroup(0, 22.0);   // a moves to slot index 21: the request stays behind in 20
    a.viz->runHostBlockRequests();
    EXPECT_EQ(a.viz->exportSlotOf(0), 21);
    EXPECT_EQ(item->totalRequests, 0);
    EXPECT_EQ(CAudioVizSlotManager::instance().ownerOf(20), -1);
    a.exportGroup(0, 21.0);   // back: the slot's accumulated request switches the item on again
    a.viz->runHostBlockRequests();
    EXPECT_EQ(item->totalRequests, 1);
}

TEST_F(CAudioVizCollectorExportTest, SecondGroupOnTheSameSlotWaitsAndNamesIt) {
    ExportInstance a("shared::audio.param-name-drums");
    a.exportGroup(0, 31.0);
    a.exportGroup(1, 31.0);
    EXPECT_EQ(shown(30), "31: Drums (Side)`opt1=0`opt2=0");   // the later group's text
    a.viz->runHostBlockRequests();
    EXPECT_TRUE(a.viz->ownsExportSlot(0));
    EXPECT_FALSE(a.viz->ownsExportSlot(1));
    EXPECT_TRUE(a.viz->isClaimRetryPending());
}

TEST_F(CAudioVizCollectorExportTest, AnInstanceThatGoesTakesItsNamesWithIt) {
    {
        ExportInstance a("shared::audio.param-name-drums");
        a.exportGroup(0, 41.0);
        EXPECT_EQ(shown(40), "41: Drums (Main)`opt1=0`opt2=0");
    }
    EXPECT_EQ(shown(40), "");
}

// Counts the notifications of a collector.
struct NamesWatch : CUpdateListener {
    ~NamesWatch() override { detach(); }
    void update(const CUpdateRecord* record) override {
        EXPECT_EQ(record, nullptr);
        ++count;
    }
    int count = 0;
};

TEST_F(CAudioVizCollectorExportTest, ChangedSlotNamesNotifyTheCollectorsListenersWithTheReply) {
    ExportInstance a("shared::audio.param-name-drums");
    ExportInstance b("shared::audio.param-name-bass");
    NamesWatch watch;
    watch.setNotifier(b.viz, 0);
    const auto reply = [&] { test::written([&](COutputStream& out) { ASSERT_EQ(b.viz->writeVizData(out, 30.0), nullptr); }); };
    reply();
    EXPECT_EQ(watch.count, 1);   // the first reply always tells the names
    reply();
    EXPECT_EQ(watch.count, 1);
    a.exportGroup(0, 47.0);
    EXPECT_EQ(watch.count, 1);   // told with the next reply, not when the names change
    reply();
    EXPECT_EQ(watch.count, 2);
}

// An output stream that fails once it has taken a number of bytes.
class FailingStream : public COutputStream {
public:
    explicit FailingStream(int capacity) : mLeft(capacity) {}
    CError* write(const void*, std::int32_t count) override {
        if (count > mLeft) return newError("@test_Full Stream full.");
        mLeft -= count;
        return nullptr;
    }

private:
    int mLeft;
};

TEST_F(CAudioVizCollectorExportTest, FailedWritesAreReported) {
    ExportInstance a("shared::audio.param-name-drums");
    ExportInstance b("shared::audio.param-name-bass");
    a.exportGroup(0, 45.0);
    a.viz->runHostBlockRequests();
    ASSERT_TRUE(b.viz->addSlotRequest(44, CString("spec")));
    a.viz->runHostBlockRequests();
    CAudioVizItem* item = a.viz->getVizItem(CString("spec"));
    auto* frame = new CAudioVizDataMeter;
    a.viz->postVizData(item, frame);
    for (const int capacity : {4, 12, 20, 40}) {   // inside T, the count, the name, the record
        SCOPED_TRACE(capacity);
        a.viz->postVizData(item, new CAudioVizDataMeter);
        FailingStream out(capacity);
        CError* err = b.viz->writeVizData(out, 30.0);
        EXPECT_NE(err, nullptr);
        delete err;
    }
}

} // namespace
} // namespace tal
