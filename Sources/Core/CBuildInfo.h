#pragma once
#include "Core/CSortedMap.h"
#include "Core/CString.h"

namespace tal {

using CBuildInfo = CSortedMap<CString, CString>;

// Fills map from a build-information text "key=value;key=value": empty pieces are skipped, a piece
// without "=" gives its key the empty value, a third "=" part is dropped, and a later occurrence of a
// key wins. A null text leaves the map empty. The map is cleared first.
void parseBuildInfo(CBuildInfo& map, const char* text);

// The process's build information, parsed from kBuildInfoText on first use; read-only afterwards,
// so any thread may read it.
const CBuildInfo& buildInfo();
// The value of a build-information key, or the shared empty string.
const CString& getBuildInfoValue(const CString& key);

} // namespace tal
