#include "UI/CViewBasePlacement.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Core/CStringList.h"
#include "Core/CSystem.h"
#include "Core/Log.h"
#include "Core/NumberText.h"
#include "UI/CLayoutSolver.h"
#include "UI/CWindowSharedData.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace tal {

namespace {

using Handler = CError* (CViewBasePlacement::*)(CAttrValue&);

// The scheme entry of one attribute: the most derived handler with the value, plus a trace line.
template <Handler H>
CError* attrThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = (static_cast<CViewBasePlacement*>(object)->*H)(value != nullptr ? *value : none))
        return traceError(err);
    return nullptr;
}

struct CAttrEntry {
    const char* name;
    CAttrHandler handler;
};

// In the order the scheme lists them.
const CAttrEntry kAttrTable[] = {
    {"alignment-h", &attrThunk<&CViewBasePlacement::attrAlignmentH>},
    {"alignment-v", &attrThunk<&CViewBasePlacement::attrAlignmentV>},
    {"compact-width", &attrThunk<&CViewBasePlacement::attrCompactWidth>},
    {"compact-height", &attrThunk<&CViewBasePlacement::attrCompactHeight>},
    {"draw-opacity", &attrThunk<&CViewBasePlacement::attrDrawOpacity>},
    {"inline-alignment-h", &attrThunk<&CViewBasePlacement::attrInlineAlignmentH>},
    {"inline-alignment-v", &attrThunk<&CViewBasePlacement::attrInlineAlignmentV>},
    {"inner-border", &attrThunk<&CViewBasePlacement::attrInnerBorder>},
    {"is-disabled", &attrThunk<&CViewBasePlacement::attrIsDisabled>},
    {"is-hidden", &attrThunk<&CViewBasePlacement::attrIsHidden>},
    {"is-inline-vertical", &attrThunk<&CViewBasePlacement::attrIsInlineVertical>},
    {"is-new-inline-row", &attrThunk<&CViewBasePlacement::attrIsNewInlineRow>},
    {"is-visible", &attrThunk<&CViewBasePlacement::attrIsVisible>},
    {"max-width", &attrThunk<&CViewBasePlacement::attrMaxWidth>},
    {"max-height", &attrThunk<&CViewBasePlacement::attrMaxHeight>},
    {"min-ratio-x", &attrThunk<&CViewBasePlacement::attrMinRatioX>},
    {"min-ratio-y", &attrThunk<&CViewBasePlacement::attrMinRatioY>},
    {"min-width", &attrThunk<&CViewBasePlacement::attrMinWidth>},
    {"min-height", &attrThunk<&CViewBasePlacement::attrMinHeight>},
    {"offset-x", &attrThunk<&CViewBasePlacement::attrOffsetX>},
    {"offset-y", &attrThunk<&CViewBasePlacement::attrOffsetY>},
    {"opacity", &attrThunk<&CViewBasePlacement::attrOpacity>},
    {"opaque-border", &attrThunk<&CViewBasePlacement::attrOpaqueBorder>},
    {"outer-border", &attrThunk<&CViewBasePlacement::attrOuterBorder>},
    {"placement", &attrThunk<&CViewBasePlacement::attrPlacement>},
    {"ratio-x", &attrThunk<&CViewBasePlacement::attrRatioX>},
    {"ratio-y", &attrThunk<&CViewBasePlacement::attrRatioY>},
    {"scroller-width", &attrThunk<&CViewBasePlacement::attrScrollerWidth>},
    {"scroller-height", &attrThunk<&CViewBasePlacement::attrScrollerHeight>},
    {"spread", &attrThunk<&CViewBasePlacement::attrSpread>},
    {"width", &attrThunk<&CViewBasePlacement::attrWidth>},
    {"height", &attrThunk<&CViewBasePlacement::attrHeight>},
};

// The placement words in the order of their codes 1 to 12.
const char* const kPlacementNames[] = {
    "inline", "full", "top", "bottom", "left", "right", "overlay", "window-overlay", "match",
    "scroller-h", "scroller-v", "scroller-p",
};

double roundHalfAway(double v) noexcept { return v < 0.0 ? -std::floor(0.5 - v) : std::floor(v + 0.5); }

// A number written as text: the whole text must form it, else 0.
double readNumber(const CString& text) {
    bool valid = false;
    const double x = parseDouble(text, &valid);
    return valid ? x : 0.0;
}

// A real value, or the handler's default when it does not convert.
double readReal(CAttrValue& value, double fallback) {
    return value.convert(CAttrValue::kReal) ? value.asReal() : fallback;
}

double clamp01(double v) noexcept { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

bool isPercentText(const CString& text) { return matchWildcard(text, "*%"); }

std::int32_t saturate32(std::int64_t v) noexcept {
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(v);
}

} // namespace

void CViewBasePlacement::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    for (const CAttrEntry& entry : kAttrTable)
        scheme->addAttrHandler(CString(entry.name)) = entry.handler;
}

CViewBasePlacement::~CViewBasePlacement() { delete mArea; }

// --- life cycle ---

CError* CViewBasePlacement::init() {
    if (CError* err = CObject::init()) return traceError(err, getFullName());
    isDebug = getBoolAttr("debug");
    debugName = getFullName();
    const bool isRoot = getBoolAttr("is-root-view");
    CWindowSharedData* shared = nullptr;
    if (CError* err = findObjectChecked(shared, CString("ui.window-shared-data")))
        return traceError(err, getFullName());

    if (isRoot) {
        CViewArea* old = mArea;
        mArea = new CViewArea(static_cast<CViewAreaUpdateHandler*>(this), nullptr, false);
        delete old;
        mRootPlacement = this;
        mParentPlacement = nullptr;
        mIsDecorative = getBoolAttr("is-decorative");
        mIsDynamic = false;
        mZ = 0;
        updateCumulativeOpacity();
        updateCumulativeDrawOpacity();
        return nullptr;
    }

    auto* parentView = dynamic_cast<CViewBasePlacement*>(parent());
    if (parentView == nullptr)
        return newError("@talstr_CViewBasePlacement_init_NoParentView Unable to locate parent view.", getFullName());
    // A parent whose own initialisation failed has neither a root nor an area to join.
    if (parentView->mRootPlacement == nullptr || parentView->mArea == nullptr)
        return newError("@talstr_CViewBasePlacement_init_NoRootView Unable to locate root view.", getFullName());
    mParentPlacement = parentView;
    mRootPlacement = parentView->mRootPlacement;

    mIsScrollable = getBoolAttr("is-scrollable");
    CViewArea* old = mArea;
    mArea = new CViewArea(static_cast<CViewAreaUpdateHandler*>(this), parentView->mArea, mIsScrollable);
    delete old;

    const std::int32_t unclip = getIntAttr("unclip-level");
    if (unclip != 0) {
        mArea->setUnclipLevel(unclip);
    } else {
        const int level = parentView->mArea->unclipLevel();
        if (level > 0)
            mArea->setUnclipLevel(level < std::numeric_limits<int>::max() ? level + 1 : level);
        else if (level < 0)
            mArea->setUnclipLevel(level);
    }

    mIsDecorative = getBoolAttr("is-decorative");
    mIsDynamic = parentView->mIsDynamic ? true : getBoolAttr("is-dynamic");
    if (getBoolAttr("is-force-non-dynamic")) mIsDynamic = false;
    computeZ();
    updateCumulativeOpacity();
    updateCumulativeDrawOpacity();
    return nullptr;
}

void CViewBasePlacement::computeZ() {
    const CString text = getTextAttr("z-index");
    // "topmost N": the global top layer.
    if (text.length() >= 8 && CString(text, 0, 8).equals("topmost ")) {
        const std::int64_t n = parseInt(CString(text, 8, -1), 0);
        mZ = saturate32(n * 100000 + 900000000);
        return;
    }
    // "D path": D above the view at the path.
    const int blank = text.findChar(' ');
    if (blank >= 0) {
        const CString path(text, blank + 1, -1);
        if (auto* target = dynamic_cast<CViewBasePlacement*>(findObject(path))) {
            mZ = saturate32(std::int64_t(target->mZ) + parseInt(CString(text, 0, blank), 0));
            return;
        }
        char pathLine[1024];
        std::snprintf(pathLine, sizeof pathLine, "Z-index target not found: %s", path.narrowed().chars8());
        const CString& name = getFullName();
        if (name.isEmpty()) {
            writeLog(pathLine, true);
        } else {
            char line[1280];
            std::snprintf(line, sizeof line, "%s // %s", pathLine, name.narrowed().chars8());
            writeLog(line, true);
        }
    }
    // Default: above the parent (or the parent's base for its static or dynamic children), in the
    // order the children were created; each child of the root gets its own band of 100000.
    CViewBasePlacement* p = mParentPlacement;
    std::int64_t base = mIsDynamic ? p->getIntAttr("z-index-dynamic-childs") : p->getIntAttr("z-index-static-childs");
    if (base == 0) base = p->mZ;
    const std::int64_t n = p->childCount();
    const std::int64_t k = parseInt(text, 0);
    const bool parentIsRoot = p->mRootPlacement == p;
    mZ = saturate32(base + n + k + (parentIsRoot ? 100000 * n : 0) + (mIsDynamic ? 1500 : 1000));
}

void CViewBasePlacement::writeLine(const char* text) const {
    std::string line(text);
    const CString& name = getFullName();
    if (!name.isEmpty()) {
        line += " // ";
        line += name.narrowed().chars8();
    }
    writeLog(line.c_str(), true);
}

// --- readers ---

void CViewBasePlacement::parseBorder(const CString& text, double& left, double& top, double& right, double& bottom,
                                     bool round, bool scale) const {
    left = top = right = bottom = 0.0;
    CStringList tokens;
    text.split(tokens, ' ', true, true);
    for (int t = 0; t < tokens.count(); ++t) {
        const CString& token = tokens[t];
        const int length = token.length();
        bool sides[4] = {false, false, false, false};   // left, top, right, bottom
        bool add = false;
        int i = 0;
        for (; i < length; ++i) {
            const std::uint32_t c = token.charAt(i);
            if (c == '*') add = true;
            else if (c == 'L' || c == 'l') sides[0] = true;
            else if (c == 'T' || c == 't') sides[1] = true;
            else if (c == 'R' || c == 'r') sides[2] = true;
            else if (c == 'B' || c == 'b') sides[3] = true;
            else break;
        }
        if (i == length) continue;   // no number: nothing changes
        if (token.charAt(i) == '+') ++i;
        for (int j = i; j < length; ++j) {
            const std::uint32_t c = token.charAt(j);
            if ((c < '0' || c > '9') && c != '-' && c != '.') {
                const std::string line = std::string("Invalid border syntax: '") + text.narrowed().chars8() + "' (2)";
                writeLine(line.c_str());
                return;
            }
        }
        double x = readNumber(CString(token, i, length - i));
        if (!sides[0] && !sides[1] && !sides[2] && !sides[3]) sides[0] = sides[1] = sides[2] = sides[3] = true;
        if (scale) x *= windowScale();
        if (round) x = roundHalfAway(x);
        double* out[4] = {&left, &top, &right, &bottom};
        for (int s = 0; s < 4; ++s)
            if (sides[s]) *out[s] = add ? *out[s] + x : x;
    }
}

double CViewBasePlacement::parsePercent(const CString& text) {
    if (text.isEmpty()) return 0.0;
    return readNumber(CString(text, 0, text.length() - 1)) * 0.01;
}

double CViewBasePlacement::windowScale() const noexcept { return mArea != nullptr ? mArea->windowScale() : 1.0; }

// --- placement, width and height ---

CError* CViewBasePlacement::attrPlacement(CAttrValue& value) {
    if (mArea == nullptr || mParentPlacement == nullptr) return nullptr;
    const CString text = value.asText();
    int code = -1;
    for (int i = 0; i < 12; ++i)
        if (text.equals(kPlacementNames[i])) {
            code = i + 1;
            break;
        }
    if (code < 0)
        return newError("@talstr_CViewBasePlacement_attrPlacement_InvalidPlacement Invalid placement '%1'.",
                        getFullName(), text);
    if (code == CViewArea::kPlaceMatch) {
        const CString path = getTextAttr("placement-match");
        auto* target = dynamic_cast<CViewBasePlacement*>(findObject(path));
        if (target == nullptr || target->mArea == nullptr || target == this)
            return newError("@talstr_CViewBasePlacement_attrPlacement_InvalidMatch Invalid match '%1'.", getFullName(),
                            path);
        mArea->setMatchTarget(target->mArea);
    }
    mArea->setPlacement(code);
    return nullptr;
}

CError* CViewBasePlacement::inlineFallback(bool isWidth) {
    if (!getTextAttr("placement").equals("inline")) return nullptr;
    if (CError* err = setAttr(CString("placement"), CString(isWidth ? "top" : "left"), true))
        return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBasePlacement::setSize(CAttrValue& value, bool isWidth) {
    if (mArea == nullptr || mArea->placement() == CViewArea::kPlaceMatch) return nullptr;
    const CString text = value.asText();
    if (text.isEmpty())
        return isWidth ? newError("@talstr_CViewBasePlacement_attrWidth_EmptyWidth Width cannot be empty.",
                                  getFullName())
                       : newError("@talstr_CViewBasePlacement_attrHeight_EmptyHeight Height cannot be empty.",
                                  getFullName());
    auto badSyntax = [&]() {
        return isWidth ? newError("@talstr_CViewBasePlacement_attrWidth_BadWidth Invalid width syntax '%1'.",
                                  getFullName(), text)
                       : newError("@talstr_CViewBasePlacement_attrHeight_BadHeight Invalid height syntax '%1'.",
                                  getFullName(), text);
    };
    CViewArea& a = *mArea;
    switch (text.charAt(0)) {
    case 'f':
        if (!text.equals("full-simple")) return badSyntax();
        if (CError* err = inlineFallback(isWidth)) return traceError(err, getFullName());
        isWidth ? a.setWidthFull() : a.setHeightFull();
        return nullptr;
    case 'c': {
        if (text.equals("compact")) {
            isWidth ? a.setWidthCompact() : a.setHeightCompact();
            return nullptr;
        }
        if (!matchWildcard(text, "compact *%")) return badSyntax();
        if (CError* err = inlineFallback(isWidth)) return traceError(err, getFullName());
        CStringList pieces;
        text.split(pieces, ' ', false, true);
        if (pieces.count() != 2)
            return isWidth ? newError("@talstr_CViewBasePlacement_attrWidth_BadCompactWidth Invalid compact width "
                                      "syntax '%1'.",
                                      getFullName(), text)
                           : newError("@talstr_CViewBasePlacement_attrWidth_BadCompactHeight Invalid compact height "
                                      "syntax '%1'.",
                                      getFullName(), text);
        const double f = parsePercent(pieces[1]);
        isWidth ? a.setWidthCompactPercent(f) : a.setHeightCompactPercent(f);
        return nullptr;
    }
    case 'b':
        if (!text.equals("balanced")) return badSyntax();
        isWidth ? a.setWidthBalanced() : a.setHeightBalanced();
        return nullptr;
    default:
        if (isPercentText(text)) {
            const double f = parsePercent(text);
            isWidth ? a.setWidthPercent(f) : a.setHeightPercent(f);
        } else {
            const double pixels = readNumber(text) * windowScale();
            isWidth ? a.setFixedWidth(pixels) : a.setFixedHeight(pixels);
        }
        return nullptr;
    }
}

CError* CViewBasePlacement::attrWidth(CAttrValue& value) { return setSize(value, true); }

CError* CViewBasePlacement::attrHeight(CAttrValue& value) { return setSize(value, false); }

// --- alignment ---

int CViewBasePlacement::alignmentCode(const CString& text, const char* first, const char* last) {
    if (text.equals(first)) return -1;
    if (text.equals("center")) return 0;
    if (text.equals(last)) return 1;
    return -2;
}

CError* CViewBasePlacement::setAlignment(CAttrValue& value, bool isHorizontal, void (CViewArea::*setter)(int),
                                         CErrorSite message) {
    if (mArea == nullptr) return nullptr;
    const CString& text = value.asText();
    const int code = isHorizontal ? alignmentCode(text, "left", "right") : alignmentCode(text, "top", "bottom");
    if (code < -1) return newError(message, getFullName(), text);
    (mArea->*setter)(code);
    return nullptr;
}

CError* CViewBasePlacement::attrAlignmentH(CAttrValue& value) {
    return setAlignment(value, true, &CViewArea::setAlignmentH,
                        "@talstr_CViewBasePlacement_attrAlignmentH_InvalidAlignmentH Invalid alignment-h '%1'.");
}

CError* CViewBasePlacement::attrAlignmentV(CAttrValue& value) {
    return setAlignment(value, false, &CViewArea::setAlignmentV,
                        "@talstr_CViewBasePlacement_attrAlignmentV_InvalidAlignmentV Invalid alignment-v '%1'.");
}

CError* CViewBasePlacement::attrInlineAlignmentH(CAttrValue& value) {
    return setAlignment(value, true, &CViewArea::setInlineAlignmentH,
                        "@talstr_CViewBasePlacement_attrInlineAlignmentH_InvalidAlignment Invalid inline-alignment-h "
                        "'%1'.");
}

CError* CViewBasePlacement::attrInlineAlignmentV(CAttrValue& value) {
    return setAlignment(value, false, &CViewArea::setInlineAlignmentV,
                        "@talstr_CViewBasePlacement_attrInlineAlignmentV_InvalidAlignment Invalid inline-alignment-v "
                        "'%1'.");
}

// --- sizes and limits ---

CError* CViewBasePlacement::attrCompactWidth(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    const CString& text = value.asText();
    if (!text.equals("auto")) mArea->setCompactWidth(readNumber(text) * windowScale());
    return nullptr;
}

CError* CViewBasePlacement::attrCompactHeight(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    const CString& text = value.asText();
    if (!text.equals("auto")) mArea->setCompactHeight(readNumber(text) * windowScale());
    return nullptr;
}

void CViewBasePlacement::setMaxSize(CAttrValue& value, bool isWidth) {
    const CString& text = value.asText();
    if (isPercentText(text)) {
        const double f = parsePercent(text);
        isWidth ? mArea->setMaxWidthPercent(f) : mArea->setMaxHeightPercent(f);
    } else {
        const double pixels = readNumber(text) * windowScale();
        isWidth ? mArea->setMaxWidth(pixels) : mArea->setMaxHeight(pixels);
    }
}

void CViewBasePlacement::setMinSize(CAttrValue& value, bool isWidth) {
    const CString& text = value.asText();
    if (text.equals("balanced")) {
        isWidth ? mArea->setMinWidthBalanced() : mArea->setMinHeightBalanced();
    } else if (text.equals("compact")) {
        isWidth ? mArea->setMinWidthCompact() : mArea->setMinHeightCompact();
    } else if (isPercentText(text)) {
        const double f = parsePercent(text);
        isWidth ? mArea->setMinWidthPercent(f) : mArea->setMinHeightPercent(f);
    } else {
        const double pixels = readNumber(text) * windowScale();
        isWidth ? mArea->setMinWidth(pixels) : mArea->setMinHeight(pixels);
    }
}

CError* CViewBasePlacement::attrMaxWidth(CAttrValue& value) {
    if (mArea != nullptr) setMaxSize(value, true);
    return nullptr;
}

CError* CViewBasePlacement::attrMaxHeight(CAttrValue& value) {
    if (mArea != nullptr) setMaxSize(value, false);
    return nullptr;
}

CError* CViewBasePlacement::attrMinWidth(CAttrValue& value) {
    if (mArea != nullptr) setMinSize(value, true);
    return nullptr;
}

CError* CViewBasePlacement::attrMinHeight(CAttrValue& value) {
    if (mArea != nullptr) setMinSize(value, false);
    return nullptr;
}

// --- borders ---

CError* CViewBasePlacement::attrInnerBorder(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    double l, t, r, b;
    parseBorder(value.asText(), l, t, r, b, false, false);
    mArea->setInnerBorderBottom(b);
    mArea->setInnerBorderLeft(l);
    mArea->setInnerBorderRight(r);
    mArea->setInnerBorderTop(t);
    return nullptr;
}

CError* CViewBasePlacement::attrOuterBorder(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    double l, t, r, b;
    parseBorder(value.asText(), l, t, r, b, true, true);
    mArea->setOuterBorderBottom(b);
    mArea->setOuterBorderLeft(l);
    mArea->setOuterBorderRight(r);
    mArea->setOuterBorderTop(t);
    return nullptr;
}

CError* CViewBasePlacement::attrOpaqueBorder(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    const CString& text = value.asText();
    if (text.isEmpty()) {
        mArea->setOpaqueBorder(false, 0, 0, 0, 0);
        return nullptr;
    }
    double l, t, r, b;
    parseBorder(text, l, t, r, b, false, false);
    mArea->setOpaqueBorder(true, l, t, r, b);
    return nullptr;
}

CError* CViewBasePlacement::attrSpread(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    double l, t, r, b;
    parseBorder(value.asText(), l, t, r, b, false, true);
    mArea->setSpreadBottom(b);
    mArea->setSpreadLeft(l);
    mArea->setSpreadRight(r);
    mArea->setSpreadTop(t);
    return nullptr;
}

// --- flags and scrolling ---

CError* CViewBasePlacement::attrIsInlineVertical(CAttrValue& value) {
    if (mArea != nullptr) mArea->setInlineVertical(value.asBool());
    return nullptr;
}

CError* CViewBasePlacement::attrIsNewInlineRow(CAttrValue& value) {
    if (mArea != nullptr) mArea->setNewInlineRow(value.asBool());
    return nullptr;
}

CError* CViewBasePlacement::attrMinRatioX(CAttrValue& value) {
    if (mArea != nullptr) mArea->setMinRatioX(readReal(value, 1e-4));
    return nullptr;
}

CError* CViewBasePlacement::attrMinRatioY(CAttrValue& value) {
    if (mArea != nullptr) mArea->setMinRatioY(readReal(value, 1e-4));
    return nullptr;
}

CError* CViewBasePlacement::attrOffsetX(CAttrValue& value) {
    if (mArea != nullptr) mArea->setOffsetX(readReal(value, 0.0));
    return nullptr;
}

CError* CViewBasePlacement::attrOffsetY(CAttrValue& value) {
    if (mArea != nullptr) mArea->setOffsetY(readReal(value, 0.0));
    return nullptr;
}

CError* CViewBasePlacement::attrRatioX(CAttrValue& value) {
    if (mArea != nullptr) mArea->setRatioX(readReal(value, 1.0));
    return nullptr;
}

CError* CViewBasePlacement::attrRatioY(CAttrValue& value) {
    if (mArea != nullptr) mArea->setRatioY(readReal(value, 1.0));
    return nullptr;
}

CError* CViewBasePlacement::attrScrollerWidth(CAttrValue& value) {
    if (mArea != nullptr) mArea->setScrollerWidth(readReal(value, 0.0) * windowScale());
    return nullptr;
}

CError* CViewBasePlacement::attrScrollerHeight(CAttrValue& value) {
    if (mArea != nullptr) mArea->setScrollerHeight(readReal(value, 0.0) * windowScale());
    return nullptr;
}

// --- opacity ---

CError* CViewBasePlacement::attrOpacity(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    const CString& text = value.asText();
    setOpacity(clamp01(isPercentText(text) ? parsePercent(text) : readNumber(text)));
    return nullptr;
}

CError* CViewBasePlacement::attrDrawOpacity(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    setDrawOpacity(clamp01(readReal(value, 1.0)));
    return nullptr;
}

void CViewBasePlacement::setOpacity(double value) {
    if (!CLayoutSolver::differs(value, mOpacity)) return;
    mOpacity = value;
    updateCumulativeOpacity();
    invalidate();
}

void CViewBasePlacement::setDrawOpacity(double value) {
    if (!CLayoutSolver::differs(value, mDrawOpacity)) return;
    mDrawOpacity = value;
    updateCumulativeDrawOpacity();
    invalidate();
}

void CViewBasePlacement::updateCumulativeOpacity() {
    updateProduct(&CViewBasePlacement::mOpacity, &CViewBasePlacement::mCumulativeOpacity);
}

void CViewBasePlacement::updateCumulativeDrawOpacity() {
    updateProduct(&CViewBasePlacement::mDrawOpacity, &CViewBasePlacement::mCumulativeDrawOpacity);
}

void CViewBasePlacement::updateProduct(double CViewBasePlacement::*own, double CViewBasePlacement::*cumulative) {
    double product = this->*own;
    for (const CViewBasePlacement* p = mParentPlacement; p != nullptr; p = p->mParentPlacement)
        product *= p->*own;
    const double old = this->*cumulative;
    this->*cumulative = product;
    // Views below change only when this product did.
    if (!CLayoutSolver::differs(product, old)) return;
    for (int i = 0; i < childCount(); ++i)
        if (auto* view = dynamic_cast<CViewBasePlacement*>(child(i))) view->updateProduct(own, cumulative);
}

// --- redraw requests ---

void CViewBasePlacement::invalidate() {
    if (mArea == nullptr || mPreparedPass < 0 || !mArea->isShown()) return;
    mPreparedPass = 0;
    mIsFullRedrawPending = true;
    mArea->solver()->requestRedraw(mArea);
}

void CViewBasePlacement::addUpdateRect(const CAreaRect& rect) {
    if (mArea == nullptr || mPreparedPass < 0 || mIsFullRedrawPending) return;
    if (rect.width < 1e-5 || rect.height < 1e-5) return;
    mPreparedPass = 0;
    const CAreaRect& total = mArea->totalRect();
    mUpdateRects.add(CAreaRect{rect.x + total.x, rect.y + total.y, rect.width, rect.height});
    mArea->solver()->requestRedraw(mArea);
}

void CViewBasePlacement::invalidateDescendants() {
    for (int i = 0; i < childCount(); ++i)
        if (auto* view = dynamic_cast<CViewBasePlacement*>(child(i))) {
            view->invalidate();
            view->invalidateDescendants();
        }
}

void CViewBasePlacement::clearRedrawRequests() noexcept {
    mIsFullRedrawPending = false;
    mUpdateRects.clear();
}

CError* CViewBasePlacement::updateLayout() {
    if (mArea == nullptr) return nullptr;
    if (CError* err = mArea->updateLayout()) return traceError(err, getFullName());
    return nullptr;
}

// --- visibility and disabling ---

CError* CViewBasePlacement::attrIsHidden(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    const bool hide = value.asBool();
    if (hide == !mArea->isVisible()) return nullptr;
    if (hide && !mIsDynamic && mRootPlacement != nullptr) mRootPlacement->invalidateSectors(mArea->totalRect(), this);
    mArea->setVisible(!hide);
    if (getBoolAttr("is-weak-hide")) return nullptr;
    if (CError* err = updateHover()) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBasePlacement::attrIsVisible(CAttrValue& value) {
    if (mArea == nullptr) return nullptr;
    if (CError* err = setIntAttr(CString("is-hidden"), value.asBool() ? 0 : 1, true))
        return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBasePlacement::attrIsDisabled(CAttrValue& value) {
    if (CError* err = setDisabled(value.asBool())) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBasePlacement::setDisabled(bool disabled) {
    if (mArea == nullptr || disabled == mIsDisabled) return nullptr;
    mIsDisabled = disabled;
    CAttrMap args;
    if (CError* err = runEvent(CString("mouse-exit"), &args)) return traceError(err, getFullName());
    invalidate();
    invalidateDescendants();
    if (CError* err = onDisabledChanged()) return traceError(err, getFullName());
    return nullptr;
}

CError* CViewBasePlacement::onDisabledChanged() {
    for (int i = 0; i < childCount(); ++i)
        if (auto* view = dynamic_cast<CViewBasePlacement*>(child(i)))
            if (CError* err = view->onDisabledChanged()) return traceError(err, getFullName());
    return nullptr;
}

} // namespace tal
