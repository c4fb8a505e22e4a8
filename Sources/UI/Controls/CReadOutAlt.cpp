#include "UI/Controls/CReadOutAlt.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CLinearBitmap.h"
#include "UI/CGlobalSettings.h"
#include "UI/CSector.h"
#include "UI/CUIParam.h"
#include "UI/CValueList.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/CViewDrawHelpers.h"
#include "UI/CViewDrawItem.h"
#include "UI/Controls/CReadOut.h"
#include "UI/Controls/CTextView.h"
#include "UI/Resources/CFontObject.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;
constexpr std::int32_t kMaxChar = 0xDFFF;
enum : std::int32_t {
    kEscape = 0xE001, kDelete = 0xE003, kBackspace = 0xE004, kTab = 0xE005, kReturn = 0xE006, kHome = 0xE007,
    kEnd = 0xE008, kPageUp = 0xE009, kPageDown = 0xE00A, kLeft = 0xE00B, kRight = 0xE00C, kUp = 0xE00D,
    kDown = 0xE00E, kSelectAll = 0xE014, kCut = 0xE015, kCopy = 0xE016, kPaste = 0xE017, kUndo = 0xE018,
    kRedo = 0xE019,
};

double roundHalfAway(double x) { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }
double snap(double x) { return roundHalfAway(roundHalfAway(x * 128.0) / 128.0); }
bool differs(double a, double b) { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * kEpsilon; }
bool rectDiffers(const CAreaRect& a, const CAreaRect& b) {
    return differs(a.x, b.x) || differs(a.y, b.y) || differs(a.width, b.width) || differs(a.height, b.height);
}

void appendCode(CString& s, std::uint32_t code) {
    if (code < 256 && !s.isWide()) {
        s.appendChar(char(code));
        return;
    }
    if (!s.isWide())
        s.widen(s.length());
    const int n = s.length();
    s.setLength(n + 1, true);
    s.chars32()[n] = char32_t(code);
}

CString sub(const CString& s, int from, int to) {
    CString out;
    if (to > from)
        out.appendSub(s, from, to - from);
    return out;
}

const CImageLayer* layerOf(const CImage* image) {
    return image != nullptr && image->layerCount() > 0 ? image->layer(0) : nullptr;
}

// The glyph of a code: its own, else "?" when the font has one (fallback set), else null.
const CImageLayer* glyphOf(const CFont& font, std::uint32_t code, bool& fallback) {
    fallback = false;
    if (std::int64_t(code) < font.imageCount())
        if (const CImageLayer* layer = layerOf(font.image(std::int32_t(code))))
            return layer;
    if (font.imageCount() >= 64) {
        fallback = true;
        return layerOf(font.image(63));
    }
    return nullptr;
}

bool flagOf(CAttrMap& args, const char* name) {
    CAttrValue* v = args.findValue(name);
    return v != nullptr && v->asBool();
}

} // namespace

CObject* CReadOutAlt::create() { return new CReadOutAlt(); }

void CReadOutAlt::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrElement>(scheme, "element");
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrFontName>(scheme, "font-name");
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrTextAlignment>(scheme, "text-alignment");
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrTextAlignmentV>(scheme, "text-alignment-v");
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrTextColor>(scheme, "text-color");
    addAttrOf<CReadOutAlt, &CReadOutAlt::attrTitle>(scheme, "title");
    addPlainEventOf<CReadOutAlt, &CReadOutAlt::onCursorTimer>(scheme, "cursor-timer");
    addPlainEventOf<CReadOutAlt, &CReadOutAlt::onCopy>(scheme, "copy");
    addPlainEventOf<CReadOutAlt, &CReadOutAlt::onPaste>(scheme, "paste");
    addArgsEventOf<CReadOutAlt, &CReadOutAlt::onVirtualKeyboardPress>(scheme, "virtual-keyboard-press");
}

CReadOutAlt::CReadOutAlt() = default;

CReadOutAlt::~CReadOutAlt() { mGlobalSettings.reset(); }

// --- life cycle ---

CError* CReadOutAlt::init() {
    if (CError* error = CView::init())
        return traceError(error, getFullName());
    mElement = -1;
    mGlobalSettings.init(this, CString("ui.global-settings"), CString(), this, CString());
    mGlobalSettings.isRequired = true;
    mCaretItem = addDrawItem();
    mSelectionItem = addDrawItem();
    mTextItem = addDrawItem();
    mAcceptChars.clear();
    const CString accept = getTextAttr("accept-chars");
    for (int i = 0; i < accept.length(); ++i) {
        const std::int32_t code = std::int32_t(accept.charAt(i));
        if (code >= 1 && code <= kMaxChar)
            mAcceptChars.push_back(code);
    }
    std::sort(mAcceptChars.begin(), mAcceptChars.end());
    mSelectAllOnFocus = getBoolAttr("is-select-all-on-focus");
    mVirtualKeyboardAllowed = getBoolAttr("is-virtual-keyboard-allowed");
    mMaxParagraphLength = getIntAttr("max-paragraph-length");
    mWordBreakChars = getTextAttr("word-break-chars");
    const CString bridge = getTextAttr("bridge");
    const CString shared = getTextAttr("shared-attribute");
    if (!bridge.isEmpty() || !shared.isEmpty()) {
        CObject* param = nullptr;
        if (CError* error = CReadOut::createParamChild(*this, param))
            return traceError(error, getFullName());
    }
    return traceError(joinTabGroup(), getFullName());
}

CError* CReadOutAlt::joinTabGroup() {
    const CString group = getTextAttr("tab-group");
    if (group.isEmpty() || rootView() == nullptr)
        return nullptr;
    CString name;
    for (int i = 0; i < group.length(); ++i) {
        const std::uint32_t c = group.charAt(i);
        if (c == '.' || c == '#')
            name.append("--");
        else
            appendCode(name, c);
    }
    mTabGroup = CString(".tab-group-value-list-");
    mTabGroup.append(name);
    CObject* found = rootView()->findObject(mTabGroup);
    if (found == nullptr) {
        CString childName("tab-group-value-list-");
        childName.append(name);
        if (CError* error = rootView()->createChild(found, getTextAttr("value-list-manual-tag"), childName, false,
                                                    nullptr, nullptr))
            return traceError(error, getFullName());
    }
    auto* list = dynamic_cast<CValueList*>(found);
    if (list == nullptr)
        return newError("@talstr_CTextView_init_FailTabGroupValueList Unable to create tab group value list",
                        getFullName());
    CStringList items;
    for (int i = 0; i < list->itemCount(); ++i)
        items.add(list->itemText(i));
    items.add(getFullName());
    return traceError(list->setItems(items), getFullName());
}

CError* CReadOutAlt::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    if (CError* error = setElement(getIntAttr("element")))
        return traceError(error, getFullName());
    const CString width = getTextAttr("width");
    if (!width.equals("compact"))
        if (CError* error = setAttr(CString("compact-width"), width, true))
            return traceError(error, getFullName());
    const CString height = getTextAttr("height");
    if (!height.equals("compact"))
        if (CError* error = setAttr(CString("compact-height"), height, true))
            return traceError(error, getFullName());
    return traceError(attrTextColor(), getFullName());
}

void CReadOutAlt::detachFromParent() {
    if (!mTabGroup.isEmpty() && rootView() != nullptr)
        if (auto* list = dynamic_cast<CValueList*>(rootView()->findObject(mTabGroup))) {
            CStringList items;
            bool removed = false;
            for (int i = 0; i < list->itemCount(); ++i) {
                if (!removed && list->itemText(i) == getFullName()) {
                    removed = true;
                    continue;
                }
                items.add(list->itemText(i));
            }
            reportError(list->setItems(items));
        }
    CView::detachFromParent();
}

// --- attributes ---

CError* CReadOutAlt::attrElement() { return setElement(getIntAttr("element")); }

CError* CReadOutAlt::attrFontName() {
    const CString path = getTextAttr("font-name");
    if (path.isEmpty())
        return newError("@talstr_CReadOutAlt_attrFontName_FontNameEmpty Attribute 'font-name' is empty", getFullName());
    auto* font = dynamic_cast<CFontObject*>(findObject(path));
    if (font == nullptr)
        return newError("@talstr_CReadOutAlt_attrFontName_NoFont Font '%1' not found.", getFullName(), path);
    if (font == mFont)
        return nullptr;
    mFont = font;
    return traceError(updateContent(), getFullName());
}

CError* CReadOutAlt::attrTextAlignment() {
    const CString a = getTextAttr("text-alignment");
    const std::int32_t align = a.equals("right") ? 1 : a.equals("center") ? 0 : -1;
    if (align != mTextAlign) {
        mTextAlign = align;
        layoutText();
        invalidate();
    }
    return nullptr;
}

CError* CReadOutAlt::attrTextAlignmentV() {
    const CString a = getTextAttr("text-alignment-v");
    const std::int32_t align = a.equals("bottom") ? 1 : a.equals("center") ? 0 : -1;
    if (align != mTextAlignV) {
        mTextAlignV = align;
        layoutText();
        invalidate();
    }
    return nullptr;
}

CError* CReadOutAlt::attrTextColor() {
    if (CViewColorTable* table = colorTable())
        table->setSlotName(0, getTextAttr("text-color"));
    invalidate();
    return nullptr;
}

CError* CReadOutAlt::attrTitle() { return setText(getTextAttr("title")); }

// --- parameter ---

void CReadOutAlt::onUIParamRegistered(CUIParam* param) { mUIParam = param; }

void CReadOutAlt::onUIParamActivated(CUIParam* param) {
    if (param == mUIParam)
        reportError(updateParamActivity());
}

void CReadOutAlt::onUIParamDeactivated(CUIParam* param) {
    if (param == mUIParam)
        reportError(updateParamActivity());
}

CError* CReadOutAlt::updateParamActivity() {
    const bool active = mUIParam == nullptr || mUIParam->updateActive();
    return traceError(setDisabled(!active), getFullName());
}

CError* CReadOutAlt::setElement(std::int32_t index) {
    if (mUIParam == nullptr || index == mElement)
        return nullptr;
    mElement = index;
    if (CError* error = updateParamActivity())
        return traceError(error, getFullName());
    return traceError(onUIParamChanged(mUIParam, 0, 0), getFullName());
}

CError* CReadOutAlt::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    CString value;
    if (mUIParam != nullptr && mElement >= 0)
        mUIParam->getValueText(mElement, value, 0, -1, 0);
    if (value.isEmpty())
        value = getTextAttr("default-value");
    return traceError(setAttr(CString("title"), value, true), getFullName());
}

void CReadOutAlt::applyText() {
    if (mUIParam == nullptr || mElement < 0)
        return;   // no element: nothing to write to
    CString current;
    mUIParam->getValueText(mElement, current, 0, -1, 0);
    const CString candidate = mText.isEmpty() ? CString(getTextAttr("default-value")) : mText;
    if (candidate == current)
        return;
    mUIParam->beginEdit(false, -1, nullptr, false);
    mUIParam->setValueText(mElement, candidate, 0);
    mUIParam->endEdit(false);
}

// --- text ---

bool CReadOutAlt::isAcceptedChar(std::int32_t code) const {
    return code >= 1 && code <= kMaxChar &&
           (mAcceptChars.empty() || std::binary_search(mAcceptChars.begin(), mAcceptChars.end(), code));
}

CString CReadOutAlt::filterText(const CString& text) const {
    CString out;
    for (int i = 0; i < text.length(); ++i)
        if (isAcceptedChar(std::int32_t(text.charAt(i))))
            appendCode(out, text.charAt(i));
    return out;
}

void CReadOutAlt::clampCaretToText() {
    const std::int32_t n = mText.length();
    mCursorPos = std::min(mCursorPos, n);
    mSelAnchor = std::min(mSelAnchor, n);
    mSelEnd = std::min(mSelEnd, n);
}

CError* CReadOutAlt::setText(const CString& text) {
    CString filtered = filterText(text);
    if (mMaxParagraphLength > 0 && filtered.length() > mMaxParagraphLength)
        filtered = sub(filtered, 0, mMaxParagraphLength);
    if (filtered == mText)
        return nullptr;
    mText = filtered;
    // A caret or selection beyond the new end would index past the caret positions.
    clampCaretToText();
    if (CError* error = setAttr(CString("title"), mText, false))
        return traceError(error, getFullName());
    if (CError* error = updateContent())
        return traceError(error, getFullName());
    invalidate();
    return nullptr;
}

// --- layout ---

double CReadOutAlt::windowScale() const { return area() != nullptr ? area()->windowScale() : 1.0; }

const CFont* CReadOutAlt::regularFont() const { return mFont != nullptr ? mFont->font(CFontObject::kRegular) : nullptr; }

double CReadOutAlt::caretAt(std::int32_t i) const {
    if (i < 0)
        i = 0;
    return i < std::int32_t(mCaretX.size()) ? mCaretX[std::size_t(i)] : mTextWidth;
}

void CReadOutAlt::layoutText() {
    const CFont* font = regularFont();
    if (font == nullptr) {
        mCaretX.assign(1, 0.0);
        mTextTop = mTextX = mBaselineY = mTextWidth = mLineHeight = 0.0;
        if (mTextItem >= 0)
            clearDrawItemRect(*this, mTextItem);
        updateCaretRect(false);
        updateSelectionRect();
        return;
    }
    const double k = windowScale();
    mLineHeight = (font->ascent() + font->descent()) * k;
    const std::int32_t n = mText.length();
    mCaretX.assign(std::size_t(n) + 1, 0.0);
    double x = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        mCaretX[std::size_t(i)] = x;
        bool fallback = false;
        const CImageLayer* layer = glyphOf(*font, mText.charAt(i), fallback);
        if (layer == nullptr)
            continue;
        const double advance = layer->advance() * layer->inverseScale() * k;
        x += i == n - 1 ? roundHalfAway(advance) : std::floor(advance);
    }
    mCaretX[std::size_t(n)] = mTextWidth = x;
    double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
    if (CViewArea* a = area()) {
        left = a->value(CViewArea::vInnerLeft);
        top = a->value(CViewArea::vInnerTop);
        width = a->totalRect().width - left - a->value(CViewArea::vInnerRight);
        height = a->totalRect().height - top - a->value(CViewArea::vInnerBottom);
    }
    std::int32_t align = mTextAlign;
    mClipLeft = 0.0;
    if (mTextWidth > width) {
        align = 1;
        mClipLeft = left;
    }
    mTextX = align == 1 ? left + width - mTextWidth - 2.0 * k : align == 0 ? left + (width - mTextWidth) * 0.5 : left;
    mTextTop = mTextAlignV == 1 ? top + height - mLineHeight
               : mTextAlignV == 0 ? top + (height - mLineHeight) * 0.5
                                  : top;
    mBaselineY = mTextTop + font->ascent() * k;
    if (mTextItem >= 0)
        setDrawItemRect(*this, mTextItem, left, top, width, height);
    updateCaretRect(false);
    updateSelectionRect();
}

CError* CReadOutAlt::updateContent() {
    layoutText();
    const double k = windowScale();
    if (getTextAttr("width").equals("compact"))
        if (CError* error = setDoubleAttr(CString("compact-width"), mTextWidth / k, true))
            return traceError(error, getFullName());
    if (getTextAttr("height").equals("compact"))
        if (CError* error = setDoubleAttr(CString("compact-height"), std::ceil(mLineHeight) / k, true))
            return traceError(error, getFullName());
    return nullptr;
}

void CReadOutAlt::redrawRect(const CAreaRect& rect) {
    if (rect.width > 0.0 && rect.height > 0.0)
        addUpdateRect(rect);
}

void CReadOutAlt::updateCaretRect(bool forceRedraw) {
    const double k = windowScale();
    double s = 0.0;
    CAreaRect rect;
    if (mCursorPos >= 0) {
        auto p = [&](std::int32_t i) { return mTextX + caretAt(i); };
        const std::int32_t cur = mCursorPos;
        s = mClipLeft != 0.0 ? mScrollX : 0.0;
        if (p(cur) + s < mClipLeft)
            s = mClipLeft - p(cur);
        if (mClipLeft != 0.0 && mTextX + s > mClipLeft)
            s = mClipLeft - mTextX;
        const double m = p(mText.length()) + p(cur) - p(cur + 1) + 2.0 * k;
        if (m < p(cur) + s)
            s = m - p(cur);
        rect = {p(cur) + s - 1.0, mTextTop, 2.0 * k, mLineHeight};
        if (mClipLeft - 2.0 * k > rect.x)
            rect = {};
    }
    if (differs(s, mScrollX)) {
        mScrollX = s;
        invalidate();
    }
    if (rectDiffers(rect, mCaretRect)) {
        redrawRect(mCaretRect);
        mCaretRect = rect;
        if (mCaretItem >= 0)
            setDrawItemRect(*this, mCaretItem, rect.x, rect.y, rect.width, rect.height);
        redrawRect(rect);
    } else if (forceRedraw) {
        redrawRect(rect);
    }
}

void CReadOutAlt::updateSelectionRect() {
    CAreaRect rect;
    if (hasSelection()) {
        const std::int32_t a = std::min(mSelAnchor, mSelEnd), b = std::max(mSelAnchor, mSelEnd);
        const double x1 = std::max(mClipLeft, mTextX + mScrollX + caretAt(a));
        const double x2 = mTextX + mScrollX + caretAt(b);
        rect = {x1, mTextTop, x2 - x1, mLineHeight};
        if (rect.width >= 0.00001 && mLineHeight >= 0.00001 && area() != nullptr) {
            CViewArea* ar = area();
            const double right = roundHalfAway(ar->totalRect().width - ar->value(CViewArea::vInnerRight));
            const double topBorder = roundHalfAway(ar->value(CViewArea::vInnerTop));
            const double bottom = roundHalfAway(ar->totalRect().height - ar->value(CViewArea::vInnerBottom));
            const double r = std::min(x1 + rect.width, right);
            const double t = std::max(mTextTop, topBorder);
            const double bt = std::min(mTextTop + mLineHeight, bottom);
            rect = {x1, t, std::max(0.0, r - x1), std::max(0.0, bt - t)};
            if (rect.width <= 0.0 || rect.height <= 0.0)
                rect.width = rect.height = 0.0;
        }
    }
    if (rectDiffers(rect, mSelectionRect)) {
        redrawRect(mSelectionRect);
        mSelectionRect = rect;
        if (mSelectionItem >= 0)
            setDrawItemRect(*this, mSelectionItem, rect.x, rect.y, rect.width, rect.height);
        redrawRect(rect);
    }
}

void CReadOutAlt::restartBlink() {
    mCaretShown = true;
    mSkipBlink = true;
}

void CReadOutAlt::setSelectionPoints(std::int32_t position, std::int32_t anchor, std::int32_t end) {
    const std::int32_t n = mText.length();
    const std::int32_t old = mCursorPos;
    mCursorPos = std::clamp(position, -1, n);
    mSelAnchor = std::clamp(anchor, -1, n);
    mSelEnd = std::clamp(end, -1, n);
    if (mCursorPos != old)
        restartBlink();
}

void CReadOutAlt::setCursor(std::int32_t position, std::int32_t anchor, std::int32_t end, bool keepScreenPosition) {
    const std::int32_t old = mCursorPos;
    setSelectionPoints(position, anchor, end);
    if (keepScreenPosition && mScrollX != 0.0 && mCursorPos >= 0 && old >= 0) {
        mScrollX += caretAt(mCursorPos) - caretAt(old);
        invalidate();
    }
    updateCaretRect(false);
    updateSelectionRect();
}

CError* CReadOutAlt::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* error = CView::handleViewAreaUpdate(total, clip))
        return traceError(error, getFullName());
    const double k = windowScale();
    if (!(k == mLastWindowScale))
        mLastWindowScale = k;
    layoutText();
    const std::int32_t cursor = mCursorPos, anchor = mSelAnchor, end = mSelEnd;
    mCursorPos = mSelAnchor = mSelEnd = -1;
    updateCaretRect(false);
    updateSelectionRect();
    mScrollX = 0.0;
    setCursor(cursor, anchor, end, false);
    mVirtualKeyboardPending = false;   // the on-screen keyboard popup belongs to the window layer
    return nullptr;
}

// --- focus and keys ---

CError* CReadOutAlt::onFocus(CAttrMap& args) {
    mFocusText = mText;
    mHasKeyFocus = true;
    const bool isTab = flagOf(args, "is-tab");
    if (mSelectAllOnFocus || isTab) {
        setCursor(mText.length(), 0, mText.length(), false);
        if (mSelectAllOnFocus && !isTab)
            mSelectAllPressPending = true;
    }
    mUndoHistory = UndoHistory();
    mFirstKeyPending = true;
    invalidate();
    if (rootView() != nullptr)
        listenObject(rootView()->resolvePath(CString(".window-renderer.cursor-timer")), CString("tick"),
                     CString("cursor-timer"));
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (mVirtualKeyboardAllowed && settings != nullptr && settings->showVirtualKeyboard)
        mVirtualKeyboardPending = true;
    return traceError(runCommand(CString("focus"), nullptr), getFullName());
}

CError* CReadOutAlt::onBlur() {
    // A failing step is remembered and returned at the end: the blur always finishes, so the field
    // never keeps the focus state, its cursor timer or the typed value after the focus left.
    CError* first = nullptr;
    CGlobalSettings* settings = mGlobalSettings.resolve();
    if (mVirtualKeyboardAllowed && settings != nullptr && settings->showVirtualKeyboard) {
        CAttrMap args;
        first = runEvent(CString("popup-toggle"), &args);
    }
    mHasKeyFocus = false;
    invalidate();
    if (rootView() != nullptr)
        unlistenObject(rootView()->resolvePath(CString(".window-renderer.cursor-timer")), CString("tick"));
    if (CError* error = runCommand(CString("blur"), nullptr)) {
        if (first == nullptr)
            first = error;
        else
            delete error;
    }
    setCursor(-1, -1, -1, false);
    if (CError* error = setAttr(CString("title"), mText, false)) {
        if (first == nullptr)
            first = error;
        else
            delete error;
    }
    if (!(mText == mFocusText)) {
        mFocusText = mText;
        applyText();
        CAttrMap args;
        args.findOrAdd("text")->value.setText(mText);
        args.findOrAdd("paragraph-index")->value.setInt(0);
        args.findOrAdd("is-cancelled")->value.setInt(0);
        if (CError* error = fireEvent(CString("editbox-text-changed"), &args, false)) {
            if (first == nullptr)
                first = error;
            else
                delete error;
        }
    }
    return traceError(first, getFullName());
}

CError* CReadOutAlt::leaveEditing() { return traceError(dropWindowFocus(), getFullName()); }

void CReadOutAlt::pushUndoState() {
    mUndoHistory.index += 1;
    mUndoHistory.states.resize(std::size_t(mUndoHistory.index));
    mUndoHistory.states.push_back({mCursorPos, mText});
}

void CReadOutAlt::stepUndo(std::int32_t direction) {
    const std::int32_t count = std::int32_t(mUndoHistory.states.size());
    if (direction < 0 && mUndoHistory.index == count - 1 && count > 0)
        pushUndoState();
    std::int32_t i = mUndoHistory.index;
    const std::int32_t n = std::int32_t(mUndoHistory.states.size());
    do {
        i += direction;
    } while (i >= 0 && i < n && mUndoHistory.states[std::size_t(i)].text == mText);
    if (i < 0 || i >= n)
        return;
    const UndoState state = mUndoHistory.states[std::size_t(i)];
    reportError(setText(state.text));
    setCursor(state.cursor, -1, -1, false);
    mUndoHistory.index = i;
}

std::int32_t CReadOutAlt::findWordBoundary(std::int32_t position, std::int32_t direction) const {
    auto isBreak = [&](std::int32_t i) { return mWordBreakChars.findChar(mText.charAt(i)) >= 0; };
    std::vector<std::int32_t> starts;
    for (std::int32_t i = 0; i < mText.length(); ++i)
        if (!isBreak(i) && (i == 0 || isBreak(i - 1)))
            starts.push_back(i);
    std::int32_t w = -1;
    for (std::size_t j = 0; j < starts.size(); ++j)
        if (starts[j] <= position)
            w = std::int32_t(j);
    if (w < 0)
        return 0;
    if (direction < 0) {
        if (position != starts[std::size_t(w)])
            return starts[std::size_t(w)];
        return w > 0 ? starts[std::size_t(w - 1)] : 0;
    }
    return std::size_t(w) + 1 < starts.size() ? starts[std::size_t(w) + 1] : mText.length();
}

CError* CReadOutAlt::deleteRange(std::int32_t from, std::int32_t to) {
    from = std::clamp(from, 0, mText.length());
    to = std::clamp(to, from, mText.length());
    CString next = sub(mText, 0, from);
    next.append(sub(mText, to, mText.length()));
    if (CError* error = setText(next))
        return traceError(error, getFullName());
    setCursor(from, -1, -1, false);
    return nullptr;
}

CError* CReadOutAlt::insertString(const CString& s, bool newStep) {
    if (newStep && mNewUndoStepPending) {
        mNewUndoStepPending = false;
        pushUndoState();
    }
    if (mCursorPos < 0)
        mCursorPos = mText.length();   // a key without a caret types at the end
    if (hasSelection()) {
        const std::int32_t a = std::min(mSelAnchor, mSelEnd), b = std::max(mSelAnchor, mSelEnd);
        CString next = sub(mText, 0, a);
        next.append(s).append(sub(mText, b, mText.length()));
        if (CError* error = setText(next))
            return traceError(error, getFullName());
        setCursor(a + s.length(), -1, -1, false);
        return nullptr;
    }
    const std::int32_t at = mCursorPos;
    CString next = sub(mText, 0, at);
    next.append(s).append(sub(mText, at, mText.length()));
    if (CError* error = setText(next))
        return traceError(error, getFullName());
    setCursor(at + s.length(), -1, -1, true);
    return nullptr;
}

CError* CReadOutAlt::onKeyPress(CAttrMap& args) {
    CAttrValue* codeValue = args.findValue("keycode");
    const std::int32_t code = codeValue != nullptr ? codeValue->asInt() : 0;
    if (code < 1)
        return nullptr;
    const bool ctrl = flagOf(args, "is-ctrl"), shift = flagOf(args, "is-shift");
    if (mFirstKeyPending) {
        mFirstKeyPending = false;
        pushUndoState();
        mSavedHistory = mUndoHistory;
    }
    if (mCursorPos < 0)
        mCursorPos = mText.length();
    if (code <= kMaxChar) {
        if (mMaxParagraphLength > 0 && mText.length() >= mMaxParagraphLength)
            return nullptr;
        if (!isAcceptedChar(code))
            return nullptr;
        const bool separator = mWordBreakChars.findChar(std::uint32_t(code)) >= 0;
        if (separator)
            mNewUndoStepPending = true;
        CString s;
        appendCode(s, std::uint32_t(code));
        return traceError(insertString(s, !separator), getFullName());
    }
    const std::int32_t selMin = std::min(mSelAnchor, mSelEnd), selMax = std::max(mSelAnchor, mSelEnd);
    std::int32_t target = -2;
    switch (code) {
    case kEscape:
        mUndoHistory = mSavedHistory;
        stepUndo(-1);
        return traceError(leaveEditing(), getFullName());
    case kDelete:
    case kBackspace:
        if (hasSelection()) {
            pushUndoState();
            mNewUndoStepPending = true;
            return traceError(deleteRange(selMin, selMax), getFullName());
        }
        if (code == kDelete) {
            std::int32_t end = mCursorPos + 1;
            if (ctrl) {
                pushUndoState();
                mNewUndoStepPending = true;
                end = findWordBoundary(mCursorPos + 1, 1);
            }
            const std::int32_t keep = mCursorPos;
            if (CError* error = deleteRange(mCursorPos, end))
                return traceError(error, getFullName());
            setCursor(keep, -1, -1, false);
            return nullptr;
        }
        if (mCursorPos == 0)
            return nullptr;
        {
            std::int32_t start = mCursorPos - 1;
            if (ctrl) {
                pushUndoState();
                mNewUndoStepPending = true;
                start = findWordBoundary(mCursorPos - 1, -1);
            }
            return traceError(deleteRange(start, mCursorPos), getFullName());
        }
    case kTab:
        return traceError(focusNextInTabGroup(shift), getFullName());
    case kReturn:
        return traceError(leaveEditing(), getFullName());
    case kHome:
    case kPageUp:
    case kUp:
        target = 0;
        break;
    case kEnd:
    case kPageDown:
    case kDown:
        target = mText.length();
        break;
    case kLeft:
    case kRight:
        if (hasSelection() && !shift)
            target = code == kLeft ? selMin : selMax;
        else if (ctrl)
            target = findWordBoundary(mCursorPos, code == kLeft ? -1 : 1);
        else
            target = mCursorPos + (code == kLeft ? -1 : 1);
        target = std::clamp(target, 0, mText.length());
        break;
    case kSelectAll:
        setCursor(mText.length(), 0, mText.length(), false);
        return nullptr;
    case kCut:
        if (!hasSelection())
            return nullptr;
        CTextView::clipboardText() = sub(mText, selMin, selMax);
        mNewUndoStepPending = true;
        return traceError(insertString(CString(), true), getFullName());
    case kCopy:
        if (hasSelection())
            CTextView::clipboardText() = sub(mText, selMin, selMax);
        return nullptr;
    case kPaste: {
        const CString pasted = filterText(CTextView::clipboardText());
        if (pasted.isEmpty())
            return nullptr;
        mNewUndoStepPending = true;
        return traceError(insertString(pasted, true), getFullName());
    }
    case kUndo:
        stepUndo(-1);
        return nullptr;
    case kRedo:
        stepUndo(1);
        return nullptr;
    default:
        return nullptr;
    }
    if (shift) {
        const std::int32_t anchor = hasSelection() ? mSelAnchor : mCursorPos;
        setCursor(target, anchor, target, false);
    } else {
        setCursor(target, -1, -1, false);
    }
    return nullptr;
}

CError* CReadOutAlt::focusNextInTabGroup(bool backwards) {
    if (mTabGroup.isEmpty() || rootView() == nullptr)
        return nullptr;
    auto* list = dynamic_cast<CValueList*>(rootView()->findObject(mTabGroup));
    if (list == nullptr || list->itemCount() == 0)
        return nullptr;
    std::int32_t at = -1;
    for (int i = 0; i < list->itemCount() && at < 0; ++i)
        if (list->itemText(i) == getFullName())
            at = i;
    if (at < 0)
        return nullptr;
    const std::int32_t n = list->itemCount();
    for (std::int32_t step = 0; step < 2 * n; ++step) {
        at = (at + (backwards ? n - 1 : 1)) % n;
        auto* view = dynamic_cast<CView*>(findObject(list->itemText(at)));
        if (view == nullptr || view == this)
            continue;
        bool usable = true;
        for (CView* v = view; v != nullptr && usable; v = v->parentView())
            usable = !v->getBoolAttr("is-hidden") && !v->getBoolAttr("is-disabled");
        if (!usable)
            continue;
        CObject* window = findObject(rootView()->getTextAttr("window"));
        if (window == nullptr)
            return nullptr;
        CAttrMap args;
        args.findOrAdd("key-focus-view")->value.setText(view->getFullName());
        args.findOrAdd("is-tab")->value.setInt(1);
        return traceError(window->runEvent(CString("change-key-focus"), &args), getFullName());
    }
    return nullptr;
}

// --- mouse ---

std::int32_t CReadOutAlt::hitTest(double x) const {
    const double start = mTextX + mScrollX;
    if (x < start)
        return 0;
    for (std::int32_t i = 0; i < mText.length(); ++i)
        if (x < start + caretAt(i) + 0.6 * (caretAt(i + 1) - caretAt(i)))
            return i;
    return mText.length();
}

CError* CReadOutAlt::onMousePress(CAttrMap& args) {
    mButtonHeld = true;
    if (!mSelectAllPressPending) {
        if (flagOf(args, "is-double-click")) {
            setCursor(mText.length(), 0, mText.length(), false);
        } else {
            CAttrValue* x = args.findValue("x");
            const std::int32_t p = hitTest(x != nullptr ? x->asReal() : 0.0);
            setCursor(p, p, p, false);
        }
    }
    mNewUndoStepPending = true;
    return nullptr;
}

CError* CReadOutAlt::onMouseMove(CAttrMap& args) {
    if (!mHasKeyFocus || !mButtonHeld || mSelectAllPressPending)
        return nullptr;
    CAttrValue* x = args.findValue("x");
    const std::int32_t p = hitTest(x != nullptr ? x->asReal() : 0.0);
    setCursor(p, mSelAnchor, p, false);
    return nullptr;
}

CError* CReadOutAlt::onMouseRelease(CAttrMap&) {
    mButtonHeld = false;
    mSelectAllPressPending = false;
    return nullptr;
}

CError* CReadOutAlt::onMouseEnter() {
    mHovered = true;
    invalidate();
    return nullptr;
}

CError* CReadOutAlt::onMouseExit() {
    mHovered = false;
    invalidate();
    return nullptr;
}

// --- timer, clipboard, on-screen keys ---

CError* CReadOutAlt::onCursorTimer() {
    if (mSkipBlink) {
        mSkipBlink = false;
        return nullptr;
    }
    mCaretShown = !mCaretShown;
    updateCaretRect(true);
    return nullptr;
}

CError* CReadOutAlt::onCopy() {
    CTextView::clipboardText() = mText;
    return nullptr;
}

CError* CReadOutAlt::onPaste() {
    if (CError* error = setText(CTextView::clipboardText()))
        return traceError(error, getFullName());
    setCursor(-1, -1, -1, false);
    applyText();
    return nullptr;
}

CError* CReadOutAlt::onVirtualKeyboardPress(CAttrMap& args) {
    CAttrValue* keyValue = args.findValue("key");
    const CString key = keyValue != nullptr ? keyValue->asText() : CString();
    if (key.isEmpty())
        return nullptr;
    CAttrValue* capsValue = args.findValue("caps-button");
    CObject* caps = capsValue != nullptr ? findObject(capsValue->asText()) : nullptr;
    std::int32_t code = std::int32_t(key.charAt(0));
    if (key.equals("OK"))
        code = kReturn;
    else if (key.equals("Cancel"))
        code = kEscape;
    else if (key.equals("Bkspace"))
        code = kBackspace;
    else if (key.equals("Tab"))
        code = kTab;
    else if (key.equals("CAPS")) {
        if (caps != nullptr)
            return traceError(caps->setIntAttr(CString("is-active"), caps->getBoolAttr("is-active") ? 0 : 1, true),
                              getFullName());
        code = -1;
    } else if (code >= 'A' && code <= 'Z' && !(caps != nullptr && caps->getBoolAttr("is-active"))) {
        code += 'a' - 'A';
    }
    CAttrMap keyArgs;
    keyArgs.findOrAdd("keycode")->value.setInt(code);
    keyArgs.findOrAdd("is-ctrl")->value.setInt(0);
    keyArgs.findOrAdd("is-shift")->value.setInt(0);
    return traceError(runEvent(CString("key-press"), &keyArgs), getFullName());
}

// --- drawing ---

bool CReadOutAlt::prepareDraw() {
    CViewColorTable* table = colorTable();
    if (table != nullptr) {
        table->selectState(CString(mHasKeyFocus || mHovered ? "Hover" : ""));
        table->refresh();
    }
    mGlyphItems.clear();
    const CFont* font = regularFont();
    if (font == nullptr || area() == nullptr)
        return true;
    const CColor* color = table != nullptr ? table->getSlotColor(0) : nullptr;
    const double k = windowScale();
    double limit = mClipLeft;
    double dot = 0.0;
    bool dots = false;
    bool dotFallback = false;
    const CImageLayer* dotLayer = !mHasKeyFocus && mClipLeft != 0.0 ? glyphOf(*font, '.', dotFallback) : nullptr;
    if (dotLayer != nullptr && !dotFallback) {
        dots = true;
        dot = std::floor(k * dotLayer->advance() * dotLayer->inverseScale());
        limit = mClipLeft + 3.0 * dot;
    }
    const double ox = area()->totalRect().x, oy = area()->totalRect().y;
    double firstX = 0.0;
    bool haveFirst = false;
    for (std::int32_t j = 0; j < mText.length(); ++j) {
        const double x = mTextX + mScrollX + caretAt(j);
        if (!mHasKeyFocus && x < limit)
            continue;
        bool fallback = false;
        const CImageLayer* layer = glyphOf(*font, mText.charAt(j), fallback);
        if (layer == nullptr)
            continue;
        GlyphItem item;
        item.x = std::int32_t(snap(ox + x));
        item.y = std::int32_t(snap(oy + mBaselineY));
        item.draw = requestImageDraw(*this, const_cast<CImageLayer*>(layer), color, true, false, fallback ? 0.5 : 1.0);
        if (item.draw != nullptr)
            mGlyphItems.add(item);
        if (!haveFirst && mText.charAt(j) != ' ') {
            haveFirst = true;
            firstX = x;
        }
    }
    if (dots && haveFirst)
        for (int i = 1; i <= 3; ++i) {
            GlyphItem item;
            item.x = std::int32_t(snap(ox + firstX - i * dot));
            item.y = std::int32_t(snap(oy + mBaselineY));
            item.draw = requestImageDraw(*this, const_cast<CImageLayer*>(dotLayer), color, true, false, 1.0);
            if (item.draw != nullptr)
                mGlyphItems.add(item);
        }
    return true;
}

void CReadOutAlt::paint(CSector& sector) {
    CPixelRect clip;
    if (mTextItem >= 0 && drawItem(mTextItem)->intersectContext(sector, clip) && sector.target != nullptr)
        for (int i = 0; i < mGlyphItems.count(); ++i) {
            const GlyphItem& g = mGlyphItems[i];
            sector.target->drawImage(*g.draw, g.x - sector.windowRect.x, g.y - sector.windowRect.y, clip);
        }
    if (!mHasKeyFocus)
        return;
    if (hasSelection())
        drawDebugHighlight(sector, mSelectionItem);
    else if (mCursorPos >= 0 && mCaretShown)
        drawDebugHighlight(sector, mCaretItem);
}

} // namespace tal
