#pragma once

namespace tal {

class CAudioParam;

// Scoped holder of a parameter's lock. The outermost holder enters a collector update and then
// locks the parameter mutex; a holder made inside another one only records the outermost holder.
// Releasing the outermost holder unlocks the mutex and then ends the update (which may run
// deferred calls). Lives on the stack of the thread that made it.
class CAudioParamLock {
public:
    CAudioParamLock(CAudioParam* param, CAudioParamLock* outer = nullptr);
    ~CAudioParamLock();
    CAudioParamLock(const CAudioParamLock&) = delete;
    CAudioParamLock& operator=(const CAudioParamLock&) = delete;

    CAudioParam* getParam() const { return mParam; }
    bool isOutermost() const { return mOuter == nullptr; }

private:
    CAudioParam* mParam = nullptr;
    CAudioParamLock* mOuter = nullptr;
};

} // namespace tal
