#include "Audio/Processes/CAudioProcessMB.h"

#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioProcessDefBase.h"
#include "Audio/CAudioProcessPort.h"
#include "Audio/Processes/CAudioModule.h"
#include "Core/CError.h"
#include "Core/CStringList.h"
#include "Core/Log.h"
#include "Core/NumberText.h"

namespace tal {

struct CAudioProcessMB::CBand : CPoolAllocated {
    std::int32_t index = 0;
    CArray<std::uint8_t> active;        // by port number: 1 where the band has that port
    CArray<CAudioProcessBase*> pre;     // by port number; owned, null where absent
    CArray<CAudioProcessBase*> lowPass;
    CArray<CAudioProcessBase*> highPass;
    CAudioProcessBase* process = nullptr;   // owned
};

CAudioProcessMB::CAudioProcessMB() { setLeaf(false); }

CAudioProcessMB::~CAudioProcessMB() {
    // Every sub-process leaves the wiring before any is deleted: links run from band to band.
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->disconnectAll();
    for (int i = mBands.count() - 1; i >= 0; --i)
        destroyBand(mBands[i]);
}

// --- queries --------------------------------------------------------------------------------------

CAudioProcessBase* CAudioProcessMB::bandProcess(int band) const noexcept {
    return band >= 0 && band < mBands.count() ? mBands[band]->process : nullptr;
}

CAudioProcessBase* CAudioProcessMB::subOf(const CBand& band, Role role, int port) noexcept {
    const CArray<CAudioProcessBase*>& list = role == Role::kPre        ? band.pre
                                             : role == Role::kLowPass ? band.lowPass
                                                                      : band.highPass;
    return port >= 0 && port < list.count() ? list[port] : nullptr;
}

CAudioProcessBase* CAudioProcessMB::lowPass(int band, int port) const noexcept {
    return band >= 0 && band < mBands.count() ? subOf(*mBands[band], Role::kLowPass, port) : nullptr;
}

CAudioProcessBase* CAudioProcessMB::highPass(int band, int port) const noexcept {
    return band >= 0 && band < mBands.count() ? subOf(*mBands[band], Role::kHighPass, port) : nullptr;
}

CAudioProcessBase* CAudioProcessMB::preBand(int band, int port) const noexcept {
    return band >= 0 && band < mBands.count() ? subOf(*mBands[band], Role::kPre, port) : nullptr;
}

bool CAudioProcessMB::isPassThrough(int port) const noexcept { return mPassThrough.indexOf(port) >= 0; }

bool CAudioProcessMB::isLastBand(const CBand& band) const noexcept { return band.index + 1 == mBands.count(); }

int CAudioProcessMB::wantedBandCount(double sampleRate) const noexcept {
    std::int64_t request = 1;
    if (CAudioModule::hasValues(mCount))
        request = CAudioModule::toInteger(readParamValue(mCount, groupIndex(), 0, 1.0));
    if (!CAudioModule::hasValues(mFreq))
        return 1;
    const int group = mFreq->isSingleGroup() ? 0 : groupIndex();
    const int stored = mFreq->getElementCount(group);
    const int size = mFreq->getElementSize() > 0 ? mFreq->getElementSize() : 1;
    const int length = stored > 0 ? stored : mFreq->getDefaultCount() / size;
    int bands = 1;
    double previous = 0.0;
    while (bands - 1 < length && bands < request) {
        const double f = stored > 0 ? mFreq->getValue(group, bands - 1, 0) : mFreq->getDefault(bands - 1, 0);
        if (!(f < 0.5 * sampleRate) || !(f >= previous))
            break;   // the run of usable crossovers ends here (NaN ends it too)
        previous = f;
        ++bands;
    }
    return bands;
}

// --- life cycle -----------------------------------------------------------------------------------

CError* CAudioProcessMB::init() {
    CAudioProcessDefBase* def = definition();
    if (def == nullptr || def->multibandFreqParam().isEmpty())
        return newError("@talstr_CAudioProcessMB_init_NoMBFreqParamDefined No 'multiband-freq-param' attribute defined.",
                        namePrefix());
    if (def->multibandCountParam().isEmpty())
        return newError("@talstr_CAudioProcessMB_init_NoMBCountParamDefined No 'multiband-count-param' attribute defined.",
                        namePrefix());
    watchParam(CAudioProcessDefBaseInit::resolveParamName(def->multibandFreqParam(), namePrefix()), mFreq,
               &mFreqChanged, false, true);
    watchParam(CAudioProcessDefBaseInit::resolveParamName(def->multibandCountParam(), namePrefix()), mCount,
               &mCountChanged, false, false);
    mRunList.clear();

    mPre = dynamic_cast<CAudioProcessDefBase*>(def->findObject(def->getTextAttr("multiband-pre")));
    if (CError* err = def->findObjectByAttr(mLowPass, CString("multiband-lp"), true))
        return traceError(err, namePrefix());
    mHighPass = dynamic_cast<CAudioProcessDefBase*>(def->findObject(def->getTextAttr("multiband-hp")));

    mLowPassPrefix = CString(namePrefix()).append(".lp");
    mHighPassPrefix = CString(namePrefix()).append(".hp");
    mPrePrefix = CString(namePrefix()).append(".pre");
    mBandPrefix = CString(namePrefix()).append(".mod");

    CStringList pieces;
    def->getTextAttr("multiband-pt-ports").split(pieces, ',', true, true);
    for (int i = 0; i < pieces.count(); ++i) {
        bool ok = false;
        const int port = parseInt(pieces[i], 0, &ok);
        if (ok && port >= 0)
            mPassThrough.add(port);
    }
    return nullptr;
}

void CAudioProcessMB::reset() {
    CAudioProcessBase::reset();
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->reset();
}

void CAudioProcessMB::disconnectAll() {
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->disconnectAll();
    CAudioProcessBase::disconnectAll();
}

// --- sub-processes and their links ----------------------------------------------------------------

CAudioProcessBase* CAudioProcessMB::makeSub(CAudioProcessDefBase* def, const CString& prefix, int band) {
    if (def == nullptr || context() == nullptr)
        return nullptr;
    CAudioProcessBase* made = nullptr;
    if (CError* err = def->createProcess(&made, prefix, *context(), groupIndex(), band, blockPool(), true, true)) {
        reportError(&err);
        return nullptr;
    }
    return made;
}

void CAudioProcessMB::addPort(CBand& band, int port, bool last) {
    const int k = band.index;
    CAudioProcessBase* m = band.process;
    if (isPassThrough(port) || (k == 0 && last)) {
        if (m != nullptr)
            addInputLink(port, m, port);
        return;
    }
    CAudioProcessBase* previousHigh = k > 0 ? subOf(*mBands[k - 1], Role::kHighPass, port) : nullptr;
    if (mHighPass != nullptr && last) {
        // The last band of a cascade takes what the previous high-pass passed on.
        if (previousHigh != nullptr && m != nullptr)
            previousHigh->addOutput(m, port, 0);
        return;
    }
    if (band.lowPass.count() <= port) {
        band.pre.setCount(port + 1);
        band.lowPass.setCount(port + 1);
        band.highPass.setCount(port + 1);
    }
    CAudioProcessBase* low = makeSub(mLowPass, mLowPassPrefix, k);
    band.lowPass[port] = low;
    if (mHighPass == nullptr) {
        if (low != nullptr) {
            addInputLink(port, low, 0);
            if (m != nullptr)
                low->addOutput(m, port, 0);
        }
        return;
    }
    CAudioProcessBase* high = makeSub(mHighPass, mHighPassPrefix, k);
    band.highPass[port] = high;
    CAudioProcessBase* pre = mPre != nullptr ? makeSub(mPre, mPrePrefix, k) : nullptr;
    band.pre[port] = pre;
    for (CAudioProcessBase* target : {low, high}) {
        if (target == nullptr)
            continue;
        if (k == 0)
            addInputLink(port, target, 0);
        else if (previousHigh != nullptr)
            previousHigh->addOutput(target, 0, 0);
    }
    if (low == nullptr)
        return;
    if (pre != nullptr) {
        low->addOutput(pre, 0, 0);
        if (m != nullptr)
            pre->addOutput(m, port, 0);
    } else if (m != nullptr) {
        low->addOutput(m, port, 0);   // no pre-band prototype, or its process could not be made
    }
}

void CAudioProcessMB::removePort(CBand& band, int port, bool last) {
    const int k = band.index;
    CAudioProcessBase* m = band.process;
    if (isPassThrough(port) || (k == 0 && last)) {
        if (m != nullptr)
            removeInputLink(port, m, port);
        return;
    }
    CAudioProcessBase* previousHigh = k > 0 ? subOf(*mBands[k - 1], Role::kHighPass, port) : nullptr;
    if (mHighPass != nullptr && last) {
        if (previousHigh != nullptr && m != nullptr)
            previousHigh->removeOutput(m, port, 0);
        return;
    }
    CAudioProcessBase* low = subOf(band, Role::kLowPass, port);
    CAudioProcessBase* high = subOf(band, Role::kHighPass, port);
    CAudioProcessBase* pre = subOf(band, Role::kPre, port);
    for (CAudioProcessBase* target : {low, high}) {
        if (target == nullptr)
            continue;
        if (k == 0 || mHighPass == nullptr)
            removeInputLink(port, target, 0);
        else if (previousHigh != nullptr)
            previousHigh->removeOutput(target, 0, 0);
    }
    // Their own output links (into the band process, the pre-band process and the next band) go
    // with them.
    for (CAudioProcessBase* doomed : {pre, low, high}) {
        if (doomed == nullptr)
            continue;
        doomed->disconnectAll();
        delete doomed;
    }
    if (port < band.lowPass.count()) {
        band.pre[port] = nullptr;
        band.lowPass[port] = nullptr;
        band.highPass[port] = nullptr;
    }
}

void CAudioProcessMB::syncRemovals(CBand& band, const CArray<std::uint8_t>& map) {
    const bool last = isLastBand(band);
    for (int p = 0; p < band.active.count(); ++p) {
        if (band.active[p] == 0 || (p < map.count() && map[p] != 0))
            continue;
        band.active[p] = 0;
        removePort(band, p, last);
    }
}

void CAudioProcessMB::syncAdditions(CBand& band, const CArray<std::uint8_t>& map, bool last) {
    for (int p = 0; p < map.count(); ++p) {
        if (map[p] == 0 || (p < band.active.count() && band.active[p] != 0))
            continue;
        if (band.active.count() <= p)
            band.active.setCount(p + 1);
        band.active[p] = 1;
        addPort(band, p, last);
    }
}

void CAudioProcessMB::trimBand(CBand& band) {
    int length = band.active.count();
    while (length > 0 && band.active[length - 1] == 0)
        --length;
    band.active.setCount(length);
    // Ports beyond the last active one hold no processes: removePort cleared them.
    if (band.lowPass.count() > length) {
        band.pre.setCount(length);
        band.lowPass.setCount(length);
        band.highPass.setCount(length);
    }
}

// --- bands ----------------------------------------------------------------------------------------

void CAudioProcessMB::retireBand(CBand& band) {
    syncRemovals(band, CArray<std::uint8_t>());
    trimBand(band);
    if (band.process != nullptr) {
        removeOutputSource(band.process);
        band.process->disconnectAll();
    }
}

void CAudioProcessMB::destroyBand(CBand* band) {
    delete band->process;
    for (int p = band->lowPass.count() - 1; p >= 0; --p) {
        delete band->highPass[p];
        delete band->lowPass[p];
        delete band->pre[p];
    }
    delete band;
}

void CAudioProcessMB::clearBand(int band) {
    if (band < 0 || band >= mBands.count())
        return;
    retireBand(*mBands[band]);
    rebuildRunList();
}

void CAudioProcessMB::appendBand(bool last) {
    CBand* band = new CBand;
    band->index = mBands.count();
    mBands.add(band);
    band->process = makeSub(definition(), mBandPrefix, band->index);
    syncAdditions(*band, mPortMap, last);
    if (band->process != nullptr)
        addOutputSource(band->process);
}

void CAudioProcessMB::changeBandCount(int wanted) {
    const int have = mBands.count();
    if (wanted == have)
        return;
    const bool cascade = mHighPass != nullptr;
    int keep = 0;
    if (wanted < have)
        keep = cascade || wanted < 2 ? wanted - 1 : wanted;
    else
        keep = have == 1 || (cascade && have > 0) ? have - 1 : have;   // a last band is rebuilt as a middle one
    for (int k = mBands.count() - 1; k >= keep; --k)
        retireBand(*mBands[k]);
    for (int k = mBands.count() - 1; k >= keep; --k) {
        destroyBand(mBands[k]);
        mBands.removeAt(k);
    }
    while (mBands.count() < wanted)
        appendBand(mBands.count() == wanted - 1);
}

void CAudioProcessMB::rebuildPortMap() {
    int length = 0;
    for (int i = 0; i < portCount(); ++i) {
        const CAudioProcessPort& p = *port(i);
        // Port 0 always exists; another port exists while something feeds it.
        if (p.key >= 0 && p.key <= kMaxPortNumber && (p.key == 0 || !p.connections.isEmpty()))
            length = p.key + 1 > length ? p.key + 1 : length;
    }
    mPortMap.setCount(0);
    mPortMap.setCount(length);
    for (int i = 0; i < portCount(); ++i) {
        const CAudioProcessPort& p = *port(i);
        if (p.key >= 0 && p.key <= kMaxPortNumber && (p.key == 0 || !p.connections.isEmpty()))
            mPortMap[p.key] = 1;
    }
}

void CAudioProcessMB::update() {
    if (!inputFormatChanged() && mFreqChanged == 0 && mCountChanged == 0)
        return;
    const int wanted = wantedBandCount(inputSampleRate());
    rebuildPortMap();
    // Ports leave from the last band down (a band's links hang on the band below it) and arrive
    // from the first band up (a band's links need the high-pass of the band below it).
    for (int k = mBands.count() - 1; k >= 0; --k)
        syncRemovals(*mBands[k], mPortMap);
    for (int k = 0; k < mBands.count(); ++k) {
        syncAdditions(*mBands[k], mPortMap, isLastBand(*mBands[k]));
        trimBand(*mBands[k]);
    }
    changeBandCount(wanted);
    rebuildRunList();
}

void CAudioProcessMB::rebuildRunList() {
    mRunList.clear();
    for (int k = 0; k < mBands.count(); ++k) {
        const CBand& band = *mBands[k];
        for (const CArray<CAudioProcessBase*>* list : {&band.lowPass, &band.pre, &band.highPass})
            for (int p = 0; p < list->count(); ++p)
                if ((*list)[p] != nullptr)
                    mRunList.add((*list)[p]);
        if (band.process != nullptr)
            mRunList.add(band.process);
    }
}

// --- block ----------------------------------------------------------------------------------------

void CAudioProcessMB::process() {
    renderInputs();
    releaseInputs();   // the blocks now travel through the port links to the sub-processes
    for (int i = 0; i < mRunList.count(); ++i)
        mRunList[i]->process();
}

} // namespace tal
