#pragma once
#include "Other/Interface/CParamInterfaceClientConnector.h"

namespace tal {

class CAttrValue;
class CParamInterfaceBaseConnectorUni;

// The in-process client connector ("other:param-interface-client-connector-uni"): finds the base
// connector named by "base-connector" (in the audio instance's tree when the editor's root carries
// "BaseConnectorRootPtr"), registers there, sends requests by running them on the base connector
// directly, and drains its reply queue on every "tick" of a timer child made from "timer-tag" at
// "fps" ticks per second. Editor thread only.
class CParamInterfaceClientConnectorUni : public CParamInterfaceClientConnector {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);
    ~CParamInterfaceClientConnectorUni() override;

    // Finds the base connector and registers; a failing lookup leaves the connector unregistered.
    [[nodiscard]] CError* init() override;
    // Unregisters (the queue and its waiting replies are deleted), then leaves the parent.
    void detachFromParent() override;

    // --- CParamInterfaceClientConnector ---
    bool sendToBase(CByteBuffer& message) override;
    // Takes every waiting reply from the base connector, oldest first, and pushes each.
    [[nodiscard]] CError* pollBaseData() override;

    // --- attribute and event handlers ---
    // "fps": sets the timer's rate, creating the timer child on first use.
    [[nodiscard]] virtual CError* attrFps(CAttrValue* value);
    // "timer": the timer ticked.
    [[nodiscard]] virtual CError* onTimer();

    // --- queries ---
    CParamInterfaceBaseConnectorUni* baseConnector() const noexcept { return mBaseConnector; }
    CObject* timer() const noexcept { return mTimer; }

private:
    CParamInterfaceBaseConnectorUni* mBaseConnector = nullptr;  // not owned
    CObject* mTimer = nullptr;                                  // owned by the tree
};

} // namespace tal
