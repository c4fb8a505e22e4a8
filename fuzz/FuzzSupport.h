#pragma once
// Small helpers shared by the libFuzzer targets.
#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CResourceMap.h"
#include "Core/CWriteSeqBuffer.h"
#include "ProductCreators.h"

#include <cstdlib>

namespace fuzz {

// A broken property: abort, which libFuzzer reports with the input.
inline void check(bool ok) {
    if (!ok)
        std::abort();
}

// The bytes that save(out) writes into memory, which cannot fail for a value that was read.
template <class Save>
tal::CByteBuffer written(Save save) {
    tal::CWriteSeqBuffer out;
    tal::CError* err = save(out);
    check(err == nullptr);
    tal::CByteBuffer bytes;
    out.moveTo(bytes);
    return bytes;
}

// Starts the application as the plug-in does: the product's tags and the shared description
// "SharedData.xml" from the target's embedded resources.
inline void startProduct(const tal::CResourceEntry* resources) {
    tal::CApplicationSetup setup;
    setup.creatorTables = tal::productCreatorTables();
    setup.resources = resources;
    setup.sharedDataName = "SharedData.xml";
    tal::CError* err = tal::CApplication::startApplication(setup);
    check(err == nullptr);
}

} // namespace fuzz
