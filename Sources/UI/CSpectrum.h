#pragma once
#include "Core/CTarget.h"
#include "Other/CCurveDraw.h"
#include "UI/CUIParamUpdateHandler.h"
#include "UI/CView.h"
#include "UI/CVizListener.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tal {

class CColor;
class CColorSwatch;
class CMinMax;
class CParamGroupSource;
class CSpectrumCurve;
class CUIParam;
class CValueList;
class CVizExchange;

// "ui:spectrum": an overlay view that draws one analyser spectrum across the equaliser display as a
// curve, optionally with a gradient fill under it. As a visualisation listener it keeps the latest
// frame of every channel of the current group (live), of an export slot (imported), or a stored
// record (static), and turns them into one point per visible column through its CSpectrumCurve.
// Slope, smoothing, offset, 0 dB alignment and anti-aliasing come from UI parameters it makes for
// itself, the fill from one its template gives it.
// Owned by the object tree (usually made by the spectrum container); it leaves the visualisation
// exchange in detachFromParent, before it can be destroyed. UI thread only, except paint, which
// the window renderer's workers run on what prepareDraw prepared.
class CSpectrum : public CView, public CUIParamUpdateHandler, public CVizListener {
public:
    // Imported frames on channels at or beyond this are ignored.
    static constexpr std::int32_t kMaxImportedChannels = 64;

    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    CSpectrum();
    ~CSpectrum() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    [[nodiscard]] CError* initChilds() override;
    void detachFromParent() override;
    [[nodiscard]] CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override;

    // --- drawing ---
    [[nodiscard]] bool prepareDraw() override;
    void paint(CSector& sector) override;

    // --- CUIParamUpdateHandler ---
    void onUIParamRegistered(CUIParam* param) override;
    [[nodiscard]] CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset,
                                           std::int32_t elementCount) override;

    // --- CVizListener ---
    void onVizReset() override;
    void onVizData(const CString& name, const CAudioVizData& frame) override;

    // --- handlers ---
    [[nodiscard]] virtual CError* attrColorIndex();
    [[nodiscard]] virtual CError* attrIsFilled();
    [[nodiscard]] virtual CError* attrIsImportSpectrumFilling();
    [[nodiscard]] virtual CError* attrGainShift();
    [[nodiscard]] virtual CError* onAudioChannelListUpdate();
    [[nodiscard]] virtual CError* onAudioChannelNamesUpdate();
    [[nodiscard]] virtual CError* onAudioGroupNameUpdate();
    // Arguments "source" (the path of the button that sent it) and "state" (true: running).
    [[nodiscard]] virtual CError* onFreeze(CAttrMap& args);
    [[nodiscard]] virtual CError* onGroupChange();
    [[nodiscard]] virtual CError* onMinMaxUpdate();
    [[nodiscard]] virtual CError* onMinMaxFreqUpdate();
    [[nodiscard]] virtual CError* onUpdateTimer();

    // --- operations ---
    // Whether a spectrum is being shown: a present channel and a combined spectrum with an FFT size.
    bool hasSpectrumData() const;
    // Sets the number of channel slots; new slots are empty and not present.
    void setChannelCount(std::int32_t n);
    // Shows the record stored in param's data item of element index in slot 0; an absent item clears
    // it. A damaged record is returned as the read error and changes nothing else.
    [[nodiscard]] CError* loadStaticData(CUIParam* param, std::int32_t index);
    // Stores the combined spectrum as a record in param's data item of element; nothing (null) while
    // no spectrum was combined.
    [[nodiscard]] CError* storeToDataParam(CUIParam* param, std::int32_t element);
    // Writes channel slot 0's spectrum as a record file.
    [[nodiscard]] CError* writeDataFile(const CString& path);
    // Sets the frozen flag; unfreezing runs a reset that arrived while frozen.
    void setFrozen(bool isFrozen);

    // --- queries ---
    CSpectrumCurve& curve() const noexcept { return *mCurves[0]; }
    bool isFrozen() const noexcept { return mIsFrozen; }
    bool isFilled() const noexcept { return mIsFilled; }
    bool isAntiAliased() const noexcept { return mIsAntiAliased; }
    std::int32_t jobCount() const noexcept { return mJobCount; }
    const CString& groupName() const noexcept { return mGroupName; }
    const CString& channelNames() const noexcept { return mChannelNames; }

private:
    void markDirty();
    void rebuildCurves();
    void updateCurveGeometry(CSpectrumCurve& curve);
    CColor* paletteColor(const CString& name) const;
    // A child UI parameter on the bridge (none for an empty bridge path).
    CError* createParam(const CString& bridge, const CString& tag, const char* name);
    // Sets the freeze button's "is-active" to 0 when it resolves.
    CError* releaseFreezeButton();

    CTarget<CValueList> mChannelList;
    CTarget<CValueList> mChannelNameList;
    CTarget<CValueList> mGroupNameList;
    CString mChannelNames;
    CTarget<CColorSwatch> mColorSwatch;
    double mInactiveTimeout = 0.0;
    std::int32_t mExportSlot = -1;
    std::int32_t mExportGroup = -1;
    CTarget<CObject> mFreezeButton;   // resolved on every use
    CColor* mCurveColor = nullptr;    // not owned: the palette's
    CCurveDraw mJobs[2];
    bool mIsJobLine[2] = {false, false};
    bool mIsJobAntiAliased[2] = {false, false};
    std::int32_t mJobCount = 0;
    CString mGroupName;
    bool mIsResetPending = false;
    bool mIsFilled = false;
    bool mIsAntiAliased = false;
    bool mIsFrozen = false;
    bool mIsImported = false;
    bool mIsImportFilling = true;
    bool mIsSecondary = false;
    bool mIsStatic = false;
    bool mIsStaticFilled = false;
    std::vector<double> mChannelTimes;
    CTarget<CMinMax> mLevelRange;
    CTarget<CMinMax> mFrequencyRange;
    bool mIsAreaChanged = true;
    bool mIsDirty = true;
    CTarget<CParamGroupSource> mGroupSelector;
    std::vector<std::unique_ptr<CSpectrumCurve>> mCurves;
    CColor* mFillOpacityColor = nullptr;       // not owned: the palette's
    CColor* mSecondaryOpacityColor = nullptr;  // not owned: the palette's
    CUIParam* mFilledParam = nullptr;          // not owned: children
    CUIParam* mStaticFilledParam = nullptr;
    CUIParam* mSlopeParam = nullptr;
    CUIParam* mSmoothingParam = nullptr;
    CUIParam* mOffsetParam = nullptr;
    CUIParam* mAlign0dbParam = nullptr;
    CUIParam* mAntialiasParam = nullptr;
    CObject* mUpdateTimer = nullptr;           // not owned: a child
    CTarget<CVizExchange> mVizExchange;
    CString mVizName;
    std::vector<double> mPointPairs;           // curve 0's points as x, y pairs for the jobs
};

} // namespace tal
