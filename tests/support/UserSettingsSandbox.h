#pragma once
#include "Core/CAppData.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CSharedAttribute.h"
#include "Core/CSystem.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace tal::test {

// Registers "core:shared-attribute" and points the process-wide settings scopes at a temporary
// preferences folder for the lifetime of the sandbox; restores the folders and empties the scopes
// when it goes.
class UserSettingsSandbox {
public:
    UserSettingsSandbox() {
        static const bool registered = [] {
            if (CCreatorRegistry::instance().find(CString("core:shared-attribute")) != nullptr) return true;
            static const CCreatorTableEntry table[] = {
                {"core:shared-attribute", &CSharedAttribute::create, &CSharedAttribute::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        EXPECT_TRUE(registered);
        mSavedBundleFolder = CSystem::bundleFolder;
        CSystem::bundleFolder = CString();
        CSystem::setUserPreferencesFolderForTest(CString(mTemp.path().c_str()));
        resetScopes();
    }
    ~UserSettingsSandbox() {
        resetScopes();
        CSystem::setUserPreferencesFolderForTest(CString());
        CSystem::bundleFolder = mSavedBundleFolder;
    }
    UserSettingsSandbox(const UserSettingsSandbox&) = delete;
    UserSettingsSandbox& operator=(const UserSettingsSandbox&) = delete;

    static void resetScopes() {
        for (CAppData* scope : {&CAppData::globalScope(), &CAppData::groupScope(), &CAppData::localScope()})
            scope->resetForTest();
    }
    const TempFolder& folder() const noexcept { return mTemp; }

private:
    TempFolder mTemp;
    CString mSavedBundleFolder;
};

} // namespace tal::test
