#pragma once
#include <cstdint>

namespace tal {

// What a notifier hands to every listener of one key; notifiers extend it with fields of their own.
// Owned by the caller of notifyUpdate and valid only during the call. A null record means key 0.
struct CUpdateRecord {
    const void* sender = nullptr;  // the object on whose behalf the change is made
    std::int64_t key = 0;          // selects the listeners
};

} // namespace tal
