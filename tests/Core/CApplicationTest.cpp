#include "Core/CApplication.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CResourceMap.h"
#include "Core/CXMLLoader.h"
#include "Core/CXMLTemplateBody.h"
#include "support/CLogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

extern const tal::CResourceEntry talDescriptionTestResources[];

using namespace tal;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

namespace {

std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

std::string firstLine(CError* err) {
    if (err == nullptr) return "";
    std::string s = str(err->line(0));
    delete err;
    return s;
}

class CAppTestObject : public CObject {};

const CCreatorTableEntry kTestTable[] = {
    {"test:app-object", [] { return static_cast<CObject*>(new CAppTestObject); }, &CObject::initScheme},
    {"", nullptr, nullptr},
};
const CCreatorTableEntry* const kTestTables[] = {kTestTable, nullptr};

// Every test leaves the process without application and shared object.
class CApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CApplication::sharedObject(), nullptr); }
    void TearDown() override { CApplication::finishApplication(); }

    static CApplicationSetup sampleSetup() {
        CApplicationSetup setup;
        setup.creatorTables = kTestTables;
        setup.resources = talDescriptionTestResources;
        setup.sharedDataName = "test/sample.xml";
        return setup;
    }
};

TEST_F(CApplicationTest, RootsNeedTheSharedObjectWhichIsMadeOnce) {
    CObject* root = nullptr;
    EXPECT_EQ(firstLine(CApplication::initRootObject(root, CString())), "No shared object created.");
    EXPECT_EQ(root, nullptr);

    ASSERT_EQ(CApplication::initSharedObject(CString()), nullptr);
    CObject* shared = CApplication::sharedObject();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->root(), shared);
    EXPECT_EQ(shared->lifeStage(), 3);
    EXPECT_EQ(firstLine(CApplication::initSharedObject(CString())), "Shared object already exists.");
    EXPECT_EQ(CApplication::sharedObject(), shared);

    ASSERT_EQ(CApplication::initRootObject(root, CString()), nullptr);
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root, shared);
    EXPECT_EQ(root->root(), root);
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(root->lifeStage(), 3);
    EXPECT_NE(root->eventRegistry(), nullptr) << "every new root has its own event registry";
    EXPECT_EQ(shared->eventRegistry(), nullptr);
    EXPECT_FALSE(root->isReadOnly());
    root->release();

    // A description that cannot be opened releases the new root and reports the file error.
    root = nullptr;
    EXPECT_THAT(firstLine(CApplication::initRootObject(root, CString("no/such/description"))),
                HasSubstr("no/such/description"));
    EXPECT_EQ(root, nullptr);
}

TEST_F(CApplicationTest, StartRegistersTagsIndexesResourcesAndLoadsTheSharedTree) {
    CLogCapture log;
    ASSERT_EQ(CApplication::startApplication(sampleSetup()), nullptr);
    EXPECT_NE(CApplication::theApplication(), nullptr);
    EXPECT_THAT(firstLine(CApplication::startApplication(sampleSetup())), HasSubstr("already been started"));

    const std::vector<std::string> lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Initializing application...");
    EXPECT_THAT(lines, Contains(MatchesRegex("loadXMLData \"test/sample.xml\" init time: [0-9]+\\.[0-9]{4} s @ "
                                             "[0-9]+\\.[0-9]{4} s")));
    EXPECT_NE(CCreatorRegistry::instance().find(CString("test:app-object")), nullptr);
    EXPECT_NE(CObject::defaultScheme().eventHandlers().find(CString("release-child-bridged")), nullptr);
    EXPECT_NE(CResourceMap::find(CString("test/sample.xml")), nullptr);

    CObject* shared = CApplication::sharedObject();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->lifeStage(), 4);
    EXPECT_NE(shared->findObject(CString("audio.gain#1")), nullptr);
    EXPECT_TRUE(shared->hasTemplate(CString("plugin")));

    log.clear();
    CApplication::finishApplication();
    EXPECT_THAT(log.lines(), Contains("Finalizing application..."));
    EXPECT_EQ(CApplication::theApplication(), nullptr);
    EXPECT_EQ(CApplication::sharedObject(), nullptr);
}

TEST_F(CApplicationTest, AMissingSharedDescriptionIsLoggedAndStartUpGoesOn) {
    CLogCapture log;
    CApplicationSetup setup = sampleSetup();
    setup.sharedDataName = "missing/SharedData.xml";
    EXPECT_EQ(CApplication::startApplication(setup), nullptr);
    EXPECT_THAT(log.lines(), Contains(HasSubstr("Unable to open file 'missing/SharedData.xml'")));
    ASSERT_NE(CApplication::sharedObject(), nullptr) << "the shared object stays registered";
    EXPECT_LT(CApplication::sharedObject()->lifeStage(), 4);
}

TEST_F(CApplicationTest, DuplicateTagsAreReportedAndTheFirstRegistrationStays) {
    static const CCreatorTableEntry duplicate[] = {
        {"test:app-dup", &CObject::createPlain, &CObject::initScheme},
        {"test:app-dup", [] { return static_cast<CObject*>(new CAppTestObject); }, &CObject::initScheme},
        {"test:app-after-dup", &CObject::createPlain, &CObject::initScheme},
        {"", nullptr, nullptr},
    };
    CLogCapture log;
    EXPECT_EQ(firstLine(CApplication::registerCreators(duplicate)), "1 tags of a creator table were not registered.");
    EXPECT_THAT(log.lines(), Contains("Creator for 'test:app-dup' has already been registered."));
    const CCreatorEntry* entry = CCreatorRegistry::instance().find(CString("test:app-dup"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->create, &CObject::createPlain);
    EXPECT_NE(CCreatorRegistry::instance().find(CString("test:app-after-dup")), nullptr);
}

// Two trees are equal when tags, names, attributes (type and text) and children are, recursively.
void expectEqualTrees(CObject& a, CObject& b) {
    SCOPED_TRACE(str(a.getFullName()));
    EXPECT_EQ(str(a.tag()), str(b.tag()));
    EXPECT_EQ(str(a.getFullName()), str(b.getFullName()));
    EXPECT_EQ(a.lifeStage(), b.lifeStage());
    ASSERT_EQ(a.attrs().count(), b.attrs().count());
    for (auto *x = a.attrs().first(), *y = b.attrs().first(); x != nullptr; x = a.attrs().next(x), y = b.attrs().next(y)) {
        EXPECT_EQ(str(x->key), str(y->key));
        EXPECT_EQ(x->value.type(), y->value.type());
        EXPECT_TRUE(x->value.asText() == y->value.asText());
    }
    auto* bodyA = dynamic_cast<CXMLTemplateBody*>(a.templateBody());
    auto* bodyB = dynamic_cast<CXMLTemplateBody*>(b.templateBody());
    ASSERT_EQ(bodyA == nullptr, bodyB == nullptr);
    if (bodyA != nullptr) {
        EXPECT_EQ(str(bodyA->bodyTag()), str(bodyB->bodyTag()));
        ASSERT_EQ(bodyA->bodyLength(), bodyB->bodyLength());
        EXPECT_TRUE(std::equal(bodyA->bodyBytes(), bodyA->bodyBytes() + bodyA->bodyLength(), bodyB->bodyBytes()));
    }
    ASSERT_EQ(a.childCount(), b.childCount());
    for (int i = 0; i < a.childCount(); ++i) expectEqualTrees(*a.child(i), *b.child(i));
}

TEST_F(CApplicationTest, EmbeddedAndFileDescriptionsBuildEqualTrees) {
    CResourceMap::indexTable(talDescriptionTestResources);
    ASSERT_EQ(CApplication::initSharedObject(CString()), nullptr);
    CObject* embedded = nullptr;
    CObject* file = nullptr;
    ASSERT_EQ(CApplication::initRootObject(embedded, CString("test/sample.xml")), nullptr);
    ASSERT_EQ(CApplication::initRootObject(file, CString(TAL_SAMPLE_DESCRIPTION)), nullptr);
    expectEqualTrees(*embedded, *file);

    // Only the file's template bodies are copies.
    auto* embeddedBody = dynamic_cast<CXMLTemplateBody*>(embedded->findObject(CString("plugin"))->templateBody());
    auto* fileBody = dynamic_cast<CXMLTemplateBody*>(file->findObject(CString("plugin"))->templateBody());
    ASSERT_NE(embeddedBody, nullptr);
    ASSERT_NE(fileBody, nullptr);
    const CResourceMap::CPayload* payload = CResourceMap::find(CString("test/sample.xml"));
    EXPECT_TRUE(embeddedBody->isBorrowed());
    EXPECT_GE(embeddedBody->bodyBytes(), payload->data);
    EXPECT_LT(embeddedBody->bodyBytes(), payload->data + payload->size);
    EXPECT_FALSE(fileBody->isBorrowed());

    // Instances made from either template are equal too.
    CObject *fromEmbedded = nullptr, *fromFile = nullptr;
    ASSERT_EQ(embedded->createChild(fromEmbedded, CString("plugin"), CString("plugin"), true, nullptr, nullptr), nullptr);
    ASSERT_EQ(file->createChild(fromFile, CString("plugin"), CString("plugin"), true, nullptr, nullptr), nullptr);
    expectEqualTrees(*fromEmbedded, *fromFile);
    EXPECT_EQ(fromEmbedded->getIntAttr("level"), 7);
    EXPECT_NE(fromEmbedded->findObject(CString(".param-registry")), nullptr);

    embedded->release();
    file->release();
}

TEST_F(CApplicationTest, ConcurrentReadsOfTheSharedTree) {
    CResourceMap::indexTable(talDescriptionTestResources);
    ASSERT_EQ(CApplication::initSharedObject(CString("test/sample.xml")), nullptr);
    CObject* shared = CApplication::sharedObject();

    // What every thread must read: the values as the conversions give them.
    struct Read {
        std::string text;
        std::int32_t i;
        double d;
        bool b;
    };
    auto readAll = [shared] {
        std::vector<Read> out;
        for (const char* path : {"audio", "audio.gain", "audio.gain#1", "list.item#2", "audio.p.content"}) {
            CObject* o = shared->findObject(CString(path));
            if (o == nullptr) return std::vector<Read>();
            for (auto* n = o->attrs().first(); n != nullptr; n = o->attrs().next(n))
                out.push_back({str(n->value.asText()), n->value.asInt(), n->value.asReal(), n->value.asBool()});
            CObject* typed = nullptr;
            CError* err = shared->findObjectChecked(typed, CString(path));
            if (err != nullptr || typed != o) out.clear();
            delete err;
            out.push_back({"", o->getIntAttr("count"), o->getDoubleAttr("ratio"), o->getBoolAttr("on")});
            out.push_back({str(o->getTextAttr("label")), 0, 0.0, false});
        }
        return out;
    };
    const std::vector<Read> expected = readAll();
    ASSERT_FALSE(expected.empty());

    std::vector<std::thread> threads;
    std::vector<int> mismatches(6, 0);
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const std::vector<Read> got = readAll();
                bool same = got.size() == expected.size();
                for (std::size_t i = 0; same && i < got.size(); ++i)
                    same = got[i].text == expected[i].text && got[i].i == expected[i].i && got[i].d == expected[i].d &&
                           got[i].b == expected[i].b;
                if (!same) ++mismatches[std::size_t(t)];
            }
        });
    for (std::thread& th : threads) th.join();
    for (int m : mismatches) EXPECT_EQ(m, 0);
}

} // namespace
