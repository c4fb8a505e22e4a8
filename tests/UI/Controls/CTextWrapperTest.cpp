#include "UI/Controls/CTextWrapper.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "UI/Controls/CTextWrapperHost.h"
#include "UI/Resources/CFontObject.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "support/StubTextFont.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

using namespace tal;

namespace {

std::string str(const CString& s) {
    std::string out;
    for (int i = 0; i < s.length(); ++i)
        out += char(s.charAt(i));
    return out;
}

// A view stand-in: a window scale, the repaint requests it received and a clipboard.
class RecordingHost : public CTextWrapperHost {
public:
    double textWindowScale() const override { return scale; }
    void textUpdateRect(const CAreaRect& rect) override { rects.push_back(rect); }
    void textRedraw() override { ++redraws; }
    void textLayoutChanged() override { ++layoutRequests; }
    CString getClipboardText() override { return clipboard; }
    void setClipboardText(const CString& text) override { clipboard = text; }

    double scale = 1.0;
    std::vector<CAreaRect> rects;
    int redraws = 0;
    int layoutRequests = 0;
    CString clipboard;
};

// Inline images: "is.button#HR" (the rule, 5 high) and "set#tall" (12 x 20); nothing else.
CImage* findTestImage(const CString& setPath, const CString& name) {
    static CImage* rule = nullptr;
    static CImage* tall = nullptr;
    auto make = [](int width, int height) {
        auto* layer = new CImageLayer;
        layer->init(0, width, height, 0, 0, 1.0, 0.0, 0, 0, 0, 1, 128, nullptr, 8);
        auto* image = new CImage;
        image->addLayer(layer);
        return image;
    };
    if (setPath.equals("is.button") && name.equals("HR"))
        return rule ? rule : (rule = make(100, 5));
    if (setPath.equals("set") && name.equals("tall"))
        return tall ? tall : (tall = make(12, 20));
    return nullptr;
}

class TextWrapperTest : public ::testing::Test {
protected:
    void SetUp() override {
        fillStubFont(regular, 7.5, 9.0, {'~'});
        fillStubFont(bold, 8.5, 9.0);
        for (int style = 0; style < CFontObject::kStyleCount; ++style)
            wrapper.setFont(style, &regular);
        wrapper.setFont(CFontObject::kBold, &bold);
        wrapper.setTextAlignment(1);
        wrapper.setAvailableWidth(200.0);
    }

    void setTexts(std::initializer_list<const char*> texts) {
        wrapper.clearParagraphs();
        for (const char* t : texts)
            wrapper.addParagraph(CString(t));
        wrapper.updateLayout();
    }
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (int i = 0; i < wrapper.paragraphCount(); ++i)
            out.push_back(str(wrapper.paragraph(i).text));
        return out;
    }
    void placeCursor(int p, int i) {
        wrapper.setPositionFromIndex(p, i, wrapper.cursor, false, true, false);
        wrapper.collapseSelection(false);
    }
    void press(std::int32_t key, bool ctrl = false, bool shift = false) {
        bool endEdit = false;
        wrapper.keyPress(key, ctrl, shift, endEdit);
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c)
            press(std::int32_t(static_cast<unsigned char>(*c)));
    }
    std::vector<int> charIndices(const CTextLine& line) {
        std::vector<int> out;
        for (const CTextItem& item : line.items)
            out.push_back(item.charIndex);
        return out;
    }

    CFont regular, bold;
    RecordingHost host;
    CTextWrapper wrapper{&host};
};

TEST_F(TextWrapperTest, DumpsTheLayoutOfTwoParagraphsExactly) {
    setTexts({"ab cd", "x[BR]y"});
    CStringList out;
    wrapper.dumpLayout(out);
    const std::vector<std::string> expected = {
        "FontAscent 10.00",
        "FontDescent 3.00",
        "FontHeight 14.00",
        "LineHeightModifier 0.00 (original 0.00, winscale 1.00)",
        "TextSize 36.00 x 39.00",
        "AvailableHeight 0.00",
        "AlignOffsetY -19.50",
        "Paragraph[0].StartY 0.00",
        "Paragraph[0].Line[0].StartY 0.00",
        "Paragraph[0].Line[0].Height 13.00",
        "Paragraph[0].Line[0].Char[0].ShiftY 10.00",
        "Paragraph[0].Line[0].Char[1].ShiftY 10.00",
        "Paragraph[0].Line[0].Char[2].ShiftY 10.00",
        "Paragraph[0].Line[0].Char[3].ShiftY 10.00",
        "Paragraph[0].Line[0].Char[4].ShiftY 10.00",
        "Paragraph[1].StartY 13.00",
        "Paragraph[1].Line[0].StartY 13.00",
        "Paragraph[1].Line[0].Height 13.00",
        "Paragraph[1].Line[0].Char[0].ShiftY 10.00",
        "Paragraph[1].Line[1].StartY 26.00",
        "Paragraph[1].Line[1].Height 13.00",
        "Paragraph[1].Line[1].Char[0].ShiftY 10.00",
    };
    ASSERT_EQ(out.count(), int(expected.size()));
    for (int i = 0; i < out.count(); ++i)
        EXPECT_EQ(str(out[i]), expected[size_t(i)]) << "line " << i;
}

TEST_F(TextWrapperTest, DumpsNothingWithoutARegularFont) {
    CTextWrapper bare;
    bare.addParagraph(CString("ab"));
    CStringList out;
    bare.dumpLayout(out);
    EXPECT_EQ(out.count(), 0);
}

TEST_F(TextWrapperTest, WrapsAfterTheLastSpaceAndKeepsOverlongWordsWhole) {
    wrapper.setTextWrapped(true);
    wrapper.setAvailableWidth(30.0);
    setTexts({"ab cd", "abcdefgh", "ab abcdefgh"});
    const CTextParagraph& first = wrapper.paragraph(0);
    ASSERT_EQ(first.lines.count(), 2);
    EXPECT_EQ(charIndices(*first.lines[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(first.lines[1]->firstChar, 3);
    EXPECT_EQ(charIndices(*first.lines[1]), (std::vector<int>{3, 4}));
    // The wrapped line ends one pixel after its last word; the last glyph's advance is rounded.
    EXPECT_DOUBLE_EQ(first.lines[0]->width, 15.0);
    EXPECT_DOUBLE_EQ(first.lines[1]->width, 15.0);

    const CTextParagraph& longWord = wrapper.paragraph(1);
    ASSERT_EQ(longWord.lines.count(), 1);
    EXPECT_EQ(longWord.lines[0]->items.count(), 8);
    EXPECT_GT(longWord.lines[0]->width, 30.0);

    const CTextParagraph& mixed = wrapper.paragraph(2);
    ASSERT_EQ(mixed.lines.count(), 2);
    EXPECT_EQ(mixed.lines[1]->firstChar, 3);
    EXPECT_EQ(mixed.lines[1]->items.count(), 8);
}

TEST_F(TextWrapperTest, WrapsNothingBelowOnePixelOfWidth) {
    wrapper.setTextWrapped(true);
    wrapper.marginLeft = 2.0;
    wrapper.marginRight = 2.0;
    wrapper.setAvailableWidth(4.5);
    setTexts({"ab"});
    EXPECT_EQ(wrapper.paragraph(0).lines.count(), 0);
    EXPECT_EQ(wrapper.findLineAtY(false, 1.0), nullptr);
}

TEST_F(TextWrapperTest, ReadsMarkupAndListPrefixes) {
    setTexts({"[N/A]word", "[n/a]word", "x", "[X] [ a[B]", "[B]ab[/B] [C2]cd", "a\nb", "a[BR]"});
    wrapper.maxParagraphLength = 7;
    wrapper.setParagraphText(2, CString("1234567890"));
    EXPECT_TRUE(wrapper.paragraph(0).disabled);
    EXPECT_EQ(str(wrapper.paragraph(0).text), "word");
    EXPECT_EQ(str(wrapper.paragraph(0).sourceText), "[N/A]word");
    EXPECT_FALSE(wrapper.paragraph(1).disabled);
    EXPECT_EQ(str(wrapper.paragraph(2).text), "1234567");
    EXPECT_EQ(str(wrapper.paragraph(2).sourceText), "1234567890");

    // An unknown tag and a lone "[" show as text; the last "[B]" is a tag.
    wrapper.maxParagraphLength = 0;
    wrapper.setParagraphText(3, CString("[X] [ a[B]"));
    wrapper.updateLayout();
    EXPECT_EQ(charIndices(*wrapper.paragraph(3).lines[0]), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

    const CTextLine& styled = *wrapper.paragraph(4).lines[0];
    ASSERT_EQ(styled.items.count(), 5);
    EXPECT_EQ(styled.items[0].image, bold.image('a'));
    EXPECT_EQ(styled.items[1].image, bold.image('b'));
    EXPECT_EQ(styled.items[2].image, regular.image(' '));
    EXPECT_EQ(styled.items[3].image, regular.image('c'));
    EXPECT_EQ(styled.items[3].colorIndex, 2);
    EXPECT_EQ(styled.items[0].colorIndex, 0);
    EXPECT_TRUE(styled.items[2].isSpace);

    EXPECT_EQ(wrapper.paragraph(5).lines.count(), 2);
    const CTextParagraph& trailingBreak = wrapper.paragraph(6);
    ASSERT_EQ(trailingBreak.lines.count(), 2);
    EXPECT_EQ(trailingBreak.lines[1]->items.count(), 0);
    EXPECT_DOUBLE_EQ(trailingBreak.lines[1]->naturalHeight, 10.0 * 0.9998 + 3.0);
}

TEST_F(TextWrapperTest, PlacesInlineImagesAndShowsMissingOnesAsText) {
    wrapper.setImageFinder(&findTestImage);
    setTexts({"a[IMG=set#tall:Red]b", "[IMG=nothing#here]"});
    const CTextLine& line = *wrapper.paragraph(0).lines[0];
    ASSERT_EQ(line.items.count(), 3);
    const CTextItem& image = line.items[1];
    EXPECT_FALSE(image.isGlyph);
    EXPECT_EQ(image.charIndex, 1);
    EXPECT_DOUBLE_EQ(image.width, 12.0);
    EXPECT_EQ(image.caption, 0);
    EXPECT_DOUBLE_EQ(image.offsetY, (10.0 * 0.9998 + 3.0) * 0.5 - 10.0);
    EXPECT_DOUBLE_EQ(line.naturalHeight, 20.0);
    EXPECT_DOUBLE_EQ(line.imageRaise, 14.0 * 0.5 + 10.0 - 10.0 * 0.9998);
    EXPECT_EQ(line.items[2].charIndex, 19);
    EXPECT_EQ(wrapper.paragraph(1).lines[0]->items.count(), 18);
}

TEST_F(TextWrapperTest, FallsBackToGlyph164AndRoundsOnlyTheLastAdvance) {
    setTexts({"a~b", std::string("a\xC8").c_str()});
    const CTextLine& line = *wrapper.paragraph(0).lines[0];
    ASSERT_EQ(line.items.count(), 3);
    EXPECT_EQ(line.items[1].image, regular.image(CFont::kFallbackGlyph));
    EXPECT_DOUBLE_EQ(line.items[0].width, 7.0);
    EXPECT_DOUBLE_EQ(line.items[1].width, 9.0);
    EXPECT_DOUBLE_EQ(line.items[2].width, 8.0);
    // Code 200 lies beyond the font's images.
    const CTextLine& beyond = *wrapper.paragraph(1).lines[0];
    ASSERT_EQ(beyond.items.count(), 2);
    EXPECT_EQ(beyond.items[1].image, regular.image(CFont::kFallbackGlyph));
}

TEST_F(TextWrapperTest, ClearingTheListPrefixReenablesTheParagraph) {
    setTexts({"[N/A]Foo"});
    ASSERT_TRUE(wrapper.paragraph(0).disabled);
    EXPECT_TRUE(wrapper.setParagraphText(0, CString("Foo")));
    EXPECT_FALSE(wrapper.paragraph(0).disabled);
    EXPECT_FALSE(wrapper.setParagraphText(0, CString("Foo")));
    EXPECT_FALSE(wrapper.setParagraphText(5, CString("x")));
}

TEST_F(TextWrapperTest, AlignsLinesFourWays) {
    wrapper.setTextWrapped(true);
    wrapper.marginLeft = 3.0;
    wrapper.marginRight = 5.0;
    struct Row {
        int alignment;
        double firstX;
        double firstJustify;
    };
    // "ab cd ef" at width 40 (wrapping width 32): "ab cd" wraps before "ef"; first line width 36?
    // No: "ab cd" is 7+7+7+7+7 = 35 > 32, so the first line is "ab" (width 15), then "cd ef".
    const Row rows[] = {
        {0, (40.0 - 15.0) * 0.5, 0.0},
        {1, 3.0, 0.0},
        {2, 40.0 - 15.0 - 2.0 - 5.0, 0.0},
        {3, 3.0, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.alignment);
        wrapper.setTextAlignment(row.alignment);
        wrapper.setAvailableWidth(40.0);
        setTexts({"ab cd ef"});
        const CTextParagraph& p = wrapper.paragraph(0);
        ASSERT_EQ(p.lines.count(), 3);
        EXPECT_DOUBLE_EQ(p.lines[0]->x, row.firstX);
        EXPECT_DOUBLE_EQ(p.lines[0]->justifyExtra, row.firstJustify);
    }
    // Justified: a wrapped line with spaces spreads the rest of the width over them; the last line
    // of the paragraph is not spread.
    wrapper.setTextAlignment(3);
    wrapper.setAvailableWidth(60.0);
    setTexts({"a b c d e f g"});
    const CTextParagraph& p = wrapper.paragraph(0);
    ASSERT_GE(p.lines.count(), 2);
    const CTextLine& first = *p.lines[0];
    int spaces = 0;
    for (const CTextItem& item : first.items)
        spaces += item.isSpace ? 1 : 0;
    ASSERT_GT(spaces, 0);
    EXPECT_DOUBLE_EQ(first.justifyExtra, (60.0 - 8.0 - first.width) / spaces);
    EXPECT_DOUBLE_EQ(p.lines[p.lines.count() - 1]->justifyExtra, 0.0);
}

TEST_F(TextWrapperTest, RewrapsOnlyChangedParagraphsAndFollowsRemovals) {
    setTexts({"one", "two", "three"});
    const CTextLine* firstLine = wrapper.paragraph(0).lines[0];
    wrapper.setParagraphText(2, CString("three changed"));
    wrapper.updateLayout();
    EXPECT_EQ(wrapper.paragraph(0).lines[0], firstLine);
    EXPECT_EQ(wrapper.paragraph(2).lines[0]->items.count(), 13);

    // A pending rewrap follows its paragraph when one before it goes.
    wrapper.setParagraphText(2, CString("3"));
    wrapper.removeParagraph(0);
    wrapper.updateLayout();
    ASSERT_EQ(wrapper.paragraphCount(), 2);
    EXPECT_EQ(wrapper.paragraph(1).lines[0]->items.count(), 1);
    EXPECT_EQ(wrapper.paragraph(1).lines[0]->paragraph, 1);
    // And when one is inserted before it.
    wrapper.setParagraphText(1, CString("33"));
    wrapper.insertParagraph(0, CString("new"));
    wrapper.updateLayout();
    EXPECT_EQ(wrapper.paragraph(2).lines[0]->items.count(), 2);
    EXPECT_EQ(wrapper.paragraph(0).lines[0]->items.count(), 3);

    // A scale change lays everything out again.
    host.scale = 2.0;
    wrapper.updateLayout();
    EXPECT_DOUBLE_EQ(wrapper.paragraph(0).lines[0]->items[0].width, 15.0);
}

TEST_F(TextWrapperTest, MapsYToLines) {
    setTexts({"single"});
    ASSERT_NE(wrapper.findLineAtY(false, -50.0), nullptr);
    EXPECT_EQ(wrapper.findLineAtY(false, 13.5), nullptr);

    wrapper.setImageFinder(&findTestImage);
    setTexts({"a", "[IMG=is.button#HR:Action]", "c"});
    EXPECT_EQ(wrapper.findLineAtY(false, -1.0), nullptr);
    ASSERT_NE(wrapper.findLineAtY(false, 5.0), nullptr);
    EXPECT_EQ(wrapper.findLineAtY(false, 5.0)->paragraph, 0);
    // The separator line is as tall as its rule image and never hit without includeSeparator.
    const CTextLine& rule = *wrapper.paragraph(1).lines[0];
    EXPECT_DOUBLE_EQ(rule.height, 5.0);
    EXPECT_DOUBLE_EQ(rule.x, 0.0);
    ASSERT_EQ(rule.items.count(), 1);
    EXPECT_TRUE(rule.items[0].isRule);
    EXPECT_FALSE(rule.items[0].plain);
    EXPECT_EQ(str(wrapper.paragraph(1).captions[0]), "Action");
    const double sepY = rule.y + 1.0;
    EXPECT_EQ(wrapper.findLineAtY(false, sepY), nullptr);
    ASSERT_NE(wrapper.findLineAtY(true, sepY), nullptr);
    ASSERT_NE(wrapper.findLineAtY(false, 20.0), nullptr);
    EXPECT_EQ(wrapper.findLineAtY(false, 20.0)->paragraph, 2);
    EXPECT_EQ(wrapper.findLineAtY(false, 40.0), nullptr);
}

TEST_F(TextWrapperTest, CentresVerticallyEvenWhenTheTextIsTaller) {
    wrapper.setVerticalAlignment(0);
    wrapper.setAvailableHeight(13.0);
    setTexts({"a", "b", "c"});
    const double d = (13.0 - 39.0) * 0.5;
    EXPECT_DOUBLE_EQ(wrapper.paragraph(0).top, d);
    EXPECT_NEAR(wrapper.paragraph(1).lines[0]->y, 13.0 + d, 0.001);
    EXPECT_NEAR(wrapper.lines()[2].y, 26.0 + d, 1e-9);
    // Top alignment stores a new height without relayout.
    wrapper.setVerticalAlignment(1);
    wrapper.updateLayout();
    wrapper.setAvailableHeight(100.0);
    EXPECT_FALSE(wrapper.rewrapAll);
}

TEST_F(TextWrapperTest, LineHeightModifierGrowsLinesAndShiftsItems) {
    host.scale = 2.0;
    wrapper.setLineHeightModifier(1.0);
    setTexts({"a"});
    const CTextLine& line = *wrapper.paragraph(0).lines[0];
    EXPECT_DOUBLE_EQ(line.height, std::ceil(20.0 * 0.9998 + 6.0 + 2.0));
    EXPECT_DOUBLE_EQ(line.items[0].offsetY, 1.0 + std::ceil(20.0 * 0.9998 + 6.0) - 6.0);
}

TEST_F(TextWrapperTest, PlacesTheCursorByClickAndIndex) {
    setTexts({"abc", ""});
    wrapper.mouseDown(false, 10.0, 5.0);   // right half of "b" (7 .. 14)? 10 < 7 + 3.5: before "b"
    EXPECT_EQ(wrapper.cursor.charIndex, 1);
    wrapper.mouseDown(false, 11.0, 5.0);   // right half of "b": after it
    EXPECT_EQ(wrapper.cursor.charIndex, 2);
    EXPECT_DOUBLE_EQ(wrapper.cursor.x, 14.0);
    wrapper.mouseDown(false, 150.0, 5.0);
    EXPECT_EQ(wrapper.cursor.charIndex, 3);
    wrapper.mouseDown(false, 150.0, 20.0);   // the empty paragraph
    EXPECT_EQ(wrapper.cursor.charIndex, 0);
    EXPECT_DOUBLE_EQ(wrapper.cursor.lineY, wrapper.paragraph(1).lines[0]->y);

    // Normalising crosses paragraph breaks.
    int p = 0, i = 5;
    wrapper.normalizePosition(p, i);
    EXPECT_EQ(p, 1);
    EXPECT_EQ(i, 0);
    p = 1, i = -2;
    wrapper.normalizePosition(p, i);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(i, 2);

    // An index inside a tag snaps to the next item, or back with preferBefore.
    setTexts({"a[B]b"});
    CTextPosition at;
    wrapper.setPositionFromIndex(0, 2, at, false, false, false);
    EXPECT_EQ(at.charIndex, 4);
    wrapper.setPositionFromIndex(0, 2, at, false, false, true);
    EXPECT_EQ(at.charIndex, 0);

    wrapper.isReadOnly = true;
    placeCursor(0, 0);
    wrapper.mouseDown(false, 150.0, 5.0);
    EXPECT_EQ(wrapper.cursor.charIndex, 0);
}

TEST_F(TextWrapperTest, SelectionRectanglesCoverOneOrThreeLines) {
    setTexts({"abcd", "efgh", "ijkl"});
    placeCursor(0, 1);
    CTextPosition end;
    wrapper.setPositionFromIndex(0, 3, end, false, false, false);
    wrapper.extendSelection(end);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[0].x, 7.0);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[0].width, 21.0 - 7.0 + 1.0);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[1].width, 0.0);

    wrapper.setPositionFromIndex(2, 2, end, false, false, false);
    wrapper.extendSelection(end);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[0].width, 200.0 - 7.0);
    EXPECT_NEAR(wrapper.selectionRects[1].y, 13.0, 0.01);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[1].width, 200.0);
    EXPECT_NEAR(wrapper.selectionRects[1].height, 13.0, 0.01);
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[2].width, 14.0 + 1.0);
    EXPECT_EQ(str(wrapper.selectionClipboardText()), "bcd\r\nefgh\r\nij");

    wrapper.isReadOnly = true;
    wrapper.updateSelectionRects();
    EXPECT_DOUBLE_EQ(wrapper.selectionRects[0].width, 0.0);
}

TEST_F(TextWrapperTest, HoversAndSelectsOnlyEnabledParagraphs) {
    wrapper.isParagraphHoverable = true;
    wrapper.isParagraphSelectable = true;
    setTexts({"a", "[N/A]b", "c"});
    wrapper.mouseMove(false, 5.0, 5.0);
    EXPECT_EQ(wrapper.hoverParagraph, 0);
    wrapper.mouseMove(false, 5.0, 18.0);
    EXPECT_EQ(wrapper.hoverParagraph, -1);
    wrapper.mouseMove(false, 5.0, 30.0);
    EXPECT_EQ(wrapper.hoverParagraph, 2);
    wrapper.mouseMove(false, 201.0, 30.0);
    EXPECT_EQ(wrapper.hoverParagraph, -1);

    wrapper.selectParagraphAtY(0.0, 30.0);
    EXPECT_EQ(wrapper.selectedParagraph, 2);
    EXPECT_FALSE(wrapper.setSelectedParagraph(1));
    EXPECT_EQ(wrapper.selectedParagraph, 2);
    EXPECT_TRUE(wrapper.setSelectedParagraph(-1));
    EXPECT_EQ(wrapper.selectedParagraph, -1);
    EXPECT_TRUE(wrapper.isParagraphDisabledAtY(0.0, 18.0));
}

TEST_F(TextWrapperTest, MovesTheCursorWithKeys) {
    setTexts({"ab cde fg", "hi jk"});
    struct Row {
        int startP, startI;
        std::int32_t key;
        bool ctrl;
        int wantP, wantI;
    };
    const Row rows[] = {
        {0, 5, CTextWrapper::kKeyLeft, true, 0, 3},    // from a word's middle to after the space
        {0, 5, CTextWrapper::kKeyRight, true, 0, 6},   // before the next space
        {1, 0, CTextWrapper::kKeyLeft, true, 0, 7},    // into the previous paragraph
        {0, 5, CTextWrapper::kKeyLeft, false, 0, 4},
        {0, 9, CTextWrapper::kKeyRight, false, 1, 0},
        {0, 5, CTextWrapper::kKeyHome, false, 0, 0},
        {0, 5, CTextWrapper::kKeyEnd, false, 0, 9},
        {0, 2, CTextWrapper::kKeyEnd, true, 1, 5},
        {0, 2, CTextWrapper::kKeyDown, false, 1, 2},
        {0, 2, CTextWrapper::kKeyUp, false, 0, 0},    // first line: to its start
        {1, 2, CTextWrapper::kKeyDown, false, 1, 5},  // last line: to its end
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.key << " from " << row.startP << ":" << row.startI);
        placeCursor(row.startP, row.startI);
        press(row.key, row.ctrl);
        const CTextLine* line = wrapper.lineAtPosition(wrapper.cursor);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->paragraph, row.wantP);
        EXPECT_EQ(wrapper.cursor.charIndex, row.wantI);
        EXPECT_TRUE(wrapper.isSelectionEmpty());
    }
    // Shift extends the selection from the anchor; Down keeps the wanted x.
    placeCursor(0, 8);
    press(CTextWrapper::kKeyLeft, false, true);
    press(CTextWrapper::kKeyLeft, false, true);
    EXPECT_EQ(str(wrapper.selectionClipboardText()), " f");
    placeCursor(0, 8);
    press(CTextWrapper::kKeyDown);
    EXPECT_EQ(wrapper.cursor.charIndex, 5);
    press(CTextWrapper::kKeyUp);
    EXPECT_EQ(wrapper.cursor.charIndex, 8);
}

TEST_F(TextWrapperTest, EditsWithKeys) {
    setTexts({""});
    placeCursor(0, 0);
    type("ab cd");
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd"}));
    press(CTextWrapper::kKeyBackspace);
    press(CTextWrapper::kKeyLeft);
    press(CTextWrapper::kKeyReturn);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab ", "c"}));
    EXPECT_EQ(wrapper.cursor.charIndex, 0);
    press(CTextWrapper::kKeyBackspace);   // joins the paragraphs again
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab c"}));
    EXPECT_EQ(wrapper.cursor.charIndex, 3);
    press(CTextWrapper::kKeyReturn, true);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab \nc"}));
    EXPECT_EQ(wrapper.paragraph(0).lines.count(), 2);
    press(CTextWrapper::kKeyTab);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab \n    c"}));
    EXPECT_EQ(wrapper.cursor.charIndex, 8);
    press(CTextWrapper::kKeyHome, true);
    press(CTextWrapper::kKeyDelete, true);
    EXPECT_EQ(texts(), (std::vector<std::string>{" \n    c"}));
    press(CTextWrapper::kKeySelectAll);
    type("z");
    EXPECT_EQ(texts(), (std::vector<std::string>{"z"}));
    bool endEdit = false;
    wrapper.keyPress(CTextWrapper::kKeyEscape, false, false, endEdit);
    EXPECT_TRUE(endEdit);
    EXPECT_TRUE(wrapper.escapePressed);

    wrapper.allowNewParagraphs = false;
    wrapper.keyPress(CTextWrapper::kKeyReturn, false, false, endEdit);
    EXPECT_TRUE(endEdit);
    EXPECT_EQ(wrapper.paragraphCount(), 1);
}

TEST_F(TextWrapperTest, LimitsAndFiltersTypedAndPastedText) {
    wrapper.maxParagraphLength = 5;
    setTexts({"abcd"});
    placeCursor(0, 4);
    wrapper.pasteClipboardText(CString("xyz"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"abcdx"}));
    type("q");
    EXPECT_EQ(texts(), (std::vector<std::string>{"abcdx"}));

    wrapper.maxParagraphLength = 0;
    wrapper.setAcceptChars(CString("0123456789."));
    setTexts({""});
    placeCursor(0, 0);
    type("1a.5");
    wrapper.pasteClipboardText(CString("2\n3x"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"1.523"}));
}

TEST_F(TextWrapperTest, ReadOnlyIgnoresKeysAndUnplacedCursorsEditNothing) {
    setTexts({"1.00 kHz"});
    // The cursor was never placed: typing must not land in front of the single line.
    type("2");
    EXPECT_EQ(texts(), (std::vector<std::string>{"1.00 kHz"}));
    wrapper.isReadOnly = true;
    placeCursor(0, 0);
    type("2");
    press(CTextWrapper::kKeyBackspace);
    EXPECT_EQ(texts(), (std::vector<std::string>{"1.00 kHz"}));
    // A paste into a read-only text replaces it whole.
    wrapper.replaceWithClipboardText(CString("2.5 kHz"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"2.5 kHz"}));
    EXPECT_EQ(wrapper.cursor.charIndex, 7);
}

TEST_F(TextWrapperTest, UndoAndRedoWalkTheSnapshots) {
    setTexts({""});
    placeCursor(0, 0);
    type("ab cd ef");   // snapshots before each space: "ab", "ab cd"
    press(CTextWrapper::kKeyUndo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd"}));
    press(CTextWrapper::kKeyUndo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab"}));
    press(CTextWrapper::kKeyUndo);   // nothing older
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab"}));
    press(CTextWrapper::kKeyRedo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd"}));
    press(CTextWrapper::kKeyRedo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd ef"}));
    press(CTextWrapper::kKeyRedo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd ef"}));
    EXPECT_EQ(wrapper.cursor.charIndex, 8);
    press(CTextWrapper::kKeyUndo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd"}));
    // A new edit drops the redo entries.
    type("!");
    press(CTextWrapper::kKeyBackspace);
    press(CTextWrapper::kKeyRedo);
    EXPECT_EQ(texts(), (std::vector<std::string>{"ab cd"}));
}

TEST_F(TextWrapperTest, UndoRestoresListPrefixesAndKeepsAtMostAHundredSnapshots) {
    setTexts({"[N/A]off", "on"});
    placeCursor(1, 2);
    press(CTextWrapper::kKeyBackspace);
    EXPECT_EQ(texts(), (std::vector<std::string>{"off", "o"}));
    press(CTextWrapper::kKeyUndo);
    EXPECT_TRUE(wrapper.paragraph(0).disabled);
    EXPECT_EQ(texts(), (std::vector<std::string>{"off", "on"}));

    setTexts({""});
    placeCursor(0, 0);
    for (int i = 0; i < 150; ++i)
        type(" ");
    EXPECT_LE(wrapper.undoStack.count(), CTextWrapper::kMaxUndoStates);
    int undone = 0;
    for (int i = 0; i < 200; ++i) {
        const int before = wrapper.undoPosition;
        press(CTextWrapper::kKeyUndo);
        undone += wrapper.undoPosition != before ? 1 : 0;
    }
    EXPECT_EQ(undone, CTextWrapper::kMaxUndoStates - 1);
    EXPECT_EQ(wrapper.paragraph(0).text.length(), 150 - (CTextWrapper::kMaxUndoStates - 1));
}

// Clipboard texts both ways: a selection copied from paragraphs, and the same clipboard text
// pasted into an empty text.
TEST_F(TextWrapperTest, ConvertsClipboardTextsBothWays) {
    struct Row {
        std::vector<const char*> paragraphs;
        int p1, i1, p2, i2;
        const char* clipboard;
        bool pastesBack;   // pasting the clipboard text gives the copied range again
    };
    const Row rows[] = {
        {{"hello world"}, 0, 6, 0, 11, "world", true},
        {{"a\nb"}, 0, 0, 0, 3, "a\nb", false},   // one paragraph: the raw line feed
        {{"ab", "c\nd", "ef"}, 0, 1, 2, 1, "b\r\nc[BR]d\r\ne", true},
        {{"x", "y"}, 0, 0, 1, 1, "x\r\ny", true},
        {{"x[B]y", "z"}, 0, 0, 1, 1, "x[B]y\r\nz", true},
        {{"same"}, 0, 2, 0, 2, "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.clipboard);
        wrapper.clearParagraphs();
        for (const char* t : row.paragraphs)
            wrapper.addParagraph(CString(t));
        wrapper.setPositionFromIndex(row.p1, row.i1, wrapper.selectionAnchor, false, false, false);
        wrapper.setPositionFromIndex(row.p2, row.i2, wrapper.selectionEnd, false, false, false);
        wrapper.setPositionFromIndex(row.p2, row.i2, wrapper.cursor, false, false, false);
        host.clipboard = CString("untouched");
        wrapper.copyText();
        EXPECT_EQ(str(host.clipboard), *row.clipboard ? row.clipboard : "untouched");

        setTexts({""});
        placeCursor(0, 0);
        host.clipboard = CString(row.clipboard);
        wrapper.pasteText();
        if (row.pastesBack) {
            std::vector<std::string> expected;
            std::string piece;
            const std::string raw(row.clipboard);
            for (size_t k = 0; k <= raw.size(); ++k) {
                if (k == raw.size() || raw.compare(k, 2, "\r\n") == 0) {
                    size_t at;
                    while ((at = piece.find("[BR]")) != std::string::npos)
                        piece.replace(at, 4, "\n");
                    expected.push_back(piece);
                    piece.clear();
                    ++k;
                } else {
                    piece += raw[k];
                }
            }
            EXPECT_EQ(texts(), expected);
        }
    }
    // CR LF and LF line ends alike; empty lines are skipped.
    setTexts({""});
    placeCursor(0, 0);
    wrapper.pasteClipboardText(CString("x\r\n\r\ny\n\nz"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"x", "y", "z"}));
}

TEST_F(TextWrapperTest, ReportsRepaintsToItsView) {
    setTexts({"ab", "cd"});
    wrapper.isParagraphSelectable = true;
    host.rects.clear();
    ASSERT_TRUE(wrapper.setSelectedParagraph(1));
    ASSERT_EQ(host.rects.size(), 2u);
    EXPECT_DOUBLE_EQ(host.rects[1].x, -4.0);
    EXPECT_DOUBLE_EQ(host.rects[1].y, 13.0);
    EXPECT_DOUBLE_EQ(host.rects[1].width, 208.0);
    EXPECT_DOUBLE_EQ(host.rects[1].height, 14.0);

    wrapper.setActiveParagraph(1);
    EXPECT_EQ(host.layoutRequests, 1);
    wrapper.setActiveParagraph(1);
    EXPECT_EQ(host.layoutRequests, 1);

    wrapper.showCursor(false, false);
    placeCursor(0, 1);
    host.rects.clear();
    wrapper.blinkCursor();   // the first tick after showing only clears the skip
    EXPECT_TRUE(wrapper.cursorVisible);
    wrapper.blinkCursor();
    EXPECT_FALSE(wrapper.cursorVisible);
    ASSERT_EQ(host.rects.size(), 1u);
    EXPECT_DOUBLE_EQ(host.rects[0].x, 7.0);
    EXPECT_DOUBLE_EQ(host.rects[0].width, 2.0);
}

TEST_F(TextWrapperTest, ShowsPasswordsMaskedAndTheActivePrefix) {
    wrapper.isPassword = true;
    wrapper.activeParagraphPrefix = CString("[B]>");
    setTexts({"a[B]"});
    EXPECT_EQ(wrapper.paragraph(0).lines[0]->items.count(), 4);
    EXPECT_EQ(wrapper.paragraph(0).lines[0]->items[1].image, regular.image('*'));
    wrapper.isPassword = false;
    wrapper.setActiveParagraph(0);
    wrapper.updateLayout();
    const CTextLine& line = *wrapper.paragraph(0).lines[0];
    ASSERT_EQ(line.items.count(), 2);
    EXPECT_EQ(line.items[0].image, bold.image('>'));
}

TEST_F(TextWrapperTest, FollowsFontChangesAfterALayout) {
    setTexts({"ab"});
    wrapper.setFont(CFontObject::kRegular, &bold);
    wrapper.updateLayout();
    EXPECT_EQ(wrapper.paragraph(0).lines[0]->items[0].image, bold.image('a'));
    wrapper.setFont(CFontObject::kRegular, nullptr);
    wrapper.setParagraphText(0, CString("cd"));
    wrapper.updateLayout();
    EXPECT_EQ(wrapper.paragraph(0).lines[0]->items.count(), 0);
}

TEST_F(TextWrapperTest, RejectsAMissingFontObject) {
    CError* error = wrapper.setFontObject(nullptr);
    ASSERT_NE(error, nullptr);
    delete error;
    EXPECT_EQ(wrapper.fonts[CFontObject::kRegular], &regular);
}

} // namespace
