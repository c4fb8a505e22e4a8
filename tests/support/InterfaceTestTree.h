#pragma once
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Core/CByteBuffer.h"
#include "Other/Interface/CParamInterfaceBase.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "Other/Interface/CParamInterfaceClient.h"
#include "Other/Interface/CParamInterfaceClientConnectorUni.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "Platform/CPumpedMainLoopTimers.h"
#include "support/CEventTestTree.h"
#include "support/ParamTestTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tal {

class CAudioEnv;
class CAudioParam;
class CParamInterfaceMessageWriter;
class CAudioVizCollector;

// The parameter collector of an audio tree as an object of the tree ("test:param-collector"),
// created without an audio environment (the collector then uses its own processing lock).
class CTestParamCollector : public CAudioParamCollector {
public:
    CError* init() override { return CObject::init(); }
};

// A base that records the edit gestures it is told of ("test:interface-base"), as "+name g e" and
// "-name g e", into `gestures` or the journal a test points it at (which outlives the base). The
// payload bytes of "record-payload" and "reset-param" messages are kept ("payloads"); resets are
// then applied as usual.
class CGestureRecordingBase : public CParamInterfaceBase {
public:
    static void initTestScheme(CObjectScheme* scheme);
    CError* onResetParam() override;
    void keepPayload();
    void beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) override;
    void endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) override;
    std::vector<std::string> gestures;
    std::vector<std::string>* journal = &gestures;
    std::vector<std::vector<std::uint8_t>> payloads;
};

// A parameter listener that records what reaches it: "info 0", "info 1 <visual name>" and
// "g<group> n<count> <values...>".
class CRecordingParamListener : public CParamInterfaceParamListener {
public:
    CError* onParamInfo(CInputStream& reader) override;
    void onParamUpdate(const CAudioParamChange& change) override;
    std::vector<std::string> events;
    std::unique_ptr<CAudioParamInfo> info;
};

// An audio instance tree and an editor tree joined by the in-process connectors:
//   audio root . plugin . {interface-base-connector, param-collector, interface-base}
//   editor root . ui (pumped bridge) . {<name>-connector, <name>} per opened editor,
// the editor root pointing at the audio root through "BaseConnectorRootPtr", the converters of the
// shared tree from CParamTestTree, and the client timers on a pumped main loop.
class CInterfaceTestTree : public CEventTestTree {
protected:
    // The tag of the base that SetUp builds as "plugin.interface-base". "audio:interface-base" also
    // gets an audio environment ("plugin.audio-env") and a visualisation collector
    // ("plugin.viz-collector") that works on the parameter collector.
    virtual const char* baseTag() const { return "test:interface-base"; }
    void SetUp() override;
    void TearDown() override;

    // Opens an editor end: a client connector and a client of the tag under "ui" (an audio interface
    // client may name its group-names parameter).
    CParamInterfaceClient* openEditor(const char* name, const char* tag = "test:interface-client",
                                      const char* groupNames = "");
    // Closes an editor end as the editor's tree does: the client, then its connector.
    void closeEditor(CParamInterfaceClient* client);
    // One tick of every editor timer at 40 per second: the waiting replies run.
    void tick();
    // A parameter with a definition: float, the "real" converter per component, the default text;
    // storable and persistent unless told otherwise (then its changes record no undo data).
    CAudioParam* addParam(const char* name, const char* defaults, int elementSize = 1, bool storable = true);
    // A float change of consecutive elements.
    static CAudioParamChange floatChange(int group, int first, const std::vector<double>& values, int elementSize = 1);
    // Sends a hand-built request as the client; false when the audio side reported an error.
    static bool sendAs(CParamInterfaceClient* client, CParamInterfaceMessageWriter& writer);
    // The oldest message waiting for a client, taken out, as bytes (empty when none waits).
    std::vector<std::uint8_t> takeBytes(std::int32_t clientId);
    // The messages waiting for a client, each decoded to its event name.
    std::vector<std::string> queuedNames(std::int32_t clientId);

    std::unique_ptr<CParamTestTree> params;
    CPumpedMainLoopTimers loop;
    CObject* audioRoot = nullptr;
    CObject* plugin = nullptr;
    CParamInterfaceBaseConnectorUni* baseConnector = nullptr;
    CTestParamCollector* collector = nullptr;
    CGestureRecordingBase* base = nullptr;      // null unless the base is a "test:interface-base"
    CParamInterfaceBase* interfaceBase = nullptr;
    CAudioEnv* env = nullptr;
    CAudioVizCollector* vizCollector = nullptr;
    std::vector<std::unique_ptr<CAudioParamInfo>> infos;
};

// The event name of a message.
std::string messageName(const CByteBuffer& message);

} // namespace tal
