// The product's main file: the creator tables, the start-up and shut-down of the library, and the
// module exports that hosts call. Everything else is framework code.
//
// Start-up. The host loads the library (dlopen), then calls ModuleEntry before anything else.
// - While the library's static objects are constructed, one record made before all of them notes
//   the start time; it is destroyed after all of them and then frees the allocator's chunks.
// - The rest runs once, on the first entry call (ModuleEntry, bundleEntry or GetPluginFactory),
//   when every static object of the library exists: C++ does not order static construction across
//   source files, so nothing here may run from a static constructor. The process-wide records are
//   made in a fixed order, then the application starts (FFT dispatch, bundle paths, creator tables,
//   resources, the shared description). Errors are logged and start-up goes on.
// Shut-down, when the host unloads the library (dlclose) or the process exits: the application is
// finalised and the shared tree released first, then the records are destroyed in reverse order of
// creation, and last the allocator's chunks are freed. ModuleExit stops every thread of ours, so
// that no code of the library runs once it is unmapped.
#include "Audio/Processes/ProcessCreators.h"
#include "Audio/VST/VST3Entry.h"
#include "Core/CAppData.h"
#include "Core/CApplication.h"
#include "Core/CBuildInfo.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CMemPool.h"
#include "Core/CNotifyServer.h"
#include "Core/CObject.h"
#include "Core/CResourceMap.h"
#include "Core/CSeedCounter.h"
#include "Core/CString.h"
#include "Core/CSystem.h"
#include "Core/CThread.h"
#include "Core/CUpdateNotifier.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "ProductCreators.h"
#include "fft/FftDispatch.h"

#include <atomic>

// The embedded resources, generated at build time (Sources/Plugin.cmake).
extern const tal::CResourceEntry delmaroResources[];

namespace {

using namespace tal;

// --- the process records ---

// Made before every other static object of the library and destroyed after all of them.
struct CProcessRecords {
    CProcessRecords() noexcept { CApplication::recordStartTime(); }
    CProcessRecords(const CProcessRecords&) = delete;
    CProcessRecords& operator=(const CProcessRecords&) = delete;
    ~CProcessRecords() {
        // Nothing of the library runs any more: free the thread-name map, then return the
        // allocator's chunks to the system, so that unloading the library leaks nothing.
        CThread::releaseThreadNames();
        for (int i = kPoolClassCount - 1; i >= 0; --i) releaseMemPool(&memPools[i]);
    }
};
__attribute__((init_priority(101))) CProcessRecords gProcessRecords;

// Made right after the application has started, so that it is destroyed before every record made
// up to then: finishes the application while they all still exist.
struct CApplicationLifetime {
    CApplicationLifetime() = default;
    CApplicationLifetime(const CApplicationLifetime&) = delete;
    CApplicationLifetime& operator=(const CApplicationLifetime&) = delete;
    ~CApplicationLifetime() {
        // No worker thread may outlive the library's code; ModuleExit has normally joined them.
        CWorkerThreadPool::releaseIdleWorkers();
        releasePluginFactoryVST3();
        CApplication::finishApplication();
        CResourceMap::clear();
    }
};

// The process-wide records in their fixed order; each one's destructor is registered when it is
// made, so they are destroyed in reverse order.
void makeProcessRecords() {
    (void)seedCounter();
    (void)buildInfo();
    (void)CResourceMap::find(CString::emptyString);
    (void)CObject::defaultScheme();
    (void)CWorkerThreadPool::getIdleWorkerCount();
    (void)CCreatorRegistry::instance();
    CUpdateNotifier::initRegistry();  // before the scopes, which are notifiers
    (void)CAppData::globalScope();
    (void)CAppData::groupScope();
    (void)CAppData::localScope();
    CNotifyServer::initTable();
}

bool startOnce() {
    static const bool started = [] {
        makeProcessRecords();
        initFFTCPUDispatch();
        installProcessFactories();   // stacked process definitions
        CSystem::initBundlePath();
        CApplicationSetup setup;
        setup.creatorTables = productCreatorTables();
        setup.resources = delmaroResources;
        setup.sharedDataName = "SharedData.xml";
        CError* err = CApplication::startApplication(setup);
        reportError(&err);
        static CApplicationLifetime lifetime;
        return true;
    }();
    return started;
}

// Whether the application runs with its shared description fully loaded.
bool applicationReady() {
    const CObject* shared = CApplication::sharedObject();
    return CApplication::theApplication() != nullptr && shared != nullptr && shared->lifeStage() >= 4;
}

std::atomic<int> gModuleEntries{0};

} // namespace

#define DELMARO_EXPORT extern "C" __attribute__((visibility("default")))

// The Linux module entry: called by the host once after loading (and again for every further
// user of the same handle). False when the shared description could not be loaded: the plug-in
// cannot work, and the log tells why.
DELMARO_EXPORT bool ModuleEntry(void* /*sharedLibraryHandle*/) {
    gModuleEntries.fetch_add(1);
    startOnce();
    return applicationReady();
}

// The Linux module exit: the last call stops every thread of ours before the host unloads the
// library.
DELMARO_EXPORT bool ModuleExit() {
    if (gModuleEntries.fetch_sub(1) <= 1) {
        gModuleEntries.store(0);
        CWorkerThreadPool::releaseIdleWorkers();
    }
    return true;
}

// The macOS-style bundle entries, kept for hosts that call them: true in every case.
DELMARO_EXPORT bool bundleEntry(void* /*bundle*/) {
    startOnce();
    return true;
}

DELMARO_EXPORT bool bundleExit() { return true; }

// The VST 3 class factory with the one class of the "project" object; null when the shared
// description could not provide it.
DELMARO_EXPORT Steinberg::IPluginFactory* GetPluginFactory() {
    startOnce();
    return tal::getPluginFactoryVST3();
}
