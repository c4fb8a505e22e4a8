#include "UI/Controls/CCaption.h"

#include "Core/CAttrValue.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "UI/CLayoutSolver.h"
#include "UI/CSector.h"
#include "UI/CViewArea.h"
#include "UI/CViewColorTable.h"
#include "UI/Resources/CFontObject.h"

#include <cmath>

namespace tal {

namespace {

using AttrOp = CError* (CCaption::*)(CAttrValue&);

template <AttrOp Op>
CError* captionAttrThunk(CObject* object, CAttrValue* value) {
    CAttrValue none;
    if (CError* err = (static_cast<CCaption*>(object)->*Op)(value != nullptr ? *value : none)) return traceError(err);
    return nullptr;
}

struct CCaptionAttrEntry {
    const char* name;
    CAttrHandler handler;
};

const CCaptionAttrEntry kCaptionAttrs[] = {
    {"font-name", &captionAttrThunk<&CCaption::attrFontName>},
    {"text-alignment", &captionAttrThunk<&CCaption::attrTextAlignment>},
    {"text-alignment-v", &captionAttrThunk<&CCaption::attrTextAlignmentV>},
    {"text-color", &captionAttrThunk<&CCaption::attrTextColor>},
    {"title", &captionAttrThunk<&CCaption::attrTitle>},
};

} // namespace

CObject* CCaption::create() { return new CCaption; }

void CCaption::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    for (const CCaptionAttrEntry& entry : kCaptionAttrs) scheme->addAttrHandler(CString(entry.name)) = entry.handler;
}

CCaption::CCaption() : mHost(*this) {}

CCaption::~CCaption() = default;

CError* CCaption::init() {
    if (CError* err = CView::init()) return traceError(err, getFullName());
    mText.host = &mHost;
    mText.rightSideGap = getDoubleAttr("right-side-gap");
    return nullptr;
}

void CCaption::setColorName(std::int32_t index, const CString& name) {
    CViewColorTable* table = colorTable();
    if (table == nullptr || sharesColorTable()) return;
    const CStringList& names = table->colorNames();
    if (index >= names.count() || !(names[index] == name)) table->setColorName(index, name);
}

CError* CCaption::initChilds() {
    if (CError* err = CView::initChilds()) return traceError(err, getFullName());
    const CString width = getTextAttr("width");
    const CString height = getTextAttr("height");
    if (!(width == CString("compact")))
        if (CError* err = setAttr(CString("compact-width"), width, true)) return traceError(err, getFullName());
    if (!(height == CString("compact")))
        if (CError* err = setAttr(CString("compact-height"), height, true)) return traceError(err, getFullName());
    setColorName(0, getTextAttr("text-color"));
    mText.textColorIndex = 0;
    const CString shadow = getTextAttr("shadow-color");
    if (!shadow.isEmpty()) {
        setColorName(1, shadow);
        mText.shadowColorIndex = 1;
    }
    return nullptr;
}

CError* CCaption::attrFontName(CAttrValue& value) {
    const CString path = value.asText();
    if (path.isEmpty())
        return newError("@talstr_CCaption_attrFontName_FontNameEmpty Attribute 'font-name' is empty", getFullName());
    auto* font = dynamic_cast<CFontObject*>(findObject(path));
    if (font == nullptr) return newError("@talstr_CCaption_attrFontName_NoFont Font '%1' not found.", getFullName(), path);
    if (font == mText.fontObject) return nullptr;
    mText.fontObject = font;
    if (CError* err = updateContent()) return traceError(err, getFullName());
    invalidate();
    return nullptr;
}

CError* CCaption::attrTextAlignment(CAttrValue& value) {
    const CString& text = value.asText();
    const std::int32_t alignment = text.equals("right") ? 1 : text.equals("center") ? 0 : -1;
    if (alignment != mText.alignH) {
        mText.alignH = alignment;
        invalidate();
    }
    return nullptr;
}

CError* CCaption::attrTextAlignmentV(CAttrValue& value) {
    const CString& text = value.asText();
    const std::int32_t alignment = text.equals("bottom") ? 1 : text.equals("center") ? 0 : -1;
    if (alignment != mText.alignV) {
        mText.alignV = alignment;
        invalidate();
    }
    return nullptr;
}

CError* CCaption::attrTextColor(CAttrValue& value) {
    setColorName(0, value.asText());
    invalidate();
    return nullptr;
}

CError* CCaption::attrTitle(CAttrValue& value) {
    const CString text = value.asText();
    if (text == mText.text) return nullptr;
    mText.text = text;
    if (CError* err = updateContent()) return traceError(err, getFullName());
    invalidate();
    if (CError* err = fireEvent(CString("title-changed"), false)) return traceError(err, getFullName());
    return nullptr;
}

CError* CCaption::updateContent() {
    mText.getSize(mText.textWidth, mText.textHeight, false);
    const double scale = area() != nullptr && area()->windowScale() > 0.0 ? area()->windowScale() : 1.0;
    if (getTextAttr("width") == CString("compact"))
        if (CError* err = setDoubleAttr(CString("compact-width"), mText.textWidth / scale, true))
            return traceError(err, getFullName());
    if (getTextAttr("height") == CString("compact"))
        if (CError* err = setDoubleAttr(CString("compact-height"), std::ceil(mText.textHeight) / scale, true))
            return traceError(err, getFullName());
    return nullptr;
}

CError* CCaption::handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) {
    if (CError* err = CView::handleViewAreaUpdate(total, clip)) return traceError(err, getFullName());
    mText.boxLeft = total.x;
    mText.boxTop = total.y;
    mText.boxWidth = total.width;
    mText.boxHeight = total.height;
    CViewArea* a = area();
    if (a == nullptr) return nullptr;
    mText.rightInset = a->value(CViewArea::vInnerRight);
    const double scale = a->windowScale();
    if (scale != mText.scale || std::isnan(mText.scale)) {
        mText.scale = scale;
        // The solver ignores a second request while the area is queued.
        if (a->solver() != nullptr) a->solver()->requestContentUpdate(a);
    }
    return nullptr;
}

bool CCaption::prepareDraw() { return mText.buildGlyphList(); }

void CCaption::paint(CSector& sector) {
    CPixelRect visible;
    if (!drawItem(1)->intersectContext(sector, visible)) return;
    mText.draw(*sector.target, sector.windowRect.x, sector.windowRect.y, visible);
}

void CCaption::getTextSize(double& width, double& height, bool precise) const { mText.getSize(width, height, precise); }

} // namespace tal
