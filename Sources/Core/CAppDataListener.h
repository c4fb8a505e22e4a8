#pragma once
#include "Core/COwnedUpdateListener.h"

namespace tal {

// The listener type of application-data scopes: attach it with setNotifier(scope, &itemName) to
// hear every write of that item; the update record is {sender, item id}.
template <class T>
class CAppDataListener : public COwnedUpdateListener<T> {
public:
    using COwnedUpdateListener<T>::COwnedUpdateListener;
};

} // namespace tal
