#pragma once
#include "Core/CAppData.h"
#include "Core/CString.h"
#include "Core/CSystem.h"
#include "support/TempFolder.h"

namespace tal::test {

// Points the application-data scopes at a temporary folder while it lives (no bundle folder, fresh
// caches), and restores the user's folders afterwards.
class AppDataFolder {
public:
    AppDataFolder() : mSavedBundleFolder(CSystem::bundleFolder) {
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mTemp.path().c_str()));
        resetScopes();
    }
    ~AppDataFolder() {
        resetScopes();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    AppDataFolder(const AppDataFolder&) = delete;
    AppDataFolder& operator=(const AppDataFolder&) = delete;

    static void resetScopes() {
        for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
            scope->resetForTest();
    }

private:
    TempFolder mTemp;
    CString mSavedBundleFolder;
};

} // namespace tal::test
