#pragma once
#include "Core/CAppData.h"

namespace tal {

// The scope shared by every product of the vendor: folder "<vendor>/", embedded defaults
// "AppDataGlobal_<name>". The category is not used.
class CAppDataGlobal : public CAppData {
public:
    CAppDataGlobal(const char* vendor, const char* category);
    ~CAppDataGlobal() override;
};

} // namespace tal
