#include "UI/CUIParamUndoCollector.h"

#include "Audio/CAudioParamInfo.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "UI/CParamBridge.h"
#include "UI/CUIParam.h"

namespace tal {

CUIParamUndoCollector::~CUIParamUndoCollector() = default;

void CUIParamUndoCollector::attach(CParamInterfaceClient* client) {
    mClient = client;
    mOpenStepId = client != nullptr ? client->createUndoData(CString(), false, -1) : -1;
}

void CUIParamUndoCollector::openStep(bool isMergeable) {
    if (mClient == nullptr)
        return;
    // The replaced step would otherwise stay open on the audio side for the life of the instance.
    if (mOpenStepId != -1)
        mClient->removeUndoData(mOpenStepId);
    mOpenStepId = mClient->createUndoData(CString(), isMergeable, -1);
    for (int i = 0; i < mParams.count(); ++i)
        if (CParamBridge* bridge = mParams[i]->bridge()) {
            bridge->attachUndo(-1);  // forgets the removed step without sending anything
            bridge->attachUndo(mOpenStepId);
        }
}

void CUIParamUndoCollector::addParam(CUIParam* param) {
    if (mClient == nullptr || param == nullptr || param->bridge() == nullptr || mParams.indexOf(param) >= 0)
        return;
    mParams.add(param);
    CParamBridge* bridge = param->bridge();
    if (bridge->hasInfo() && !bridge->isSingleGroup())
        mAllUngrouped = false;
    bridge->attachUndo(mOpenStepId);
}

CString CUIParamUndoCollector::stepName(const CString& name) const {
    auto* first = mGroupNames.first();
    const CStringList& names = first->value;
    CString result = (names.count() == 1 || name.isEmpty()) ? CString(names[0], " change") : name;
    if (!mAllUngrouped)
        for (auto* node = first; node != nullptr; node = mGroupNames.next(node))
            result.append(" (").append(node->key).append(")");
    return result;
}

void CUIParamUndoCollector::finish(const CString& name, bool collectChanges, bool nextMergeable) {
    if (mClient == nullptr)
        return;
    mGroupNames.clear();
    if (mOpenStepId != -1) {
        for (int i = 0; collectChanges && i < mParams.count(); ++i) {
            CParamBridge* bridge = mParams[i]->bridge();
            if (bridge == nullptr || !bridge->isChanged() || !bridge->hasInfo())
                continue;
            CStringList& names = mGroupNames.findOrAdd(bridge->getGroupName(mParams[i]->currentGroup()))->value;
            const CString& visualName = bridge->info()->getVisualName();
            if (names.indexOf(visualName) < 0)
                names.add(visualName);
        }
        if (mGroupNames.isEmpty())
            mClient->removeUndoData(mOpenStepId);
        else
            mClient->submitUndoData(mOpenStepId, stepName(name));
        mOpenStepId = -1;
    }
    detachAll();
    mOpenStepId = mClient->createUndoData(CString(), nextMergeable, -1);
}

void CUIParamUndoCollector::commit(const CString& name) { finish(name, true, false); }

void CUIParamUndoCollector::commitAndReopen() { finish(CString(), true, true); }

void CUIParamUndoCollector::discard() { finish(CString(), false, false); }

void CUIParamUndoCollector::detachAll() {
    for (int i = 0; i < mParams.count(); ++i)
        if (CParamBridge* bridge = mParams[i]->bridge())
            bridge->attachUndo(-1);
    mParams.clear();
    mAllUngrouped = true;
}

} // namespace tal
