#include "Other/Interface/CParamInterfaceClientConnectorUni.h"

#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObjectScheme.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"

namespace tal {

namespace {

CError* fpsThunk(CObject* object, CAttrValue* value) {
    return traceError(static_cast<CParamInterfaceClientConnectorUni*>(object)->attrFps(value));
}

CError* timerThunk(CObject* object) {
    return traceError(static_cast<CParamInterfaceClientConnectorUni*>(object)->onTimer());
}

} // namespace

CObject* CParamInterfaceClientConnectorUni::create() { return new CParamInterfaceClientConnectorUni(); }

void CParamInterfaceClientConnectorUni::initScheme(CObjectScheme* scheme) {
    CParamInterfaceClientConnector::initScheme(scheme);
    scheme->addAttrHandler(CString("fps")) = &fpsThunk;
    scheme->addEventHandler(CString("timer")).plain = &timerThunk;
}

CParamInterfaceClientConnectorUni::~CParamInterfaceClientConnectorUni() = default;

CError* CParamInterfaceClientConnectorUni::init() {
    if (CError* error = CParamInterfaceClientConnector::init())
        return traceError(error, getFullName());
    // The editor's root may point at the location that holds the audio instance's root.
    const CObject* origin = this;
    if (root() != nullptr) {
        if (auto* location = static_cast<CObject* const*>(root()->getPtrAttr(CString("BaseConnectorRootPtr"))))
            if (*location != nullptr)
                origin = *location;
    }
    CParamInterfaceBaseConnectorUni* base = nullptr;
    if (CError* error = origin->findObjectChecked(base, getTextAttr("base-connector")))
        return traceError(error, getFullName());
    mBaseConnector = base;
    mClientId = base->registerClient(this);
    return nullptr;
}

void CParamInterfaceClientConnectorUni::detachFromParent() {
    if (mBaseConnector != nullptr) {
        mBaseConnector->unregisterClient(mClientId);
        mBaseConnector = nullptr;
    }
    CObject::detachFromParent();
}

bool CParamInterfaceClientConnectorUni::sendToBase(CByteBuffer& message) {
    if (mBaseConnector == nullptr)
        return false;
    CError* error = mBaseConnector->processClientData(message.data(), message.size());
    delete error;  // the request road reports no errors; the caller only learns that it failed
    return error == nullptr;
}

CError* CParamInterfaceClientConnectorUni::pollBaseData() {
    if (mBaseConnector == nullptr)
        return nullptr;
    mBaseConnector->sendPostedMessages();
    CByteBuffer message;
    while (mBaseConnector->takeBaseData(mClientId, message))
        pushBaseData(message);
    return nullptr;
}

CError* CParamInterfaceClientConnectorUni::attrFps(CAttrValue* value) {
    const double fps = value->asReal();
    if (mTimer != nullptr) {
        if (CError* error = mTimer->setDoubleAttr(CString("fps"), fps, true))
            return traceError(error, getFullName());
        return nullptr;
    }
    CAttrMap attrs;
    attrs.findOrAdd(CString("fps"))->value.setReal(fps);
    CObject* timer = nullptr;
    if (CError* error = createChild(timer, getTextAttr("timer-tag"), CString("timer"), false, &attrs, nullptr))
        return traceError(error, getFullName());
    mTimer = timer;
    listenObject(timer->getFullName(), CString("tick"), CString("timer"));
    return nullptr;
}

CError* CParamInterfaceClientConnectorUni::onTimer() {
    if (CError* error = pollBaseData())
        return traceError(error, getFullName());
    return nullptr;
}

} // namespace tal
