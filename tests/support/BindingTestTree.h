#pragma once
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamInfo.h"
#include "Core/CObject.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CParamInterfaceClientConnector.h"
#include "UI/CParamBridge.h"
#include "UI/CParamGroupSource.h"
#include "UI/CUIParam.h"
#include "UI/CUIParamOwnerView.h"
#include "UI/CUIParamUpdateHandler.h"
#include "support/InterfaceTestTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tal {

class CParamInterfaceMessageWriter;

// A client connector that runs no audio side ("test:recording-client-connector"): every request is
// recorded as one line of text and succeeds; the test hands it the replies. Lines:
//   "listen-param <name>", "unlisten-param", "change-param u<undo> g<group> f<first> n<count>
//   r<replacing>: <values>" (string values as their texts in quotes), "reset-param g<group>
//   e<element> u<undo> first<0|1>", "create-undo-data <id> '<name>' m<0|1> k<key>",
//   "remove-undo-data <id>", "submit-undo-data <id> '<name>'", "set-default-preset '<preset name>'
//   n<entries>", "request-viz-data <rate>", "listen-viz <slot> <name> h<handle>", "unlisten-viz
//   h<handle>", other requests by their name.
// The handle of every parameter request is kept in `handles` (the same index as its line).
class CRecordingClientConnector : public CParamInterfaceClientConnector {
public:
    static CObject* create();
    static void initScheme(CObjectScheme* scheme);

    // Client id 1.
    CError* init() override;
    bool sendToBase(CByteBuffer& message) override;
    // Queues a built reply and processes it at once.
    void reply(CParamInterfaceMessageWriter& writer);
    // "update-param-info" for a handle: the info (null: has-info 0) and, when given, a change.
    void replyParamInfo(std::int32_t handle, const CAudioParamInfo* info, const CAudioParamChange* change);
    // "update-param-info" with the info and its format change (group 9999 from its default values).
    void replyParamInfo(std::int32_t handle, const CAudioParamInfo& info);
    void replyParamUpdate(std::int32_t handle, const CAudioParamChange& change);
    // The recorded lines, which are then forgotten.
    std::vector<std::string> take();

    std::vector<std::string> lines;
    std::vector<std::int32_t> handles;
};

// An owner of UI parameters ("test:param-owner") that records what its handler reports into
// `events`: "registered <short name>", "activated <short name>", "deactivated <short name>",
// "changed <short name> <offset> <count>", "slot <id> <offset> <count>", "activity <0|1>". Its
// attribute "slots" declares named slots in init: "path" or "path?" (optional), separated by ",".
// Its policy attributes "allow-absent", "keep-on-absent" and "keep-on-inactive" change the flags.
class CTestParamOwner : public CObject, public CUIParamUpdateHandler {
public:
    CError* init() override;
    void onUIParamRegistered(CUIParam* param) override;
    void onUIParamActivated(CUIParam* param) override;
    void onUIParamDeactivated(CUIParam* param) override;
    CError* onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) override;
    CError* onRegisteredUIParamChanged(const CUIParamChangeInfo& info) override;
    CError* onUIParamActivityChanged(bool isActive) override;

    std::vector<std::string> events;
};

// A minimal view owner ("test:param-view"): records every setDisabled as "disabled <0|1>".
class CTestParamView : public CTestParamOwner, public CUIParamOwnerView {
public:
    CError* setDisabled(bool disabled) override;
    bool isDisabled = false;
};

// A stand-in for the group selector ("test:group-source"): its current group starts at the
// attribute "group" and setGroup announces a new one as "group-change" with "index".
class CTestGroupSource : public CObject, public CParamGroupSource {
public:
    CError* init() override;
    std::int32_t getCurrentGroup() override { return group; }
    CError* setGroup(std::int32_t index);
    std::int32_t group = 0;
};

// The interface test tree with the binding's tags: an editor can be opened against the real audio
// side (openClient) or against a recording connector (openRecordingClient); bridges, owners and UI
// parameters are built under "ui".
class CBindingTestTree : public CInterfaceTestTree {
protected:
    void SetUp() override;

    // A float parameter definition: visual name, one "real" converter and range per component,
    // defaults in the storage's text form ("a b,a b;..." with element size 2).
    std::unique_ptr<CAudioParamInfo> makeInfo(const char* visualName, int elementSize, double minimum,
                                              double maximum, const char* defaults, bool singleGroup = false);
    // The same definition on the audio side under a path of the collector; returns the parameter.
    CAudioParam* addAudioParam(const char* path, const char* visualName, int elementSize, double minimum,
                               double maximum, const char* defaults, bool singleGroup = false);
    // An audio interface client "ui.<name>" on the real audio side.
    CAudioInterfaceClient* openClient(const char* name, const char* groupNames = "");
    // An audio interface client "ui.<name>" on a recording connector "ui.<name>-connector".
    CAudioInterfaceClient* openRecordingClient(const char* name, CRecordingClientConnector*& connector);
    CParamBridge* addBridge(const char* name, const char* param, const char* client);
    CTestParamOwner* addOwner(const char* name, const char* tag = "test:param-owner", AttrList attrs = {});
    CUIParam* addUIParam(CObject* owner, const char* name, AttrList attrs);
};

// The binding test tree with one editor on a recording connector: "ui.client", and an owner of UI
// parameters "ui.owner".
class CRecordingBindingTree : public CBindingTestTree {
protected:
    void SetUp() override;

    // A bridge "ui.<name>" of "plugin.p" that received the info and the format change of info.
    CParamBridge* bridgeWith(const char* name, const CAudioParamInfo& info);
    // The owner's recorded events, which are then forgotten.
    std::vector<std::string> takeEvents();
    // A value record with component 0 set.
    static CUIParamValue value(double x);

    CAudioInterfaceClient* client = nullptr;
    CRecordingClientConnector* connector = nullptr;
    CTestParamOwner* owner = nullptr;
};

} // namespace tal
