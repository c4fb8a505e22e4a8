#include "Other/Interface/CParamInterfaceRegistryListener.h"

namespace tal {

void CParamInterfaceRegistryListener::onRegistryUpdate(bool, const CString&, const CStringList&, std::int32_t) {}

CError* CParamInterfaceRegistryListener::onPresetData(std::int32_t, CAudioPreset&) { return nullptr; }

CError* CParamInterfaceRegistryListener::onBankData(std::int32_t, CAudioPresetBank&) { return nullptr; }

} // namespace tal
