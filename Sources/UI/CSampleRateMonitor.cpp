#include "UI/CSampleRateMonitor.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Core/Log.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CMinMax.h"
#include "UI/CUIParam.h"
#include "UI/SchemeThunks.h"

#include <cmath>
#include <cstdlib>

namespace tal {

namespace {

// The first component of a parameter's plain value, rounded half away from zero.
std::int64_t plainInteger(CUIParam* param) {
    CUIParamValue value;
    param->getPlainValue(value, 0, -1);
    return CAudioParamConverter::roundToInt(value[0]);
}

} // namespace

CObject* CSampleRateMonitor::create() { return new CSampleRateMonitor(); }

void CSampleRateMonitor::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CSampleRateMonitor, &CSampleRateMonitor::onSampleRateChange>(scheme, "sample-rate-change");
}

CSampleRateMonitor::~CSampleRateMonitor() { mInterfaceClient.reset(); }

CError* CSampleRateMonitor::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mRate = -1.0;
    mEffectiveRate = -1.0;
    mInterfaceClient.init(this, CString(), CString("sample-rate-change"), this, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    mInterfaceClient.listenEvent(CString("update-sample-rate"), CString("sample-rate-change"));
    recompute();
    return nullptr;
}

CError* CSampleRateMonitor::onSampleRateChange() {
    recompute();
    return nullptr;
}

void CSampleRateMonitor::recompute() {
    CAudioInterfaceClient* client = mInterfaceClient.resolve();
    if (client == nullptr)
        return;  // both rates stay as they are (-1 until a client was found)
    const double r = client->sampleRate();
    double effective = r;
    if (mQualityParam != nullptr && mQualityParam->updateActive() && mHostQualityParam != nullptr &&
        mHostQualityParam->updateActive()) {
        const std::int64_t h = plainInteger(mHostQualityParam);
        const std::int64_t q = plainInteger(mQualityParam);
        const std::int64_t n = (q != 0 && h >= 0) ? q - 1 : std::llabs(h);
        if (n > 0)
            effective = r * std::ldexp(1.0, int(std::min<std::int64_t>(n, 64)));
    }
    if (CMinMax::isSameReal(mRate, r) && CMinMax::isSameReal(mEffectiveRate, effective))
        return;
    mRate = r;
    mEffectiveRate = effective;
    CError* error = fireEvent(CString("update"), false);
    reportError(&error);
}

void CSampleRateMonitor::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    if (name.equals("quality-param"))
        mQualityParam = param;
    else if (name.equals("host-quality-param"))
        mHostQualityParam = param;
    recompute();
}

void CSampleRateMonitor::onUIParamActivated(CUIParam*) { recompute(); }

void CSampleRateMonitor::onUIParamDeactivated(CUIParam*) { recompute(); }

CError* CSampleRateMonitor::onUIParamChanged(CUIParam*, std::int32_t, std::int32_t) {
    recompute();
    return nullptr;
}

} // namespace tal
