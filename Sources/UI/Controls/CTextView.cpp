#include "UI/Controls/CTextView.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CDynList.h"
#include "UI/CDynamicPalette.h"
#include "UI/CGlobalSettings.h"
#include "UI/CLayoutSolver.h"
#include "UI/CSector.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

using AttrOp = CError* (CTextView::*)(CAttrValue&);
using PlainOp = CError* (CTextView::*)();

template <AttrOp Op>
CError* textAttrThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = (static_cast<CTextView*>(object)->*Op)(value != nullptr ? *value : none)) return traceError(err);
    return nullptr;
}

template <PlainOp Op>
CError* textPlainThunk(CObject* object) {
    if (CError* err = (static_cast<CTextView*>(object)->*Op)()) return traceError(err);
    return nullptr;
}

struct CTextAttrEntry {
    const char* name;
    CAttrHandler handler;
};

const CTextAttrEntry kTextAttrs[] = {
    {"font-name", &textAttrThunk<&CTextView::attrFontName>},
    {"is-paragraph-hoverable", &textAttrThunk<&CTextView::attrIsParagraphHoverable>},
    {"is-paragraph-selectable", &textAttrThunk<&CTextView::attrIsParagraphSelectable>},
    {"is-text-wrapped", &textAttrThunk<&CTextView::attrIsTextWrapped>},
    {"line-height-modifier", &textAttrThunk<&CTextView::attrLineHeightModifier>},
    {"max-text-height", &textAttrThunk<&CTextView::attrMaxTextHeight>},
    {"paragraph-hover-color", &textAttrThunk<&CTextView::attrParagraphHoverColor>},
    {"paragraph-select-color", &textAttrThunk<&CTextView::attrParagraphSelectColor>},
    {"paragraph-select-text-color", &textAttrThunk<&CTextView::attrParagraphSelectTextColor>},
    {"paragraph-spacing", &textAttrThunk<&CTextView::attrParagraphSpacing>},
    {"text-alignment", &textAttrThunk<&CTextView::attrTextAlignment>},
    {"text-alignment-v", &textAttrThunk<&CTextView::attrTextAlignmentV>},
    {"text-color", &textAttrThunk<&CTextView::attrTextColor>},
    {"text-color1", &textAttrThunk<&CTextView::attrTextColor1>},
    {"text-color2", &textAttrThunk<&CTextView::attrTextColor2>},
    {"title", &textAttrThunk<&CTextView::attrTitle>},
};

struct CTextEventEntry {
    const char* name;
    CError* (*plain)(CObject*);
};

const CTextEventEntry kTextEvents[] = {
    {"copy", &textPlainThunk<&CTextView::onCopy>},
    {"paste", &textPlainThunk<&CTextView::onPaste>},
    {"text-source-update", &textPlainThunk<&CTextView::onTextSourceUpdate>},
};

// Two values differ when |a - b| > (|a| + |b|) x epsilon.
bool differs(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * 2.2204461e-16; }

double nearestHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

// Snapped to 1/128 pixel, then to whole pixels.
std::int32_t snapToPixel(double v) noexcept {
    return static_cast<std::int32_t>(nearestHalfAway(nearestHalfAway(v * 128.0) / 128.0));
}

bool readFlag(CAttrValue& value) { return value.convert(CAttrValue::kBool) && value.asBool(); }

void logAndDrop(CError* error) {
    if (error == nullptr) return;
    logError(error);
    delete error;
}

// The text cut before the last occurrence of the separator (unchanged without one).
CString cutAtSeparator(const CString& text, const CString& separator) {
    if (separator.isEmpty()) return text;
    const int at = text.findLast(separator);
    return at >= 0 ? CString(text, 0, at) : text;
}

// Every occurrence of pattern replaced by replacement.
CString replaceEvery(const CString& text, const CString& pattern, const CString& replacement) {
    CString out = text;
    int at = out.find(pattern);
    while (at >= 0) {
        out.replace(at, pattern.length(), replacement);
        at = out.find(pattern, at + replacement.length());
    }
    return out;
}

} // namespace

std::int32_t CTextView::intAttrOr(const char* name, std::int32_t fallback) {
    CAttrValue* value = attrs().findValue(name);
    return value != nullptr && !value->asText().isEmpty() ? value->asInt() : fallback;
}

CObject* CTextView::create() { return new CTextView; }

void CTextView::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    for (const CTextAttrEntry& entry : kTextAttrs) scheme->addAttrHandler(CString(entry.name)) = entry.handler;
    for (const CTextEventEntry& entry : kTextEvents) {
        CEventHandler& h = scheme->addEventHandler(CString(entry.name));
        h.plain = entry.plain;
        h.withArgs = nullptr;
        h.hasArgs = false;
    }
}

CTextView::CTextView() = default;

CTextView::~CTextView() {
    for (int i = 0; i < mGlyphRuns.count(); ++i) delete mGlyphRuns[i];
}

CString& CTextView::clipboardText() {
    static CString text;
    return text;
}

// --- life cycle ---

CError* CTextView::init() {
    // The wrapper comes first, so that a later failing step leaves a view every handler can use.
    mTextWrapper = std::make_unique<CTextWrapper>(this);
    if (CError* err = CView::init()) return traceError(err, getFullName());
    mDisabledParagraphOpacity = getDoubleAttr("disabled-paragraph-opacity");
    mSeparatorChar = getTextAttr("separator-char");
    mContentItem = 1;
    mAcceptEnter = getBoolAttr("is-accept-enter");
    mEditOnDblClick = getBoolAttr("is-editbox-on-dblclick");
    mEditOnSingleClick = false;
    mEditOnClick = false;
    if (!mEditOnDblClick) {
        mEditOnSingleClick = getBoolAttr("is-editbox-on-singleclick");
        mEditOnClick = getBoolAttr("is-editbox-on-click");
    }
    mSelectAllOnFocus = getBoolAttr("is-select-all-on-focus");
    mVirtualKeyboardAllowed = getBoolAttr("is-virtual-keyboard-allowed");
    mSendSameResult = getBoolAttr("do-send-same-result");
    mUpdateWhenFocused = getBoolAttr("do-update-when-focused");
    mMaxParagraphLength = getIntAttr("max-paragraph-length");

    mCursorItem = addDrawItem();
    mHoverItem = addDrawItem();
    mSelectedItem = addDrawItem();
    for (std::int32_t& item : mSelectionItems) item = addDrawItem();

    CTextWrapper& w = *mTextWrapper;
    w.isPassword = getBoolAttr("is-password");
    w.isReadOnly = getBoolAttr("is-read-only");
    w.allowNoParagraphs = getBoolAttr("allow-no-paragraphs");
    w.setAcceptChars(getTextAttr("accept-chars"));
    w.activeParagraphPrefix = getTextAttr("active-paragraph-prefix");
    mTextWrapped = getBoolAttr("is-text-wrapped");
    w.setTextWrapped(mTextWrapped);
    w.maxParagraphLength = mMaxParagraphLength;

    const CString tabGroupName = getTextAttr("tab-group");
    if (!tabGroupName.isEmpty())
        if (CError* err = joinTabGroup(tabGroupName)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::joinTabGroup(const CString& name) {
    const CString key = replaceEvery(replaceEvery(name, CString("."), CString("--")), CString("#"), CString("--"));
    mTabGroup = CString(".tab-group-value-list-") + key;
    CView* root = rootView();
    if (root == nullptr) return nullptr;
    auto* list = dynamic_cast<CValueList*>(root->findObject(mTabGroup));
    if (list == nullptr) {
        CObject* created = nullptr;
        if (CError* err = root->createChild(created, getTextAttr("value-list-manual-tag"), CString(mTabGroup, 1, -1),
                                            true, nullptr, nullptr))
            return traceError(err, getFullName());
        list = dynamic_cast<CValueList*>(created);
        if (list == nullptr)
            return newError("@talstr_CTextView_init_FailTabGroupValueList Unable to create tab group value list",
                            getFullName());
    }
    CStringList items(list->itemTexts());
    items.add(getFullName());
    return list->setItems(items);
}

void CTextView::leaveTabGroup() {
    if (mTabGroup.isEmpty() || rootView() == nullptr) return;
    auto* list = dynamic_cast<CValueList*>(rootView()->findObject(mTabGroup));
    if (list == nullptr) return;
    CStringList items(list->itemTexts());
    const int at = items.indexOf(getFullName());
    if (at < 0) return;
    items.remove(at);
    logAndDrop(list->setItems(items));
}

void CTextView::detachFromParent() {
    leaveTabGroup();
    CView::detachFromParent();
}

CError* CTextView::initChilds() {
    if (CError* err = CView::initChilds()) return traceError(err, getFullName());
    static const char* const kColorAttrs[3] = {"text-color", "text-color1", "text-color2"};
    for (int i = 0; i < 3; ++i) {
        const CAttrValue* value = attrs().findValue(kColorAttrs[i]);
        if (CError* err = setColorSlot(kTextSlot + i, value != nullptr ? value->storedText() : CString(), false))
            return traceError(err, getFullName());
    }
    CTextWrapper& w = *mTextWrapper;
    if (getTextAttr("title").isEmpty()) {
        w.clearParagraphs();
        mDynListSource.init(this, CString(), CString(), this, CString("text-source"));
        if (mDynListSource.resolve() != nullptr) {
            // Without the attribute the view shows the root list.
            mDynListParentId = intAttrOr("dynamic-list-parent-id", -1);
            mDynListParentItem = getIntAttr("dynamic-list-parent-item");
            mDynListSource.listenEvent(CString("dynamic-list-updated"), CString("text-source-update"));
            mSubListArrow = CImageSetObject::findImage(CString("is.button"), CString("DynListArrow"), false);
            if (CError* err = fillFromTextSource()) return traceError(err, getFullName());
        } else {
            mValueListSource.init(this, CString(), CString(), this, CString("text-source"));
            mValueListSource.isRequired = getBoolAttr("is-text-source-forced");
            mValueListSource.listenEvent(CString("values-changed"), CString("text-source-update"));
            if (mValueListSource.resolve() != nullptr) {
                if (CError* err = fillFromTextSource()) return traceError(err, getFullName());
            } else {
                CStringList items;
                CValueList::collectParagraphItems(this, items);
                for (int i = 0; i < items.count(); ++i) w.addParagraph(items[i]);
                if (CError* err = updateCompactSize()) return traceError(err, getFullName());
            }
        }
    }
    const std::int32_t maxItems = getIntAttr("max-item-count");
    if (maxItems > 0) {
        w.updateLayout();
        const double spacing = getDoubleAttr("paragraph-spacing");
        const double height = ((maxItems + 1) * (w.ascent + w.descent) + maxItems * spacing) / textWindowScale();
        if (CError* err = setDoubleAttr(CString("max-text-height"), height, true)) return traceError(err, getFullName());
    }
    w.setSelectedParagraph(intAttrOr("selected-paragraph", -1));
    revealSelectedParagraph();
    return nullptr;
}

// --- text sources ---

CDynList* CTextView::dynList() { return mDynListSource.owner != nullptr ? mDynListSource.resolve() : nullptr; }

CValueList* CTextView::valueList() {
    return mValueListSource.owner != nullptr ? mValueListSource.resolve() : nullptr;
}

CError* CTextView::onTextSourceUpdate() {
    if (CError* err = fillFromTextSource()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::fillFromTextSource() {
    mShowsNoItems = false;
    CStringList items;
    std::int32_t active = -1;
    if (CDynList* list = dynList()) {
        mDynListId = list->getSubListId(mDynListParentId, mDynListParentItem);
        mSourceItems.clear();
        list->clearCache(mDynListId);
        list->setDisplayFlag(false);
        list->getItems(mDynListId, mSourceItems);
        for (int i = 0; i < mSourceItems.count(); ++i) {
            CString text = cutAtSeparator(mSourceItems[i], mSeparatorChar);
            if (list->isItemDisabled(mDynListId, i)) text = CValueList::formatItemEnabled(text, false);
            items.add(text);
        }
        active = list->getSelectedIndex(mDynListId);
    } else if (CValueList* values = valueList()) {
        mSourceItems.assign(values->itemTexts());
        // Without the attribute every item is shown.
        const std::int32_t single = intAttrOr("text-source-single-value", -1);
        if (single < 0) {
            for (int i = 0; i < mSourceItems.count(); ++i) items.add(cutAtSeparator(mSourceItems[i], mSeparatorChar));
        } else {
            items.add(single < mSourceItems.count() ? cutAtSeparator(mSourceItems[single], mSeparatorChar) : CString());
        }
    }
    CTextWrapper& w = *mTextWrapper;
    const bool empty = items.count() == 0;
    if (CError* err = setIntAttr(CString("is-disabled"), empty ? 1 : 0, true)) return traceError(err, getFullName());
    if (empty) {
        w.clearParagraphs();
        mShowsNoItems = true;
    }
    // Paragraphs go only from the end and are rewritten only when their text as set differs, so
    // the layout, hover and selection of the unchanged ones survive.
    while (w.paragraphCount() > items.count() && w.paragraphCount() > 0) {
        const std::int32_t before = w.paragraphCount();
        w.removeParagraph(before - 1);
        if (w.paragraphCount() == before) break;   // the wrapper keeps its last paragraph
    }
    const std::int32_t oldCount = w.paragraphCount();
    for (int j = 0; j < items.count(); ++j) {
        if (j < oldCount) {
            if (!(w.paragraph(j).sourceText == items[j])) w.setParagraphText(j, items[j]);
        } else {
            w.addParagraph(items[j]);
        }
    }
    if (mShowsNoItems) {
        const CString& title = getTextAttr("no-items-title");
        if (w.paragraphCount() == 0) w.addParagraph(title);
        else w.setParagraphText(0, title);
    }
    if (active >= 0) w.setActiveParagraph(active);
    if (CError* err = updateCompactSize()) return traceError(err, getFullName());
    updateDrawItems();
    invalidate();
    if (CError* err = fireEvent(CString("text-source-updated"), false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::clampSelection(bool notify) {
    CTextWrapper& w = *mTextWrapper;
    w.updateLayout();
    const std::int32_t s = w.selectedParagraph;
    const std::int32_t n = w.paragraphCount();
    const std::int32_t t = n == 0 ? -1 : (s < 0 ? 0 : std::min(s, n - 1));
    if (t == s && (t < 0 || !w.paragraph(t).disabled)) return nullptr;
    if (notify)
        if (CError* err = fireEvent(CString("selected-paragraph-changed"), false)) return traceError(err, getFullName());
    w.setSelectedParagraph(t);
    return nullptr;
}

void CTextView::revealSelectedParagraph() {
    mScrollTarget = mTextWrapper->selectedParagraph;
    mScrollTargetUntil = getTime() + 1.0;
    requestContent();
}

void CTextView::requestContent() {
    if (area() != nullptr && area()->solver() != nullptr) area()->solver()->requestContentUpdate(area());
}

// --- attributes ---

CError* CTextView::setColorSlot(std::int32_t slot, const CString& name, bool invalidateView) {
    CViewColorTable* table = colorTable();
    if (table != nullptr && !sharesColorTable()) {
        const CStringList& names = table->colorNames();
        if (slot >= names.count() || !(names[slot] == name)) table->setColorName(slot, name);
    }
    if (invalidateView) invalidate();
    return nullptr;
}

CError* CTextView::attrParagraphHoverColor(CAttrValue& value) { return setColorSlot(kHoverSlot, value.asText(), true); }
CError* CTextView::attrParagraphSelectColor(CAttrValue& value) { return setColorSlot(kSelectSlot, value.asText(), true); }
CError* CTextView::attrParagraphSelectTextColor(CAttrValue& value) {
    return setColorSlot(kSelectTextSlot, value.asText(), true);
}
CError* CTextView::attrTextColor(CAttrValue& value) { return setColorSlot(kTextSlot, value.asText(), true); }
CError* CTextView::attrTextColor1(CAttrValue& value) { return setColorSlot(kTextSlot + 1, value.asText(), true); }
CError* CTextView::attrTextColor2(CAttrValue& value) { return setColorSlot(kTextSlot + 2, value.asText(), true); }

CError* CTextView::attrIsParagraphHoverable(CAttrValue& value) {
    mTextWrapper->isParagraphHoverable = readFlag(value);
    return nullptr;
}

CError* CTextView::attrIsParagraphSelectable(CAttrValue& value) {
    mTextWrapper->isParagraphSelectable = readFlag(value);
    return nullptr;
}

CError* CTextView::attrIsTextWrapped(CAttrValue& value) {
    const bool wrapped = readFlag(value);
    if (wrapped != mTextWrapped) {
        mTextWrapped = wrapped;
        mTextWrapper->setTextWrapped(wrapped);
    }
    return nullptr;
}

CError* CTextView::attrLineHeightModifier(CAttrValue& value) {
    mTextWrapper->setLineHeightModifier(value.asReal());
    return nullptr;
}

CError* CTextView::attrParagraphSpacing(CAttrValue& value) {
    mTextWrapper->setParagraphSpacing(value.asReal());
    return nullptr;
}

CError* CTextView::attrMaxTextHeight(CAttrValue& value) {
    mMaxTextHeight = value.asReal();
    if (area() != nullptr && area()->solver() != nullptr) area()->solver()->markChanged(area());
    return nullptr;
}

CError* CTextView::attrTextAlignment(CAttrValue& value) {
    const CString& text = value.asText();
    const std::int32_t alignment = text.equals("left") ? 1 : text.equals("right") ? 2 : text.equals("justify") ? 3 : 0;
    if (alignment != mTextWrapper->textAlignment) {
        mTextWrapper->setTextAlignment(alignment);
        invalidate();
    }
    return nullptr;
}

CError* CTextView::attrTextAlignmentV(CAttrValue& value) {
    const std::int32_t alignment = value.asText().equals("top") ? 1 : 0;
    if (alignment != mTextWrapper->verticalAlignment) {
        mTextWrapper->setVerticalAlignment(alignment);
        invalidate();
    }
    return nullptr;
}

CError* CTextView::attrTitle(CAttrValue& value) {
    if (mHasKeyFocus && !mUpdateWhenFocused) return nullptr;
    const CString text = value.asText();
    CTextWrapper& w = *mTextWrapper;
    if (w.paragraphCount() == 1 && (w.paragraph(0).text == text)) return nullptr;
    mTitleText = text;
    w.clearParagraphs();
    if (w.paragraphCount() == 0) w.addParagraph(mTitleText);
    else w.setParagraphText(0, mTitleText);
    if (CError* err = updateCompactSize()) return traceError(err, getFullName());
    invalidate();
    if (mHasKeyFocus) w.selectAll(true);
    if (CError* err = fireEvent(CString("title-changed"), false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::attrFontName(CAttrValue& value) {
    const CString path = value.asText();
    if (path.isEmpty())
        return newError("@talstr_CTextView_attrFontName_FontNameEmpty Attribute 'font-name' is empty", getFullName());
    if ((path == mFontName)) return nullptr;
    mFontName = path;
    auto* font = dynamic_cast<CFontObject*>(findObject(path));
    if (font == nullptr) return newError("@talstr_CTextView_attrFontName_NoFont Font '%1' not found.", getFullName(), path);
    if (CError* err = mTextWrapper->setFontObject(font)) return traceError(err, getFullName());
    if (CError* err = updateCompactSize()) return traceError(err, getFullName());
    return nullptr;
}

// --- clipboard ---

CError* CTextView::onCopy() {
    mTextWrapper->copyText();
    return nullptr;
}

CError* CTextView::onPaste() {
    CTextWrapper& w = *mTextWrapper;
    // A read-only view (a readout) takes the clipboard as its whole new text; an editable one
    // inserts it at the cursor.
    if (w.isReadOnly) w.replaceWithClipboardText(getClipboardText());
    else w.pasteText();
    if (CError* err = notifyTextChanged()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::notifyTextChanged() {
    if (CError* err = fireEvent(CString("text-changed"), false)) return traceError(err, getFullName());
    return nullptr;
}

// --- size and scrolling ---

CError* CTextView::updateCompactSize() {
    if (!mTextWrapper) return nullptr;
    CTextWrapper& w = *mTextWrapper;
    double width = 0.0, height = 0.0;
    w.getTextSize(width, height);
    const double scale = textWindowScale();
    if (!mTextWrapped) {
        if (!w.isReadOnly) width += 2.0;
        if (CError* err = setDoubleAttr(CString("compact-width"), width / scale, true)) return traceError(err, getFullName());
    }
    if (CError* err = setDoubleAttr(CString("compact-height"), std::ceil(height) / scale, true))
        return traceError(err, getFullName());
    if (CError* err = updateScrollRatios()) return traceError(err, getFullName());
    w.updateCursorPosition();
    if (getTime() < mScrollTargetUntil)
        if (CError* err = scrollParagraphIntoView(1.0)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::updateScrollRatios() {
    CViewArea* a = area();
    if (a == nullptr || !a->isScrollable() || a->clipRect().height < 1.0) return nullptr;
    CTextWrapper& w = *mTextWrapper;
    double width = 0.0, height = 0.0;
    w.getTextSize(width, height);
    const double contentW = nearestHalfAway(w.marginLeft + w.marginRight + width);
    const double contentH = nearestHalfAway(w.marginTop + w.marginBottom + height);
    const double clipW = a->clipRect().width, clipH = a->clipRect().height;
    const auto ratioOf = [](double clip, double content) {
        double r = content > 1.0 ? std::clamp(clip / content, 0.0, 1.0) : 1.0;
        return r > 0.99 ? 1.0 : r;
    };
    const double rx = ratioOf(clipW, contentW), ry = ratioOf(clipH, contentH);
    if (getDoubleAttr("offset-x") > 1.0 - rx)
        if (CError* err = setDoubleAttr(CString("offset-x"), 1.0 - rx, true)) return traceError(err, getFullName());
    if (CError* err = setDoubleAttr(CString("ratio-x"), rx, true)) return traceError(err, getFullName());
    if (getDoubleAttr("offset-y") > 1.0 - ry)
        if (CError* err = setDoubleAttr(CString("offset-y"), 1.0 - ry, true)) return traceError(err, getFullName());
    if (CError* err = setDoubleAttr(CString("ratio-y"), ry, true)) return traceError(err, getFullName());
    if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::scrollParagraphIntoView(double mode) {
    const std::int32_t i = mScrollTarget;
    CViewArea* a = area();
    if (i < 0 || a == nullptr || a->totalRect().height < 1.0) return nullptr;
    CTextWrapper& w = *mTextWrapper;
    w.updateLayout();
    const double ratio = a->isScrollable() ? getDoubleAttr("ratio-y") : 1.0;
    double offset = 0.0;
    if (i >= w.paragraphCount()) {
        offset = 1.0 - ratio;
    } else {
        const double top = w.paragraph(i).top;
        const double next = i + 1 < w.paragraphCount() ? w.paragraph(i + 1).top : 0.0;
        if (mode != 0.0 && top <= 1.0) return nullptr;
        // Without a font the text has no height: nothing to scroll by.
        if (w.textHeight <= 0.0) return nullptr;
        const double end = next >= 1.0 ? next : top;
        offset = std::clamp(((top + end) * 0.5 - a->clipRect().height * 0.5) / w.textHeight, 0.0,
                            std::max(0.0, 1.0 - ratio));
    }
    if (CError* err = setDoubleAttr(CString("offset-y"), offset, true)) return traceError(err, getFullName());
    if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* err = CView::handleViewAreaUpdate(total, clip)) return traceError(err, getFullName());
    CViewArea* a = area();
    if (a == nullptr || !mTextWrapper) return nullptr;
    CTextWrapper& w = *mTextWrapper;
    const double left = a->value(CViewArea::vInnerLeft), right = a->value(CViewArea::vInnerRight);
    const double top = a->value(CViewArea::vInnerTop), bottom = a->value(CViewArea::vInnerBottom);
    if (differs(left, w.marginLeft) || differs(right, w.marginRight) || differs(top, w.marginTop) ||
        differs(bottom, w.marginBottom)) {
        w.marginLeft = left;
        w.marginRight = right;
        w.marginTop = top;
        w.marginBottom = bottom;
        w.requestFullLayout();
    }
    double width = 0.0, height = 0.0;
    w.getTextSize(width, height);
    if (mMaxTextHeight > 1.0 && differs(height, mAppliedTextHeight)) {
        mAppliedTextHeight = height;
        const double m = height / textWindowScale();
        const double h = mMaxTextHeight + 8.0 > m ? m + 0.3 : mMaxTextHeight;
        if (CError* err = setDoubleAttr(CString("height"), h, true)) return traceError(err, getFullName());
        requestContent();
    }
    if (differs(total.width, w.availableWidth)) {
        w.setAvailableWidth(total.width);
        requestContent();
    }
    if (differs(total.height, w.availableHeight)) {
        w.setAvailableHeight(total.height);
        requestContent();
    }
    updateDrawItems();
    return nullptr;
}

// --- draw items ---

void CTextView::paragraphRect(std::int32_t index, CAreaRect& out) {
    const CTextParagraph& p = mTextWrapper->paragraph(index);
    out = CAreaRect{0.0, p.top, lastTotalRect().width, p.height};
}

void CTextView::setItemRect(std::int32_t item, const CAreaRect& rect) {
    if (item < 2) return;
    if (rect.width <= 0.0 || rect.height <= 0.0) clearDrawItemRect(*this, item);
    else setDrawItemRect(*this, item, rect.x, rect.y, rect.width, rect.height);
}

void CTextView::updateDrawItems() {
    if (!mTextWrapper || mHoverItem < 0) return;
    CTextWrapper& w = *mTextWrapper;
    w.updateLayout();
    CAreaRect rect;
    if (w.hoverParagraph != w.selectedParagraph) paragraphRect(w.hoverParagraph, rect);
    else rect = CAreaRect{};
    setItemRect(mHoverItem, rect);
    paragraphRect(w.selectedParagraph, rect);
    setItemRect(mSelectedItem, rect);
    for (int i = 0; i < 3; ++i) setItemRect(mSelectionItems[i], w.selectionRects[i]);
    CAreaRect cursor{};
    if (w.cursorVisible)
        if (CTextLine* line = w.lineAtPosition(w.cursor)) cursor = CAreaRect{w.cursor.x, line->y, 2.0, line->height};
    setItemRect(mCursorItem, cursor);
    if (!mSelectionVisible) {
        const auto shown = [](const CAreaRect& r) { return r.width >= 1e-5 && r.height >= 1e-5; };
        mSelectionVisible = shown(cursor) || shown(w.selectionRects[0]) || shown(w.selectionRects[1]) ||
                            shown(w.selectionRects[2]);
    }
}

// --- drawing ---

const CColor* CTextView::slotColor(std::int32_t slot) {
    CViewColorTable* table = colorTable();
    if (table == nullptr || slot >= table->colorNames().count() || table->colorNames()[slot].isEmpty()) return nullptr;
    table->refresh();
    return table->getColor(slot);
}

bool CTextView::prepareDraw() {
    CTextWrapper& w = *mTextWrapper;
    mHoverColor = slotColor(kHoverSlot);
    mSelectColor = slotColor(kSelectSlot);
    mSelectTextColor = slotColor(kSelectTextSlot);
    for (int i = 0; i < 3; ++i) mTextColors[i] = slotColor(kTextSlot + i);
    w.updateLayout();

    const CAreaRect& total = lastTotalRect();
    const CAreaRect& clip = lastClipRect();
    const double top = clip.y - total.y, bottom = top + clip.height;
    const CArray<CTextWrapper::LineMapEntry>& map = w.lines();
    int first = 0;
    while (first + 1 < map.count() && map[first + 1].y <= top) ++first;
    int count = 0;
    while (first + count < map.count() && map[first + count].y < bottom) ++count;
    while (mGlyphRuns.count() > count) {
        delete mGlyphRuns[mGlyphRuns.count() - 1];
        mGlyphRuns.setCount(mGlyphRuns.count() - 1);
    }
    while (mGlyphRuns.count() < count) mGlyphRuns.add(new CTextLineDraw);

    const double totalY = nearestHalfAway(total.y);
    const double clipRight = clip.x + clip.width;
    for (int l = 0; l < count; ++l) {
        const CTextLine& line = *map[first + l].line;
        const CTextParagraph& p = w.paragraph(line.paragraph);
        CTextLineDraw& run = *mGlyphRuns[l];
        run.top = map[first + l].y;
        run.hasRule = false;
        run.showArrow = false;
        const double opacity = p.disabled ? mDisabledParagraphOpacity : 1.0;
        const bool selected = line.paragraph == w.selectedParagraph;
        if (mSubListArrow != nullptr)
            if (CDynList* list = dynList()) run.showArrow = list->getSubListId(mDynListId, line.paragraph) != -1;
        double x = total.x + line.x + mShiftX;
        int used = 0;
        bool visible = false;
        const CColor* arrowColor = nullptr;
        for (int i = 0; i < line.items.count() && x < clipRight; ++i) {
            const CTextItem& item = line.items[i];
            if (item.isRule) run.hasRule = true;
            if (!visible) visible = item.isRule || x + item.width >= clip.x;
            if (visible) {
                if (used == run.items.count()) run.items.addNew();
                CTextItemDraw& d = run.items[used++];
                d.left = x;
                d.right = x + item.width;
                d.x = snapToPixel(x);
                d.y = snapToPixel(item.offsetY + line.y + totalY + line.imageRaise);
                d.layerCount = item.image != nullptr ? std::min(item.image->layerCount(), CTextItemDraw::kMaxLayers) : 0;
                for (int k = 0; k < d.layerCount; ++k) {
                    CImageLayer* layer = item.image->layer(k);
                    const CColor* color = nullptr;
                    if (selected && mSelectTextColor != nullptr && (item.plain || item.isGlyph)) {
                        color = mSelectTextColor;
                        arrowColor = color;
                    } else if (item.caption < 0) {
                        color = mTextColors[std::clamp(item.colorIndex, 0, 2)];
                        if (item.colorIndex == 0) arrowColor = color;
                    } else {
                        CString name = item.caption < p.captions.count() ? p.captions[item.caption] : CString();
                        const int n = layer->colorIndex();
                        if (n != 0) name = name + CString("[") + CString(n) + CString("]");
                        CViewColorTable* table = colorTable();
                        CDynamicPalette* palette = table != nullptr ? table->palette() : nullptr;
                        if (palette == nullptr && table != nullptr && table->rootColors() != nullptr)
                            palette = table->rootColors()->palette();
                        color = palette != nullptr ? palette->getColor(name, 0.0) : nullptr;
                    }
                    d.layers[k] = color != nullptr ? requestImageDraw(*this, layer, color, true, false, opacity) : nullptr;
                }
            }
            x += item.width;
            if (item.isSpace) x += line.justifyExtra;
        }
        run.items.setCount(used);
        run.arrowDraw = nullptr;
        if (run.showArrow && mSubListArrow->layerCount() > 0) {
            CImageLayer* layer = mSubListArrow->layer(0);
            const double scale = textWindowScale() * layer->scale();
            const double aw = std::trunc((layer->width() + layer->offsetX()) * scale);
            const double ah = std::trunc((layer->height() + layer->offsetY()) * scale);
            run.arrowX = snapToPixel(total.x + total.width - aw);
            run.arrowY = snapToPixel((line.height - ah) * 0.5 + line.y + totalY + line.imageRaise);
            const CColor* color = arrowColor != nullptr ? arrowColor : mHoverColor;
            if (color != nullptr) run.arrowDraw = requestImageDraw(*this, layer, color, true, false, 1.0);
        }
    }
    return true;
}

void CTextView::paint(CSector& sector) {
    CPixelRect context;
    if (!drawItem(mContentItem)->intersectContext(sector, context)) return;
    const CTextWrapper& w = *mTextWrapper;
    if (w.selectedParagraph >= 0 && mSelectColor != nullptr && !isEffectivelyDisabled())
        fillDrawItem(*this, sector, mSelectedItem, *mSelectColor, 255);
    if (mHoverColor != nullptr) fillDrawItem(*this, sector, mHoverItem, *mHoverColor, 255);

    const std::int32_t originX = sector.windowRect.x, originY = sector.windowRect.y;
    const double t = originY + context.y - lastTotalRect().y;
    const double b = t + context.height;
    const double contextLeft = originX + context.x, contextRight = contextLeft + context.width;
    for (int l = 0; l < mGlyphRuns.count(); ++l) {
        const CTextLineDraw& run = *mGlyphRuns[l];
        if (l + 1 < mGlyphRuns.count() && mGlyphRuns[l + 1]->top <= t) continue;
        if (run.top >= b) break;
        for (int i = 0; i < run.items.count(); ++i) {
            const CTextItemDraw& d = run.items[i];
            if (contextLeft > d.right && !run.hasRule) continue;
            if (d.left >= contextRight) break;
            for (int k = 0; k < d.layerCount; ++k)
                if (d.layers[k] != nullptr) sector.target->drawImage(*d.layers[k], d.x - originX, d.y - originY, context);
        }
        if (run.showArrow && run.arrowDraw != nullptr)
            sector.target->drawImage(*run.arrowDraw, run.arrowX - originX, run.arrowY - originY, context);
    }
    if (mSelectionVisible) {
        for (std::int32_t item : mSelectionItems) drawDebugHighlight(sector, item);
        drawDebugHighlight(sector, mCursorItem);
    }
}

CError* CTextView::dumpTree(CObject* object, std::int32_t level, const CStringList* extraLines) {
    CStringList lines;
    if (extraLines != nullptr) lines.assign(*extraLines);
    if (mTextWrapper) mTextWrapper->dumpLayout(lines);
    if (CError* err = CView::dumpTree(object, level, &lines)) return traceError(err, getFullName());
    return nullptr;
}

// --- wrapper host ---

double CTextView::textWindowScale() const {
    const double scale = area() != nullptr ? area()->windowScale() : 1.0;
    return scale > 0.0 ? scale : 1.0;
}

void CTextView::textUpdateRect(const CAreaRect& rect) {
    CAreaRect r = rect;
    r.x += lastTotalRect().x;
    r.y += lastTotalRect().y;
    invalidateSectors(r, this);
    updateDrawItems();
}

void CTextView::textRedraw() { invalidate(); }

void CTextView::textLayoutChanged() { requestContent(); }

CString CTextView::getClipboardText() { return clipboardText(); }

void CTextView::setClipboardText(const CString& text) { clipboardText() = text; }

} // namespace tal
