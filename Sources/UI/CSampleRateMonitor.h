#pragma once
#include "Core/CObject.h"
#include "Core/CTarget.h"
#include "UI/CUIParamUpdateHandler.h"

namespace tal {

class CAudioInterfaceClient;
class CUIParam;

// "ui:sample-rate-monitor": the audio side's sample rate, taken from the interface client, and the
// effective rate at which the filters run when the plug-in oversamples (from the child UI
// parameters "quality-param" and "host-quality-param"). Both are -1 until known; "update" fires on
// every real change. Points at the client without owning it. Editor thread only.
class CSampleRateMonitor : public CObject, public CUIParamUpdateHandler {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CSampleRateMonitor() override;

    [[nodiscard]] CError* init() override;

    // Recomputes both rates; never fails (errors of "update" are logged).
    [[nodiscard]] virtual CError* onSampleRateChange();

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    double rate() const noexcept { return mRate; }
    double effectiveRate() const noexcept { return mEffectiveRate; }

private:
    void recompute();

    CTarget<CAudioInterfaceClient> mInterfaceClient;
    CUIParam* mQualityParam = nullptr;      // not owned: a child
    CUIParam* mHostQualityParam = nullptr;  // not owned: a child
    double mRate = -1.0;
    double mEffectiveRate = -1.0;
};

} // namespace tal
