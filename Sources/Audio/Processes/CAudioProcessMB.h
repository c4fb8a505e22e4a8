#pragma once

#include "Audio/CAudioProcessBase.h"
#include "Core/CArray.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAudioParamStorage;
class CAudioProcessDefBase;

// A multiband process ("is-multiband" definitions): splits each input port into frequency bands
// with crossover processes made from prototype definitions ("multiband-lp", optional
// "multiband-hp" and "multiband-pre"), runs one plain copy of its own definition per band (the
// band process) and offers the band processes' outputs as its own; whatever it feeds sums them.
// The band count ("multiband-count-param") and the crossover frequencies
// ("multiband-freq-param", one element per crossover) are parameters: the bands are the leading
// ascending run of crossovers below half the sample rate, at most count - 1 of them.
//
// With a high-pass prototype the bands form a cascade: band k is the low-pass of crossover k of
// what band k - 1's high-pass passed on (the input for band 0), optionally followed by the pre-band
// process; the last band takes the previous high-pass output as it is. Without one, every band
// is the low-pass of the input at its own crossover index. Ports listed in "multiband-pt-ports"
// reach every band process unsplit on the same port number. Every sub-process of band k is made
// with stack index k, so it reads element k of its per-element parameters.
//
// Owns its band and crossover processes. A sub-process whose creation fails is logged and left
// out, with the links that need it. Threads: update runs from renderInputs on the thread that runs
// the graph (the audio thread); no locks.
class CAudioProcessMB final : public CAudioProcessBase {
public:
    // Input ports above this number are not split and reach no band.
    static constexpr int kMaxPortNumber = 255;

    CAudioProcessMB();
    ~CAudioProcessMB() override;

    // --- life cycle ---
    // Checks the attributes, binds the two parameters and finds the prototypes; an error when a
    // parameter attribute is empty or the low-pass prototype is missing or of another class.
    [[nodiscard]] CError* init() override;
    void reset() override;
    // Rebuilds the bands after an input format change or a change of either parameter.
    void update() override;
    void process() override;
    void disconnectAll() override;

    // --- operations ---
    // Takes band k out of the wiring (its ports, and its band process as an output source); the
    // band keeps its record until the next band-count change. Nothing when k is out of range.
    void clearBand(int band);

    // --- queries ---
    int bandCount() const noexcept { return mBands.count(); }
    // The band process of a band, null when it could not be made.
    CAudioProcessBase* bandProcess(int band) const noexcept;
    // A band's crossover processes for an input port; null where there is none.
    CAudioProcessBase* lowPass(int band, int port) const noexcept;
    CAudioProcessBase* highPass(int band, int port) const noexcept;
    CAudioProcessBase* preBand(int band, int port) const noexcept;
    // Every sub-process in the order it runs.
    const CArray<CAudioProcessBase*>& runList() const noexcept { return mRunList; }
    const CArray<std::int32_t>& passThroughPorts() const noexcept { return mPassThrough; }
    // The band count the parameters ask for at a sample rate, before any band exists: 1 plus the
    // number of leading ascending crossovers below half the rate, at most the count parameter.
    int wantedBandCount(double sampleRate) const noexcept;

private:
    struct CBand;
    enum class Role { kPre, kLowPass, kHighPass };

    bool isPassThrough(int port) const noexcept;
    // A plain copy of a definition for band k; null (error logged) when it cannot be made.
    CAudioProcessBase* makeSub(CAudioProcessDefBase* definition, const CString& prefix, int band);
    // The per-port process of a band, null when absent.
    static CAudioProcessBase* subOf(const CBand& band, Role role, int port) noexcept;
    void addPort(CBand& band, int port, bool last);
    void removePort(CBand& band, int port, bool last);
    // Takes ports the map no longer has out of a band, or adds the ones it lacks.
    void syncRemovals(CBand& band, const CArray<std::uint8_t>& map);
    void syncAdditions(CBand& band, const CArray<std::uint8_t>& map, bool last);
    // Cuts the activity and per-port arrays after the last active port.
    static void trimBand(CBand& band);
    void rebuildPortMap();
    void changeBandCount(int wanted);
    void appendBand(bool last);
    // Takes band k out of the wiring (every port, output source, links).
    void retireBand(CBand& band);
    void destroyBand(CBand* band);
    void rebuildRunList();
    bool isLastBand(const CBand& band) const noexcept;

    CString mLowPassPrefix;    // the sub-processes keep references to these: never changed after init
    CString mHighPassPrefix;
    CString mPrePrefix;
    CString mBandPrefix;
    const CAudioParamStorage* mFreq = nullptr;
    std::uint32_t mFreqChanged = 0;
    const CAudioParamStorage* mCount = nullptr;
    std::uint32_t mCountChanged = 0;
    CArray<CAudioProcessBase*> mRunList;
    CArray<std::uint8_t> mPortMap;       // by port number: 1 where the input has the port
    CArray<CBand*> mBands;               // owned
    CAudioProcessDefBase* mPre = nullptr;        // prototypes: not owned, the description's
    CAudioProcessDefBase* mLowPass = nullptr;
    CAudioProcessDefBase* mHighPass = nullptr;
    CArray<std::int32_t> mPassThrough;
};

} // namespace tal
