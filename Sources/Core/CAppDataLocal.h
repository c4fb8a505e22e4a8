#pragma once
#include "Core/CAppData.h"

namespace tal {

// The scope of this product only: folder "<vendor>/<category>/<product>/", also searched in a
// folder "<product>/" next to the plug-in bundle; embedded defaults "AppDataLocal_<name>".
class CAppDataLocal : public CAppData {
public:
    CAppDataLocal(const char* vendor, const char* category, const char* product);
    ~CAppDataLocal() override;
};

} // namespace tal
