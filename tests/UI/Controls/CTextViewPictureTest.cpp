// Pictures of text views painted as the window's tiles are: a popup list with a hovered, a selected
// and a disabled item and sub-list arrows, and a marked-up message, at window scale 1 and 2.
// After an intended change of painting, look at the new pictures and regenerate the references with
//   TAL_UPDATE_REFERENCES=1 build/release/tal_ui_tests --gtest_filter='CTextViewPicture*'
#include "UI/Controls/CTextView.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CStringList.h"
#include "Other/CColor.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"
#include "UI/BindingCreators.h"
#include "UI/CDynListObject.h"
#include "UI/CDynamicPalette.h"
#include "UI/CSector.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/Controls/ControlCreators.h"
#include "ViewSheet.h"
#include "support/ReferenceImage.h"
#include "support/StreamTestHelpers.h"
#include "support/ViewTestTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

namespace tal {
namespace {

// A 3 x 5 pixel font (rows top to bottom, "#" set) for letters, digits and a few signs.
struct CPixelGlyph {
    char code;
    const char* rows;   // five rows of three, separated by spaces
};

const CPixelGlyph kGlyphs[] = {
    {'A', ".#. #.# ### #.# #.#"}, {'B', "##. #.# ##. #.# ##."}, {'C', ".## #.. #.. #.. .##"},
    {'D', "##. #.# #.# #.# ##."}, {'E', "### #.. ##. #.. ###"}, {'F', "### #.. ##. #.. #.."},
    {'G', ".## #.. #.# #.# .##"}, {'H', "#.# #.# ### #.# #.#"}, {'I', "### .#. .#. .#. ###"},
    {'J', "..# ..# ..# #.# .#."}, {'K', "#.# #.# ##. #.# #.#"}, {'L', "#.. #.. #.. #.. ###"},
    {'M', "#.# ### ### #.# #.#"}, {'N', "##. #.# #.# #.# #.#"}, {'O', ".#. #.# #.# #.# .#."},
    {'P', "##. #.# ##. #.. #.."}, {'Q', ".#. #.# #.# ##. .##"}, {'R', "##. #.# ##. #.# #.#"},
    {'S', ".## #.. .#. ..# ##."}, {'T', "### .#. .#. .#. .#."}, {'U', "#.# #.# #.# #.# ###"},
    {'V', "#.# #.# #.# #.# .#."}, {'W', "#.# #.# ### ### #.#"}, {'X', "#.# #.# .#. #.# #.#"},
    {'Y', "#.# #.# .#. .#. .#."}, {'Z', "### ..# .#. #.. ###"}, {'0', "### #.# #.# #.# ###"},
    {'1', ".#. ##. .#. .#. ###"}, {'2', "##. ..# .#. #.. ###"}, {'3', "##. ..# .#. ..# ##."},
    {'4', "#.# #.# ### ..# ..#"}, {'5', "### #.. ##. ..# ##."}, {'6', ".## #.. ### #.# ###"},
    {'7', "### ..# .#. .#. .#."}, {'8', "### #.# ### #.# ###"}, {'9', "### #.# ### ..# ##."},
    {'.', "... ... ... ... .#."}, {'-', "... ... ### ... ..."}, {'<', "..# .#. #.. .#. ..#"},
    {'>', "#.. .#. ..# .#. #.."}, {':', "... .#. ... .#. ..."}, {'/', "..# ..# .#. #.. #.."},
    {',', "... ... ... .#. #.."},
};

// The glyph of a code drawn 2 x 2 per pixel: 6 x 10 pixels above the baseline, advance 8.
CImage* pixelGlyph(int code) {
    const char* rows = nullptr;
    for (const CPixelGlyph& g : kGlyphs)
        if (g.code == std::toupper(code)) rows = g.rows;
    std::vector<std::uint8_t> pixels(6 * 10, 0);
    if (rows != nullptr) {
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 6; ++x)
                pixels[std::size_t(y * 6 + x)] = rows[(y / 2) * 4 + x / 2] == '#' ? 255 : 0;
    }
    auto* layer = new CImageLayer;
    layer->init(0, 6, 10, 0, -10, 1.0, 8.0, 0, 0, 0, 1, -1, pixels.data(), 8);
    layer->encodeRuns(pixels.data(), 8);
    auto* image = new CImage;
    image->addLayer(layer);
    return image;
}

// A right-pointing triangle of 5 x 9 pixels (the sub-list arrow).
CImage* arrowImage() {
    std::vector<std::uint8_t> pixels(5 * 9, 0);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 5; ++x) pixels[std::size_t(y * 5 + x)] = x <= std::min(y, 8 - y) ? 255 : 0;
    auto* layer = new CImageLayer;
    layer->init(0, 5, 9, 0, 0, 1.0, 5.0, 0, 0, 0, 1, -1, pixels.data(), 8);
    layer->encodeRuns(pixels.data(), 8);
    auto* image = new CImage;
    image->addLayer(layer);
    return image;
}

// "test:picture-dynlist": a root list of five items; item 1 is disabled, items 0 and 3 open lists.
class CPictureDynList : public CDynListObject {
public:
    static CObject* create() { return new CPictureDynList; }
    void getItems(std::int32_t listId, CStringList& out) override {
        static const char* const kItems[] = {"Low shelf", "Peak", "High shelf", "Notch", "Band pass"};
        if (listId != 0) return;
        for (int i = 0; i < 5; ++i) {
            out.add(kItems[i]);
            setCacheEntry(listId, i, i, i == 1);
        }
    }
    std::int32_t getSelectedIndex(std::int32_t) override { return 4; }
    std::int32_t getSubListId(std::int32_t listId, std::int32_t index) override {
        if (listId == -1) return 0;
        return listId == 0 && (index == 0 || index == 3) ? 10 + index : -1;
    }
};

// A panel drawn in its colour (the window's background).
CObject* createPanel() { return delmaro_tool::createSheetView(); }

class CTextViewPictureTest : public CViewTestTree {
protected:
    void SetUp() override {
        CViewTestTree::SetUp();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:picture-dynlist", &CPictureDynList::create, &CObject::initScheme},
                {"test:panel", &createPanel, &CView::initScheme},
                {"", nullptr, nullptr},
            };
            CCreatorRegistry::instance().registerTable(kBindingCreatorTable);   // may be registered already
            CCreatorRegistry::instance().registerTable(kControlCreatorTable);   // may be registered already
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        ASSERT_TRUE(registered);
        for (int code = 32; code < 127; ++code) font.setImage(code, pixelGlyph(code));
        font.setMetrics(10.0, 3.0, 0.0, 14.0);
        arrow.reset(arrowImage());
        addColor("Panel", "1b1f25");
        addColor("Text", "d0d4da");
        addColor("Accent", "f0a030");
        addColor("Muted", "70a0ff");
        addColor("Hover", "2c3440");
        addColor("Select", "3d6bbf");
        addColor("SelectText", "ffffff");
    }

    // The window: a panel filling it and the text view on it, with the stub font.
    CTextView* buildWindow(const char* width, const char* height, Attrs attrs) {
        window = beginWindow("window", {{"width", width}, {"height", height}});
        CView* panel = begin(window, "panel", {{"placement", "overlay"}, {"width", "100%"}, {"height", "100%"},
                                               {"color", "Panel"}}, "test:panel");
        finish(panel);
        auto* view = dynamic_cast<CTextView*>(begin(window, "text", attrs, "ui:textview"));
        EXPECT_NE(view, nullptr);
        if (view == nullptr) return nullptr;
        view->textWrapper()->setFont(3, &font);
        finish(view);
        finish(window);
        EXPECT_EQ(takeError(), "");
        return view;
    }

    // Lays the window out at a scale, prepares every view and its images, then paints them.
    void render(double scale, CLinearBitmap& out) {
        window->area()->setWindowScale(scale, scale);
        ASSERT_EQ(test::takeMessage(window->updateLayout()), "");
        const CAreaRect& total = window->area()->totalRect();
        const std::int32_t width = std::int32_t(std::ceil(total.width));
        const std::int32_t height = std::int32_t(std::ceil(total.height));
        ASSERT_EQ(test::takeMessage(out.setSize(width, height, true)), "");
        std::vector<CView*> views;
        for (int i = 0; i < window->childCount(); ++i)
            if (auto* v = dynamic_cast<CView*>(window->child(i))) views.push_back(v);
        for (CView* v : views) {
            v->selectColorStates();
            ASSERT_TRUE(v->prepareDraw());
        }
        sharedData->prepareImages(0);
        CSector sector;
        sector.windowRect = CPixelRect{0, 0, width, height};
        for (CView* v : views) {
            sector.clipRect = CPixelRect{0, 0, width, height};
            CPixelRect visible;
            if (!v->drawItem(1)->intersectContext(sector, visible)) continue;
            sector.clipRect = visible;
            sector.target = &out;
            v->paintToSector(sector);
        }
    }

    CFont font;
    std::unique_ptr<CImage> arrow;
    CView* window = nullptr;
};

TEST_F(CTextViewPictureTest, PopupList) {
    CObject* object = nullptr;
    ASSERT_EQ(test::takeMessage(ui->addChild(object, CString("test:picture-dynlist"), CString("filters"), false)), "");
    for (double scale : {1.0, 2.0}) {
        CTextView* list = buildWindow("120", "100", {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"inner-border", "4"},
            {"text-source", "ui.filters"}, {"allow-no-paragraphs", "true"}, {"is-read-only", "true"},
            {"is-paragraph-hoverable", "true"}, {"is-paragraph-selectable", "true"}, {"selected-paragraph", "2"},
            {"disabled-paragraph-opacity", "0.33"}, {"paragraph-spacing", "2"}, {"text-alignment", "left"},
            {"text-alignment-v", "top"}, {"active-paragraph-prefix", "> "}, {"text-color", "/Text"},
            {"paragraph-hover-color", "/Hover"}, {"paragraph-select-color", "/Select"},
            {"paragraph-select-text-color", "/SelectText"}});
        ASSERT_NE(list, nullptr);
        list->setSubListArrow(arrow.get());
        CTextWrapper& w = *list->textWrapper();
        CLinearBitmap picture;
        render(scale, picture);
        // Hover the first row (the pointer in window pixels, relative to the view).
        w.updateLayout();
        w.mouseMove(false, 10.0 * scale, w.paragraph(0).top + 2.0);
        list->updateDrawItems();
        render(scale, picture);
        ASSERT_EQ(w.hoverParagraph, 0);
        ASSERT_EQ(w.selectedParagraph, 2);
        EXPECT_TRUE(w.paragraph(1).disabled);
        EXPECT_EQ(w.activeParagraph, 4);
        // The selected row is filled with the select colour on its left edge.
        const CPixelRect row = list->drawItem(list->selectedItemIndex())->clippedRect;
        ASSERT_GT(row.height, 0);
        const std::uint8_t* px = picture.pixel(row.x + 1, row.y + row.height / 2);
        const std::uint8_t* select = palette->getColor(CString("Select"), 0.0)->tone(255);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(int(px[c]), int(select[c])) << c;
        const std::string name = scale == 1.0 ? "textview/popup-list-1x" : "textview/popup-list-2x";
        EXPECT_TRUE(matchesReference(picture, name, 2, picture.width() * picture.height() / 1000));
        window->release();
        window = nullptr;
    }
}

TEST_F(CTextViewPictureTest, MarkedUpMessage) {
    for (double scale : {1.0, 2.0}) {
        CTextView* message = buildWindow("150", "70", {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"inner-border", "6"},
            {"title", "[C1]Preset[/C1] saved.[BR]File: [C2]EQ 2/BASS.CPF[/C2] at 48 kHz, no errors."},
            {"is-text-wrapped", "true"}, {"is-read-only", "true"}, {"text-alignment", "justify"},
            {"text-color", "/Text"}, {"text-color1", "/Accent"}, {"text-color2", "/Muted"}});
        ASSERT_NE(message, nullptr);
        CLinearBitmap picture;
        render(scale, picture);
        render(scale, picture);
        EXPECT_GE(message->textWrapper()->lines().count(), 3);
        const std::string name = scale == 1.0 ? "textview/message-1x" : "textview/message-2x";
        EXPECT_TRUE(matchesReference(picture, name, 2, picture.width() * picture.height() / 1000));
        window->release();
        window = nullptr;
    }
}

TEST_F(CTextViewPictureTest, EditFieldWithASelection) {
    for (double scale : {1.0, 2.0}) {
        CTextView* field = buildWindow("120", "24", {
            {"placement", "overlay"}, {"width", "100%"}, {"height", "100%"}, {"inner-border", "3"},
            {"title", "Bass 120 Hz"}, {"is-read-only", "false"}, {"text-alignment", "left"},
            {"text-alignment-v", "top"}, {"text-color", "/Text"}});
        ASSERT_NE(field, nullptr);
        CLinearBitmap picture;
        render(scale, picture);
        // Select "120" (characters 5 to 8) as a drag would.
        CTextWrapper& w = *field->textWrapper();
        w.showCursor(false, false);
        w.setPositionFromIndex(0, 5, w.selectionAnchor, false, true, false);
        w.setPositionFromIndex(0, 8, w.cursor, false, true, false);
        w.extendSelection(w.cursor);
        w.updateSelectionRects();
        field->updateDrawItems();
        render(scale, picture);
        EXPECT_EQ(text(w.selectionClipboardText()), "120");
        const std::string name = scale == 1.0 ? "textview/edit-field-1x" : "textview/edit-field-2x";
        EXPECT_TRUE(matchesReference(picture, name, 2, picture.width() * picture.height() / 1000));
        window->release();
        window = nullptr;
    }
}

} // namespace
} // namespace tal
