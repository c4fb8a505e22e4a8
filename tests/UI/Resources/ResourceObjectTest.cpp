#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
#include "Other/CColor.h"
#include "Other/CImageDraw.h"
#include "Other/CLinearBitmap.h"
#include "UI/Resources/ResourceCreators.h"
#include "support/CObjectTreeTest.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tal {
namespace {

// A set whose image i carries tone i in its one pixel, at the given indices, with ranges.
void fillSet(CImageSet& set, std::initializer_list<int> indices) {
    for (int i : indices) {
        auto* layer = new CImageLayer;
        const std::uint8_t pixel[2] = {std::uint8_t(i), 255};
        layer->init(0, 1, 1, 0, 0, 2.0, 0.0, 0, 0, 0, 2, -1, pixel, 16);
        layer->assignBlock(pixel, 2, false);
        auto* image = new CImage;
        image->addLayer(layer);
        set.setImage(i, image);
    }
}

int toneOf(const CImage* image) { return image->layer(0)->block()[0]; }

class ResourceObjectTest : public CObjectTreeTest {
protected:
    void SetUp() override {
        CObjectTreeTest::SetUp();
        // Another suite of the program may have registered the tags already.
        if (CCreatorRegistry::instance().find(CString("font")) == nullptr) {
            ASSERT_EQ(CCreatorRegistry::instance().registerTable(kResourceCreatorTable), 0);
        }
        CImageSet set;
        fillSet(set, {1, 2, 33});
        set.setRange(CString(""), 1, 2);
        set.setRange(CString("ArrowSm"), 33, 33);
        ASSERT_EQ(set.save(CString(folder.file("button.is").c_str())), nullptr);
        CFont font;
        fillSet(font, {65, 164});
        font.setMetrics(14.5, 3.25, 3.0, 10.5);
        ASSERT_EQ(font.save(CString(folder.file("base.fnt").c_str())), nullptr);
    }

    CImageSetObject* addSet(CObject* parent, const char* name) {
        auto* object = dynamic_cast<CImageSetObject*>(add(parent, name, "imageset"));
        EXPECT_NE(object, nullptr);
        return object;
    }
    CError* setFile(CObject* object, const std::string& file) {
        return object->setAttr(CString("file"), CString(file.c_str()), true);
    }
    CObject* addStyle(CObject* family, const char* name, const std::string& file) {
        CObject* style = add(family, name);
        EXPECT_EQ(style->setAttr(CString("is-font-style"), CString("true"), true), nullptr);
        EXPECT_EQ(style->setAttr(CString("file"), CString(file.c_str()), true), nullptr);
        return style;
    }

    test::TempFolder folder;
};

TEST_F(ResourceObjectTest, FindImageResolvesRangesFromTheSharedObject) {
    CObject* is = add(shared, "is");
    CImageSetObject* button = addSet(is, "button");
    ASSERT_EQ(setFile(button, folder.file("button.is")), nullptr);
    ASSERT_NE(button->imageSet(), nullptr);

    EXPECT_EQ(toneOf(CImageSetObject::findImage(CString("is.button"), CString("ArrowSm"), false)), 33);
    EXPECT_EQ(toneOf(CImageSetObject::findImage(CString("is.button"), CString(""), false)), 1);
    // An unknown range gives index 0, which this set (starting at 1) does not hold, fall back or not.
    EXPECT_EQ(CImageSetObject::findImage(CString("is.button"), CString("Nope"), false), nullptr);
    EXPECT_EQ(CImageSetObject::findImage(CString("is.button"), CString("Nope"), true), nullptr);
    // Not an image-set object, or no such object.
    EXPECT_EQ(CImageSetObject::findImage(CString("is"), CString(""), true), nullptr);
    EXPECT_EQ(CImageSetObject::findImage(CString("is.knob"), CString(""), true), nullptr);
}

TEST_F(ResourceObjectTest, FallBackGivesImageZeroOfASetThatHoldsIt) {
    CImageSet set;
    fillSet(set, {0, 5});
    set.setRange(CString("far"), 40, 41);
    ASSERT_EQ(set.save(CString(folder.file("zero.is").c_str())), nullptr);
    CImageSetObject* object = addSet(shared, "zero");
    ASSERT_EQ(setFile(object, folder.file("zero.is")), nullptr);
    EXPECT_EQ(toneOf(CImageSetObject::findImage(CString("zero"), CString("far"), true)), 0);
    EXPECT_EQ(CImageSetObject::findImage(CString("zero"), CString("far"), false), nullptr);
}

TEST_F(ResourceObjectTest, AFailedLoadKeepsTheCurrentSetAndNamesTheObject) {
    CImageSetObject* object = addSet(shared, "button");
    ASSERT_EQ(setFile(object, folder.file("button.is")), nullptr);
    CImageSet* loaded = object->imageSet();
    ASSERT_NE(loaded, nullptr);
    CError* err = setFile(object, folder.file("missing.is"));
    ASSERT_NE(err, nullptr);
    EXPECT_NE(std::string(joinErrorLines(err).narrowed().chars8()).find("button"), std::string::npos);
    delete err;
    EXPECT_EQ(object->imageSet(), loaded);
}

TEST_F(ResourceObjectTest, ReadOnlyObjectIgnoresTheFile) {
    CObject::setSharedObject(nullptr);   // objects initialised without a shared object become read-only
    CObject* holder = add(root, "holder");
    CImageSetObject* object = addSet(holder, "button");
    ASSERT_EQ(object->initChilds(), nullptr);
    CObject::setSharedObject(shared);
    ASSERT_TRUE(object->isReadOnly());
    ASSERT_EQ(setFile(object, folder.file("button.is")), nullptr);
    EXPECT_EQ(object->imageSet(), nullptr);
}

TEST_F(ResourceObjectTest, FontFamilyLoadsItsStylesIntoTheirSlots) {
    CObject* family = add(shared, "base", "font");
    addStyle(family, "regular", folder.file("base.fnt"));
    addStyle(family, "superscript", folder.file("base.fnt"));
    add(family, "notes");   // not a style: skipped
    ASSERT_EQ(family->initChilds(), nullptr);
    auto* fonts = static_cast<CFontObject*>(family);
    EXPECT_EQ(fonts->font(CFontObject::kBold), nullptr);
    ASSERT_NE(fonts->font(CFontObject::kRegular), nullptr);
    EXPECT_NE(fonts->font(CFontObject::kSuperscript), nullptr);
    EXPECT_EQ(fonts->font(CFontObject::kRegular)->ascent(), 14.5);
    EXPECT_EQ(toneOf(fonts->font(CFontObject::kRegular)->image(CFont::kFallbackGlyph)), 164);
}

TEST_F(ResourceObjectTest, StyleNamesMatchExactly) {
    CObject* family = add(shared, "base", "font");
    addStyle(family, "regular", folder.file("base.fnt"));
    addStyle(family, "Bold", folder.file("base.fnt"));
    addStyle(family, "bold", folder.file("base.fnt"));
    CError* err = family->initChilds();
    ASSERT_NE(err, nullptr);
    const std::string text = joinErrorLines(err).narrowed().chars8();
    delete err;
    EXPECT_EQ(text.substr(0, text.find('\n')), "Unknown font style 'Bold'.");
    auto* fonts = static_cast<CFontObject*>(family);
    EXPECT_NE(fonts->font(CFontObject::kRegular), nullptr);
    EXPECT_EQ(fonts->font(CFontObject::kBold), nullptr);   // after the failing child: not looked at
}

TEST_F(ResourceObjectTest, AMissingStyleFileFails) {
    CObject* family = add(shared, "title", "font");
    addStyle(family, "regular", folder.file("none.fnt"));
    CError* err = family->initChilds();
    ASSERT_NE(err, nullptr);
    EXPECT_NE(std::string(joinErrorLines(err).narrowed().chars8()).find("title"), std::string::npos);
    delete err;
    EXPECT_NE(static_cast<CFontObject*>(family)->font(CFontObject::kRegular), nullptr);
}

// Editors of several instances look images up in the shared sets and draw them at their window
// scales at the same time: every thread finds the same images and draws the same pixels.
TEST_F(ResourceObjectTest, ConcurrentLookupsAndScaledDraws) {
    CObject* is = add(shared, "is");
    ASSERT_EQ(setFile(addSet(is, "button"), folder.file("button.is")), nullptr);
    CColor tint;
    tint.buildLinearRamp(200, 120, 40);
    constexpr int kThreads = 4;
    std::vector<std::vector<std::uint8_t>> pixels(kThreads);
    std::vector<int> found(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            CLinearBitmap bitmap;
            delete bitmap.setSize(16, 8, true);
            for (int round = 0; round < 50; ++round)
                for (const char* range : {"", "ArrowSm"}) {
                    CImage* image = CImageSetObject::findImage(CString("is.button"), CString(range), true);
                    if (image == nullptr)
                        continue;
                    ++found[std::size_t(t)];
                    CImageDraw record;
                    const double scale = (round + t) % 2 == 0 ? 1.0 : 1.5;
                    CImageDraw::init(record, image->layer(0)->getScaled(scale), &tint, false, 1.0);
                    bitmap.drawImage(record, round % 8, 2, CPixelRect{0, 0, 16, 8});
                }
            pixels[std::size_t(t)].assign(bitmap.pixels(), bitmap.pixels() + bitmap.stride() * bitmap.height());
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(found[std::size_t(t)], 100);
        if (t % 2 == 0)
            EXPECT_EQ(pixels[std::size_t(t)], pixels[0]) << t;
        else
            EXPECT_EQ(pixels[std::size_t(t)], pixels[1]) << t;
    }
}

} // namespace
} // namespace tal
