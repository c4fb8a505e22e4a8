#include "Core/CApplication.h"

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CResourceMap.h"
#include "Core/CXMLLoader.h"
#include "Core/Log.h"
#include "Platform/CMonotonicClock.h"

#include <atomic>

namespace tal {

namespace {

std::atomic<std::uint64_t> gStartTimeNs{0};
CApplication* gApplication = nullptr;

// init, createChilds and initChilds of a root built by code; the first error stops.
CError* initBareRoot(CObject& root) {
    if (CError* err = root.init())
        return traceError(err);
    if (CError* err = root.createChilds())
        return traceError(err);
    if (CError* err = root.initChilds())
        return traceError(err);
    return nullptr;
}

} // namespace

// --- process-wide start and finish ---

std::uint64_t CApplication::startTimeNs() noexcept {
    std::uint64_t t = gStartTimeNs.load(std::memory_order_acquire);
    if (t == 0) {
        recordStartTime();
        t = gStartTimeNs.load(std::memory_order_acquire);
    }
    return t;
}

void CApplication::recordStartTime() noexcept {
    std::uint64_t expected = 0;
    gStartTimeNs.compare_exchange_strong(expected, getMonotonicNanos(), std::memory_order_acq_rel);
}

CError* CApplication::startApplication(const CApplicationSetup& setup) {
    if (gApplication != nullptr)
        return newError("@talstr_CApplication_startApplication_Started The application has already been started.");
    gApplication = new CApplication(setup);
    if (CError* err = gApplication->init()) {
        gApplication->finalize();
        gApplication = nullptr;
        return traceError(err);
    }
    return nullptr;
}

void CApplication::finishApplication() {
    if (gApplication != nullptr) {
        gApplication->finalize();
        gApplication = nullptr;
    }
    if (CObject* shared = CObject::sharedObject()) {
        shared->release();
        CObject::setSharedObject(nullptr);
    }
}

CApplication* CApplication::theApplication() noexcept { return gApplication; }

// --- the application object ---

CError* CApplication::init() {
    writeLog("Initializing application...", true);
    CObject::initScheme(&CObject::defaultScheme());
    if (mSetup.creatorTables != nullptr)
        for (const CCreatorTableEntry* const* t = mSetup.creatorTables; *t != nullptr; ++t)
            reportError(registerCreators(*t));
    if (mSetup.resources != nullptr)
        CResourceMap::indexTable(mSetup.resources);
    const CString sharedName(mSetup.sharedDataName);
    reportError(initSharedObject(sharedName));
    return nullptr;
}

void CApplication::finalize() {
    writeLog("Finalizing application...", true);
    delete this;
}

// --- registration and roots ---

CError* CApplication::registerCreators(const CCreatorTableEntry* table) {
    const int failures = CCreatorRegistry::instance().registerTable(table);
    if (failures == 0)
        return nullptr;
    return newError("@talstr_CApplication_registerCreators_Refused %1 tags of a creator table were not registered.",
                    CString::emptyString, CString(failures));
}

CError* CApplication::initSharedObject(const CString& name) {
    if (CObject::sharedObject() != nullptr)
        return newError("@talstr_CApplication_initSharedObject Shared object already exists.");
    CObject* shared = new CObject;
    CObject::setSharedObject(shared);
    shared->initRoot(nullptr);
    CError* err = name.isEmpty() ? initBareRoot(*shared) : CXMLLoader::loadXMLData(*shared, name, true);
    // The shared tree is read by every instance, possibly on several threads: from here on reads
    // must find every conversion cached, also after a partial load.
    shared->warmAttrCaches();
    return traceError(err);
}

CError* CApplication::initRootObject(CObject*& out, const CString& name) {
    if (CObject::sharedObject() == nullptr)
        return newError("@talstr_CApplication_initRootObject No shared object created.");
    CObject* root = new CObject;
    root->initRoot(new CEventRegistry);
    CError* err = name.isEmpty() ? initBareRoot(*root) : CXMLLoader::loadXMLData(*root, name, true);
    if (err != nullptr) {
        root->release();
        return traceError(err);
    }
    out = root;
    return nullptr;
}

CObject* CApplication::sharedObject() noexcept { return CObject::sharedObject(); }

} // namespace tal
