#include "UI/Controls/CTextView.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/Log.h"
#include "Other/CImage.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"
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
#include <cstdio>

namespace tal {

namespace {

using AttrOp = CError* (CTextView::*)(CAttrValue&);
using PlainOp = CError* (CTextView::*)();
using ArgsOp = CError* (CTextView::*)(CAttrMap&);

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

template <ArgsOp Op>
CError* textArgsThunk(CObject* object, CAttrMap* args) {
    CAttrMap none;
    if (CError* err = (static_cast<CTextView*>(object)->*Op)(args != nullptr ? *args : none)) return traceError(err);
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
    CError* (*withArgs)(CObject*, CAttrMap*);
};

const CTextEventEntry kTextEvents[] = {
    {"auto-click", nullptr, &textArgsThunk<&CTextView::onAutoClick>},
    {"copy", &textPlainThunk<&CTextView::onCopy>, nullptr},
    {"cursor-timer", &textPlainThunk<&CTextView::onCursorTimer>, nullptr},
    {"editbox-text-changed", nullptr, &textArgsThunk<&CTextView::onEditboxTextChanged>},
    {"editbox-timer", &textPlainThunk<&CTextView::onEditboxTimer>, nullptr},
    {"paste", &textPlainThunk<&CTextView::onPaste>, nullptr},
    {"text-source-update", &textPlainThunk<&CTextView::onTextSourceUpdate>, nullptr},
    {"virtual-keyboard-press", nullptr, &textArgsThunk<&CTextView::onVirtualKeyboardPress>},
};

// Event parameters, with the defaults of absent ones.
std::int32_t argInt(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? v->asInt() : 0;
}
double argReal(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? v->asReal() : 0.0;
}
bool argBool(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr && v->asBool();
}
CString argText(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr ? v->asText() : CString();
}
void putInt(CAttrMap& args, const char* name, std::int32_t value) { args.findOrAdd(name)->value.setInt(value); }
void putReal(CAttrMap& args, const char* name, double value) { args.findOrAdd(name)->value.setReal(value); }
void putText(CAttrMap& args, const char* name, const CString& value) { args.findOrAdd(name)->value.setText(value); }


// Two values differ when |a - b| > (|a| + |b|) x epsilon.
bool differs(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * 2.2204461e-16; }

double nearestHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

// Snapped to 1/128 pixel, then to whole pixels.
std::int32_t snapToPixel(double v) noexcept {
    return static_cast<std::int32_t>(nearestHalfAway(nearestHalfAway(v * 128.0) / 128.0));
}

// A number written with exactly four decimals.
CString fixed4(double value) {
    const long long n = static_cast<long long>(nearestHalfAway(value * 10000.0));
    char text[64];
    std::snprintf(text, sizeof text, "%s%lld.%04lld", n < 0 ? "-" : "", (n < 0 ? -n : n) / 10000, (n < 0 ? -n : n) % 10000);
    return CString(text);
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
        h.withArgs = entry.withArgs;
        h.hasArgs = entry.withArgs != nullptr;
    }
}

CTextView::CTextView() = default;

CTextView::~CTextView() {
    mGlobalSettings.reset();
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

    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), this, CString());
    mGlobalSettings.isRequired = true;

    if (getBoolAttr("is-paragraph-removable")) {
        CImageSetObject* set = nullptr;
        if (CError* err = findObjectByAttr(set, CString("remove-paragraph-image-set"), false))
            return traceError(err, getFullName());
        if (set == nullptr || set->imageSet() == nullptr)
            return newError("@talstr_CTextView_init_BadRemoveParagraphImageSet Image set not found", getFullName());
        CImageSet& images = *set->imageSet();
        mRemoveGlyph = images.image(images.getRangeIndex(getTextAttr("remove-paragraph-glyph")));
        if (mRemoveGlyph == nullptr) return newError("@talstr_CTextView_init_BadRemoveGlyph Glyph not found", getFullName());
    }

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
    // The whole text, whatever was selected, and no selection afterwards.
    mTextWrapper->selectAll(false);
    mTextWrapper->copyText();
    mTextWrapper->collapseSelection(true);
    return nullptr;
}

CError* CTextView::onPaste() {
    CTextWrapper& w = *mTextWrapper;
    // Paste replaces the whole text. An editable wrapper selects it all and pastes over the
    // selection (one undo step); a read-only one (a readout) cannot select, so it is replaced.
    if (w.isReadOnly) {
        w.replaceWithClipboardText(getClipboardText());
    } else {
        w.showCursor(true, true);
        w.deleteSelection(true);
        w.pasteText();
    }
    w.removeCursor();
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
    if (CView* bar = getScrollerBar()) {
        // One line per step.
        const double line = 2.0 * nearestHalfAway(w.lineHeightModifier * 0.5 * textWindowScale()) +
                            std::ceil(w.ascent + w.descent);
        if (CError* err = bar->setDoubleAttr(CString("scroll-step-size"), line / clipH, true))
            return traceError(err, getFullName());
    }
    if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    return nullptr;
}

CView* CTextView::getScrollerBar() {
    if (area() == nullptr || !area()->isScrollable()) return nullptr;
    return dynamic_cast<CView*>(findObject(getFullName() + CString(".scroller-v.bar")));
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
    if (mEditBoxPending) {
        mEditBoxPending = false;
        if (CError* err = openEditBox()) return traceError(err, getFullName());
    }
    if (mVirtualKeyboardPending) {
        mVirtualKeyboardPending = false;
        if (CError* err = openVirtualKeyboard()) return traceError(err, getFullName());
    }
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
    if (mPendingMouseX != 0.0 || mPendingMouseY != 0.0) {
        w.mouseMove(false, mPendingMouseX - lastTotalRect().x, mPendingMouseY - lastTotalRect().y);
        mPendingMouseX = mPendingMouseY = 0.0;
    }
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
    placeRemoveGlyph(true);
    return true;
}

void CTextView::placeRemoveGlyph(bool draw) {
    CTextWrapper& w = *mTextWrapper;
    mRemoveGlyphDraw = nullptr;
    const std::int32_t hovered = w.hoverParagraph;
    if (mRemoveGlyph == nullptr || mRemoveGlyph->layerCount() == 0 || hovered < 0 || hovered >= w.paragraphCount()) {
        mRemoveGlyphRect = CPixelRect{};
        return;
    }
    const bool onSelected = hovered == w.selectedParagraph;
    const CPixelRect& row = drawItem(onSelected ? mSelectedItem : mHoverItem)->fullRect;
    CImageLayer* layer = mRemoveGlyph->layer(0);
    const double scale = textWindowScale();
    const double gw = std::trunc((layer->width() + layer->offsetX()) * scale * layer->scale());
    const double gh = std::trunc((layer->height() + layer->offsetY()) * scale * layer->scale());
    const CTextParagraph& p = w.paragraph(hovered);
    const double top = std::trunc(nearestHalfAway((p.top + lastTotalRect().y) * 128.0) / 128.0);
    mRemoveGlyphRect.x = static_cast<std::int32_t>(std::trunc(row.x + row.width - gw - 4.0 * scale));
    mRemoveGlyphRect.y = snapToPixel((std::trunc(p.height) - gh) * 0.5 + top);
    mRemoveGlyphRect.width = static_cast<std::int32_t>(gw);
    mRemoveGlyphRect.height = static_cast<std::int32_t>(gh);
    if (draw) {
        const CColor* color = onSelected ? mSelectTextColor : mTextColors[0];
        if (color != nullptr) mRemoveGlyphDraw = requestImageDraw(*this, layer, color, true, false, 1.0);
    }
}

void CTextView::updateRemoveGlyphHover(double x, double y) {
    if (mRemoveGlyph == nullptr) {
        mOverRemoveGlyph = mPressOnRemoveGlyph = false;
        return;
    }
    placeRemoveGlyph(false);
    const CPixelRect& g = mRemoveGlyphRect;
    const double px = nearestHalfAway(x + lastTotalRect().x), py = nearestHalfAway(y + lastTotalRect().y);
    const double m = nearestHalfAway(4.0 * textWindowScale());
    const bool over = g.width > 0 && g.x - m <= px && px < g.x + g.width + m && g.y - m <= py && py < g.y + g.height + m;
    if (over != mOverRemoveGlyph) {
        mOverRemoveGlyph = over;
        mTextWrapper->invalidateParagraph(mTextWrapper->hoverParagraph);
    }
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
            // Text under the remove glyph, or just left of it, gives way to the glyph.
            const CPixelRect& g = mRemoveGlyphRect;
            if (g.width > 0 && d.y > g.y && d.y < g.y + g.height && d.x > g.x - 16.0 * textWindowScale()) continue;
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
    if (mRemoveGlyphRect.width > 0 && mRemoveGlyphDraw != nullptr)
        sector.target->drawImage(*mRemoveGlyphDraw, mRemoveGlyphRect.x - originX, mRemoveGlyphRect.y - originY, context);
}

CError* CTextView::dumpTree(CObject* object, std::int32_t level, const CStringList* extraLines) {
    CStringList lines;
    if (extraLines != nullptr) lines.assign(*extraLines);
    if (mTextWrapper) mTextWrapper->dumpLayout(lines);
    if (CError* err = CView::dumpTree(object, level, &lines)) return traceError(err, getFullName());
    return nullptr;
}

// --- focus and in-place editing ---

void CTextView::markAreaChanged() {
    if (area() != nullptr && area()->solver() != nullptr) area()->solver()->markChanged(area());
}

CObject* CTextView::windowObject() {
    CView* root = rootView();
    CAttrValue* window = root != nullptr ? root->attrs().findValue("window") : nullptr;
    const CString path = window != nullptr ? window->asText() : CString();
    return path.isEmpty() ? nullptr : findObject(path);
}

const CTextParagraph& CTextView::shownParagraph(std::int32_t index) {
    mTextWrapper->updateLayout();
    return mTextWrapper->paragraph(index);
}

CError* CTextView::beginEditParagraph(std::int32_t index, bool check) {
    const CString event = getTextAttr("editbox-can-rename-event");
    if (!check || event.isEmpty()) {
        mPendingEditParagraph = index;
        mEditBoxPending = true;
        markAreaChanged();
        return nullptr;
    }
    CObject* target = findObject(getTextAttr("editbox-can-rename-target"));
    if (target == nullptr) return nullptr;
    if (CError* err = target->runEvent(event)) return traceError(err, getFullName());
    return nullptr;
}

void CTextView::closeEditBox() {
    if (!mEditBoxPath.isEmpty()) {
        if (CObject* box = findObject(mEditBoxPath)) {
            unlistenObject(mEditBoxPath + CString(".readout"), CString("editbox-text-changed"));
            box->releaseBridged();
        }
    }
    mEditBoxPath = CString();
    mEditedParagraph = -1;
    invalidate();
    logAndDrop(fireEvent(CString("editbox-hidden"), false));
}

CError* CTextView::changeKeyFocus(const CString& viewName, bool isTab) {
    CObject* window = windowObject();
    if (window == nullptr) return nullptr;
    CAttrMap args;
    putText(args, "key-focus-view", viewName);
    putInt(args, "is-tab", isTab ? 1 : 0);
    if (CError* err = window->runEvent(CString("change-key-focus"), &args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onFocus(CAttrMap& args) {
    mHasKeyFocus = true;
    mFocusText = shownParagraph(0).text;
    listenObject(resolvePath(CString(".window-renderer.cursor-timer")), CString("tick"), CString("cursor-timer"));
    if (CError* err = updateLayout()) return traceError(err, getFullName());
    const bool selectAll = mSelectAllOnFocus || argBool(args, "is-tab");
    mTextWrapper->showCursor(selectAll, mSelectAllOnFocus);
    updateDrawItems();
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (mVirtualKeyboardAllowed && settings != nullptr && settings->showVirtualKeyboard) {
        mVirtualKeyboardPending = true;
        markAreaChanged();
    }
    if (CError* err = runCommand(CString("focus"), &args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onBlur() {
    // A keyboard that fails to close is reported after the blur has finished, so that the edit is
    // still committed or cancelled and the view does not keep a focus it lost.
    CError* keyboardError = nullptr;
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (mVirtualKeyboardAllowed && settings != nullptr && settings->showVirtualKeyboard) {
        keyboardError = runEvent(CString("popup-toggle"));
        if (keyboardError != nullptr) logError(keyboardError);
    }
    const auto finish = [&](CError* err) { delete keyboardError; return traceError(err, getFullName()); };
    mHasKeyFocus = false;
    CTextWrapper& w = *mTextWrapper;
    w.removeCursor();
    updateDrawItems();
    unlistenObject(resolvePath(CString(".window-renderer.cursor-timer")), CString("tick"));
    const bool cancelled = w.escapePressed;
    if (CError* err = runCommand(CString("blur"), nullptr)) return finish(err);
    if (cancelled) {
        if (CError* err = setAttr(CString("title"), mFocusText, true)) return finish(err);
    } else {
        if (CError* err = notifyTextChanged()) return finish(err);
    }
    CAttrMap args;
    putText(args, "text", shownParagraph(0).text);
    putInt(args, "paragraph-index", getIntAttr("paragraph-index"));
    putInt(args, "is-cancelled", cancelled ? 1 : 0);
    if (CError* err = fireEvent(CString("editbox-text-changed"), &args, false)) return finish(err);
    return keyboardError != nullptr ? traceError(keyboardError, getFullName()) : nullptr;
}

CError* CTextView::onEditboxTextChanged(CAttrMap& args) {
    mSkipEditDelay = true;
    closeEditBox();
    if (argBool(args, "is-cancelled")) return nullptr;
    CString text = argText(args, "text");
    if (text.isEmpty()) text = getTextAttr("editbox-empty-value");
    const std::int32_t p = mEditOnDblClick || mEditOnSingleClick ? 0 : argInt(args, "paragraph-index");
    if (text == shownParagraph(p).text) return nullptr;
    mTextWrapper->setParagraphText(p, text);
    if (CError* err = updateCompactSize()) return traceError(err, getFullName());
    if (CError* err = notifyTextChanged()) return traceError(err, getFullName());
    invalidate();
    if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    CAttrMap changed;
    putInt(changed, "paragraph-index", p);
    if (CError* err = fireEvent(CString("paragraph-text-changed"), &changed, false)) return traceError(err, getFullName());
    return nullptr;
}

void CTextView::cancelEditDelay() {
    if (mEditDelayTimer == nullptr) return;
    unlistenObject(mEditDelayTimer->getFullName(), CString("tick"));
    mEditDelayTimer->releaseBridged();
    mEditDelayTimer = nullptr;
}

CError* CTextView::onEditboxTimer() {
    if (mEditDelayTimer == nullptr) return nullptr;
    cancelEditDelay();
    if (CError* err = beginEditParagraph(-1, true)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onCursorTimer() {
    mTextWrapper->blinkCursor();
    updateDrawItems();
    return nullptr;
}

CError* CTextView::openEditBox() {
    closeEditBox();
    CTextWrapper& w = *mTextWrapper;
    const std::int32_t i = mPendingEditParagraph >= 0 ? mPendingEditParagraph : w.selectedParagraph;
    mScrollTarget = i;
    if (CError* err = scrollParagraphIntoView(0.0)) return traceError(err, getFullName());
    mEditedParagraph = i;
    const CTextParagraph& p = shownParagraph(i);
    const double scale = textWindowScale();

    CAttrMap args;
    putText(args, "accept-chars", getTextAttr("accept-chars"));
    const CString keyboard = getTextAttr("virtual-keyboard-tag");
    putText(args, "virtual-keyboard-tag", keyboard.isEmpty() ? CString("ui:virtual-keyboard") : keyboard);
    putInt(args, "max-paragraph-length", mMaxParagraphLength);
    putInt(args, "paragraph-index", i);
    putText(args, "placement", getTextAttr("editbox-placement"));
    putText(args, "placement-match", getFullName());
    putText(args, "readout-placement", getTextAttr("editbox-readout-placement"));
    putText(args, "readout-placement-match", getFullName());
    putText(args, "tab-group", getTextAttr("tab-group"));
    const CString alignH = getTextAttr("editbox-text-alignment");
    putText(args, "text-alignment", alignH == CString("inherit") ? getTextAttr("text-alignment") : alignH);
    const CString alignV = getTextAttr("editbox-text-alignment-v");
    putText(args, "text-alignment-v", alignV == CString("inherit") ? getTextAttr("text-alignment-v") : alignV);
    putText(args, "temp-editbox-owner", getFullName());
    putText(args, "title", p.text);
    putInt(args, "z-index", getIntAttr("z-index") + 10000);
    const bool full = getBoolAttr("is-editbox-full");
    putText(args, "width", CString(full ? "100%" : "compact"));
    putText(args, "height", CString(full ? "100%" : "compact"));
    if (!full) {
        // Both in layout units, so that the box sits on its paragraph at every window scale.
        const double left = area() != nullptr ? area()->value(CViewArea::vInnerLeft) / scale : 0.0;
        putText(args, "outer-border", CString("L") + fixed4(left) + CString(" T") + fixed4(p.top / scale));
    }
    CObject* box = nullptr;
    if (CError* err = createChild(box, getTextAttr("editbox-popup-tag"), CString("temp-editbox"), true, &args, nullptr))
        return traceError(err, getFullName());
    if (box == nullptr) return nullptr;
    mEditBoxPath = box->getFullName();
    const CString field = mEditBoxPath + CString(".readout");
    listenObject(field, CString("editbox-text-changed"), CString("editbox-text-changed"));
    if (CError* err = changeKeyFocus(field, true)) return traceError(err, getFullName());
    w.mouseMove(false, -1.0, -1.0);
    invalidate();
    if (CError* err = fireEvent(CString("editbox-shown"), false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::openVirtualKeyboard() {
    CObject* window = windowObject();
    if (window != nullptr) {
        const CString last = window->getTextAttr("last-virtual-keyboard");
        if (CObject* open = last.isEmpty() ? nullptr : findObject(last))
            if (CError* err = open->runEvent(CString("close-window"))) return traceError(err, getFullName());
    }
    CAttrMap args;
    putText(args, "popup-tag", getTextAttr("virtual-keyboard-tag"));
    args.findOrAdd("is-popup-toggle-always-create")->value.setBool(true);
    putText(args, "window-alignment", CString("bottom-local-center"));
    if (CError* err = runEvent(CString("popup-toggle"), &args)) return traceError(err, getFullName());
    if (window != nullptr) {
        const CString path = mPopups.localPopupPath() != nullptr ? *mPopups.localPopupPath() : CString();
        if (CError* err = window->setAttr(CString("last-virtual-keyboard"), path, true))
            return traceError(err, getFullName());
    }
    return nullptr;
}

CError* CTextView::onVirtualKeyboardPress(CAttrMap& args) {
    const CString key = argText(args, "key");
    if (key.isEmpty()) return nullptr;
    CObject* caps = findObject(argText(args, "caps-button"));
    const bool active = caps != nullptr && caps->getBoolAttr("is-active");
    std::int32_t code = -1;
    if (key == CString("OK")) code = CTextWrapper::kKeyReturn;
    else if (key == CString("Cancel")) code = CTextWrapper::kKeyEscape;
    else if (key == CString("Bkspace")) code = CTextWrapper::kKeyBackspace;
    else if (key == CString("Tab")) code = CTextWrapper::kKeyTab;
    else if (key == CString("CAPS")) {
        if (caps != nullptr) {
            if (CError* err = caps->setIntAttr(CString("is-active"), active ? 0 : 1, true)) return traceError(err, getFullName());
            return nullptr;
        }
    } else {
        code = static_cast<std::int32_t>(key.charAt(0));
        if (!active && code >= 'A' && code <= 'Z') code += 'a' - 'A';
    }
    CAttrMap press;
    putInt(press, "keycode", code);
    press.findOrAdd("is-ctrl")->value.setBool(false);
    press.findOrAdd("is-shift")->value.setBool(false);
    if (CError* err = runEvent(CString("key-press"), &press)) return traceError(err, getFullName());
    return nullptr;
}

// --- keys and mouse ---

CError* CTextView::onKeyPress(CAttrMap& args) {
    const std::int32_t key = argInt(args, "keycode");
    const bool ctrl = argBool(args, "is-ctrl"), shift = argBool(args, "is-shift");
    if (key == CTextWrapper::kKeyReturn && mAcceptEnter) {
        if (CError* err = changeKeyFocus(CString(), false)) return traceError(err, getFullName());
        return nullptr;
    }
    if (key == CTextWrapper::kKeyTab && !ctrl) {
        if (CError* err = moveInTabGroup(shift)) return traceError(err, getFullName());
        return nullptr;
    }
    bool endEdit = false;
    mTextWrapper->keyPress(key, ctrl, shift, endEdit);
    updateDrawItems();
    if (CError* err = updateCompactSize()) return traceError(err, getFullName());
    if (endEdit)
        if (CError* err = dropWindowFocus()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::moveInTabGroup(bool backwards) {
    CTextView* owner = dynamic_cast<CTextView*>(findObject(getTextAttr("temp-editbox-owner")));
    if (owner == nullptr) owner = this;
    if (owner->rootView() == nullptr || owner->mTabGroup.isEmpty()) return nullptr;
    auto* list = dynamic_cast<CValueList*>(owner->rootView()->findObject(owner->mTabGroup));
    if (list == nullptr || list->itemCount() < 2) return nullptr;
    const int count = list->itemCount();
    int i = list->itemTexts().indexOf(owner->getFullName());
    if (i < 0) return nullptr;
    CView* target = nullptr;
    for (int step = 0; step < 2 * count && target == nullptr; ++step) {
        i = backwards ? (i == 0 ? count - 1 : i - 1) : (i + 1 == count ? 0 : i + 1);
        auto* view = dynamic_cast<CView*>(findObject(list->itemText(i)));
        if (view == nullptr || view == owner || view == this) continue;
        if (view->area() != nullptr && !view->area()->isVisible()) continue;
        bool disabled = false;
        for (CView* v = view; v != nullptr && !disabled; v = v->parentView()) disabled = v->getIntAttr("is-disabled") != 0;
        if (!disabled) target = view;
    }
    if (target == nullptr) return nullptr;
    auto* text = dynamic_cast<CTextView*>(target);
    if (text != nullptr && (text->mEditOnDblClick || text->mEditOnSingleClick)) {
        if (CError* err = text->beginEditParagraph(0, true)) return traceError(err, getFullName());
        return nullptr;
    }
    if (CError* err = changeKeyFocus(target->getFullName(), true)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onMouseEnter() {
    if (CError* err = CView::onMouseEnter()) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onMouseExit() {
    if (CError* err = CView::onMouseExit()) return traceError(err, getFullName());
    mTextWrapper->mouseMove(false, -1.0, -1.0);
    updateDrawItems();
    return nullptr;
}

CError* CTextView::onMouseTopExit() {
    mTextWrapper->mouseMove(false, -1.0, -1.0);
    updateDrawItems();
    return nullptr;
}

CError* CTextView::onMouseMove(CAttrMap& args) {
    mPendingMouseX = mPendingMouseY = 0.0;
    CTextWrapper& w = *mTextWrapper;
    w.updateLayout();
    const std::int32_t before = w.hoverParagraph;
    w.mouseMove(mPressed && argBool(args, "is-button-l"), argReal(args, "x"), argReal(args, "y"));
    updateDrawItems();
    if (w.hoverParagraph != before)
        if (CObject* window = windowObject())
            if (CError* err = window->runEvent(CString("reset-auto-click"))) return traceError(err, getFullName());
    updateRemoveGlyphHover(argReal(args, "x"), argReal(args, "y"));
    if (CError* err = CView::onMouseMove(args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onMousePress(CAttrMap& args) {
    CTextWrapper& w = *mTextWrapper;
    bool dbl = argBool(args, "is-double-click");
    const double x = argReal(args, "x"), y = argReal(args, "y");
    w.updateLayout();
    updateRemoveGlyphHover(x, y);
    if (dbl && (mOverRemoveGlyph || w.isParagraphDisabledAtY(x, y))) {
        args.findOrAdd("is-double-click")->value.setBool(false);
        dbl = false;
    }
    mPressed = true;
    if (mOverRemoveGlyph) {
        mPressOnRemoveGlyph = true;
        w.invalidateParagraph(w.hoverParagraph);
        return nullptr;
    }
    if (w.isReadOnly) {
        if ((!dbl && mEditOnSingleClick) || (dbl && mEditOnDblClick)) {
            if (CError* err = beginEditParagraph(0, true)) return traceError(err, getFullName());
        } else if (dbl) {
            mSkipEditDelay = true;
            if (w.selectedParagraph >= 0)
                if (CError* err = fireEvent(CString("paragraph-dbl-clicked"), false)) return traceError(err, getFullName());
        }
    }
    w.mouseDown(dbl, x, y);
    updateDrawItems();
    if (CError* err = CView::onMousePress(args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::removeHoveredParagraph(double x, double y) {
    CTextWrapper& w = *mTextWrapper;
    CValueList* list = valueList();
    const std::int32_t l = w.hoverParagraph;
    // The hovered index may be stale after a text change: act only on a paragraph and an item that
    // both exist.
    if (list == nullptr || l < 0 || l >= w.paragraphCount() || l >= list->itemCount()) return nullptr;
    CViewArea* a = area();
    const bool scrollable = a != nullptr && a->isScrollable();
    w.updateLayout();
    const double kept = scrollable ? getDoubleAttr("offset-y") * w.textHeight : 0.0;
    CStringList items(list->itemTexts());
    items.remove(l);
    const std::int32_t selected = w.selectedParagraph;
    if (selected == l) w.setSelectedParagraph(-1);
    w.removeParagraph(l);
    if (selected > l) w.setSelectedParagraph(selected - 1);
    w.hoverParagraph = -1;
    if (CError* err = list->setItems(items)) return traceError(err, getFullName());
    w.updateLayout();
    // Without text height (no font) there is no place to keep.
    if (w.textHeight > 0.0) {
        const double ratio = scrollable ? getDoubleAttr("ratio-y") : 1.0;
        const double offset = std::clamp(kept / w.textHeight, 0.0, std::max(0.0, 1.0 - ratio));
        if (CError* err = setDoubleAttr(CString("offset-y"), offset, true)) return traceError(err, getFullName());
    }
    if (CError* err = fireUpdateScroller()) return traceError(err, getFullName());
    mPendingMouseX = x + lastTotalRect().x;
    mPendingMouseY = y + lastTotalRect().y;
    updateDrawItems();
    return nullptr;
}

CError* CTextView::onMouseRelease(CAttrMap& args) {
    mPressed = false;
    const bool onGlyph = mPressOnRemoveGlyph;
    mPressOnRemoveGlyph = false;
    CTextWrapper& w = *mTextWrapper;
    const double x = argReal(args, "x"), y = argReal(args, "y");
    w.updateLayout();
    if (w.findLineAtY(false, y) == nullptr || w.isParagraphDisabledAtY(x, y)) return nullptr;
    if (onGlyph) {
        if (CError* err = removeHoveredParagraph(x, y)) return traceError(err, getFullName());
        return nullptr;
    }
    const std::int32_t before = w.selectedParagraph;
    w.selectParagraphAtY(x, y);
    const std::int32_t k = w.selectedParagraph;
    const bool reclick = k == before && k >= 0 && w.hoverParagraph >= 0 && w.hoverParagraph < w.paragraphCount() &&
                         !w.paragraph(w.hoverParagraph).disabled;
    updateDrawItems();
    if (k != before || mSendSameResult) {
        if (CError* err = fireEvent(CString("selected-paragraph-changed"), false)) return traceError(err, getFullName());
        closeEditBox();
        CObject* target = findObject(getTextAttr("result-target"));
        bool opened = false;
        if (CError* err = openSubListPopup(k, opened)) return traceError(err, getFullName());
        if (!opened && target != nullptr) {
            const CString indexAttr = getTextAttr("result-target-index-attr");
            if (!indexAttr.isEmpty())
                if (CError* err = target->setIntAttr(indexAttr, k, true)) return traceError(err, getFullName());
            const CString redirect = getTextAttr("result-target-redirect-attr");
            CAttrValue* receiverPath = redirect.isEmpty() ? nullptr : target->attrs().findValue(redirect);
            CObject* receiver = receiverPath != nullptr ? target->findObject(receiverPath->asText()) : nullptr;
            if (receiver != nullptr) {
                CAttrMap result;
                CDynList* list = dynList();
                if (list != nullptr)
                    if (CError* err = list->getItemAttrs(mDynListId, k, result)) return traceError(err, getFullName());
                putInt(result, "list-id", list != nullptr ? mDynListId : -1);
                putInt(result, "index", k);
                putText(result, "text", k >= 0 && k < mSourceItems.count() ? mSourceItems[k] : w.paragraph(k).text);
                putText(result, "source-popup", rootView() != nullptr ? rootView()->getFullName() : CString());
                if (CError* err = receiver->runEvent(CString("popup-result"), &result)) return traceError(err, getFullName());
            }
        }
    }
    if (reclick && getBoolAttr("is-selected-paragraph-click-cancels")) {
        CDynList* list = dynList();
        if (list == nullptr || list->getSubListId(mDynListId, k) == -1)
            if (CError* err = runEvent(CString("close-window"))) return traceError(err, getFullName());
    }
    cancelEditDelay();
    if (mSkipEditDelay) {
        mSkipEditDelay = false;
    } else if (reclick && mEditOnClick) {
        CAttrMap timerAttrs;
        putReal(timerAttrs, "interval", getDoubleAttr("paragraph-click-edit-delay"));
        CObject* timer = nullptr;
        if (CError* err = createChild(timer, getTextAttr("interval-timer-tag"), CString("editbox-timer"), true,
                                      &timerAttrs, nullptr))
            return traceError(err, getFullName());
        mEditDelayTimer = timer;
        if (timer != nullptr) listenObject(timer->getFullName(), CString("tick"), CString("editbox-timer"));
    }
    if (CError* err = CView::onMouseRelease(args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onMouseReleaseR(CAttrMap& args) {
    if (getBoolAttr("is-right-click-selects"))
        if (CError* err = onMouseRelease(args)) return traceError(err, getFullName());
    if (CError* err = CView::onMouseReleaseR(args)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::onMouseWheel(CAttrMap& args) {
    if (CError* err = dropWindowFocus()) return traceError(err, getFullName());
    if (CError* err = CView::onMouseWheel(args)) return traceError(err, getFullName());
    // A scrollable view scrolls through its scroller bar, then re-hovers the paragraph now under
    // the pointer; the selection stays.
    if (!getBoolAttr("is-scrollable") || mTextWrapper == nullptr) return nullptr;
    if (CError* err = forwardMouseWheel(args)) return traceError(err, getFullName());
    if (CError* err = updateLayout()) return traceError(err, getFullName());
    double mouse[2];
    if (getMousePosition(mouse, false, true)) {
        mTextWrapper->mouseMove(false, mouse[0], mouse[1]);
        updateDrawItems();
    }
    return nullptr;
}

CError* CTextView::onAutoClick(CAttrMap& args) {
    CTextWrapper& w = *mTextWrapper;
    const std::int32_t before = w.selectedParagraph;
    w.selectParagraphAtY(argReal(args, "x"), argReal(args, "y"));
    updateDrawItems();
    if (w.selectedParagraph == before) return nullptr;
    bool opened = false;
    if (CError* err = openSubListPopup(w.selectedParagraph, opened)) return traceError(err, getFullName());
    return nullptr;
}

CError* CTextView::openSubListPopup(std::int32_t item, bool& opened) {
    opened = false;
    CDynList* list = dynList();
    if (list == nullptr) return nullptr;
    if (CError* err = runEvent(CString("popup-toggle"))) return traceError(err, getFullName());
    if (list->getSubListId(mDynListId, mTextWrapper->selectedParagraph) == -1) return nullptr;
    opened = true;
    CAttrMap args;
    putText(args, "popup-tag", CString("ui:window-app-popup-list"));
    putInt(args, "is-local-popup", 1);
    putInt(args, "is-popup-window", 0);
    putInt(args, "is-same-width", 0);
    putText(args, "original-opener", CString("{original-opener}"));
    putInt(args, "popup-dynamic-list-parent-id", mDynListId);
    putInt(args, "popup-dynamic-list-parent-item", item);
    putText(args, "popup-inner-border", CString("LR6"));
    putText(args, "popup-result-target-redirect-attr", CString("original-opener"));
    putText(args, "popup-text-alignment", CString("left"));
    putInt(args, "shift-x", -5);
    putReal(args, "shift-y", shownParagraph(item).top / textWindowScale());
    putText(args, "window-alignment", CString("right"));
    if (CError* err = runEvent(CString("popup-toggle"), &args)) return traceError(err, getFullName());
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
