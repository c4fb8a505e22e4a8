#include "UI/CFilterResponse.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterStageList.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/CWorkerThread.h"
#include "Core/CWorkerThreadPool.h"
#include "Core/Log.h"
#include "UI/CLevelMeterListener.h"
#include "UI/CSampleRateMonitor.h"
#include "UI/CUIParam.h"
#include "UI/CWindowSharedData.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace tal {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTenOverLn10 = 4.3429448190325175;
constexpr double kTwentyOverLn10 = 8.685889638065035;
constexpr double kMinPower = 1e-200;

// The power of a first- or second-order stage at one angle, from cos w, sin w, cos 2w, sin 2w.
inline double iirPower(const CAudioFilterStage& s, double c1, double s1, double c2, double s2) noexcept {
    const double* b = s.numerator;
    const double* a = s.denominator;
    double nr, ni, dr, di;
    if (s.denominatorCount == 2) {
        nr = b[0] + b[1] * c1 + b[2] * c2;
        ni = b[1] * s1 + b[2] * s2;
        dr = 1.0 + a[0] * c1 + a[1] * c2;
        di = a[0] * s1 + a[1] * s2;
    } else {
        nr = b[0] + b[1] * c1;
        ni = b[1] * s1;
        dr = 1.0 + a[0] * c1;
        di = a[0] * s1;
    }
    return std::max((nr * nr + ni * ni) / (dr * dr + di * di), kMinPower);
}

// The power of an FIR stage (taps = numerator, at most three) at one angle; no lower bound.
inline double firPower(const CAudioFilterStage& s, double c1, double s1, double c2, double s2) noexcept {
    const double* h = s.numerator;
    double re = h[0], im = 0.0;
    if (s.numeratorCount > 1) {
        re += h[1] * c1;
        im += h[1] * s1;
    }
    if (s.numeratorCount > 2) {
        re += h[2] * c2;
        im += h[2] * s2;
    }
    return re * re + im * im;
}

inline void store(double* power, int k, double p, bool first) noexcept {
    power[k] = first ? p : power[k] * p;
}

// One FIR evaluation shared by the caller and the pool workers: chunks are claimed from an atomic
// counter and each writes only its own range of points.
struct CFIRJob {
    std::atomic<int> nextChunk{0};
    const CAudioFilterStage* stage = nullptr;
    double* power = nullptr;
    const double* cos1 = nullptr;
    const double* sin1 = nullptr;
    const double* cos2 = nullptr;
    const double* sin2 = nullptr;
    int count = 0;
    bool first = false;

    // Evaluates one chunk; false when none was left.
    bool runChunk() noexcept {
        const int c = nextChunk.fetch_add(1, std::memory_order_relaxed);
        if (c >= CFilterResponse::kFIRChunks)
            return false;
        const int start = int(std::int64_t(count) * c / CFilterResponse::kFIRChunks);
        const int end = int(std::int64_t(count) * (c + 1) / CFilterResponse::kFIRChunks);
        for (int k = start; k < end; ++k)
            store(power, k, firPower(*stage, cos1[k], sin1[k], cos2[k], sin2[k]), first);
        return true;
    }
};

class CFIRThread : public CWorkerThread {
public:
    explicit CFIRThread(CFIRJob* job) : mJob(job) {}
    CError* run() override {
        while (mJob->runChunk()) {
        }
        return nullptr;
    }

private:
    CFIRJob* mJob;  // not owned: lives on the caller's stack until waitAll returns
};

std::int32_t roundedPlain(CUIParam* param, std::int32_t element) {
    CUIParamValue value;
    param->getPlainValue(value, element, -1);
    return std::int32_t(CAudioParamConverter::roundToInt(value[0]));
}

} // namespace

CObject* CFilterResponse::create() { return new CFilterResponse(); }

void CFilterResponse::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CFilterResponse, &CFilterResponse::onSampleRateChange>(scheme, "sample-rate-change");
}

CFilterResponse::~CFilterResponse() {
    mMonitor.reset();
    mWindowData.reset();
    mGenArray.reset();
    mGenArrayPoints.reset();
}

CError* CFilterResponse::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mWindowData.init(this, CString("ui.window-shared-data"), CString(), this, CString());
    mWindowData.isRequired = true;
    mMonitor.init(this, CString(), CString(), this, CString("sample-rate-monitor"));
    mMonitor.isRequired = true;
    mMonitor.listenEvent(CString("update"), CString("sample-rate-change"));
    mGenArray.init(this, CString(), CString(), this, CString("gen-array"));
    mGenArray.isRequired = true;
    mGenArrayPoints.init(this, CString(), CString(), this, CString("gen-array-points"));
    mInactiveTimeout = getDoubleAttr("inactive-timeout");
    mFilterCount = std::max<std::int32_t>(getIntAttr("filter-count"), 1);
    mHighFrequency = 1.0;
    mLowFrequency = 0.1;
    mPointCount = 0;
    mIsSumStale = true;
    CStringList words;
    getTextAttr("spline-filters").split(words, ' ', true, true);
    mSplineNames.clear();
    for (int i = 0; i < words.count(); ++i)
        mSplineNames.push_back(words[i]);
    if (!mSplineNames.empty())
        updateFilterCount();
    return nullptr;
}

CError* CFilterResponse::initChilds() {
    if (CError* error = CObject::initChilds())
        return traceError(error, getFullName());
    if (CError* error = CLevelMeterListenerOwner::init(this))
        return traceError(error, getFullName());
    return nullptr;
}

CError* CFilterResponse::onSampleRateChange() {
    markAllStale();
    return nullptr;
}

// --- parameters ---

void CFilterResponse::rebuildValueMap() {
    mValueMap = CAudioFilterValueMap();
    for (std::size_t m = 0; m < mGenNames.size(); ++m)
        mValueMap.add(mGenNames[m], int(m));
}

void CFilterResponse::onUIParamRegistered(CUIParam* param) {
    const CString name = param->getShortName();
    const CString& genName = param->getTextAttr("genname");
    if (name.equals("filter-count-param")) {
        mFilterCountParam = param;
    } else if (name.equals("filter-type-param")) {
        mFilterTypeParam = param;
    } else if (!genName.isEmpty()) {
        const std::size_t m = mFilterParams.size();
        const bool isSpline = param->getBoolAttr("is-spline");
        mFilterParams.push_back(param);
        mSplineFlags.push_back(isSpline ? 1 : 0);
        mGenNames.emplace_back(genName.chars8());
        rebuildValueMap();
        if (isSpline != (m < mSplineNames.size())) {
            CString line("Invalid filter '");
            line.append(genName.chars8());
            line.append("' precedence.");
            if (!getFullName().isEmpty()) {
                line.append(" // ");
                line.append(getFullName().chars8());
            }
            writeLog(line.chars8(), true);
        }
    }
    updateFilterCount();
}

void CFilterResponse::onUIParamActivated(CUIParam*) { updateFilterCount(); }

void CFilterResponse::onUIParamDeactivated(CUIParam*) { updateFilterCount(); }

CError* CFilterResponse::onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) {
    if (param == mFilterCountParam) {
        updateFilterCount();
        return nullptr;
    }
    const auto it = std::find(mFilterParams.begin(), mFilterParams.end(), param);
    if (it != mFilterParams.end() && mSplineFlags[std::size_t(it - mFilterParams.begin())] != 0) {
        const std::size_t m = std::size_t(it - mFilterParams.begin());
        if (m < mSlots.size())
            mSlots[m]->isStale = true;
    } else if (param == mFilterTypeParam || it != mFilterParams.end()) {
        markBandsStale(elementOffset, elementCount);
    } else {
        return nullptr;
    }
    mIsSumStale = true;
    fireUpdate();
    return nullptr;
}

void CFilterResponse::markBandsStale(std::int32_t offset, std::int32_t count) {
    const std::int64_t first = std::int64_t(mSplineNames.size()) + (count == 0 ? 0 : offset);
    const std::int64_t end = count == 0 ? std::int64_t(mSlots.size())
                                        : std::min<std::int64_t>(first + count, std::int64_t(mSlots.size()));
    for (std::int64_t i = std::max<std::int64_t>(first, 0); i < end; ++i)
        mSlots[std::size_t(i)]->isStale = true;
}

void CFilterResponse::updateFilterCount() {
    std::int64_t bands = mFilterCount;
    if (mFilterCountParam != nullptr && mFilterCountParam->updateActive() && mFilterCountParam->currentGroup() >= 0)
        bands = std::max(roundedPlain(mFilterCountParam, 0), 0);
    std::int64_t count = std::int64_t(mSplineNames.size()) + bands;
    bool allActive = true;
    for (CUIParam* param : mFilterParams)
        allActive = param->updateActive() && allActive;
    if (!allActive)
        count = 0;
    if (count == std::int64_t(mSlots.size()))
        return;
    while (std::int64_t(mSlots.size()) > count)
        mSlots.pop_back();
    while (std::int64_t(mSlots.size()) < count)
        mSlots.push_back(std::make_unique<Item>());
    mIsSumStale = true;
    fireUpdate();
}

void CFilterResponse::setRange(std::int32_t pointCount, double fLo, double fHi) {
    if (pointCount == mPointCount && fLo == mLowFrequency && fHi == mHighFrequency)
        return;
    mPointCount = std::max(pointCount, 0);
    mLowFrequency = fLo;
    mHighFrequency = fHi;
    markAllStale();
}

void CFilterResponse::markAllStale() {
    for (auto& item : mSlots)
        item->isStale = true;
    mIsSumStale = true;
    fireUpdate();
}

void CFilterResponse::fireUpdate() {
    CError* error = fireEvent(CString("update"), false);
    reportError(&error);
}

// --- evaluation ---

void CFilterResponse::ensureEvaluated(Item& item, std::int32_t slot) {
    if (!item.isStale)
        return;
    item.isStale = false;
    item.isLevelStale = true;
    evaluateFilter(item, slot);
}

void CFilterResponse::evaluateFilter(Item& item, std::int32_t slot) {
    auto clear = [&item] {
        item.power.clear();
        item.dB.clear();
    };
    if (mPointCount == 0 || slot < std::int32_t(mSplineNames.size())) {
        // Point designers take the stored points of a parameter, which the designers on this side
        // do not read yet: a spline slot stays empty.
        clear();
        return;
    }
    const std::int32_t band = slot - std::int32_t(mSplineNames.size());
    if (mFilterTypeParam == nullptr || !mFilterTypeParam->updateActive()) {
        clear();
        return;
    }
    double values[CAudioFilterValueMap::kCapacity] = {};
    const std::size_t valueCount = std::min<std::size_t>(mFilterParams.size(), CAudioFilterValueMap::kCapacity);
    for (std::size_t j = 0; j < valueCount; ++j) {
        CUIParamValue value;
        mFilterParams[j]->getPlainValue(value, band, -1);
        values[j] = value[0];
    }
    CAudioFilterGenArray* gens = mGenArray.resolve();
    if (gens == nullptr) {
        CString line("CFilterResponse :: GenArray is NULL // ");
        line.append(getFullName().chars8());
        writeLog(line.chars8(), true);
        return;
    }
    const CAudioFilterGen* gen = gens->getGen(int(roundedPlain(mFilterTypeParam, band)));
    CSampleRateMonitor* monitor = mMonitor.resolve();
    double fs = monitor != nullptr ? monitor->effectiveRate() : -1.0;
    if (fs < 0.0)
        fs = 44100.0;
    if (gen == nullptr || fs < 2.0 * mLowFrequency) {
        clear();
        return;
    }
    CAudioFilterStageList stages;
    const CAudioFilterValues input{&mValueMap, int(valueCount), values, nullptr};
    gen->designStage(stages, input, nullptr, fs);

    const int n = mPointCount;
    const double w0 = 2.0 * kPi * mLowFrequency / fs;
    const double logStep = n > 1 ? std::log(mHighFrequency / mLowFrequency) / (n - 1) : 0.0;
    const int u = n > 1 ? int(std::min<double>(n, std::ceil(std::log(kPi / w0) / logStep))) : 0;
    item.power.assign(std::size_t(std::max(u, 0)), 1.0);
    item.dB.assign(std::size_t(std::max(u, 0)), 0.0);
    if (stages.isEmpty() || u <= 0)
        return;
    evaluateStages(stages, item.power.data(), item.dB.data(), u, w0, logStep);

    // The point nearest the band's own frequency shows the exact peak (or notch depth).
    const int x = mValueMap.find("freq");
    if (x < 0 || x >= int(valueCount))
        return;
    const double f = values[x];
    if (!(f > 0.0) || !std::isfinite(f))
        return;
    const double kReal = (n - 1) * std::log(f / mLowFrequency) / std::log(mHighFrequency / mLowFrequency);
    if (!std::isfinite(kReal) || kReal < -0.5 || kReal >= double(u))
        return;
    const std::int64_t k = CAudioParamConverter::roundToInt(kReal);
    if (k < 0 || k >= u)
        return;
    double p = 1.0, d = 0.0;
    evaluateStages(stages, &p, &d, 1, 2.0 * kPi * f / fs, 0.0);
    item.power[std::size_t(k)] = p;
    item.dB[std::size_t(k)] = d;
}

void CFilterResponse::updateTrigTable(int n, double w0, double logStep) {
    if (n == mTrig.count && w0 == mTrig.w0 && logStep == mTrig.logStep)
        return;
    mTrig.count = n;
    mTrig.w0 = w0;
    mTrig.logStep = logStep;
    mTrig.cos1.resize(std::size_t(n));
    mTrig.sin1.resize(std::size_t(n));
    mTrig.cos2.resize(std::size_t(n));
    mTrig.sin2.resize(std::size_t(n));
    // Each angle from its own exponent, so no rounding accumulates along the grid.
    for (int k = 0; k < n; ++k) {
        const double w = w0 * std::exp(logStep * k);
        mTrig.cos1[std::size_t(k)] = std::cos(w);
        mTrig.sin1[std::size_t(k)] = std::sin(w);
        mTrig.cos2[std::size_t(k)] = std::cos(2.0 * w);
        mTrig.sin2[std::size_t(k)] = std::sin(2.0 * w);
    }
}

void CFilterResponse::evaluateStages(const CAudioFilterStageList& stages, double* power, double* dB, int n,
                                     double w0, double logStep) {
    if (n <= 0)
        return;
    std::fill(power, power + n, 1.0);
    for (int s = 0; s < stages.count(); ++s)
        evaluateStage(stages[s], power, n, s == 0, w0, logStep);
    // The stages' powers are multiplied first and converted once: 10·log10 of the product is the
    // sum of the stages' dB values. An exact zero (an FIR zero) gives minus infinity.
    for (int k = 0; k < n; ++k)
        dB[k] = std::log(power[k]) * kTenOverLn10;
}

void CFilterResponse::evaluateStage(const CAudioFilterStage& stage, double* power, int n, bool first, double w0,
                                    double logStep) {
    if (n <= 0)
        return;
    const bool isIIR = stage.denominatorCount == 1 || stage.denominatorCount == 2;
    if (stage.denominatorCount != 0 && !isIIR)
        return;
    if (n == 1) {
        const double c1 = std::cos(w0), s1 = std::sin(w0), c2 = std::cos(2.0 * w0), s2 = std::sin(2.0 * w0);
        store(power, 0, isIIR ? iirPower(stage, c1, s1, c2, s2) : firPower(stage, c1, s1, c2, s2), first);
        return;
    }
    updateTrigTable(n, w0, logStep);
    if (!isIIR) {
        evaluateFIR(stage, power, n, first);
        return;
    }
    const double* c1 = mTrig.cos1.data();
    const double* s1 = mTrig.sin1.data();
    const double* c2 = mTrig.cos2.data();
    const double* s2 = mTrig.sin2.data();
    for (int k = 0; k < n; ++k)
        store(power, k, iirPower(stage, c1[k], s1[k], c2[k], s2[k]), first);
}

int CFilterResponse::firThreads() const {
    if (mFIRThreadCount > 0)
        return std::min(mFIRThreadCount, 9);
    const unsigned cpus = std::max(1u, std::thread::hardware_concurrency());
    return std::min(int(std::ceil(cpus * 0.37)), 9);
}

void CFilterResponse::evaluateFIR(const CAudioFilterStage& stage, double* power, int n, bool first) {
    CFIRJob job;
    job.stage = &stage;
    job.power = power;
    job.cos1 = mTrig.cos1.data();
    job.sin1 = mTrig.sin1.data();
    job.cos2 = mTrig.cos2.data();
    job.sin2 = mTrig.sin2.data();
    job.count = n;
    job.first = first;
    CWorkerThreadPool pool;
    const int threads = firThreads();
    if (threads >= 2) {
        for (int t = 1; t < threads; ++t) {
            auto* worker = new CFIRThread(&job);
            if (CError* error = pool.addThread(worker)) {
                delete worker;
                reportError(&error);
            }
        }
        pool.wakeAll();
    }
    while (job.runChunk()) {
    }
    CError* error = pool.waitAll(true);
    reportError(&error);
}

// --- getters ---

const std::vector<double>* CFilterResponse::getFilterCurve(std::int32_t slot) {
    if (slot < 0 || slot >= getFilterCount())
        return nullptr;
    Item& item = *mSlots[std::size_t(slot)];
    ensureEvaluated(item, slot);
    return item.dB.empty() ? nullptr : &item.dB;
}

const std::vector<double>* CFilterResponse::getPowerCurve(std::int32_t slot) {
    if (getFilterCurve(slot) == nullptr)
        return nullptr;
    return &mSlots[std::size_t(slot)]->power;
}

const std::vector<double>* CFilterResponse::getSumCurve(bool excludeLast) {
    if (mSlots.empty())
        return nullptr;
    for (std::size_t i = 0; i < mSlots.size(); ++i)
        ensureEvaluated(*mSlots[i], std::int32_t(i));
    if (!mIsSumStale)
        return &mSum;
    mIsSumStale = false;
    const std::size_t k = mSlots.size() - (excludeLast ? 1 : 0);
    std::size_t length = mSlots[0]->dB.size();
    for (std::size_t i = 1; i < k; ++i) {
        const std::size_t l = mSlots[i]->dB.size();
        if (l > 0 && l < length)
            length = l;
    }
    mSum.assign(mSlots[0]->dB.begin(), mSlots[0]->dB.begin() + std::ptrdiff_t(length));
    for (std::size_t i = 1; i < k; ++i) {
        const std::vector<double>& dB = mSlots[i]->dB;
        if (dB.empty())
            continue;
        for (std::size_t p = 0; p < length; ++p)
            mSum[p] += dB[p];
    }
    return &mSum;
}

double CFilterResponse::frameClock() {
    CWindowSharedData* data = mWindowData.resolve();
    return data != nullptr ? data->frameClock() : 0.0;
}

void CFilterResponse::computeLevelCurve(Item& item) {
    const double q = item.levelFactor;
    if (q < 0.99 && !item.power.empty()) {
        item.levelCurve.resize(item.power.size());
        for (std::size_t k = 0; k < item.power.size(); ++k)
            item.levelCurve[k] = std::log(q * std::sqrt(item.power[k]) + (1.0 - q)) * kTwentyOverLn10;
    } else {
        item.levelCurve.clear();
    }
}

const std::vector<double>* CFilterResponse::getLevelCurve(std::int32_t slot) {
    if (slot < 0 || slot >= getFilterCount())
        return nullptr;
    Item& item = *mSlots[std::size_t(slot)];
    if (item.levelClock < frameClock() - mInactiveTimeout)
        return nullptr;
    ensureEvaluated(item, slot);
    if (item.isLevelStale) {
        item.isLevelStale = false;
        computeLevelCurve(item);
    }
    if (!item.levelCurve.empty())
        return &item.levelCurve;
    return item.dB.empty() ? nullptr : &item.dB;
}

void CFilterResponse::expireLevel(std::int32_t slot, double clock) noexcept {
    if (slot < 0 || slot >= getFilterCount())
        return;
    Item& item = *mSlots[std::size_t(slot)];
    item.levelClock = clock - mInactiveTimeout;
    item.levelFactor = 1.0;
    item.isLevelStale = true;
}

void CFilterResponse::onLevelMeterValue(std::int32_t listenerIndex, std::int32_t band, double time) {
    const std::size_t s = mSplineNames.size();
    if (band == -1) {
        for (std::size_t i = s; i < mSlots.size(); ++i) {
            mSlots[i]->levelFactor = 1.0;
            mSlots[i]->isLevelStale = true;
        }
        fireUpdate();
        return;
    }
    const std::int64_t t = std::int64_t(s) + band;
    const bool isSlot = t >= 0 && t < std::int64_t(mSlots.size());
    if (isSlot) {
        Item& item = *mSlots[std::size_t(t)];
        if (time < item.levelTime)
            return;
        item.levelTime = time;
        item.levelClock = frameClock();
    }
    const CLevelMeterListener* source = listener(listenerIndex);
    const std::int32_t n = source != nullptr ? source->bandCount() : 0;
    if (n == 0)
        return;
    // Band i of the listener drives slot s + i: its combined level while active, else no blend.
    for (std::size_t slot = s; slot < mSlots.size(); ++slot) {
        const std::int64_t i = std::int64_t(slot - s);
        mSlots[slot]->levelFactor = i < n && source->isBandActive(std::int32_t(i)) ? source->bandLevel(std::int32_t(i)) : 1.0;
    }
    if (isSlot)
        mSlots[std::size_t(t)]->isLevelStale = true;
    fireUpdate();
}

} // namespace tal
