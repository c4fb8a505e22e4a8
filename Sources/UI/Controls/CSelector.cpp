#include "UI/Controls/CSelector.h"

#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/NumberText.h"
#include "UI/CValueList.h"
#include "UI/SchemeThunks.h"

#include <iterator>

namespace tal {

namespace {

struct CGeneratedCommand {
    const char* name;
    const char* onEvent;
    const char* runEvent;
};

// The view commands that wire each button back to the selector, in creation order.
const CGeneratedCommand kCommands[] = {
    {"cmd-release", "mouse-release", "button-released"},
    {"cmd-cancel", "mouse-cancel-r", "button-cancelled-r"},
    {"cmd-press-r", "mouse-press-r", "button-pressed-r"},
    {"cmd-release-r", "mouse-release-r", "button-released-r"},
    {"cmd-enter", "mouse-enter", "button-enter"},
    {"cmd-exit", "mouse-exit", "button-exit"},
    {"cmd-xbutton", "mouse-xbutton-release", "button-xbutton"},
};

void putText(CAttrMap& map, const char* key, const CString& value) { map.findOrAdd(key)->value.setText(value); }

} // namespace

void CSelector::initScheme(CObjectScheme* scheme) {
    CView::initScheme(scheme);
    addValueAttrOf<CSelector, &CSelector::attrActiveButton>(scheme, "active-button");
    addArgsEventOf<CSelector, &CSelector::onButtonReleased>(scheme, "button-released");
    addArgsEventOf<CSelector, &CSelector::onButtonEnter>(scheme, "button-enter");
    addArgsEventOf<CSelector, &CSelector::onButtonExit>(scheme, "button-exit");
    addArgsEventOf<CSelector, &CSelector::onButtonCancelledR>(scheme, "button-cancelled-r");
    addArgsEventOf<CSelector, &CSelector::onButtonPressedR>(scheme, "button-pressed-r");
    addArgsEventOf<CSelector, &CSelector::onButtonReleasedR>(scheme, "button-released-r");
    addArgsEventOf<CSelector, &CSelector::onButtonXbutton>(scheme, "button-xbutton");
    addPlainEventOf<CSelector, &CSelector::onRebuildButtons>(scheme, "rebuild-buttons");
}

CSelector::~CSelector() { mTitleList.reset(); }

CError* CSelector::initChilds() {
    if (CError* error = CView::initChilds())
        return traceError(error, getFullName());
    mSeparator = getTextAttr("separator-char");
    mTitleList.init(this, CString(), CString(), this, CString("button-title-list"));
    mTitleList.listenEvent(CString("values-changed"), CString("rebuild-buttons"));
    if (CError* error = rebuildButtons())
        return traceError(error, getFullName());
    return traceError(setActiveButton(getIntAttr("active-button"), false), getFullName());
}

CString CSelector::keyOf(const CString& title) const {
    const int at = mSeparator.isEmpty() ? -1 : title.findLast(mSeparator);
    return at < 0 ? title : CString(title, at + mSeparator.length(), -1);
}

CError* CSelector::rebuildButtons() {
    CString previousTitle;
    for (std::int32_t i = 0; i < mButtons.count(); ++i) {
        CObject* old = mButtons[i];
        if (i == mActiveIndex)
            previousTitle = old->getTextAttr("real-title");
        if (CError* error = old->setIntAttr(CString("is-hidden"), 1, true))
            return traceError(error, getFullName());
        old->releaseBridged();
    }
    mButtons.clear();

    std::int32_t count = getIntAttr("button-count");
    CStringList titles;
    if (CValueList* list = mTitleList.resolve()) {
        for (int i = 0; i < list->itemCount(); ++i)
            titles.add(list->itemText(i));
        count = titles.count();
    }
    CAttrMap attrs;
    if (const CString& border = getTextAttr("button-inner-border"); !border.isEmpty())
        putText(attrs, "inner-border", border);
    attrs.findOrAdd("is-right-click-allowed")->value.setInt(getBoolAttr("is-right-click-allowed") ? 1 : 0);
    putText(attrs, "placement", CString("left"));
    putText(attrs, "width", getTextAttr("button-width"));
    if (const CString& height = getTextAttr("button-height"); !height.isEmpty())
        putText(attrs, "height", height);
    if (const CString& color = getTextAttr("button-color"); !color.isEmpty())
        putText(attrs, "color", color);
    const CString tag = getTextAttr("button-tag");
    const CString paramsTag = getTextAttr("run-event-params-tag");
    const CString paramTag = getTextAttr("param-data-tag");
    const CString commandTag = getTextAttr("view-command-tag");

    for (std::int32_t i = 0; i < count; ++i) {
        attrs.findOrAdd("is-active")->value.setInt(i == mActiveIndex ? 1 : 0);
        if (i < titles.count()) {
            const CString& title = titles[i];
            const int at = mSeparator.isEmpty() ? -1 : title.findLast(mSeparator);
            putText(attrs, "real-title", title);
            putText(attrs, "title", at < 0 ? title : CString(title, 0, at));
        } else {
            putText(attrs, "real-title", CString("?"));
            putText(attrs, "title", CString("?"));
        }
        CObject* button = nullptr;
        if (CError* error = createChild(button, tag, CString("button") + CString(int(i)), true, &attrs, nullptr))
            return traceError(error, getFullName());
        CObject* holder = nullptr;
        if (CError* error = button->createChild(holder, paramsTag, CString("run-event-params"), true, nullptr, nullptr))
            return traceError(error, getFullName());
        CAttrMap paramAttrs;
        putText(paramAttrs, "attr", CString("index"));
        paramAttrs.findOrAdd("value")->value.setInt(i);
        CObject* param = nullptr;
        if (CError* error = holder->createChild(param, paramTag, CString("param"), true, &paramAttrs, nullptr))
            return traceError(error, getFullName());
        CAttrMap command;
        putText(command, "run-event-target", getFullName());
        putText(command, "run-event-params", holder->getFullName());
        for (const CGeneratedCommand& generated : kCommands) {
            putText(command, "on-event", CString(generated.onEvent));
            putText(command, "run-event", CString(generated.runEvent));
            if (&generated == &kCommands[std::size(kCommands) - 1])
                putText(command, "run-event-forward-params", CString("xbutton"));
            CObject* made = nullptr;
            if (CError* error = button->createChild(made, commandTag, CString(generated.name), true, &command, nullptr))
                return traceError(error, getFullName());
        }
        mButtons.add(button);
    }
    if (CError* error = updateLayout())
        return traceError(error, getFullName());
    if (CError* error = refreshActiveButton())
        return traceError(error, getFullName());
    return traceError(checkActiveTitle(previousTitle), getFullName());
}

CError* CSelector::setActiveButton(std::int32_t index, bool) {
    if (index == mActiveIndex)
        return nullptr;
    mActiveIndex = -1;
    for (std::int32_t i = 0; i < mButtons.count(); ++i) {
        if (i == index)
            mActiveIndex = i;
        if (CError* error = mButtons[i]->setIntAttr(CString("is-active"), i == index ? 1 : 0, true))
            return traceError(error, getFullName());
    }
    return nullptr;
}

CError* CSelector::refreshActiveButton() { return traceError(setActiveButton(mActiveIndex, false), getFullName()); }

CError* CSelector::checkActiveTitle(const CString& previousTitle) {
    if (mActiveIndex < 0 || previousTitle.isEmpty())
        return nullptr;
    // An active entry that the shrunk row no longer has counts as changed, as a changed key does.
    const bool gone = mActiveIndex >= mButtons.count();
    if (!gone && keyOf(previousTitle) == keyOf(mButtons[mActiveIndex]->getTextAttr("real-title")))
        return nullptr;
    mActiveIndex = -2;
    return traceError(setActiveButton(0, false), getFullName());
}

CError* CSelector::attrActiveButton(CAttrValue& value) {
    const std::int32_t index = value.convert(CAttrValue::kInt) ? value.asInt() : 0;
    return setActiveButton(index, false);
}

CError* CSelector::onButtonReleased(CAttrMap& args) {
    CAttrValue* value = args.findValue("index");
    const std::int32_t index = value != nullptr ? parseInt(value->asText(), -1) : -1;
    return setActiveButton(index, true);
}

CError* CSelector::onButtonEnter(CAttrMap&) { return nullptr; }
CError* CSelector::onButtonExit(CAttrMap&) { return nullptr; }
CError* CSelector::onButtonCancelledR(CAttrMap&) { return nullptr; }
CError* CSelector::onButtonPressedR(CAttrMap&) { return nullptr; }
CError* CSelector::onButtonReleasedR(CAttrMap&) { return nullptr; }
CError* CSelector::onButtonXbutton(CAttrMap&) { return nullptr; }
CError* CSelector::onRebuildButtons() { return rebuildButtons(); }

} // namespace tal
