#include "UI/Controls/CParamGroupController.h"

#include "Core/CError.h"
#include "Core/NumberText.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSelector.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CParamGroupController::create() { return new CParamGroupController(); }

void CParamGroupController::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addArgsEventOf<CParamGroupController, &CParamGroupController::onCopyGroupFrom>(scheme, "copy-group-from");
    addArgsEventOf<CParamGroupController, &CParamGroupController::onGroupChange>(scheme, "group-change");
    addPlainEventOf<CParamGroupController, &CParamGroupController::onResetGroup>(scheme, "reset-group");
}

CParamGroupController::~CParamGroupController() {
    mInterfaceClient.reset();
    mGroupSelector.reset();
    while (!mBridges.empty())
        mBridges.pop_back();
}

// --- life cycle ---

CError* CParamGroupController::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    mInterfaceClient.init(this, CString(), CString(), nullptr, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    mGroupSelector.init(this, CString(), CString(), nullptr, CString("group-selector"));
    mGroupSelector.isRequired = true;
    for (int i = 0; i < childCount(); ++i) {
        CObject* item = child(i);
        const CString& bridge = item->getTextAttr("bridge");
        if (!bridge.isEmpty()) {
            appendBridge(item, bridge);
            continue;
        }
        const CString& objectPath = item->getTextAttr("object");
        if (objectPath.isEmpty())
            continue;
        auto* included = dynamic_cast<CParamGroupController*>(findObject(objectPath));
        if (included == nullptr || included == this)
            continue;
        const std::size_t count = included->mBridges.size();
        for (std::size_t k = 0; k < count; ++k)
            appendBridge(included->mBridges[k]->owner, included->mBridges[k]->fixedPath);
    }
    return nullptr;
}

void CParamGroupController::appendBridge(CObject* owner, const CString& path) {
    auto target = std::make_unique<CBridgeTarget>();
    target->init(owner, path, CString(), nullptr, CString());
    mBridges.push_back(std::move(target));
}

void CParamGroupController::releaseLinks() {
    while (!mBridges.empty())
        mBridges.pop_back();
    CObject::releaseLinks();
}

// --- handlers ---

CError* CParamGroupController::onCopyGroupFrom(CAttrMap& args) {
    CAttrValue* textArg = args.findValue("text");
    std::int32_t n = 0;
    if (textArg != nullptr) {
        // The 1-based group number after the last ';' (or the whole text); unreadable text is 0.
        const CString& text = textArg->asText();
        const int at = text.findLast(CString(";"));
        n = parseInt(at >= 0 ? CString(text, at + 1, -1) : text, 0);
    }
    CParamGroupSelector* selector = mGroupSelector.resolve();
    CAudioInterfaceClient* client = mInterfaceClient.resolve();
    if (selector == nullptr || client == nullptr)
        return nullptr;
    const std::int32_t target = selector->getCurrentGroup();
    if (n <= 0 || target < 0 || n - 1 == target)
        return nullptr;
    const std::int32_t source = n - 1;
    CString name("Group ");
    name.append(client->getGroupName(source)).append(" to ").append(client->getGroupName(target)).append(" copy");
    const CString& title = getTextAttr("title");
    if (!title.isEmpty())
        name.append(" (").append(title).append(")");
    const std::int32_t undoId = client->createUndoData(name, false, -1);
    for (const auto& reference : mBridges)
        if (CParamBridge* bridge = reference->resolve())
            bridge->copyGroupValues(source, target, undoId);
    if (undoId != -1)
        client->submitUndoData(undoId, CString());
    return nullptr;
}

CError* CParamGroupController::onGroupChange(CAttrMap&) { return nullptr; }

CError* CParamGroupController::onResetGroup() {
    CParamGroupSelector* selector = mGroupSelector.resolve();
    CAudioInterfaceClient* client = mInterfaceClient.resolve();
    if (selector == nullptr || client == nullptr)
        return nullptr;
    const std::int32_t group = selector->getCurrentGroup();
    if (group < 0)
        return nullptr;
    const CString& title = getTextAttr("title");
    CString name;
    if (title.isEmpty())
        name.append("Group ").append(client->getGroupName(group)).append(" reset");
    else
        name.append(title).append(" (").append(client->getGroupName(group)).append(") reset");
    const std::int32_t undoId = client->createUndoData(name, false, -1);
    for (const auto& reference : mBridges)
        if (CParamBridge* bridge = reference->resolve())
            bridge->resetValue(group, -1, undoId, false, false);
    if (undoId != -1)
        client->submitUndoData(undoId, CString());
    return nullptr;
}

} // namespace tal
