#pragma once

#include "Audio/CAudioParamListener.h"
#include "Core/CObject.h"
#include "Core/CString.h"

namespace tal {

class CAudioExtParamHostBridge;
class CAudioParam;
class CAudioParamCollector;

// One host parameter ("audio:ext-param"): element `element-index` of group `group` of the
// parameter `param-name`, seen by the host as a normalised value in [0, 1] through the parameter's
// first converter. Changes from the host go through the parameter's change path with this object as
// sender; changes from anyone else are reported to the host through the host bridge, deferred to the
// end of the outermost collector update, and the host's own changes are never echoed back.
//
// Threads: setNormalized runs on whatever thread the host uses (main or audio); the queries on the
// host's main thread. Everything takes the parameter's lock.
class CAudioExtParam : public CObject, public CAudioParamListener {
public:
    // The longest host name, in characters.
    static constexpr int kMaxNameLength = 7;

    CAudioExtParam() = default;
    ~CAudioExtParam() override;

    // --- life cycle ---
    [[nodiscard]] CError* init() override;
    void releaseLinks() override;
    // Set by the plug-in wrapper once it numbers the host parameters.
    void setIndex(int index) { mIndex = index; }
    void setHostBridge(CAudioExtParamHostBridge* bridge);

    // --- host side ---
    // Host to element: the value is clamped to [0, 1] and converted to a plain value (without a
    // bound definition only the clamped value is kept).
    void setNormalized(double value);
    // The last value set by the host or computed from the element.
    double getNormalized();
    // The element's default value, normalised; 0.5 without a definition.
    double getDefaultNormalized();
    // The converter's unit label ("dB", "Hz"); empty without a definition.
    CString getUnitLabel();
    // The display text of a normalised value; empty without a definition.
    CString normalizedToText(double value);
    // The normalised value of a display text; the element's default when the text does not parse,
    // 0.5 without a definition.
    double textToNormalized(const CString& text);
    // The display text of the current value.
    CString getValueText();

    // --- queries ---
    const CString& getExtName() const { return mExtName; }
    int getGroup() const { return mGroup; }
    int getElement() const { return mElement; }
    int getIndex() const { return mIndex; }
    CAudioParam* getParam() const { return mParam; }

    // --- parameter changes: called under the parameter's lock ---
    void onParamChange(const CAudioParamUpdateInfo& info) override;

private:
    // The element's plain value: stored, else its default (the default row's element 0 beyond the row).
    double elementValue() const;
    double elementDefault() const;
    // Normalised value of a plain one through converter 0; needs a bound definition with a converter.
    double toNormalized(double plain) const;
    bool canConvert() const;

    int mGroup = 0;
    int mElement = 0;
    CString mExtName;
    CAudioParamCollector* mCollector = nullptr;
    CAudioParam* mParam = nullptr;   // owned by the collector
    int mIndex = -1;
    CAudioExtParamHostBridge* mHostBridge = nullptr;   // under the parameter's lock
    double mNormalized = 0.0;                            // under the parameter's lock
};

} // namespace tal
