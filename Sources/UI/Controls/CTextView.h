#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "Core/CStringList.h"
#include "Core/CTarget.h"
#include "UI/CView.h"
#include "UI/Controls/CTextWrapperHost.h"

#include <cstdint>
#include <memory>

namespace tal {

class CAttrMap;
class CColor;
class CDynList;
class CGlobalSettings;
class CImage;
class CTextWrapper;
struct CTextParagraph;
class CValueList;
struct CImageDraw;

// "ui:textview": the editor's paragraph text view. One class serves as label or message (text from
// "title"), as list (paragraphs from a text source: a dynamic list or a value list at
// "text-source", or its own "ui:textview-p" children) with hovered, selected, active and disabled
// paragraphs, and as text field (clipboard copy and paste). The text is laid out by the view's own
// CTextWrapper; the view publishes the text's size as its compact size.
// Ownership: the view owns its wrapper, its drawing cache and its targets; the tab group's value
// list belongs to the root view.
// Threads: everything on the UI thread except paint, which the window's sector jobs run on workers,
// possibly for several sectors at once; paint reads only what prepareDraw cached for the frame.
class CTextView : public CView, public CTextWrapperHost {
public:
    // One visible item of a line, positioned in window pixels, with its prepared layers.
    struct CTextItemDraw {
        static constexpr int kMaxLayers = 8;
        double left = 0.0, right = 0.0;   // unrounded
        std::int32_t x = 0, y = 0;
        CImageDraw* layers[kMaxLayers] = {};
        std::int32_t layerCount = 0;
    };
    // One visible line: its top in content coordinates and its visible items.
    struct CTextLineDraw {
        double top = 0.0;
        bool hasRule = false;
        CArray<CTextItemDraw> items;
        bool showArrow = false;
        std::int32_t arrowX = 0, arrowY = 0;
        CImageDraw* arrowDraw = nullptr;
    };

    static CObject* create();
    // The scheme of "ui:view" plus the text view's attributes and events.
    static void initScheme(CObjectScheme* scheme);

    CTextView();
    ~CTextView() override;

    // --- life cycle ---
    // Reads the flags, joins the tab group, creates the draw items and the wrapper.
    [[nodiscard]] CError* init() override;
    // Colours, then the text: the title, or the text source, or the "ui:textview-p" children; the
    // initial selection.
    [[nodiscard]] CError* initChilds() override;
    // Leaves the tab group.
    void detachFromParent() override;

    // --- view services ---
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;
    [[nodiscard]] CError* updateContent() override { return updateCompactSize(); }
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;
    [[nodiscard]] CError* dumpTree(CObject* object, std::int32_t level, const CStringList* extraLines) override;

    // --- attribute handlers ---
    [[nodiscard]] virtual CError* attrFontName(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsParagraphHoverable(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsParagraphSelectable(CAttrValue& value);
    [[nodiscard]] virtual CError* attrIsTextWrapped(CAttrValue& value);
    [[nodiscard]] virtual CError* attrLineHeightModifier(CAttrValue& value);
    [[nodiscard]] virtual CError* attrMaxTextHeight(CAttrValue& value);
    [[nodiscard]] virtual CError* attrParagraphHoverColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrParagraphSelectColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrParagraphSelectTextColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrParagraphSpacing(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextAlignment(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextAlignmentV(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextColor(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextColor1(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTextColor2(CAttrValue& value);
    [[nodiscard]] virtual CError* attrTitle(CAttrValue& value);

    // --- input (the window routes key and mouse events to these) ---
    [[nodiscard]] CError* onFocus(CAttrMap& args) override;
    [[nodiscard]] CError* onBlur() override;
    [[nodiscard]] CError* onKeyPress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseEnter() override;
    [[nodiscard]] CError* onMouseExit() override;
    [[nodiscard]] CError* onMouseTopExit() override;
    [[nodiscard]] CError* onMouseMove(CAttrMap& args) override;
    [[nodiscard]] CError* onMousePress(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseRelease(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseReleaseR(CAttrMap& args) override;
    [[nodiscard]] CError* onMouseWheel(CAttrMap& args) override;

    // --- event handlers ---
    [[nodiscard]] virtual CError* onAutoClick(CAttrMap& args);
    [[nodiscard]] virtual CError* onCursorTimer();
    [[nodiscard]] virtual CError* onEditboxTextChanged(CAttrMap& args);
    [[nodiscard]] virtual CError* onEditboxTimer();
    [[nodiscard]] virtual CError* onVirtualKeyboardPress(CAttrMap& args);
    [[nodiscard]] virtual CError* onCopy();
    [[nodiscard]] virtual CError* onPaste();
    [[nodiscard]] virtual CError* onTextSourceUpdate();
    [[nodiscard]] virtual CError* notifyTextChanged();
    // Publishes the text's size as "compact-width" (unwrapped text only) and "compact-height", then
    // the scroll state.
    [[nodiscard]] virtual CError* updateCompactSize();

    // --- operations ---
    // Refills the paragraphs from the bound source, rewriting only what changed.
    [[nodiscard]] CError* fillFromTextSource();
    // Makes the selected paragraph valid; with notify raises "selected-paragraph-changed" first when
    // it has to change.
    [[nodiscard]] CError* clampSelection(bool notify);
    // Keeps the selected paragraph in view for the next second of layout updates.
    void revealSelectedParagraph();
    // Sets the row, selection and cursor draw items from the wrapper.
    void updateDrawItems();
    [[nodiscard]] CError* updateScrollRatios();
    // Asks for an edit of a paragraph (-1: the selected one); with check, the object at
    // "editbox-can-rename-target" decides through the event "editbox-can-rename-event".
    [[nodiscard]] CError* beginEditParagraph(std::int32_t index, bool check);
    // Removes the open edit box and raises "editbox-hidden".
    void closeEditBox();
    // Asks the view's window to give the key focus to the named view ("change-key-focus").
    [[nodiscard]] CError* changeKeyFocus(const CString& viewName, bool isTab);
    // Closes the view's popup, then opens the sub-list of an item of the dynamic list as a cascading
    // popup; opened tells whether one was opened.
    [[nodiscard]] CError* openSubListPopup(std::int32_t item, bool& opened);
    // Passes the key focus to the next (or previous) shown, enabled member of the tab group.
    [[nodiscard]] CError* moveInTabGroup(bool backwards);
    [[nodiscard]] CError* openEditBox();
    // Places the remove glyph at the right end of the hovered row; with draw, requests its image.
    void placeRemoveGlyph(bool draw);
    // Whether the pointer (view pixels) is over the remove glyph, with a margin.
    void updateRemoveGlyphHover(double x, double y);
    // A click on the remove glyph: takes the hovered paragraph out of the view and its value list,
    // keeping the selection on the same item and the scroll position in pixels.
    [[nodiscard]] CError* removeHoveredParagraph(double x, double y);
    [[nodiscard]] CError* openVirtualKeyboard();
    [[nodiscard]] CError* scrollParagraphIntoView(double mode);
    // The vertical scroller bar (".scroller-v.bar" under the view) of a scrollable view, else null.
    CView* getScrollerBar();

    // --- queries ---
    CTextWrapper* textWrapper() const noexcept { return mTextWrapper.get(); }
    const CString& tabGroup() const noexcept { return mTabGroup; }
    bool showsNoItems() const noexcept { return mShowsNoItems; }
    const CStringList& sourceItems() const noexcept { return mSourceItems; }
    const CArray<CTextLineDraw*>& glyphRuns() const noexcept { return mGlyphRuns; }
    double maxTextHeight() const noexcept { return mMaxTextHeight; }
    bool editOnClick() const noexcept { return mEditOnClick; }
    bool editOnSingleClick() const noexcept { return mEditOnSingleClick; }
    bool editOnDblClick() const noexcept { return mEditOnDblClick; }
    bool hasKeyFocus() const noexcept { return mHasKeyFocus; }
    const CString& editBoxPath() const noexcept { return mEditBoxPath; }
    std::int32_t editedParagraph() const noexcept { return mEditedParagraph; }
    bool editBoxPending() const noexcept { return mEditBoxPending; }
    bool virtualKeyboardPending() const noexcept { return mVirtualKeyboardPending; }
    CObject* editDelayTimer() const noexcept { return mEditDelayTimer; }
    const CPixelRect& removeGlyphRect() const noexcept { return mRemoveGlyphRect; }
    bool overRemoveGlyph() const noexcept { return mOverRemoveGlyph; }
    std::int32_t selectedItemIndex() const noexcept { return mSelectedItem; }
    std::int32_t hoverItemIndex() const noexcept { return mHoverItem; }
    // Replaces the sub-list arrow found at "is.button" (not owned; must outlive the view).
    void setSubListArrow(CImage* image) noexcept { mSubListArrow = image; }
    static constexpr std::int32_t kHoverSlot = 0, kSelectSlot = 1, kSelectTextSlot = 2, kTextSlot = 3;

    // --- CTextWrapperHost ---
    double textWindowScale() const override;
    void textUpdateRect(const CAreaRect& rect) override;
    void textRedraw() override;
    void textLayoutChanged() override;
    CString getClipboardText() override;
    void setClipboardText(const CString& text) override;

    // The text of the window's clipboard until the window layer provides one (process-wide).
    static CString& clipboardText();

private:
    // An int attribute, or fallback when it is missing or empty.
    std::int32_t intAttrOr(const char* name, std::int32_t fallback);
    CError* joinTabGroup(const CString& name);
    void leaveTabGroup();
    CError* setColorSlot(std::int32_t slot, const CString& name, bool invalidateView);
    void setItemRect(std::int32_t item, const CAreaRect& rect);
    void paragraphRect(std::int32_t index, CAreaRect& out);
    const CColor* slotColor(std::int32_t slot);
    CDynList* dynList();
    CValueList* valueList();
    void requestContent();
    void markAreaChanged();
    CObject* windowObject();
    const CTextParagraph& shownParagraph(std::int32_t index);
    void cancelEditDelay();

    std::int32_t mContentItem = 1;
    std::unique_ptr<CTextWrapper> mTextWrapper;
    double mShiftX = 0.0;
    std::int32_t mCursorItem = -1;
    double mDisabledParagraphOpacity = 0.0;
    bool mSendSameResult = false;
    bool mUpdateWhenFocused = false;
    const CColor* mHoverColor = nullptr;        // resolved in prepareDraw
    const CColor* mSelectColor = nullptr;
    const CColor* mSelectTextColor = nullptr;
    const CColor* mTextColors[3] = {};
    CTarget<CDynList> mDynListSource;
    CImage* mSubListArrow = nullptr;
    std::int32_t mDynListId = 0;
    std::int32_t mDynListParentId = -1;
    std::int32_t mDynListParentItem = 0;
    CString mFontName;
    CString mEditBoxPath;
    std::int32_t mPendingEditParagraph = -1;
    CObject* mEditDelayTimer = nullptr;   // a child; released through the tree
    std::int32_t mEditedParagraph = -1;
    double mPendingMouseX = 0.0, mPendingMouseY = 0.0;
    bool mSkipEditDelay = false;
    bool mPressed = false;
    bool mEditBoxPending = false;
    bool mVirtualKeyboardPending = false;
    CString mFocusText;
    CImage* mRemoveGlyph = nullptr;            // not owned: an image of the image set
    CImageDraw* mRemoveGlyphDraw = nullptr;    // the window's record for this frame
    CPixelRect mRemoveGlyphRect;
    bool mOverRemoveGlyph = false;
    bool mPressOnRemoveGlyph = false;
    CTarget<CGlobalSettings> mGlobalSettings;
    bool mSelectionVisible = false;
    std::int32_t mHoverItem = -1;
    bool mAcceptEnter = false;
    bool mEditOnClick = false;
    bool mEditOnDblClick = false;
    bool mEditOnSingleClick = false;
    bool mHasKeyFocus = false;
    bool mShowsNoItems = false;
    bool mSelectAllOnFocus = false;
    bool mTextWrapped = false;
    bool mVirtualKeyboardAllowed = false;
    double mAppliedTextHeight = 0.0;
    std::int32_t mMaxParagraphLength = 0;
    double mMaxTextHeight = 0.0;
    std::int32_t mScrollTarget = -1;
    double mScrollTargetUntil = 0.0;
    std::int32_t mSelectedItem = -1;
    std::int32_t mSelectionItems[3] = {-1, -1, -1};
    CString mSeparatorChar;
    CString mTabGroup;
    CTarget<CValueList> mValueListSource;
    CStringList mSourceItems;
    CString mTitleText;
    CArray<CTextLineDraw*> mGlyphRuns;   // owned; kept between frames
};

} // namespace tal
