#pragma once
#include "Core/CString.h"
#include "UI/CDynListObject.h"
#include "UI/CUIParamUpdateHandler.h"

#include <cstdint>
#include <map>

namespace tal {

// A dynamic list whose items depend on UI parameters held in named slots of its own: a child
// parameter binds to the first slot of its short name; a change of any of them, or of whether every
// slot required for activity is active, announces the list as updated. A slot that must be
// attached and is still empty after the children exist fails initChilds. No tag: the product's
// description uses none. Editor thread only.
class CDynListAudio : public CDynListObject, public CUIParamUpdateHandler {
public:
    ~CDynListAudio() override;

    // Error "Required UI parameter '%1' is not attached." for an empty slot that must be attached.
    [[nodiscard]] CError* initChilds() override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    bool isAllRequiredActive() const noexcept { return mAllRequiredActive; }

protected:
    struct CSlot {
        bool isActive = false;
        bool isRequiredForActivity = true;
        bool mustBeAttached = true;
        CUIParam* param = nullptr;  // not owned: a child
        CString name;
    };

    // The slot of an id, made with the defaults when absent.
    CSlot& slot(std::int32_t id) { return mSlots[id]; }
    const CSlot* findSlot(std::int32_t id) const;
    bool computeAllRequiredActive() const;

    bool mAllRequiredActive = false;

private:
    void setParamActive(CUIParam* param, bool isActive);

    std::map<std::int32_t, CSlot> mSlots;
};

} // namespace tal
