#pragma once
#include "Audio/Processes/ProcessCreators.h"
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CResourceMap.h"
#include "ProductCreators.h"
#include "support/CLogCapture.h"

#include <string>
#include <vector>

namespace tal {

// Starts the application as the plug-in does: the product's tags and process factories, the shared
// description "SharedData.xml" and everything it loads from the resources. Returns whether start-up
// reported an error; logLines receives the lines logged meanwhile. finishApplication ends it.
inline bool startProductApplication(const CResourceEntry* resources, std::vector<std::string>& logLines) {
    CApplicationSetup setup;
    setup.creatorTables = productCreatorTables();
    setup.resources = resources;
    setup.sharedDataName = "SharedData.xml";
    installProcessFactories();
    CLogCapture log;
    CError* err = CApplication::startApplication(setup);
    delete err;
    logLines = log.lines();
    return err != nullptr;
}

} // namespace tal
