#include "UI/Controls/CSelectorScale.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CSharedAttribute.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"
#include "UI/CValueList.h"
#include "UI/CWindowRenderer.h"
#include "UI/CWindowSharedData.h"
#include "UI/Controls/CButton.h"
#include "UI/SchemeThunks.h"

#include <cmath>
#include <cstdint>

namespace tal {

namespace {

// Rounds half away from zero.
double roundAway(double x) noexcept { return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(0.5 - x); }

} // namespace

CObject* CSelectorScale::create() { return new CSelectorScale(); }

void CSelectorScale::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addValueAttrOf<CSelectorScale, &CSelectorScale::attrScale>(scheme, "scale");
    addValueAttrOf<CSelectorScale, &CSelectorScale::attrScale2>(scheme, "scale2");
    addValueAttrOf<CSelectorScale, &CSelectorScale::attrScaleUsesr>(scheme, "scale-usesr");
    addArgsEventOf<CSelectorScale, &CSelectorScale::onSelectScale>(scheme, "select-scale");
}

CSelectorScale::~CSelectorScale() {
    mSharedAttribute2.reset();
    mSharedAttribute.reset();
    mDropdownButton.reset();
}

CError* CSelectorScale::init() { return traceError(CView::init(), getFullName()); }

CError* CSelectorScale::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mDropdownButton.init(this, CString(), CString(), this, CString("dropdown-button-path"));
    mSharedAttribute.init(this, CString(), CString(), this, CString("shared-attribute"));
    mSharedAttribute2.init(this, CString(), CString(), this, CString("shared-attribute2"));
    return traceError(updateDropdown(), getFullName());
}

CError* CSelectorScale::updateDropdown() {
    CButton* button = mDropdownButton.resolve();
    if (button == nullptr)
        return nullptr;
    const double scale = getDoubleAttr("scale");
    const CString title = CString(std::int64_t(roundAway(scale * 100.0))) + CString("%");
    if (CError* error = button->setAttr(CString("title"), title, true))
        return traceError(error, getFullName());
    auto* list = dynamic_cast<CValueList*>(findObject(CString(".ui-scale-titles")));
    if (list == nullptr)
        return nullptr;
    const CString separator(";");
    for (int i = 0; i < list->itemCount(); ++i) {
        const CString& entry = list->itemText(i);
        const int at = entry.findLast(separator);
        if (at < 0 || CString(entry, 0, at) != title)
            continue;
        return traceError(button->setIntAttr(CString("selected-item"), i, true), getFullName());
    }
    return nullptr;
}

CError* CSelectorScale::updateWindows(std::int32_t mode) {
    CWindowSharedData* shared = windowSharedData();
    if (shared == nullptr)
        return nullptr;
    CStringList& windows = shared->windowList();
    for (int i = 0; i < windows.count(); ++i) {
        auto* window = dynamic_cast<CWindowRenderer*>(findObject(windows[i]));
        if (window == nullptr || window->isClosing())
            continue;
        CAttrMap args;
        args.findOrAdd("mode")->value.setInt(mode);
        if (CError* error = window->runEvent(CString("update-window-scale"), &args))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CSelectorScale::applyScale(double value) {
    CSharedAttribute* shared = mSharedAttribute.resolve();
    if (shared == nullptr || mSharedAttribute2.resolve() == nullptr)
        return nullptr;
    const double visualScale = root() != nullptr ? root()->getDoubleAttr("VisualScale") : 0.0;
    const bool followsSetting = std::fabs(visualScale) <= 2.2204461e-16 * std::fabs(visualScale);
    if (followsSetting)
        if (CError* error = updateWindows(1))
            return traceError(error, getFullName());
    CString text;
    formatFixedPoint(text, std::int64_t(roundAway(value * 10000.0)), 4);
    if (CError* error = shared->storeValue(text))
        return traceError(error, getFullName());
    return followsSetting ? traceError(updateWindows(2), getFullName()) : nullptr;
}

CError* CSelectorScale::attrScale(CAttrValue&) { return updateDropdown(); }
CError* CSelectorScale::attrScale2(CAttrValue&) { return updateDropdown(); }

CError* CSelectorScale::attrScaleUsesr(CAttrValue&) {
    if (CError* error = updateDropdown())
        return traceError(error, getFullName());
    return applyScale(getDoubleAttr("scale"));
}

CError* CSelectorScale::onSelectScale(CAttrMap& args) {
    CAttrValue* text = args.findValue("text");
    CStringList pieces;
    if (text != nullptr)
        text->asText().split(pieces, ';', false, true);
    if (pieces.count() != 2)
        return nullptr;
    // A factor that does not parse, is not finite or is not above 0 would be stored and rescale
    // every window to nothing: it is ignored.
    bool valid = false;
    const double value = parseDouble(pieces[1], &valid);
    if (!valid || !std::isfinite(value) || value <= 0.0)
        return nullptr;
    return applyScale(value);
}

} // namespace tal
