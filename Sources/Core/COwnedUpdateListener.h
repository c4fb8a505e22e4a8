#pragma once
#include "Core/CUpdateListener.h"

namespace tal {

// A listener on behalf of an owner object, which sets owner when it makes the listener.
template <class T>
class COwnedUpdateListener : public CUpdateListener {
public:
    explicit COwnedUpdateListener(T* owner = nullptr) noexcept : owner(owner) {}
    T* owner;
};

} // namespace tal
