#include "UI/CVizExchange.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CAttrMap.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/NumberText.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Platform/CMonotonicClock.h"
#include "UI/CVizListener.h"
#include "UI/SchemeThunks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tal {

namespace {

std::uint64_t systemClock(void*) { return getMonotonicNanos(); }

// A frame rate setting: its real value, at least 1.
double rateOf(CObject& object) { return std::max(1.0, object.getDoubleAttr("fps")); }

} // namespace

CObject* CVizExchange::create() { return new CVizExchange(); }

void CVizExchange::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addAttrOf<CVizExchange, &CVizExchange::attrFps>(scheme, "fps");
    addPlainEventOf<CVizExchange, &CVizExchange::onTimer>(scheme, "on-timer");
}

CVizExchange::CVizExchange() : mLastTick(getMonotonicNanos()), mClock(&systemClock) {}

CVizExchange::~CVizExchange() { mInterfaceClient.reset(); }

void CVizExchange::setClock(ClockFn clock, void* context) noexcept {
    mClock = clock != nullptr ? clock : &systemClock;
    mClockContext = context;
    mLastTick = now();
}

// --- life cycle ---

CError* CVizExchange::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mRate = rateOf(*this);
    mAdaptiveRate = mRate;
    mIntervalAverage = 1.0 / mRate;
    mIntervalAverage2 = 1.0 / mRate;
    mInterfaceClient.init(this, CString(), CString(), this, CString("interface-client"));
    mInterfaceClient.isRequired = true;
    mIsActive = true;
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve()) {
        client->setVizProcessor(this);
        client->requestExportSlotNames();
    }
    return nullptr;
}

void CVizExchange::releaseLinks() {
    if (mInterfaceClient.owner != nullptr)
        if (CAudioInterfaceClient* client = mInterfaceClient.resolve()) {
            client->setVizProcessor(nullptr);
            for (const auto& [name, entry] : mListeners)
                for (const auto& [listener, record] : entry)
                    client->unlistenViz(record.handle);
        }
    CObject::releaseLinks();
}

// --- timer ---

CError* CVizExchange::attrFps() {
    mRate = rateOf(*this);
    double timeout = getDoubleAttr("inactive-timeout");
    if (timeout < 0.01)
        timeout = 0.5;
    mInactivityLimit = std::int32_t(std::ceil(timeout * mRate));
    if (mTimer != nullptr)
        return traceError(mTimer->setDoubleAttr(CString("fps"), mRate, true), getFullName());
    CAttrMap attrs;
    attrs.findOrAdd("fps")->value.setReal(mRate);
    attrs.findOrAdd("order-asc")->value.setInt(-1000);
    CObject* timer = nullptr;
    if (CError* error = createChild(timer, getTextAttr("timer-tag"), CString("timer"), false, nullptr, &attrs)) {
        if (timer != nullptr)
            timer->release();
        return traceError(error, getFullName());
    }
    mTimer = timer;
    mLastTick = now();
    listenObject(mTimer->getFullName(), CString("tick"), CString("on-timer"));
    return nullptr;
}

CError* CVizExchange::onTimer() {
    if (mIsActive) {
        std::vector<std::pair<CString, CVizListener*>> resets;
        for (auto& [name, entry] : mListeners)
            for (auto& [listener, record] : entry) {
                if (record.idleTicks != mInactivityLimit) {
                    ++record.idleTicks;
                } else if (!record.isResetDone) {
                    record.isResetDone = true;
                    resets.emplace_back(name, listener);
                }
            }
        for (const auto& [name, listener] : resets) {
            auto entry = mListeners.find(name);
            if (entry != mListeners.end() && entry->second.count(listener) != 0)
                listener->onVizReset();  // a listener may have gone during an earlier reset
        }
    }
    const std::uint64_t t = now();
    const double dt = double(std::int64_t(t - mLastTick)) * 1e-9;
    mLastTick = t;
    const double tanh = std::tanh(mAdaptiveRate / 60.0);
    const double k = 0.35 - 0.3 * tanh * tanh;
    mIntervalAverage += (dt - mIntervalAverage) * k;
    mIntervalAverage2 += (mIntervalAverage - mIntervalAverage2) * k;
    const double target = std::min(144.0, std::max(1.0, 1.0 / (mIntervalAverage2 + 1e-15)));
    const double d = target - mAdaptiveRate;
    mAdaptiveRate += k * d * (0.02 + 0.98 * std::tanh(std::fabs(d) * 0.125));
    std::int64_t n = CAudioParamConverter::roundToInt(mAdaptiveRate);
    if (n < 2)
        n = 1;
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
        client->requestVizData(double(n));
    return nullptr;
}

// --- the processor ---

void CVizExchange::onStartViz() { mIsActive = true; }

void CVizExchange::onStopViz() { mIsActive = false; }

void CVizExchange::onClearClient() {
    mQueue.clear();
    mQueuedPerName.clear();
    mHasMessageTime = false;
    std::vector<std::pair<CString, CVizListener*>> all;
    for (auto& [name, entry] : mListeners)
        for (auto& [listener, record] : entry) {
            record.isResetDone = true;
            all.emplace_back(name, listener);
        }
    for (const auto& [name, listener] : all) {
        auto entry = mListeners.find(name);
        if (entry != mListeners.end() && entry->second.count(listener) != 0)
            listener->onVizReset();
    }
}

int CVizExchange::queuedFrameCount() const noexcept {
    int n = 0;
    for (const auto& [time, frames] : mQueue)
        n += int(frames.size());
    return n;
}

CVizExchange::CEntry* CVizExchange::findEntry(const CString& name) {
    auto entry = mListeners.find(name);
    return entry != mListeners.end() ? &entry->second : nullptr;
}

void CVizExchange::deliver(const CString& name, const CAudioVizData& frame) { deliver(name, findEntry(name), frame); }

void CVizExchange::deliver(const CString& name, CEntry* entry, const CAudioVizData& frame) {
    if (entry == nullptr)
        return;
    // The receivers are collected first: a listener may add or remove listeners while it receives.
    std::vector<CVizListener*> receivers;
    receivers.swap(mReceivers);
    receivers.clear();
    for (auto& [listener, record] : *entry) {
        const bool slotMatches = frame.exportSlot == record.slot;
        const bool groupMatches = record.group == -1 || record.group == frame.group || frame.exportSlot >= 0;
        const bool channelMatches = record.channel == -1 || record.channel == frame.channel || frame.channel == -1;
        if (slotMatches && groupMatches && channelMatches) {
            record.idleTicks = 0;
            record.isResetDone = false;
            receivers.push_back(listener);
        }
    }
    const std::uint64_t changes = mListenerChanges;
    for (CVizListener* listener : receivers) {
        if (mListenerChanges != changes) {
            entry = findEntry(name);
            if (entry == nullptr || entry->count(listener) == 0)
                continue;
        }
        listener->onVizData(name, frame);
    }
    receivers.swap(mReceivers);
}

void CVizExchange::releaseQueued(double upTo) {
    while (!mQueue.empty() && mQueue.begin()->first <= upTo) {
        std::vector<CQueued> frames = std::move(mQueue.begin()->second);
        mQueue.erase(mQueue.begin());
        for (CQueued& queued : frames) {
            if (--mQueuedPerName[queued.name] <= 0)
                mQueuedPerName.erase(queued.name);
            deliver(queued.name, *queued.frame);
        }
    }
}

void CVizExchange::enqueue(const CString& name, std::unique_ptr<CAudioVizData> frame) {
    int& count = mQueuedPerName[name];
    if (count >= kMaxQueuedPerName) {
        // Drop the oldest frame of this visual object.
        for (auto it = mQueue.begin(); it != mQueue.end(); ++it) {
            auto& frames = it->second;
            auto victim = std::find_if(frames.begin(), frames.end(), [&name](const CQueued& q) { return q.name == name; });
            if (victim == frames.end())
                continue;
            frames.erase(victim);
            if (frames.empty())
                mQueue.erase(it);
            --count;
            break;
        }
    }
    ++count;
    const double time = frame->time;
    mQueue[time].push_back(CQueued{name, std::move(frame)});
}

CError* CVizExchange::onVizData(CInputStream& reader) {
    double messageTime = 0.0;
    if (CError* error = reader.readDouble(messageTime))
        return traceError(error, getFullName());
    if (mHasMessageTime && messageTime < mLastMessageTime) {
        // The audio clock restarted: what waits for the old clock is due now.
        releaseQueued(std::numeric_limits<double>::infinity());
    }
    mLastMessageTime = messageTime;
    mHasMessageTime = true;
    releaseQueued(messageTime);
    for (;;) {
        std::int32_t count = 0;
        if (CError* error = reader.read32(count))
            return traceError(error, getFullName());
        if (count == 0)
            return nullptr;
        CString name;
        if (CError* error = reader.readString(name))
            return traceError(error, getFullName());
        CEntry* entry = findEntry(name);
        std::uint64_t changes = mListenerChanges;
        for (std::int32_t i = 0; i < count; ++i) {
            CAudioVizData* holder = nullptr;
            if (CError* error = CAudioVizData::readFromStream(reader, holder)) {
                delete holder;
                return traceError(error, getFullName());
            }
            std::unique_ptr<CAudioVizData> frame(holder);
            if (frame == nullptr)
                continue;
            if (frame->time <= messageTime) {
                if (changes != mListenerChanges) {
                    entry = findEntry(name);
                    changes = mListenerChanges;
                }
                deliver(name, entry, *frame);
            } else {
                enqueue(name, std::move(frame));
            }
        }
    }
}

CError* CVizExchange::onExportSlotNames(CInputStream& reader) {
    std::int32_t count = 0;
    if (CError* error = reader.read32(count))
        return traceError(error, getFullName());
    mSlotNames.clear();
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t slot = 0;
        CString name;
        CError* error = reader.read32(slot);
        if (error == nullptr)
            error = reader.readString(name);
        if (error != nullptr)
            return traceError(error, getFullName());
        mSlotNames[slot] = name;
    }
    return traceError(fireEvent(CString("export-slot-names-changed"), false), getFullName());
}

// --- listeners ---

void CVizExchange::addListener(CVizListener* listener, const CString& name, std::int32_t slot, std::int32_t group,
                               std::int32_t channel) {
    CEntry& entry = mListeners[name];
    if (entry.count(listener) != 0)
        return;
    ++mListenerChanges;
    CRecord record;
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
        record.handle = client->listenViz(slot, name);
    record.slot = slot;
    record.group = group;
    record.channel = channel;
    entry.emplace(listener, record);
}

void CVizExchange::removeListener(CVizListener* listener, const CString& name) {
    auto entry = mListeners.find(name);
    if (entry == mListeners.end())
        return;
    auto record = entry->second.find(listener);
    if (record == entry->second.end())
        return;
    if (CAudioInterfaceClient* client = mInterfaceClient.resolve())
        client->unlistenViz(record->second.handle);
    ++mListenerChanges;
    entry->second.erase(record);
    if (entry->second.empty())
        mListeners.erase(entry);
}

// --- export slots ---

void CVizExchange::getExportSlotName(std::int32_t slot, CString& name, std::int32_t* opt1, std::int32_t* opt2) const {
    auto stored = mSlotNames.find(slot);
    name = stored != mSlotNames.end() ? stored->second : CString();
    if (opt1 != nullptr)
        *opt1 = -1;
    if (opt2 != nullptr)
        *opt2 = -1;
    CStringList pieces;
    name.split(pieces, '`', true, true);
    if (pieces.count() < 2)
        return;
    name = pieces[0];
    for (int i = 1; i < pieces.count(); ++i) {
        const CString& piece = pieces[i];
        if (opt1 != nullptr && piece.find(CString("opt1=")) == 0)
            *opt1 = parseInt(CString(piece, 5, -1), -1);
        else if (opt2 != nullptr && piece.find(CString("opt2=")) == 0)
            *opt2 = parseInt(CString(piece, 5, -1), -1);
    }
}

CError* createInactiveTimer(CObject& owner, double timeout, bool needTemplate, CObject*& timer) {
    timer = nullptr;
    if (!(timeout > 0.01))
        return nullptr;
    CAttrMap attrs;
    attrs.findOrAdd("interval")->value.setReal(timeout);
    if (CError* error = owner.createChild(timer, owner.getTextAttr("interval-timer-tag"), CString("update-timer"),
                                          needTemplate, &attrs, nullptr))
        return error;
    owner.listenObject(timer->getFullName(), CString("tick"), CString("update-timer"));
    return nullptr;
}

} // namespace tal
