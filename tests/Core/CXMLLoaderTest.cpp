#include "Core/CXMLLoader.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CXMLTemplateBody.h"
#include "support/CDescriptionBytes.h"
#include "support/CObjectTreeTest.h"
#include "support/CRecordingObject.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tal;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string firstLine(CError* err) {
    if (err == nullptr) return "";
    std::string s = str(err->line(0));
    delete err;
    return s;
}

class CXMLLoaderTest : public CObjectTreeTest {
protected:
    // Loads bytes (copied into a buffer of exactly their size) into a fresh root.
    CError* load(const std::vector<std::uint8_t>& bytes, bool borrowed = false) {
        image.assign(bytes.begin(), bytes.end());
        image.shrink_to_fit();
        return CXMLLoader::loadImage(*root, image.data(), std::int32_t(image.size()), borrowed, true);
    }
    void freshRoot() {
        root->release();
        root = new CObject;
        root->initRoot(nullptr);
    }
    std::vector<std::uint8_t> image;
};

// root { r: test:rec (a="1" b="" c="false" x="v") { g: test:rec } }
CDescriptionBytes recordingTree() {
    CDescriptionBytes d;
    d.str("");
    d.element({}).childCount(1).child("test:rec", "r");
    d.element({{"a", "1"}, {"b", ""}, {"c", "false"}, {"x", "v"}}).childCount(1).child("test:rec", "g").leaf();
    return d;
}

TEST_F(CXMLLoaderTest, BuildsAttributesFirstThenLifeCycleAndChildrenInOrder) {
    ASSERT_EQ(load(recordingTree().bytes()), nullptr);
    CObject* r = root->findObject(CString("r"));
    ASSERT_NE(r, nullptr);
    EXPECT_THAT(CRecordingObject::journal(),
                ElementsAre("init r", "createChilds r", "r.x=v", "r.a=1", "added g to r", "init g", "createChilds g",
                            "initChilds g", "initChilds r"));
    EXPECT_EQ(r->lifeStage(), 4);
    EXPECT_EQ(root->lifeStage(), 4);
    EXPECT_EQ(r->attrs().findValue("b"), nullptr) << "an empty value is not set";
    EXPECT_EQ(r->attrs().findValue("c"), nullptr) << "\"false\" is not set";
    EXPECT_EQ(r->getIntAttr("a"), 1);
}

TEST_F(CXMLLoaderTest, TemplateStaysUnbuiltUntilInstantiated) {
    // A template whose body is not even a valid element: the load does not parse it.
    CDescriptionBytes d;
    d.str("");
    d.element({}).childCount(1).child("template", "plugin").templ("core:object", {0xFF, 0xFF, 0xFF});
    ASSERT_EQ(load(d.bytes(), true), nullptr);
    ASSERT_EQ(root->childCount(), 1);
    CObject* placeholder = root->child(0);
    EXPECT_EQ(placeholder->lifeStage(), 4);
    EXPECT_TRUE(root->hasTemplate(CString("plugin")));
    auto* body = dynamic_cast<CXMLTemplateBody*>(placeholder->templateBody());
    ASSERT_NE(body, nullptr);
    EXPECT_TRUE(body->isBorrowed());
    EXPECT_EQ(body->bodyBytes(), image.data() + image.size() - 7) << "points into the image";
    EXPECT_EQ(str(body->bodyTag()), "core:object");

    CObject* instance = nullptr;
    const std::string err = firstLine(root->createChild(instance, CString("plugin"), CString("p"), true, nullptr, nullptr));
    EXPECT_THAT(err, HasSubstr("A template body does not start with an element"));
    ASSERT_NE(instance, nullptr) << "after a failing init the half-made child is handed out";
    EXPECT_LT(instance->lifeStage(), 3);
    EXPECT_EQ(instance->parent(), root);
}

// root { template "panel" = test:rec (a="t" b="t") { c1, c2 } }
std::vector<std::uint8_t> panelTemplate() {
    CDescriptionBytes d;
    d.str("");
    // The body shares the description's string table: write it with the same builder, then move
    // its bytes into the template node.
    d.element({{"a", "t"}, {"b", "t"}}).childCount(2).child("core:object", "c1").leaf({{"v", "1"}});
    d.child("core:object", "c2").leaf();
    const std::vector<std::uint8_t> bodyNodes = d.nodes();
    d.nodes().clear();
    d.element({}).childCount(1).child("template", "panel").templ("test:rec", bodyNodes);
    return d.bytes();
}

TEST_F(CXMLLoaderTest, InstancesGetBodyAttributesAndFreshChildrenWithTheCallersOrder) {
    for (bool borrowed : {true, false}) {
        SCOPED_TRACE(borrowed ? "embedded" : "copied");
        freshRoot();
        ASSERT_EQ(load(panelTemplate(), borrowed), nullptr);
        auto* body = dynamic_cast<CXMLTemplateBody*>(root->child(0)->templateBody());
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->isBorrowed(), borrowed);

        CAttrMap setAttrs, initAttrs;
        setAttrs.findOrAdd("a")->value.setText(CString("set"));
        setAttrs.findOrAdd("y")->value.setText(CString("set"));
        initAttrs.findOrAdd("b")->value.setText(CString("init"));
        CRecordingObject* first = nullptr;
        ASSERT_EQ(root->createChild(first, CString("panel"), CString("one"), true, &initAttrs, &setAttrs), nullptr);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(str(first->tag()), "test:rec");
        EXPECT_EQ(str(first->getTextAttr("a")), "t") << "the template overrides setAttrs";
        EXPECT_EQ(str(first->getTextAttr("b")), "init") << "initAttrs override the template";
        EXPECT_EQ(str(first->getTextAttr("y")), "set");
        ASSERT_EQ(first->childCount(), 2);
        EXPECT_EQ(str(first->child(0)->getFullName()), "one.c1");
        EXPECT_EQ(first->child(0)->getIntAttr("v"), 1);

        CObject* second = nullptr;
        ASSERT_EQ(root->createChild(second, CString("panel"), CString("two"), true, nullptr, nullptr), nullptr);
        ASSERT_EQ(second->childCount(), 2);
        EXPECT_NE(second->child(0), first->child(0));
        EXPECT_EQ(str(second->child(1)->getFullName()), "two.c2");
    }
}

TEST_F(CXMLLoaderTest, DecodesUtf8AndKeepsLatin1Narrow) {
    CDescriptionBytes d;
    d.str("");
    d.element({{"e", "\xC3\xA9"}, {"euro", "x\xE2\x82\xAC"}, {"nul", "a\xC0\x80" "b"}}).childCount(0);
    ASSERT_EQ(load(d.bytes()), nullptr);
    const CString& e = root->getTextAttr("e");
    EXPECT_FALSE(e.isWide());
    EXPECT_EQ(e.length(), 1);
    EXPECT_EQ(e.charAt(0), 0xE9u);
    const CString& euro = root->getTextAttr("euro");
    EXPECT_TRUE(euro.isWide());
    ASSERT_EQ(euro.length(), 2);
    EXPECT_EQ(euro.charAt(1), 0x20ACu);
    EXPECT_EQ(str(root->getTextAttr("nul")), "a") << "an overlong NUL ends the text";
}

TEST_F(CXMLLoaderTest, AFailingChildIsRemovedAndLaterSiblingsAreNotMade) {
    CDescriptionBytes d;
    d.str("");
    d.element({}).childCount(3);
    d.child("test:rec", "before").leaf();
    d.child("test:rec", "bad").leaf({{"fail", "1"}});
    d.child("test:rec", "after").leaf();
    const std::string err = firstLine(load(d.bytes()));
    EXPECT_EQ(err, "Handler failed.");
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(str(root->child(0)->getShortName()), "before");
}

TEST_F(CXMLLoaderTest, EveryTruncationIsAnErrorWithoutReadingPastTheEnd) {
    const std::vector<std::uint8_t> whole = panelTemplate();
    for (std::size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        freshRoot();
        CError* err = load(std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(n)), n % 2 == 0);
        EXPECT_NE(err, nullptr);
        delete err;
    }
}

TEST_F(CXMLLoaderTest, MalformedTablesAndNodesAreErrors) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        const char* message;
    };
    // recordingTree: strings "", "a", "1", "b", "c", "false", "x", "v", "test:rec", "r", "g" (N = 11).
    const Case cases[] = {
        {"count beyond the area", [](std::vector<std::uint8_t>& b) { b[3] = 0x40; }, "string offsets do not fit"},
        {"area beyond the data", [](std::vector<std::uint8_t>& b) { b[7] = 0x10; }, "runs past its end"},
        {"negative offset", [](std::vector<std::uint8_t>& b) { b[8 + 4 * 3 + 3] = 0x80; }, "lies outside"},
        {"offset into the offset table", [](std::vector<std::uint8_t>& b) { b[8 + 4 * 3] = 4; }, "lies outside"},
        {"offset at the area end",
         [](std::vector<std::uint8_t>& b) {
             const std::uint32_t area = std::uint32_t(b[4] | b[5] << 8);
             b[8 + 4 * 3] = std::uint8_t(area);
             b[8 + 4 * 3 + 1] = std::uint8_t(area >> 8);
         },
         "lies outside"},
        {"last string unterminated",
         [](std::vector<std::uint8_t>& b) {
             const std::uint32_t area = std::uint32_t(b[4] | b[5] << 8);
             b[8 + area - 1] = 'z';
         },
         "has no end"},
        {"attribute index beyond the table",
         [](std::vector<std::uint8_t>& b) {
             const std::uint32_t area = std::uint32_t(b[4] | b[5] << 8);
             // Root element: kind, attr count 0, child count 1, child tag index: make it 200.
             b[8 + area + 4 + 5] = 200;
         },
         "refers to string 200 of 11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        freshRoot();
        std::vector<std::uint8_t> bytes = recordingTree().bytes();
        c.damage(bytes);
        EXPECT_THAT(firstLine(load(bytes)), HasSubstr(c.message));
    }
}

TEST_F(CXMLLoaderTest, TemplateBodyLengthPastTheEndAndDeepNestingAreErrors) {
    CDescriptionBytes d;
    d.str("");
    d.element({}).childCount(1).child("template", "t").u8(1).u16(d.str("core:object")).u32(1000).u32(0);
    EXPECT_THAT(firstLine(load(d.bytes())), HasSubstr("runs past the end"));

    CDescriptionBytes deep;
    deep.str("");
    for (int i = 0; i < CXMLLoader::kMaxDepth + 10; ++i) deep.element({}).childCount(1).child("core:object", "n");
    deep.leaf();
    freshRoot();
    EXPECT_THAT(firstLine(load(deep.bytes())), HasSubstr("deeper than 256 levels"));
}

TEST_F(CXMLLoaderTest, DamagedDescriptionsLoadOrFailButStayInsideTheirBytes) {
    // Deterministic damage of a valid description: every result is a tree or an error; the exact
    // size of the buffer lets the address sanitizer catch any read past its end.
    const std::vector<std::uint8_t> whole = panelTemplate();
    std::uint32_t state = 12345;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    int failures = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes = whole;
        const int flips = 1 + int(next() % 4);
        for (int i = 0; i < flips; ++i) bytes[next() % bytes.size()] = std::uint8_t(next() >> 24);
        freshRoot();
        if (CError* err = load(bytes, round % 2 == 0)) {
            ++failures;
            EXPECT_GE(err->lineCount(), 2) << "a message and its trace";
            delete err;
        } else {
            EXPECT_EQ(root->lifeStage(), 4);
        }
        for (int i = 0; i < root->childCount(); ++i) {
            CObject* placeholder = root->child(i);
            if (placeholder->templateBody() == nullptr) continue;
            CObject* instance = nullptr;
            delete root->createChild(instance, placeholder->getShortName(), CString("i"), true, nullptr, nullptr);
        }
    }
    EXPECT_GT(failures, 500) << "damage is detected";
}

} // namespace
