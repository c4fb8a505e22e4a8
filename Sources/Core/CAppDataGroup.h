#pragma once
#include "Core/CAppData.h"

namespace tal {

// The scope shared by the vendor's products of one category: folder "<vendor>/<category>/",
// embedded defaults "AppDataGroup_<name>".
class CAppDataGroup : public CAppData {
public:
    CAppDataGroup(const char* vendor, const char* category);
    ~CAppDataGroup() override;
};

} // namespace tal
