#pragma once
#include "Audio/Processes/ProcessCreators.h"
#include "Core/CApplication.h"
#include "Core/CResourceMap.h"
#include "Core/CSystem.h"
#include "ProductCreators.h"
#include "support/CLogCapture.h"
#include "support/ParamTestTree.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

extern const tal::CResourceEntry wrapperTestResources[];

namespace tal::test {

// The application of the wrapper's tests, started per suite (SetUpTestSuite) from the small
// instance description tests/fixtures/descriptions/wrapper-instance.xml (or other resources, such
// as the product's), with the product's tags, the process tags and a fresh preferences folder;
// stopped by TearDownTestSuite.
class CWrapperTestApp {
public:
    static void start(const CResourceEntry* resources = wrapperTestResources) {
        static std::vector<const CCreatorTableEntry*> tables;
        if (tables.empty()) {
            for (const CCreatorTableEntry* const* t = productCreatorTables(); *t != nullptr; ++t)
                tables.push_back(*t);
            tables.push_back(kProcessCreatorTable);
            tables.push_back(nullptr);
        }
        installProcessFactories();
        prefs() = std::make_unique<TempFolder>();
        CSystem::setUserPreferencesFolderForTest(CString(prefs()->path().c_str()));
        CApplicationSetup setup;
        setup.creatorTables = tables.data();
        setup.resources = resources;
        setup.sharedDataName = "SharedData.xml";
        CLogCapture log;
        ASSERT_EQ(takeMessage(CApplication::startApplication(setup)), "");
    }
    static void stop() {
        CApplication::finishApplication();
        CSystem::setUserPreferencesFolderForTest(CString());
        prefs().reset();
    }

private:
    static std::unique_ptr<TempFolder>& prefs() {
        static std::unique_ptr<TempFolder> folder;
        return folder;
    }
};

} // namespace tal::test
