#include "UI/Controls/CTextWrapper.h"

#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/CTextReader.h"
#include "Core/NumberText.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "UI/Controls/CTextWrapperHost.h"
#include "UI/Resources/CFontObject.h"
#include "UI/Resources/CImageSetObject.h"

#include <algorithm>
#include <cmath>

namespace tal {

namespace {

constexpr double kEpsilon = 2.2204461e-16;
constexpr std::int32_t kLineFeed = 10;
constexpr std::int32_t kNoLimit = 999999999;

bool differs(double a, double b) noexcept { return std::fabs(a - b) > (std::fabs(a) + std::fabs(b)) * kEpsilon; }

// Nearest integer, halves away from zero.
double roundHalfAway(double v) noexcept { return std::round(v); }

bool samePosition(const CTextPosition& a, const CTextPosition& b) noexcept {
    return !differs(a.lineY, b.lineY) && !differs(a.x, b.x) && a.charIndex == b.charIndex;
}

bool sameText(const CString& a, const CString& b) noexcept {
    if (a.length() != b.length())
        return false;
    for (int i = 0; i < a.length(); ++i)
        if (a.charAt(i) != b.charAt(i))
            return false;
    return true;
}

bool tagIs(const CString& s, int start, int length, const char* tag) noexcept {
    int i = 0;
    for (; tag[i] != 0; ++i)
        if (i >= length || s.charAt(start + i) != std::uint32_t(static_cast<unsigned char>(tag[i])))
            return false;
    return i == length;
}

CImage* findSharedImage(const CString& setPath, const CString& imageName) {
    return CImageSetObject::findImage(setPath, imageName, true);
}

// Text of s before index i, then insert, then s from index i + removed.
CString spliced(const CString& s, int i, int removed, const CString& insert) {
    CString out(s, 0, i);
    out.append(insert);
    out.appendSub(s, i + removed, -1);
    return out;
}

void appendNumber(CString& line, double value) {
    CString number;
    formatFixedPoint(number, std::int64_t(std::llround(value * 100.0)), 2);
    line.append(number);
}

void appendIndexed(CString& line, const char* name, int index) {
    line.append(name);
    line.append(CString(index));
    line.append("]");
}

} // namespace

CTextWrapper::CTextWrapper(CTextWrapperHost* host) : view(host), mImageFinder(&findSharedImage) {}

CTextWrapper::~CTextWrapper() {
    for (CTextParagraph* p : paragraphs)
        delete p;
    for (CTextUndoState* u : undoStack)
        delete u;
}

double CTextWrapper::windowScale() const {
    return view ? view->textWindowScale() : 1.0;
}

// --- paragraphs ---

const CTextParagraph& CTextWrapper::paragraph(std::int32_t index) const noexcept {
    return index >= 0 && index < paragraphs.count() ? *paragraphs[index] : defaultParagraph;
}

void CTextWrapper::setText(CTextParagraph& p, std::int32_t index, const CString& text) {
    p.disabled = false;
    p.text = text;
    p.sourceText = text;
    if (text.length() >= 5 && tagIs(text, 0, 5, "[N/A]")) {
        p.disabled = true;
        p.text = CString(text, 5, -1);
    }
    if (maxParagraphLength > 0 && p.text.length() > maxParagraphLength)
        p.text = CString(p.text, 0, maxParagraphLength);
    rewrapList.add(index);
}

std::int32_t CTextWrapper::addParagraph(const CString& text) {
    const std::int32_t index = paragraphs.count();
    paragraphs.add(new CTextParagraph);
    setText(*paragraphs[index], index, text);
    return index;
}

bool CTextWrapper::setParagraphText(std::int32_t index, const CString& text) {
    if (index < 0 || index >= paragraphs.count())
        return false;
    // Compared with the text as set, so a change of the "[N/A]" prefix alone still takes effect.
    if (sameText(paragraphs[index]->sourceText, text))
        return false;
    setText(*paragraphs[index], index, text);
    return true;
}

void CTextWrapper::shiftRewrapList(std::int32_t from, std::int32_t delta) {
    // Pending rewraps follow their paragraphs; those of a removed paragraph go.
    int out = 0;
    for (int k = 0; k < rewrapList.count(); ++k) {
        std::int32_t i = rewrapList[k];
        if (delta < 0 && i == from)
            continue;
        if (i >= from + (delta < 0 ? 1 : 0))
            i += delta;
        rewrapList[out++] = i;
    }
    rewrapList.setCount(out);
}

void CTextWrapper::renumberLines(std::int32_t from) {
    for (std::int32_t i = std::max(0, from); i < paragraphs.count(); ++i)
        for (CTextLine* line : paragraphs[i]->lines)
            line->paragraph = i;
}

void CTextWrapper::insertParagraph(std::int32_t index, const CString& text) {
    index = std::clamp(index, 0, paragraphs.count());
    shiftRewrapList(index, 1);
    paragraphs.insertAt(index, new CTextParagraph);
    setText(*paragraphs[index], index, text);
    renumberLines(index + 1);
    positionsDirty = true;
}

void CTextWrapper::removeParagraph(std::int32_t index) {
    if (index < 0 || index >= paragraphs.count())
        return;
    shiftRewrapList(index, -1);
    delete paragraphs[index];
    paragraphs.removeAt(index);
    renumberLines(index);
    lineMap.clear();   // it pointed into the removed lines
    positionsDirty = true;
}

void CTextWrapper::clearParagraphs() {
    for (CTextParagraph* p : paragraphs)
        delete p;
    paragraphs.clear();
    rewrapList.clear();
    lineMap.clear();
    positionsDirty = true;
    rewrapAll = true;
}

void CTextWrapper::setActiveParagraph(std::int32_t index) {
    if (index == activeParagraph)
        return;
    if (rewrapList.indexOf(activeParagraph) < 0)
        rewrapList.add(activeParagraph);
    activeParagraph = index;
    if (rewrapList.indexOf(index) < 0)
        rewrapList.add(index);
    if (view)
        view->textLayoutChanged();
}

// --- settings ---

CError* CTextWrapper::setFontObject(CFontObject* fontObject) {
    if (!fontObject)
        return newError("@talstr_CTextWrapper_setFontObject_NoFontObject Font object is empty.", CString("UI/CTextWrapper"));
    for (int style = 0; style < CFontObject::kStyleCount; ++style) {
        CFont* font = fontObject->font(style);
        setFont(style, font ? font : fontObject->font(CFontObject::kRegular));
    }
    return nullptr;
}

void CTextWrapper::setFont(int style, CFont* font) {
    if (style < 0 || style >= CFontObject::kStyleCount)
        return;
    mGlyphValid[style] = false;   // a font given again may have been reloaded in place
    if (fonts[style] == font)
        return;
    fonts[style] = font;
    rewrapAll = true;
}

void CTextWrapper::setTextWrapped(bool wrapped) {
    if (wrapped != isTextWrapped) {
        isTextWrapped = wrapped;
        rewrapAll = true;
    }
}

void CTextWrapper::setLineHeightModifier(double modifier) {
    if (differs(modifier, lineHeightModifier)) {
        lineHeightModifier = modifier;
        positionsDirty = true;
    }
}

void CTextWrapper::setParagraphSpacing(double spacing) {
    if (differs(spacing, paragraphSpacing)) {
        paragraphSpacing = spacing;
        positionsDirty = true;
    }
}

void CTextWrapper::setTextAlignment(std::int32_t alignment) {
    if (alignment != textAlignment) {
        textAlignment = alignment;
        rewrapAll = true;
    }
}

void CTextWrapper::setVerticalAlignment(std::int32_t alignment) {
    if (alignment != verticalAlignment) {
        verticalAlignment = alignment;
        rewrapAll = true;
    }
}

void CTextWrapper::setAvailableWidth(double width) {
    if (differs(width, availableWidth)) {
        availableWidth = width;
        rewrapAll = true;
    }
}

void CTextWrapper::setAvailableHeight(double height) {
    if (differs(height, availableHeight)) {
        availableHeight = height;
        if (verticalAlignment == 0)
            rewrapAll = true;
    }
}

// --- layout ---

void CTextWrapper::updateLayout() {
    if (!allowNoParagraphs)
        while (paragraphs.isEmpty())
            addParagraph(CString());
    const double s = windowScale();
    const bool scaleChanged = differs(s, layoutScale);
    const CFont* regular = fonts[CFontObject::kRegular];
    if ((rewrapAll || scaleChanged) && regular) {
        rewrapAll = false;
        ascent = regular->ascent() * s * 0.9998;
        descent = regular->descent() * s;
        fontHeight = regular->metrics()[3] * s;
        for (std::int32_t i = 0; i < paragraphs.count(); ++i)
            wrapParagraph(i);
    } else {
        for (int k = 0; k < rewrapList.count(); ++k)
            wrapParagraph(rewrapList[k]);
    }
    rewrapList.clear();
    if (!positionsDirty && !scaleChanged)
        return;

    positionsDirty = false;
    layoutScale = s;
    lineMap.clear();
    textWidth = 0.0;
    double y = 0.0;
    const double m = roundHalfAway(lineHeightModifier * 0.5 * s);
    CTextLine* previous = nullptr;
    for (std::int32_t i = 0; i < paragraphs.count(); ++i) {
        CTextParagraph& p = *paragraphs[i];
        p.top = y;
        p.height = 0.0;
        if (i > 0)
            y += paragraphSpacing * s;
        for (CTextLine* line : p.lines) {
            line->prev = previous;
            const double h = line->naturalHeight + 2.0 * m;
            line->height = std::ceil(h);
            line->y = y + (std::ceil(h) - h) * 0.5;
            if (previous)
                previous->next = line;
            // Two slots at the same y (a zero-height line before): the later line keeps the key.
            if (!lineMap.isEmpty() && lineMap.last().y == y)
                lineMap.last().line = line;
            else
                lineMap.add(LineMapEntry{y, line});
            y += line->height;
            p.height += line->height;
            textWidth = std::max(textWidth, line->width);
            previous = line;
        }
    }
    if (previous)
        previous->next = nullptr;
    textHeight = previous ? y : ascent + descent;
    if (verticalAlignment == 0 && !paragraphs.isEmpty()) {
        const double d = (availableHeight - textHeight) * 0.5;
        for (CTextParagraph* p : paragraphs) {
            p->top += d;
            for (CTextLine* line : p->lines)
                line->y += d;
        }
        for (LineMapEntry& entry : lineMap)
            entry.y += d;
    }
}

void CTextWrapper::getTextSize(double& width, double& height) {
    updateLayout();
    width = textWidth;
    height = textHeight;
}

bool CTextWrapper::isSeparator(const CTextParagraph& p) const noexcept {
    return p.text.equals("[IMG=is.button#HR:Action]");
}

void CTextWrapper::placeLineX(CTextLine& line, double width, double w, double s, bool wrapped, int spaceCount) const {
    switch (textAlignment) {
    case 0: line.x = (availableWidth - width) * 0.5; break;
    case 2: line.x = availableWidth - width - 2.0 * s - marginRight; break;
    case 3:
        line.x = marginLeft;
        if (wrapped && spaceCount > 0)
            line.justifyExtra = (w - width) / spaceCount;
        break;
    default: line.x = marginLeft; break;
    }
}

void CTextWrapper::wrapParagraph(std::int32_t index) {
    if (index < 0 || index >= paragraphs.count())
        return;
    CTextParagraph& para = *paragraphs[index];
    para.captions.clear();
    para.clearLines();
    positionsDirty = true;
    const double s = windowScale();
    const double w = availableWidth - marginLeft - marginRight;
    if (isTextWrapped && w < 1.0)
        return;

    CString shown;
    if (isPassword) {
        shown.setLength(para.text.length(), false);
        for (int k = 0; k < para.text.length(); ++k)
            shown.chars8()[k] = '*';
    } else {
        shown = para.text;
    }
    if (index == activeParagraph) {
        CString prefixed(activeParagraphPrefix);
        prefixed.append(shown);
        shown = prefixed;
    }
    const int length = shown.length();
    const double m = roundHalfAway(lineHeightModifier * 0.5 * s);
    if (length == 0) {
        CTextLine* line = new CTextLine;
        line->naturalHeight = ascent + descent;
        line->paragraph = index;
        if (textAlignment == 0)
            line->x = availableWidth * 0.5;
        else if (textAlignment == 2)
            line->x = availableWidth - 2.0 * s - marginRight;
        else
            line->x = marginLeft;
        para.lines.add(line);
        return;
    }

    const bool separator = shown.equals("[IMG=is.button#HR:Action]");
    const double textLineHeight = ascent + descent;
    bool bold = false, italic = false, c1 = false, c2 = false, sup = false;
    double x = 0.0;
    double lineHeight = separator ? 0.0 : textLineHeight;
    double raise = 0.0;
    bool rule = false;
    // Reused between calls so wrapping allocates only the lines it keeps.
    CArray<CTextItem>& pending = mPending;
    pending.clear();
    const double glyphOffset = m + std::ceil(ascent + descent) - std::ceil(descent);
    int spaceCount = 0;
    int lastSpace = -1;
    double savedX = 0.0, savedL = lineHeight, savedR = 0.0;
    int lineStart = 0;
    bool previousMadeItem = false;

    for (int k = 0; k <= length; ++k) {
        const std::uint32_t ch = k < length ? shown.charAt(k) : std::uint32_t(kLineFeed);
        bool lineFeed = ch == std::uint32_t(kLineFeed);
        bool wrapped = false;
        int resumeAt = k + 1;
        double x2 = x;

        if (ch == ' ') {
            ++spaceCount;
            lastSpace = k;
            savedL = lineHeight;
            savedR = raise;
            savedX = x + (previousMadeItem ? 1.0 : 0.0);
        }

        CImage* image = nullptr;
        bool isImage = false;
        bool isRuleImage = false;
        int caption = -1;
        double imageHeight = 0.0;
        bool isTag = false;
        if (ch == '[' && k < length && !isPassword) {
            const int close = shown.findChar(']', k + 1);
            if (close > k) {
                const int start = k + 1;
                const int n = close - start;
                isTag = true;
                if (tagIs(shown, start, n, "B")) bold = true;
                else if (tagIs(shown, start, n, "/B")) bold = false;
                else if (tagIs(shown, start, n, "I")) italic = true;
                else if (tagIs(shown, start, n, "/I")) italic = false;
                else if (tagIs(shown, start, n, "C1")) c1 = true;
                else if (tagIs(shown, start, n, "/C1")) c1 = false;
                else if (tagIs(shown, start, n, "C2")) c2 = true;
                else if (tagIs(shown, start, n, "/C2")) c2 = false;
                else if (tagIs(shown, start, n, "SUP")) sup = true;
                else if (tagIs(shown, start, n, "/SUP")) sup = false;
                else if (tagIs(shown, start, n, "BR")) lineFeed = true;
                else if (n >= 4 && tagIs(shown, start, 4, "IMG=")) {
                    CStringList pieces;
                    CString(shown, start + 4, n - 4).split(pieces, ':', true, true);
                    CStringList names;
                    if (pieces.count() > 0)
                        pieces[0].split(names, '#', true, true);
                    if (names.count() >= 2 && mImageFinder)
                        image = mImageFinder(names[0], names[1]);
                    if (image) {
                        isImage = true;
                        if (pieces.count() > 1 && !pieces[1].isEmpty()) {
                            caption = para.captions.count();
                            para.captions.add(pieces[1]);
                        }
                        if (image->layerCount() > 0) {
                            const CImageLayer& f = *image->layer(0);
                            imageHeight = (f.height() + f.offsetY()) * s * f.scale();
                        }
                        if (imageHeight > lineHeight) {
                            raise = fontHeight * 0.5 + imageHeight * 0.5 - ascent;
                            lineHeight = imageHeight;
                        }
                        if (names[0].equals("is.button") && names[1].equals("HR")) {
                            isRuleImage = true;
                            rule = true;
                            raise = 0.0;
                        }
                    } else {
                        isTag = false;
                    }
                } else {
                    isTag = false;
                }
                if (isTag)
                    resumeAt = close + 1;
            }
        }

        bool madeItem = false;
        if (!lineFeed && (!isTag || isImage)) {
            double itemRaise = 0.0;
            double advance = -1.0;
            if (!isImage && ch >= 32) {
                const int style = sup ? 4 : bold && italic ? 1 : bold ? 0 : italic ? 2 : 3;
                const GlyphEntry& entry = glyph(style, ch, s);
                image = entry.image;
                advance = entry.advance;
                if (sup)
                    itemRaise = -0.5 * fontHeight;
            }
            if (image) {
                double q = 0.0;
                if (isImage ? image->layerCount() > 0 : advance >= 0.0) {
                    if (!isImage) {
                        const bool last = k + 1 >= length || shown.charAt(k + 1) == std::uint32_t(kLineFeed);
                        q = last ? roundHalfAway(advance) : std::floor(advance);
                    } else if (!isRuleImage) {
                        const CImageLayer& f = *image->layer(0);
                        q = std::trunc((f.width() + f.offsetX()) * s * f.scale());
                    }
                    x2 = x + q;
                    if (isTextWrapped && x2 > w) {
                        int b = -1;
                        if (ch == ' ') {
                            b = pending.count();
                        } else if (!pending.isEmpty()) {
                            b = 0;
                            for (int j = pending.count() - 1; j >= 1; --j)
                                if (pending[j].isSpace) {
                                    b = j;
                                    break;
                                }
                        }
                        if (b >= 1) {
                            pending.setCount(b);
                            resumeAt = lastSpace + 1;
                            --spaceCount;
                            x = savedX;
                            lineHeight = savedL;
                            raise = savedR;
                            wrapped = true;
                        }
                    }
                }
                if (!wrapped) {
                    double offset = glyphOffset + itemRaise;
                    if (isImage)
                        offset = isRuleImage ? m : m + (ascent + descent) * 0.5 - imageHeight * 0.5;
                    pending.add(CTextItem{c2 ? 2 : c1 ? 1 : 0, image, caption, q, caption < 0, !isImage, rule,
                                          ch == ' ', k, offset});
                    x = x2;
                    madeItem = true;
                }
            }
        }
        previousMadeItem = madeItem;

        if (lineFeed || wrapped) {
            CTextLine* line = new CTextLine;
            line->items = pending;
            line->naturalHeight = lineHeight;
            line->firstChar = lineStart;
            line->paragraph = index;
            line->imageRaise = raise;
            // After a wrap x holds the saved x: the end of the last word + 1.
            line->width = x;
            if (rule)
                line->x = 0.0;
            else
                placeLineX(*line, line->width, w, s, wrapped, spaceCount);
            para.lines.add(line);
            pending.clear();
            lineHeight = textLineHeight;
            raise = 0.0;
            rule = false;
            spaceCount = 0;
            x = 0.0;
            lineStart = resumeAt;
            previousMadeItem = false;
        }
        k = resumeAt - 1;
    }
}

CTextWrapper::GlyphEntry CTextWrapper::lookupGlyph(const CFont* font, std::uint32_t ch, double scale) {
    GlyphEntry entry{nullptr, -1.0};
    if (!font || ch < 32)
        return entry;
    if (ch < std::uint32_t(font->imageCount()))
        entry.image = font->image(std::int32_t(ch));
    if (!entry.image && font->imageCount() > kFallbackGlyph)
        entry.image = font->image(kFallbackGlyph);
    if (entry.image && entry.image->layerCount() > 0) {
        const CImageLayer& f = *entry.image->layer(0);
        entry.advance = f.advance() * scale * f.scale();
    }
    return entry;
}

const CTextWrapper::GlyphEntry& CTextWrapper::glyph(int style, std::uint32_t ch, double scale) {
    if (ch >= 256) {
        mWideGlyph = lookupGlyph(fonts[style], ch, scale);
        return mWideGlyph;
    }
    if (!mGlyphValid[style] || mGlyphFonts[style] != fonts[style] || mGlyphScale != scale) {
        if (mGlyphScale != scale) {
            for (bool& valid : mGlyphValid)
                valid = false;
            mGlyphScale = scale;
        }
        mGlyphFonts[style] = fonts[style];
        mGlyphValid[style] = true;
        for (std::uint32_t c = 0; c < 256; ++c)
            mGlyphTable[style][c] = lookupGlyph(fonts[style], c, scale);
    }
    return mGlyphTable[style][ch];
}

void CTextWrapper::dumpLayout(CStringList& out) {
    const CFont* regular = fonts[CFontObject::kRegular];
    if (!regular)
        return;
    const double s = windowScale();
    const double m = roundHalfAway(lineHeightModifier * 0.5 * s);
    auto add = [&out](const char* name, double value) {
        CString line(name);
        appendNumber(line, value);
        out.add(line);
    };
    add("FontAscent ", regular->ascent() * s * 0.9998);
    add("FontDescent ", regular->descent() * s);
    add("FontHeight ", regular->metrics()[3] * s);
    CString modifier("LineHeightModifier ");
    appendNumber(modifier, 2.0 * m);
    modifier.append(" (original ");
    appendNumber(modifier, lineHeightModifier);
    modifier.append(", winscale ");
    appendNumber(modifier, s);
    modifier.append(")");
    out.add(modifier);
    updateLayout();
    CString size("TextSize ");
    appendNumber(size, textWidth);
    size.append(" x ");
    appendNumber(size, textHeight);
    out.add(size);
    add("AvailableHeight ", availableHeight);
    add("AlignOffsetY ", (availableHeight - textHeight) * 0.5);
    for (std::int32_t i = 0; i < paragraphs.count(); ++i) {
        const CTextParagraph& p = *paragraphs[i];
        CString head;
        appendIndexed(head, "Paragraph[", i);
        CString top(head);
        top.append(".StartY ");
        appendNumber(top, p.top);
        out.add(top);
        for (int j = 0; j < p.lines.count(); ++j) {
            const CTextLine& line = *p.lines[j];
            CString lineHead(head);
            appendIndexed(lineHead, ".Line[", j);
            CString start(lineHead);
            start.append(".StartY ");
            appendNumber(start, line.y);
            out.add(start);
            CString height(lineHead);
            height.append(".Height ");
            appendNumber(height, line.height);
            out.add(height);
            for (int k = 0; k < line.items.count(); ++k) {
                CString item(lineHead);
                appendIndexed(item, ".Char[", k);
                item.append(".ShiftY ");
                appendNumber(item, line.items[k].offsetY);
                out.add(item);
            }
        }
    }
}

// --- hit testing, hover and paragraph selection ---

CTextLine* CTextWrapper::findLineAtY(bool includeSeparator, double y) {
    updateLayout();
    if (lineMap.isEmpty())
        return nullptr;
    CTextLine* result = nullptr;
    if (lineMap.count() == 1) {
        CTextLine* line = lineMap[0].line;
        if (y < line->y + line->height)
            result = line;
    } else {
        if (y < 0.0)
            return nullptr;
        // The entry with the greatest key <= y, or the first one.
        const LineMapEntry* it = std::upper_bound(lineMap.begin(), lineMap.end(), y,
                                                  [](double v, const LineMapEntry& e) { return v < e.y; });
        CTextLine* line = (it == lineMap.begin() ? it : it - 1)->line;
        if (line->y <= y && y < line->y + line->height)
            result = line;
    }
    if (result && !includeSeparator && isSeparator(paragraph(result->paragraph)))
        return nullptr;
    return result;
}

bool CTextWrapper::isParagraphDisabledAtY(double, double y) {
    const CTextLine* line = findLineAtY(false, y);
    return !line || paragraph(line->paragraph).disabled;
}

void CTextWrapper::selectParagraphAtY(double, double y) {
    const CTextLine* line = findLineAtY(false, y);
    if (!line || paragraph(line->paragraph).disabled)
        return;
    setSelectedParagraph(line->paragraph);
    if (keepAllSelected) {
        keepAllSelected = false;
        selectAll(true);
    }
}

bool CTextWrapper::setSelectedParagraph(std::int32_t index) {
    if (paragraph(index).disabled)
        index = selectedParagraph >= 0 && !paragraph(selectedParagraph).disabled ? selectedParagraph : -1;
    if (!isParagraphSelectable || index == selectedParagraph)
        return false;
    invalidateParagraph(selectedParagraph);
    selectedParagraph = index;
    invalidateParagraph(selectedParagraph);
    return true;
}

void CTextWrapper::invalidateParagraph(std::int32_t index) {
    const CTextParagraph& p = paragraph(index);
    invalidate(CAreaRect{-4.0, p.top, availableWidth + 8.0, p.height + 1.0});
}

void CTextWrapper::invalidate(const CAreaRect& rect) {
    if (view)
        view->textUpdateRect(rect);
}

void CTextWrapper::mouseMove(bool dragging, double x, double y) {
    CTextLine* line = findLineAtY(false, y);
    if (x < 0.0 || x > availableWidth)
        line = nullptr;
    if (isParagraphHoverable) {
        std::int32_t h = line ? line->paragraph : -1;
        if (h >= 0 && paragraph(h).disabled)
            h = -1;
        if (h != hoverParagraph) {
            invalidateParagraph(hoverParagraph);
            hoverParagraph = h;
            invalidateParagraph(hoverParagraph);
        }
    }
    if (dragging && !keepAllSelected) {
        CTextPosition position;
        setPositionFromX(findLineAtY(false, y), position, false, false, x);
        if (position.lineY != CTextPosition::kNoLine)
            extendSelection(position);
    }
}

void CTextWrapper::mouseDown(bool selectWhole, double x, double y) {
    CTextLine* line = findLineAtY(false, y);
    if (!line || paragraph(line->paragraph).disabled)
        return;
    if (!isReadOnly) {
        if (selectWhole) {
            selectAll(true);
        } else {
            CTextPosition position = cursor;
            setPositionFromX(line, position, false, true, x);
            setCursorAt(position);
            collapseSelection(true);
        }
    }
    if (keepAllSelected)
        selectAll(true);
}

void CTextWrapper::setCursorAt(const CTextPosition& position) {
    invalidateCursor(cursor);
    cursor.lineY = position.lineY;
    cursor.charIndex = position.charIndex;
    cursor.x = position.x;
    cursor.wantedX = position.x;
    invalidateCursor(cursor);
}

// --- cursor and text selection ---

CTextLine* CTextWrapper::lineAtPosition(const CTextPosition& position) {
    // A position never placed, or placed on no line, lies on no line even where a single-line
    // text would be hit at that y.
    if (position.lineY == CTextPosition::kNone || position.lineY == CTextPosition::kNoLine)
        return nullptr;
    return findLineAtY(true, position.lineY);
}

void CTextWrapper::invalidateCursor(const CTextPosition& position) {
    if (const CTextLine* line = lineAtPosition(position))
        invalidate(CAreaRect{position.x, line->y, 2.0, line->height});
}

void CTextWrapper::showCursor(bool selectAllText, bool keepAll) {
    cursorVisible = true;
    skipBlink = true;
    escapePressed = false;
    invalidateCursor(cursor);
    if (selectAllText && !isReadOnly) {
        keepAllSelected = keepAll;
        selectAll(true);
    }
}

void CTextWrapper::removeCursor() {
    cursorVisible = false;
    skipBlink = false;
    invalidateCursor(cursor);
    cursor = CTextPosition{CTextPosition::kNone, 0, 0.0, 0.0};
    collapseSelection(true);
}

void CTextWrapper::blinkCursor() {
    if (skipBlink) {
        skipBlink = false;
        return;
    }
    cursorVisible = !cursorVisible;
    invalidateCursor(cursor);
}

void CTextWrapper::updateCursorPosition() {
    const CTextLine* line = lineAtPosition(cursor);
    if (!line)
        return;
    invalidateCursor(cursor);
    setPositionFromIndex(line->paragraph, cursor.charIndex, cursor, true, true, false);
}

void CTextWrapper::selectAll(bool moveCursor) {
    if (moveCursor) {
        // The end of the first line. Lines sit a fraction of a pixel below their slot, so a hit
        // test at y 0 would miss the first line of a text of several lines.
        updateLayout();
        CTextPosition position;
        setPositionFromX(lineMap.isEmpty() ? nullptr : lineMap[0].line, position, false, false, kLineEndX);
        if (differs(position.lineY, cursor.lineY) || position.charIndex != cursor.charIndex ||
            differs(position.x, cursor.x)) {
            setCursorAt(position);
            collapseSelection(true);
        }
    }
    invalidateSelection();
    updateLayout();
    setPositionFromIndex(0, 0, selectionAnchor, false, false, false);
    const std::int32_t last = std::max(0, paragraphs.count() - 1);
    setPositionFromIndex(last, paragraph(last).text.length(), selectionEnd, false, false, false);
    updateSelectionRects();
    invalidateSelection();
}

void CTextWrapper::collapseSelection(bool invalidateIt) {
    if (invalidateIt)
        invalidateSelection();
    selectionAnchor = cursor;
    selectionEnd = cursor;
    updateSelectionRects();
    invalidateSelection();
}

void CTextWrapper::setPositionFromX(CTextLine* line, CTextPosition& position, bool invalidateIt, bool setWanted,
                                    double x) {
    if (invalidateIt)
        invalidateCursor(position);
    if (line) {
        position.lineY = line->y;
        double pos = line->x;
        const int count = line->items.count();
        int stop = 0;
        for (; stop < count; ++stop) {
            const CTextItem& item = line->items[stop];
            if (x < pos + item.width * 0.5)
                break;
            pos += item.width;
            if (x < pos) {
                ++stop;
                break;
            }
            if (item.isSpace)
                pos += line->justifyExtra;
        }
        if (count == 0)
            position.charIndex = line->firstChar;
        else
            position.charIndex = line->items[std::min(stop, count - 1)].charIndex + (stop == count ? 1 : 0);
        position.x = std::max(0.0, pos);
    } else {
        position.lineY = CTextPosition::kNoLine;
    }
    if (setWanted)
        position.wantedX = position.x;
    if (invalidateIt)
        invalidateCursor(position);
}

void CTextWrapper::setPositionFromIndex(std::int32_t p, std::int32_t i, CTextPosition& position, bool invalidateIt,
                                        bool setWanted, bool preferBefore) {
    if (invalidateIt)
        invalidateCursor(position);
    updateLayout();
    normalizePosition(p, i);
    const CTextLine* result = nullptr;
    double pos = 0.0;
    bool chosen = false;
    for (const CTextLine* line : paragraph(p).lines) {
        if (line->firstChar > i)
            break;
        result = line;
        pos = line->x;
        const int count = line->items.count();
        for (int j = 0; j < count; ++j) {
            const CTextItem& item = line->items[j];
            chosen = preferBefore ? (j == count - 1 || line->items[j + 1].charIndex > i) : item.charIndex >= i;
            if (chosen) {
                i = item.charIndex;
                break;
            }
            pos += item.width;
            if (item.isSpace)
                pos += line->justifyExtra;
        }
        if (chosen)
            break;
    }
    position.lineY = result ? result->y : CTextPosition::kNoLine;
    position.charIndex = i;
    position.x = pos;
    if (setWanted)
        position.wantedX = pos;
    if (invalidateIt)
        invalidateCursor(position);
}

void CTextWrapper::normalizePosition(std::int32_t& p, std::int32_t& i) const {
    const std::int32_t last = paragraphs.count() - 1;
    p = std::clamp(p, 0, std::max(0, last));
    for (;;) {
        const std::int32_t length = paragraph(p).text.length();
        if (i < 0) {
            if (p <= 0) {
                p = 0;
                i = 0;
                return;
            }
            --p;
            i += paragraph(p).text.length() + 1;
        } else if (i > length) {
            if (p >= last) {
                i = length;
                return;
            }
            i -= length + 1;
            ++p;
        } else {
            return;
        }
    }
}

std::int32_t CTextWrapper::wordDistance(const CTextPosition& position, std::int32_t d) {
    const CTextLine* line = lineAtPosition(position);
    if (d == 0 || !line)
        return 0;
    std::int32_t p = line->paragraph;
    std::int32_t i = d < 0 ? position.charIndex - 1 : position.charIndex;
    std::int32_t n = 0;
    for (;;) {
        i += d;
        normalizePosition(p, i);
        n += d;
        if (d < 0 && i <= 0)
            return n - 1;
        if (d > 0 && i >= paragraph(p).text.length() - 1)
            return n + 1;
        if (paragraph(p).text.charAt(i) == ' ')
            return n;
    }
}

CTextLine* CTextWrapper::moveLines(CTextLine* line, std::int32_t n) const {
    for (; line && n > 0 && line->next; --n)
        line = line->next;
    for (; line && n < 0 && line->prev; ++n)
        line = line->prev;
    return line;
}

void CTextWrapper::extendSelection(const CTextPosition& position) {
    invalidateSelection();
    selectionEnd = position;
    updateSelectionRects();
    invalidateSelection();
}

bool CTextWrapper::isSelectionEmpty() const noexcept {
    return samePosition(selectionAnchor, selectionEnd);
}

void CTextWrapper::updateSelectionRects() {
    for (CAreaRect& r : selectionRects)
        r = CAreaRect{};
    const CTextLine* la = lineAtPosition(selectionAnchor);
    const CTextLine* lb = lineAtPosition(selectionEnd);
    if (isReadOnly || !la || !lb || isSelectionEmpty())
        return;
    const CTextPosition* a = &selectionAnchor;
    const CTextPosition* b = &selectionEnd;
    if (lb->paragraph < la->paragraph || (lb->paragraph == la->paragraph && b->charIndex < a->charIndex)) {
        std::swap(a, b);
        std::swap(la, lb);
    }
    if (la == lb) {
        selectionRects[0] = CAreaRect{a->x, la->y, b->x - a->x + 1.0, la->height};
        return;
    }
    selectionRects[0] = CAreaRect{a->x, la->y, availableWidth - a->x, la->height};
    selectionRects[2] = CAreaRect{0.0, lb->y, b->x + 1.0, lb->height};
    const double gap = lb->y - (la->y + la->height);
    if (gap >= 0.0)
        selectionRects[1] = CAreaRect{0.0, la->y + la->height, availableWidth, gap};
}

void CTextWrapper::invalidateSelection() {
    for (const CAreaRect& r : selectionRects)
        invalidate(r);
}

// --- editing ---

bool CTextWrapper::acceptsChar(std::uint32_t ch) const {
    return acceptChars.isEmpty() || acceptChars.contains(std::int32_t(ch));
}

void CTextWrapper::keyPress(std::int32_t key, bool ctrl, bool shift, bool& endEdit) {
    cursorVisible = true;
    skipBlink = true;
    endEdit = false;
    if (key < 1 || isReadOnly)
        return;
    if (key <= 0xDFFF && !acceptsChar(std::uint32_t(key)))
        return;
    CTextLine* line = lineAtPosition(cursor);
    if (!line)
        return;
    if (key == kKeyUndo) {
        if (undoPosition >= 0) {
            // Undoing from the newest state keeps that state, so redo can come back to it.
            if (undoPosition == undoStack.count() - 1) {
                saveUndoState();
                --undoPosition;
            }
            restoreUndoState();
            --undoPosition;
        }
        return;
    }
    if (key == kKeyRedo) {
        if (undoPosition + 2 <= undoStack.count() - 1) {
            undoPosition += 2;
            restoreUndoState();
            --undoPosition;
        }
        return;
    }
    if (isSelectionEmpty())
        collapseSelection(true);
    if (key <= 0xDFFF) {
        if (key == ' ')
            saveUndoState();
        deleteSelection(false);
        insertChar(key, true);
        collapseSelection(true);
        return;
    }
    bool moved = false;
    switch (key) {
    case kKeyEscape:
        escapePressed = true;
        endEdit = true;
        collapseSelection(true);
        break;
    case kKeyBackspace:
    case kKeyDelete:
        saveUndoState();
        if (isSelectionEmpty()) {
            std::int32_t n = key == kKeyBackspace ? -1 : 1;
            if (ctrl)
                n = wordDistance(cursor, n);
            deleteChars(cursor, n);
        } else {
            deleteSelection(false);
        }
        break;
    case kKeyTab:
        deleteSelection(true);
        insertText(CString("    "), true);
        collapseSelection(true);
        break;
    case kKeyReturn:
        if (ctrl ? allowLineBreaks : allowNewParagraphs) {
            deleteSelection(true);
            if (ctrl)
                insertChar(kLineFeed, true);
            else
                splitParagraph();
            collapseSelection(true);
        } else {
            collapseSelection(true);
            endEdit = true;
        }
        break;
    case kKeyHome:
    case kKeyEnd: {
        CTextLine* target = line;
        if (ctrl && !lineMap.isEmpty())
            target = key == kKeyHome ? lineMap[0].line : lineMap.last().line;
        setPositionFromX(target, cursor, true, true, key == kKeyHome ? 0.0 : availableWidth);
        moved = true;
        break;
    }
    case kKeyUp:
    case kKeyDown:
    case kKeyPageUp:
    case kKeyPageDown: {
        const std::int32_t d = key == kKeyUp ? -1 : key == kKeyDown ? 1 : key == kKeyPageUp ? -10 : 10;
        if (d < 0 && !line->prev)
            setPositionFromX(line, cursor, true, true, 0.0);
        else if (d > 0 && !line->next)
            setPositionFromX(line, cursor, true, true, availableWidth);
        else
            setPositionFromX(moveLines(line, d), cursor, true, false, cursor.wantedX);
        moved = true;
        break;
    }
    case kKeyLeft:
    case kKeyRight: {
        std::int32_t n = key == kKeyLeft ? -1 : 1;
        if (ctrl)
            n = wordDistance(cursor, n);
        setPositionFromIndex(line->paragraph, cursor.charIndex + n, cursor, true, true, n < 0);
        cursorVisible = true;
        moved = true;
        break;
    }
    case kKeySelectAll: selectAll(true); break;
    case kKeyCut:
        copyText();
        deleteSelection(true);
        break;
    case kKeyCopy: copyText(); break;
    case kKeyPaste:
        deleteSelection(true);
        pasteText();
        if (view)
            view->textRedraw();
        break;
    default: break;
    }
    if (moved) {
        if (shift)
            extendSelection(cursor);
        else
            collapseSelection(true);
    }
}

void CTextWrapper::insertChar(std::int32_t ch, bool moveCursor) {
    CString text;
    CTextReader::appendCodePoint(text, std::uint32_t(ch));
    const CTextLine* line = lineAtPosition(cursor);
    if (!line)
        return;
    const std::int32_t p = line->paragraph;
    if (maxParagraphLength >= 1 && paragraph(p).text.length() >= maxParagraphLength)
        return;
    insertText(text, moveCursor);
}

void CTextWrapper::insertText(const CString& text, bool moveCursor) {
    const CTextLine* line = lineAtPosition(cursor);
    if (!line)
        return;
    const std::int32_t p = line->paragraph;
    const std::int32_t limit = maxParagraphLength < 1 ? kNoLimit : maxParagraphLength;
    const CString& current = paragraph(p).text;
    if (current.length() >= limit)
        return;
    const std::int32_t i = std::clamp(cursor.charIndex, 0, current.length());
    const std::int32_t n = std::min(text.length(), limit - current.length());
    const CString updated = spliced(current, i, 0, CString(text, 0, n));
    invalidateParagraph(p);
    setParagraphText(p, updated);
    updateLayout();
    invalidateParagraph(p);
    setPositionFromIndex(p, moveCursor ? i + n : i, cursor, true, true, false);
}

void CTextWrapper::splitParagraph() {
    const CTextLine* line = lineAtPosition(cursor);
    if (!line)
        return;
    const std::int32_t p = line->paragraph;
    const CString current = paragraph(p).text;
    const std::int32_t i = std::clamp(cursor.charIndex, 0, current.length());
    invalidateParagraph(p);
    insertParagraph(p, CString(current, 0, i));
    setParagraphText(p + 1, CString(current, i, -1));
    updateLayout();
    invalidateParagraph(p);
    invalidateParagraph(p + 1);
    setPositionFromIndex(p + 1, 0, cursor, true, true, false);
}

void CTextWrapper::deleteRange(std::int32_t p1, std::int32_t i1, std::int32_t p2, std::int32_t i2,
                               std::int32_t& outParagraph, std::int32_t& outIndex) {
    normalizePosition(p1, i1);
    normalizePosition(p2, i2);
    if (p2 < p1 || (p2 == p1 && i2 < i1)) {
        std::swap(p1, p2);
        std::swap(i1, i2);
    }
    CString joined(paragraph(p1).text, 0, i1);
    joined.appendSub(paragraph(p2).text, i2, -1);
    invalidateCursor(cursor);
    invalidateParagraph(p1);
    for (std::int32_t p = p2; p > p1; --p) {
        invalidateParagraph(p);
        removeParagraph(p);
    }
    setParagraphText(p1, joined);
    invalidateParagraph(p1);
    outParagraph = p1;
    outIndex = i1;
}

void CTextWrapper::deleteChars(CTextPosition& position, std::int32_t n) {
    if (n == 0)
        return;
    const CTextLine* line = lineAtPosition(position);
    if (!line)
        return;
    const std::int32_t p = line->paragraph;
    const std::int32_t i = position.charIndex;
    std::int32_t startP = 0, startI = 0;
    deleteRange(p, i, p, i + n, startP, startI);
    setPositionFromIndex(startP, startI, cursor, true, true, false);
    collapseSelection(true);
}

void CTextWrapper::deleteSelection(bool saveUndo) {
    if (saveUndo)
        saveUndoState();
    invalidateSelection();
    const CTextLine* la = lineAtPosition(selectionAnchor);
    const CTextLine* lb = lineAtPosition(selectionEnd);
    if (la && lb && !isSelectionEmpty()) {
        std::int32_t p = 0, i = 0;
        deleteRange(la->paragraph, selectionAnchor.charIndex, lb->paragraph, selectionEnd.charIndex, p, i);
        setPositionFromIndex(p, i, cursor, true, true, false);
    }
    selectionAnchor = cursor;
    selectionEnd = cursor;
    updateSelectionRects();
    invalidateSelection();
}

void CTextWrapper::setAcceptChars(const CString& chars) {
    acceptChars.clear();
    for (int k = 0; k < chars.length(); ++k) {
        const std::uint32_t c = chars.charAt(k);
        if (c >= 1 && c <= 0xDFFF)
            acceptChars.findOrAdd(std::int32_t(c));
    }
}

void CTextWrapper::clearUndoAbove(int count) {
    while (undoStack.count() > count) {
        delete undoStack.last();
        undoStack.setCount(undoStack.count() - 1);
    }
}

void CTextWrapper::saveUndoState() {
    ++undoPosition;
    clearUndoAbove(undoPosition);
    CTextUndoState* state = new CTextUndoState;
    undoStack.add(state);
    state->cursor = cursor;
    const CTextLine* at = lineAtPosition(cursor);
    state->linesBefore = -1;
    if (at) {
        state->linesBefore = 0;
        for (const CTextLine* line = lineMap.isEmpty() ? nullptr : lineMap[0].line; line && line != at;
             line = line->next)
            ++state->linesBefore;
    }
    // The texts as set, so a restored list item keeps its "[N/A]" state.
    for (const CTextParagraph* p : paragraphs)
        state->texts.add(p->sourceText);
    if (undoStack.count() > kMaxUndoStates) {
        delete undoStack[0];
        undoStack.removeAt(0);
        --undoPosition;
    }
}

void CTextWrapper::restoreUndoState() {
    if (undoPosition < 0 || undoPosition >= undoStack.count())
        return;
    const CTextUndoState& state = *undoStack[undoPosition];
    clearParagraphs();
    for (int k = 0; k < state.texts.count(); ++k)
        addParagraph(state.texts[k]);
    updateLayout();
    cursor = state.cursor;
    const CTextLine* line = lineMap.isEmpty() || state.linesBefore < 0 ? nullptr : lineMap[0].line;
    for (int k = 0; line && k < state.linesBefore; ++k)
        line = line->next;
    cursor.lineY = line ? line->y : CTextPosition::kNoLine;
    selectionAnchor = cursor;
    selectionEnd = cursor;
    updateSelectionRects();
    invalidateSelection();
    if (view)
        view->textRedraw();
}

// --- clipboard ---

CString CTextWrapper::selectionClipboardText() {
    const CTextLine* la = lineAtPosition(selectionAnchor);
    const CTextLine* lb = lineAtPosition(selectionEnd);
    if (!la || !lb || isSelectionEmpty())
        return CString();
    std::int32_t p1 = la->paragraph, i1 = selectionAnchor.charIndex;
    std::int32_t p2 = lb->paragraph, i2 = selectionEnd.charIndex;
    normalizePosition(p1, i1);
    normalizePosition(p2, i2);
    if (p2 < p1 || (p2 == p1 && i2 < i1)) {
        std::swap(p1, p2);
        std::swap(i1, i2);
    }
    if (p1 == p2)
        return CString(paragraph(p1).text, i1, i2 - i1);
    CString out;
    for (std::int32_t p = p1; p <= p2; ++p) {
        const CString& text = paragraph(p).text;
        const int start = p == p1 ? i1 : 0;
        const int end = p == p2 ? i2 : text.length();
        for (int k = start; k < end; ++k) {
            const std::uint32_t c = text.charAt(k);
            if (c == std::uint32_t(kLineFeed))
                out.append("[BR]");
            else
                CTextReader::appendCodePoint(out, c);
        }
        if (p < p2)
            out.append("\r\n");
    }
    return out;
}

void CTextWrapper::copyText() {
    const CString text = selectionClipboardText();
    if (!text.isEmpty() && view)
        view->setClipboardText(text);
}

void CTextWrapper::pasteText() {
    if (view)
        pasteClipboardText(view->getClipboardText());
}

void CTextWrapper::pasteClipboardText(const CString& text) {
    // Characters outside the accepted set go, and so do carriage returns, so that the empty lines
    // of CR LF text are skipped like those of LF text.
    CString kept;
    for (int k = 0; k < text.length(); ++k) {
        const std::uint32_t c = text.charAt(k);
        if (c == '\r')
            continue;
        if (!acceptChars.isEmpty() && (c < 1 || c > 0xDFFF || !acceptChars.contains(std::int32_t(c))))
            continue;
        CTextReader::appendCodePoint(kept, c);
    }
    CStringList pieces;
    kept.split(pieces, std::uint32_t(kLineFeed), true, true);
    const CString lineBreak("\n");
    for (int k = 0; k < pieces.count(); ++k) {
        CString piece = pieces[k];
        for (int at = piece.find(CString("[BR]")); at >= 0; at = piece.find(CString("[BR]"), at + 1))
            piece.replace(at, 4, lineBreak);
        insertText(piece, true);
        if (k + 1 < pieces.count())
            splitParagraph();
    }
    collapseSelection(true);
}

void CTextWrapper::replaceWithClipboardText(const CString& text) {
    clearParagraphs();
    addParagraph(CString());
    setPositionFromIndex(0, 0, cursor, false, true, false);
    collapseSelection(false);
    pasteClipboardText(text);
}

} // namespace tal
