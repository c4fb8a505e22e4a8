#pragma once

#include "Core/CArray.h"
#include "Core/CObject.h"

namespace tal {

class CAudioExtParam;

// The exported parameters in the order of the description ("audio:ext-param-list"); the position
// in the list is the host parameter's index and id. The children belong to the object tree; the
// list only points to them. Changed only while the tree is built or torn down.
class CAudioExtParamList : public CObject {
public:
    [[nodiscard]] CError* onChildAdded(CObject* child) override;
    void removeChild(CObject* child) override;

    int getCount() const { return mParams.count(); }
    CAudioExtParam* getParam(int index) const {
        return index >= 0 && index < mParams.count() ? mParams[index] : nullptr;
    }

private:
    CArray<CAudioExtParam*> mParams;
};

} // namespace tal
