#include "Platform/CEditorPlatformServices.h"

#include "Platform/CRunLoopMainLoopTimers.h"
#include "Platform/CX11WindowBackend.h"

namespace tal {

namespace {

CEditorPlatformServices* gServices = nullptr;   // main thread
int gUsers = 0;

} // namespace

CEditorPlatformServices::~CEditorPlatformServices() {
    // The backend leaves the run loop before the loop's registrations go.
    if (CWindowBackend::current() == mBackend.get())
        CWindowBackend::setCurrent(nullptr);
    mBackend.reset();
    if (CMainLoopTimers::current() == mTimers.get())
        CMainLoopTimers::setCurrent(nullptr);
    mTimers.reset();
}

CEditorPlatformServices* CEditorPlatformServices::acquire(Steinberg::Linux::IRunLoop* runLoop, std::string& error) {
    if (gServices) {
        ++gUsers;
        return gServices;
    }
    if (runLoop == nullptr) {
        error = "The host offers no run loop.";
        return nullptr;
    }
    std::unique_ptr<CEditorPlatformServices> services(new CEditorPlatformServices);
    services->mTimers = std::make_unique<CRunLoopMainLoopTimers>(runLoop);
    if (!services->mTimers->isValid()) {
        error = "The host's run loop refused the editor's event handler.";
        return nullptr;
    }
    services->mBackend = std::make_unique<CX11WindowBackend>();
    if (!services->mBackend->open("", error))
        return nullptr;
    if (!services->mBackend->attachRunLoop(*services->mTimers)) {
        error = "The host's run loop refused the X connection.";
        return nullptr;
    }
    CMainLoopTimers::setCurrent(services->mTimers.get());
    CWindowBackend::setCurrent(services->mBackend.get());
    gServices = services.release();
    gUsers = 1;
    return gServices;
}

void CEditorPlatformServices::release() {
    if (gUsers == 0 || --gUsers > 0)
        return;
    delete gServices;
    gServices = nullptr;
}

CEditorPlatformServices* CEditorPlatformServices::current() noexcept { return gServices; }

int CEditorPlatformServices::userCount() noexcept { return gUsers; }

} // namespace tal
