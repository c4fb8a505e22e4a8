#include "Core/CNotifyServer.h"

#include "Core/CError.h"
#include "Core/CRecursiveMutex.h"
#include "Core/CEventRegistry.h"
#include "Core/CSortedMap.h"

#include <mutex>

namespace tal {

namespace {

struct CRegistryTable {
    CRecursiveMutex mutex;
    CSortedMap<std::int32_t, CEventRegistry*> registries;
    std::int32_t counter = 0;
};

CRegistryTable& table() {
    static CRegistryTable instance;
    return instance;
}

} // namespace

void CNotifyServer::initTable() { (void)table(); }

std::int32_t CNotifyServer::enter(CEventRegistry* registry) {
    CRegistryTable& t = table();
    std::lock_guard lock(t.mutex);
    const std::int32_t id = ++t.counter;
    t.registries.findOrAdd(id)->value = registry;
    return id;
}

void CNotifyServer::leave(std::int32_t registryId) {
    CRegistryTable& t = table();
    std::lock_guard lock(t.mutex);
    t.registries.remove(registryId);
}

CError* CNotifyServer::dispatchEventById(std::int32_t registryId, const CString& sender, const CString& event,
                                         CAttrMap* args) {
    CRegistryTable& t = table();
    std::lock_guard lock(t.mutex);
    auto* node = t.registries.find(registryId);
    if (node == nullptr) return nullptr;
    if (CError* err = node->value->dispatchEvent(sender, event, args, true)) return traceError(err);
    return nullptr;
}

} // namespace tal
