#pragma once

#include "Core/CArray.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "UI/CAreaRect.h"
#include "UI/Controls/CTextLine.h"
#include "UI/Controls/CTextParagraph.h"
#include "UI/Controls/CTextPosition.h"
#include "UI/Controls/CTextUndoState.h"

#include <cstdint>

namespace tal {

class CError;
class CFont;
class CFontObject;
class CImage;
class CStringList;
class CTextWrapperHost;

// The text layout engine of a text view: paragraphs of marked-up text ("[B]", "[I]", "[C1]",
// "[C2]", "[SUP]", "[BR]", "[IMG=set#image:colour]", a leading "[N/A]" for a disabled list item)
// laid out into lines of glyph and image items, wrapped greedily at the last space, aligned, and
// placed under one another with a y-to-line map; plus the interaction state of the text: hovered,
// selected and active paragraphs, the edit cursor, the text selection, key editing, snapshot undo
// and the clipboard texts. Layout is lazy: setters only flag work, and every geometry lookup first
// runs updateLayout, which rewraps only what changed.
// Owned by its view (the host, which outlives it); UI thread only. Coordinates are window pixels.
class CTextWrapper {
public:
    // The x that stands for the end of a line, and the glyph shown for characters the font lacks
    // (used when the font holds at least 165 images).
    static constexpr double kLineEndX = 9999.0;
    static constexpr std::int32_t kFallbackGlyph = 164;
    // Undo keeps at most this many snapshots; the oldest go first.
    static constexpr int kMaxUndoStates = 100;
    // Special key codes of the framework's key events.
    enum Key : std::int32_t {
        kKeyEscape = 0xE001, kKeyDelete = 0xE003, kKeyBackspace = 0xE004, kKeyTab = 0xE005,
        kKeyReturn = 0xE006, kKeyHome = 0xE007, kKeyEnd = 0xE008, kKeyPageUp = 0xE009,
        kKeyPageDown = 0xE00A, kKeyLeft = 0xE00B, kKeyRight = 0xE00C, kKeyUp = 0xE00D,
        kKeyDown = 0xE00E, kKeySelectAll = 0xE014, kKeyCut = 0xE015, kKeyCopy = 0xE016,
        kKeyPaste = 0xE017, kKeyUndo = 0xE018, kKeyRedo = 0xE019
    };
    // An entry of the y-to-line map: the top of a line's slot and the line (not owned).
    struct LineMapEntry {
        double y;
        CTextLine* line;
    };
    // Finds an inline image by image-set path and image name; null when there is none.
    using ImageFinder = CImage* (*)(const CString& setPath, const CString& imageName);

    // --- life cycle ---
    // host: the owning view, not owned, may be null (scale 1, no repaints, no clipboard).
    explicit CTextWrapper(CTextWrapperHost* host = nullptr);
    CTextWrapper(const CTextWrapper&) = delete;
    CTextWrapper& operator=(const CTextWrapper&) = delete;
    ~CTextWrapper();

    // --- paragraphs ---
    // Appends a paragraph and returns its index.
    std::int32_t addParagraph(const CString& text);
    // False for an index out of range or a text equal to the one last set; else sets it.
    bool setParagraphText(std::int32_t index, const CString& text);
    // index 0 to count.
    void insertParagraph(std::int32_t index, const CString& text);
    // index 0 to count - 1; other indices are ignored.
    void removeParagraph(std::int32_t index);
    void clearParagraphs();
    std::int32_t paragraphCount() const noexcept { return paragraphs.count(); }
    // The paragraph at an index; the empty default paragraph for an index out of range.
    const CTextParagraph& paragraph(std::int32_t index) const noexcept;
    void setActiveParagraph(std::int32_t index);

    // --- settings ---
    // Takes the five style fonts of a font object (a missing style uses the regular font). Error
    // "Font object is empty." for null, fonts unchanged.
    [[nodiscard]] CError* setFontObject(CFontObject* fontObject);
    // Sets the font of one style (CFontObject order: bold, bold-italic, italic, regular,
    // superscript); not owned, must outlive the wrapper or be replaced first.
    void setFont(int style, CFont* font);
    void setTextWrapped(bool wrapped);
    void setLineHeightModifier(double modifier);
    void setParagraphSpacing(double spacing);
    // 0 centred, 1 left, 2 right, 3 justified.
    void setTextAlignment(std::int32_t alignment);
    // 1 top, 0 centred in the available height.
    void setVerticalAlignment(std::int32_t alignment);
    void setAvailableWidth(double width);
    void setAvailableHeight(double height);
    void requestFullLayout() noexcept { rewrapAll = true; }
    // Replaces the inline image lookup (default: the image-set objects of the shared data).
    void setImageFinder(ImageFinder finder) noexcept { mImageFinder = finder; }

    // --- layout ---
    void updateLayout();
    void getTextSize(double& width, double& height);
    void wrapParagraph(std::int32_t index);
    // Appends the diagnostic lines (font metrics, text size, paragraph, line and item positions).
    void dumpLayout(CStringList& out);
    // The y-to-line map of the last layout, ordered by y.
    const CArray<LineMapEntry>& lines() const noexcept { return lineMap; }

    // --- hit testing, hover and paragraph selection ---
    CTextLine* findLineAtY(bool includeSeparator, double y);
    bool isParagraphDisabledAtY(double x, double y);
    void selectParagraphAtY(double x, double y);
    bool setSelectedParagraph(std::int32_t index);
    void invalidateParagraph(std::int32_t index);
    void mouseMove(bool dragging, double x, double y);
    void mouseDown(bool selectWhole, double x, double y);

    // --- cursor and text selection ---
    void showCursor(bool selectAll, bool keepAll);
    void removeCursor();
    void blinkCursor();
    void updateCursorPosition();
    void selectAll(bool moveCursor);
    void collapseSelection(bool invalidate);
    void setPositionFromX(CTextLine* line, CTextPosition& position, bool invalidate, bool setWanted, double x);
    void setPositionFromIndex(std::int32_t paragraph, std::int32_t index, CTextPosition& position, bool invalidate,
                              bool setWanted, bool preferBefore);
    void normalizePosition(std::int32_t& paragraph, std::int32_t& index) const;
    // Characters to the next space in a direction (-1 or +1); 0 for direction 0 or no line.
    std::int32_t wordDistance(const CTextPosition& position, std::int32_t direction);
    CTextLine* moveLines(CTextLine* line, std::int32_t n) const;
    void extendSelection(const CTextPosition& position);
    void updateSelectionRects();
    void invalidateSelection();
    bool isSelectionEmpty() const noexcept;
    // The line a position lies on; null for a position never placed or placed on no line.
    CTextLine* lineAtPosition(const CTextPosition& position);

    // --- editing ---
    void keyPress(std::int32_t key, bool ctrl, bool shift, bool& endEdit);
    void deleteSelection(bool saveUndo);
    void setAcceptChars(const CString& chars);
    void insertChar(std::int32_t ch, bool moveCursor);
    void insertText(const CString& text, bool moveCursor);
    void splitParagraph();
    void deleteRange(std::int32_t p1, std::int32_t i1, std::int32_t p2, std::int32_t i2, std::int32_t& paragraph,
                     std::int32_t& index);
    void deleteChars(CTextPosition& position, std::int32_t n);
    void saveUndoState();
    void restoreUndoState();

    // --- clipboard ---
    // The selected text as clipboard text: within one paragraph unchanged; across paragraphs line
    // feeds become "[BR]" and paragraphs are joined by CR LF. Empty when nothing is selected.
    CString selectionClipboardText();
    // Puts the selected text on the host's clipboard; nothing when the selection is empty.
    void copyText();
    // Inserts the host's clipboard text at the cursor (pasteClipboardText).
    void pasteText();
    // Inserts clipboard text at the cursor: characters outside the accepted set dropped, CRs
    // dropped, empty lines skipped, each line a paragraph, "[BR]" a line break.
    void pasteClipboardText(const CString& text);
    // Replaces the whole text by clipboard text, read-only or not, and puts the cursor at its end.
    void replaceWithClipboardText(const CString& text);

    // --- data (read by the owning view; geometry valid after updateLayout) ---
    double marginLeft = 0.0, marginRight = 0.0, marginTop = 0.0, marginBottom = 0.0;
    CArray<LineMapEntry> lineMap;                 // y -> line, ordered by y
    std::int32_t maxParagraphLength = 0;          // 0 or less: no limit
    CTextWrapperHost* view = nullptr;             // not owned; the owning view
    std::int32_t activeParagraph = -1;
    CString activeParagraphPrefix;
    double availableHeight = 0.0;
    CTextParagraph defaultParagraph;
    CFont* fonts[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};   // not owned
    bool positionsDirty = false;
    bool allowNoParagraphs = false;
    bool isPassword = false;
    bool isTextWrapped = false;
    double layoutScale = 0.0;
    double lineHeightModifier = 0.0;
    double ascent = 0.0;
    double descent = 0.0;
    double fontHeight = 0.0;
    bool rewrapAll = false;
    double paragraphSpacing = 0.0;
    CArray<CTextParagraph*> paragraphs;           // owned
    std::int32_t textAlignment = 0;
    std::int32_t verticalAlignment = 1;
    double textHeight = 0.0, textWidth = 0.0;
    CArray<std::int32_t> rewrapList;
    double availableWidth = 0.0;
    CTextPosition cursor;
    bool cursorVisible = false, skipBlink = false;
    CArray<CTextUndoState*> undoStack;            // owned
    std::int32_t undoPosition = -1;
    std::int32_t hoverParagraph = -1;
    bool escapePressed = false;
    CSortedMap<std::int32_t, bool> acceptChars;   // empty: every character
    bool keepAllSelected = false;
    bool allowLineBreaks = true;
    bool allowNewParagraphs = true;
    bool isParagraphHoverable = false;
    bool isParagraphSelectable = false;
    bool isReadOnly = false;
    CAreaRect selectionRects[3];
    std::int32_t selectedParagraph = -1;
    CTextPosition selectionAnchor, selectionEnd;

private:
    // A glyph of a style: its image (null: none) and its advance at the layout scale (negative:
    // the image has no layer).
    struct GlyphEntry {
        CImage* image;
        double advance;
    };
    static GlyphEntry lookupGlyph(const CFont* font, std::uint32_t ch, double scale);
    // The glyph of a style for a character; codes below 256 come from a table kept per font and scale.
    const GlyphEntry& glyph(int style, std::uint32_t ch, double scale);

    double windowScale() const;
    void setText(CTextParagraph& paragraph, std::int32_t index, const CString& text);
    void shiftRewrapList(std::int32_t from, std::int32_t delta);
    void renumberLines(std::int32_t from);
    bool isSeparator(const CTextParagraph& paragraph) const noexcept;
    void placeLineX(CTextLine& line, double width, double w, double s, bool wrapped, int spaceCount) const;
    void invalidate(const CAreaRect& rect);
    void invalidateCursor(const CTextPosition& position);
    bool acceptsChar(std::uint32_t ch) const;
    void setCursorAt(const CTextPosition& position);
    void clearUndoAbove(int count);

    ImageFinder mImageFinder;
    CArray<CTextItem> mPending;   // the items of the line being wrapped
    GlyphEntry mGlyphTable[5][256] = {};
    const CFont* mGlyphFonts[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};   // not owned
    bool mGlyphValid[5] = {false, false, false, false, false};
    double mGlyphScale = 0.0;
    GlyphEntry mWideGlyph = {nullptr, 0.0};
};

} // namespace tal
