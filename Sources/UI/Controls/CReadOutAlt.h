#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CTarget.h"
#include "UI/CAreaRect.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"

#include <cstdint>
#include <vector>

namespace tal {

class CFontObject;
class CGlobalSettings;
struct CImageDraw;
class CUIParam;

// "ui:readout-alt": a one-line text field drawn with a bitmap font that shows one element of a bound
// parameter (or its "title") and edits in place while it holds the window's key focus: caret,
// selection, word moves, an undo history, clipboard keys and events, the on-screen keyboard's keys
// and Tab through its tab group. Leaving the field applies a changed text to the parameter as one
// undoable edit. A parameter update replaces the text at any time; caret and selection are then cut
// to the new length.
// Owned by the object tree; its "ui-param" child is owned by the tree too; the font is not owned.
// UI thread, except paint, which reads only what prepareDraw prepared.
class CReadOutAlt : public CView, public CUIParamUpdateHandler {
public:
    struct UndoState {
        std::int32_t cursor = 0;
        CString text;
    };
    struct UndoHistory {
        std::vector<UndoState> states;
        std::int32_t index = -1;
    };
    struct GlyphItem {
        std::int32_t x = 0, y = 0;
        CImageDraw* draw = nullptr;   // owned by the window's image-draw pool
    };

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CReadOutAlt();
    ~CReadOutAlt() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    void detachFromParent() override;

    // --- view operations ---
    [[nodiscard]] CError* onBlur() override;
    [[nodiscard]] CError* onFocus(CAttrMap& args) override;
    [[nodiscard]] CError* onKeyPress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseEnter() override;
    [[nodiscard]] CError* onMouseExit() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    void paint(CSector& sector) override;
    [[nodiscard]] bool prepareDraw() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- scheme handlers ---
    [[nodiscard]] virtual CError* attrElement();
    [[nodiscard]] virtual CError* attrFontName();
    [[nodiscard]] virtual CError* attrTextAlignment();
    [[nodiscard]] virtual CError* attrTextAlignmentV();
    [[nodiscard]] virtual CError* attrTextColor();
    [[nodiscard]] virtual CError* attrTitle();
    [[nodiscard]] virtual CError* onCopy();
    [[nodiscard]] virtual CError* onCursorTimer();
    [[nodiscard]] virtual CError* onPaste();
    [[nodiscard]] virtual CError* onVirtualKeyboardPress(CAttrMap& args);
    [[nodiscard]] CError* updateContent() override;

    // --- operations ---
    // Keeps the accepted characters, cuts to the length limit; a different text is stored, written
    // to "title" (handler deferred) and laid out. Caret and selection are cut to the new length.
    [[nodiscard]] CError* setText(const CString& text);
    CString filterText(const CString& text) const;
    bool isAcceptedChar(std::int32_t code) const;
    // Commits the text to the parameter as one undoable edit when it differs from the present text.
    void applyText();
    void setCursor(std::int32_t position, std::int32_t anchor, std::int32_t end, bool keepScreenPosition);
    void updateCaretRect(bool forceRedraw);
    void updateSelectionRect();
    void layoutText();
    [[nodiscard]] CError* setElement(std::int32_t index);
    [[nodiscard]] CError* updateParamActivity();
    // The caret position for a view x (window pixels).
    std::int32_t hitTest(double x) const;
    // Start of the word before (direction < 0) or after the position.
    std::int32_t findWordBoundary(std::int32_t position, std::int32_t direction) const;
    void pushUndoState();
    void stepUndo(std::int32_t direction);

    // --- queries ---
    const CString& text() const noexcept { return mText; }
    std::int32_t cursorPos() const noexcept { return mCursorPos; }
    std::int32_t selAnchor() const noexcept { return mSelAnchor; }
    std::int32_t selEnd() const noexcept { return mSelEnd; }
    bool hasSelection() const noexcept { return mSelAnchor >= 0 && mSelEnd >= 0 && mSelAnchor != mSelEnd; }
    bool hasKeyFocus() const noexcept { return mHasKeyFocus; }
    std::int32_t element() const noexcept { return mElement; }
    CUIParam* uiParam() const noexcept { return mUIParam; }
    const std::vector<double>& caretX() const noexcept { return mCaretX; }
    const CAreaRect& caretRect() const noexcept { return mCaretRect; }
    const CAreaRect& selectionRect() const noexcept { return mSelectionRect; }
    double textWidth() const noexcept { return mTextWidth; }
    double textX() const noexcept { return mTextX; }
    double scrollX() const noexcept { return mScrollX; }
    bool caretShown() const noexcept { return mCaretShown; }
    const UndoHistory& undoHistory() const noexcept { return mUndoHistory; }

private:
    double windowScale() const;
    double caretAt(std::int32_t i) const;
    // Deletes from..to and puts the caret at from (no selection).
    [[nodiscard]] CError* deleteRange(std::int32_t from, std::int32_t to);
    [[nodiscard]] CError* insertString(const CString& s, bool newStep);
    [[nodiscard]] CError* leaveEditing();
    [[nodiscard]] CError* focusNextInTabGroup(bool backwards);
    [[nodiscard]] CError* joinTabGroup();
    void restartBlink();
    void redrawRect(const CAreaRect& rect);
    void setSelectionPoints(std::int32_t position, std::int32_t anchor, std::int32_t end);
    void clampCaretToText();
    const class CFont* regularFont() const;

    std::vector<double> mCaretX{0.0};
    CAreaRect mCaretRect;
    std::int32_t mCaretItem = -1;
    bool mCaretShown = true;
    bool mSkipBlink = false;
    std::int32_t mCursorPos = -1;
    double mTextTop = 0.0;
    bool mSelectAllPressPending = false;
    std::int32_t mElement = -1;
    UndoHistory mSavedHistory;
    CString mFocusText;
    CFontObject* mFont = nullptr;   // not owned: a resource object
    CTarget<CGlobalSettings> mGlobalSettings;
    UndoHistory mUndoHistory;
    std::vector<std::int32_t> mAcceptChars;   // sorted
    bool mHasKeyFocus = false;
    bool mHovered = false;
    bool mButtonHeld = false;
    bool mSelectAllOnFocus = false;
    bool mVirtualKeyboardAllowed = false;
    double mLastWindowScale = 0.0;
    std::int32_t mMaxParagraphLength = -1;
    bool mNewUndoStepPending = false;
    bool mFirstKeyPending = false;
    bool mVirtualKeyboardPending = false;
    CAreaRect mSelectionRect;
    std::int32_t mSelectionItem = -1;
    std::int32_t mSelAnchor = -1;
    std::int32_t mSelEnd = -1;
    CString mTabGroup;
    CString mText;
    std::int32_t mTextAlign = -1;
    std::int32_t mTextAlignV = -1;
    std::int32_t mTextItem = -1;
    double mClipLeft = 0.0;
    double mTextX = 0.0;
    double mBaselineY = 0.0;
    double mScrollX = 0.0;
    double mTextWidth = 0.0;
    double mLineHeight = 0.0;
    CUIParam* mUIParam = nullptr;   // not owned: the "ui-param" child
    CString mWordBreakChars;
    CArray<GlyphItem> mGlyphItems;
};

} // namespace tal
