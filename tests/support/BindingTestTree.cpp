#include "support/BindingTestTree.h"

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChangeBuffer.h"
#include "Audio/CAudioParamData.h"
#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioPreset.h"
#include "Core/CByteBuffer.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CMemoryReader.h"
#include "Core/CObjectScheme.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "UI/BindingCreators.h"

#include <sstream>

namespace tal {

namespace {

std::string describeChange(CMemoryReader& in) {
    std::int32_t handle = 0, undo = 0;
    CAudioParamChangeBuffer buffer;
    CAudioParamChange change;
    CError* error = in.read32(handle);
    if (error == nullptr) error = in.read32(undo);
    if (error == nullptr) error = CAudioParamStorage::readChange(buffer, in, change, nullptr);
    if (error != nullptr) {
        delete error;
        return "change-param ?";
    }
    std::ostringstream line;
    line << "change-param u" << undo << " g" << change.group << " f" << change.firstElement << " n" << change.count
         << " r" << (change.truncate ? 1 : 0) << ":";
    const int n = change.dataType == CAudioParamStorage::kTypeFloat ? change.count * change.elementSize : change.count;
    for (int i = 0; i < n; ++i) {
        if (change.dataType == CAudioParamStorage::kTypeString && change.table != nullptr)
            line << " '" << text(change.table->getString(int(change.values[i]))) << "'";
        else
            line << " " << change.values[i];
    }
    return line.str();
}

} // namespace

// --- the recording connector ---

CObject* CRecordingClientConnector::create() { return new CRecordingClientConnector(); }

void CRecordingClientConnector::initScheme(CObjectScheme* scheme) { CParamInterfaceClientConnector::initScheme(scheme); }

CError* CRecordingClientConnector::init() {
    mClientId = 1;
    return CParamInterfaceClientConnector::init();
}

bool CRecordingClientConnector::sendToBase(CByteBuffer& message) {
    CMemoryReader in(message.data(), message.size());
    CString nameText;
    if (CError* error = in.readString(nameText)) {
        delete error;
        lines.push_back("?");
        handles.push_back(-1);
        return true;
    }
    const std::string name = text(nameText);
    std::ostringstream line;
    std::int32_t handle = -1;
    auto i32 = [&in]() {
        std::int32_t v = 0;
        delete in.read32(v);
        return v;
    };
    auto str = [&in]() {
        CString s;
        delete in.readString(s);
        return text(s);
    };
    if (name == "listen-param") {
        line << name << " " << str();
        handle = i32();
    } else if (name == "unlisten-param") {
        handle = i32();
        line << name;
    } else if (name == "change-param") {
        CMemoryReader peek(message.data(), message.size());
        CString skipped;
        delete peek.readString(skipped);
        delete peek.read32(handle);
        line << describeChange(in);
    } else if (name == "reset-param") {
        handle = i32();
        const std::int32_t g = i32(), e = i32(), u = i32(), first = i32();
        line << name << " g" << g << " e" << e << " u" << u << " first" << first;
    } else if (name == "create-undo-data") {
        const std::int32_t id = i32();
        const std::string stepName = str();
        const std::int32_t m = i32(), k = i32();
        line << name << " " << id << " '" << stepName << "' m" << m << " k" << k;
    } else if (name == "remove-undo-data") {
        line << name << " " << i32();
    } else if (name == "request-viz-data") {
        i32();
        double rate = 0.0;
        delete in.readDouble(rate);
        line << name << " " << rate;
    } else if (name == "listen-viz") {
        const std::int32_t slot = i32();
        const std::string item = str();
        line << name << " " << slot << " " << item << " h" << i32();
    } else if (name == "unlisten-viz") {
        line << name << " h" << i32();
    } else if (name == "set-default-preset") {
        handle = i32();
        CAudioPreset preset;
        if (CError* error = preset.load(in)) {
            delete error;
            line << name << " ?";
        } else {
            line << name << " '" << text(preset.getName()) << "' n" << preset.getEntryCount();
        }
    } else if (name == "submit-undo-data") {
        const std::int32_t id = i32();
        line << name << " " << id << " '" << str() << "'";
    } else {
        line << name;
    }
    lines.push_back(line.str());
    handles.push_back(handle);
    return true;
}

void CRecordingClientConnector::reply(CParamInterfaceMessageWriter& writer) {
    CByteBuffer message;
    writer.moveTo(message);
    pushBaseData(message);
}

void CRecordingClientConnector::replyParamInfo(std::int32_t handle, const CAudioParamInfo* info,
                                               const CAudioParamChange* change) {
    CParamInterfaceMessageWriter writer("update-param-info");
    writer.i32(handle);
    writer.i32(info != nullptr ? 1 : 0);
    if (info != nullptr)
        writer.check(info->save(writer.stream()));
    writer.i32(change != nullptr ? 1 : 0);
    if (change != nullptr)
        writer.check(CAudioParamStorage::writeChange(*change, writer.stream()));
    reply(writer);
}

void CRecordingClientConnector::replyParamInfo(std::int32_t handle, const CAudioParamInfo& info) {
    const CAudioParamStorage& defaults = info.getDefaultValues();
    CAudioParamChange change = CAudioParamChange::make(CAudioParamChange::kFormatGroup, 0, defaults.getElementCount(0),
                                                       true, nullptr, defaults, defaults.getValues(0),
                                                       &defaults.getData());
    replyParamInfo(handle, &info, &change);
}

void CRecordingClientConnector::replyParamUpdate(std::int32_t handle, const CAudioParamChange& change) {
    CParamInterfaceMessageWriter writer("update-param");
    writer.i32(handle);
    writer.check(CAudioParamStorage::writeChange(change, writer.stream()));
    reply(writer);
}

std::vector<std::string> CRecordingClientConnector::take() {
    std::vector<std::string> taken;
    taken.swap(lines);
    handles.clear();
    return taken;
}

// --- the test owners ---

CError* CTestParamOwner::init() {
    if (CError* error = CObject::init())
        return error;
    mAllowAbsent = getBoolAttr("allow-absent");
    mDisableOnAbsent = !getBoolAttr("keep-on-absent");
    mDisableOnInactive = !getBoolAttr("keep-on-inactive");
    const std::string slots = text(getTextAttr("slots"));
    std::istringstream list(slots);
    std::string slot;
    while (std::getline(list, slot, ',')) {
        const bool optional = !slot.empty() && slot.back() == '?';
        if (optional)
            slot.pop_back();
        registerUIParam(CString(slot.c_str()), !optional);
    }
    return nullptr;
}

void CTestParamOwner::onUIParamRegistered(CUIParam* param) {
    events.push_back("registered " + text(param->getShortName()));
}

void CTestParamOwner::onUIParamActivated(CUIParam* param) {
    events.push_back("activated " + text(param->getShortName()));
}

void CTestParamOwner::onUIParamDeactivated(CUIParam* param) {
    events.push_back("deactivated " + text(param->getShortName()));
}

CError* CTestParamOwner::onUIParamChanged(CUIParam* param, std::int32_t elementOffset, std::int32_t elementCount) {
    events.push_back("changed " + text(param->getShortName()) + " " + std::to_string(elementOffset) + " " +
                     std::to_string(elementCount));
    return nullptr;
}

CError* CTestParamOwner::onRegisteredUIParamChanged(const CUIParamChangeInfo& info) {
    events.push_back("slot " + std::to_string(info.slotId) + " " + std::to_string(info.elementOffset) + " " +
                     std::to_string(info.elementCount));
    return nullptr;
}

CError* CTestParamOwner::onUIParamActivityChanged(bool isActive) {
    events.push_back(std::string("activity ") + (isActive ? "1" : "0"));
    return nullptr;
}

CError* CTestParamView::setDisabled(bool disabled) {
    isDisabled = disabled;
    events.push_back(std::string("disabled ") + (disabled ? "1" : "0"));
    return nullptr;
}

CError* CTestGroupSource::init() {
    if (CError* error = CObject::init())
        return error;
    group = getIntAttr("group");
    return nullptr;
}

CError* CTestGroupSource::setGroup(std::int32_t index) {
    group = index;
    CAttrMap args;
    args.findOrAdd("index")->value.setInt(index);
    return fireEvent(CString("group-change"), &args, false);
}

// --- the fixture ---

void CBindingTestTree::SetUp() {
    CInterfaceTestTree::SetUp();
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:recording-client-connector", &CRecordingClientConnector::create,
             &CRecordingClientConnector::initScheme},
            {"test:param-owner", [] { return static_cast<CObject*>(new CTestParamOwner); }, &CObject::initScheme},
            {"test:param-view", [] { return static_cast<CObject*>(new CTestParamView); }, &CObject::initScheme},
            {"test:group-source", [] { return static_cast<CObject*>(new CTestGroupSource); }, &CObject::initScheme},
            {"", nullptr, nullptr},
        };
        CCreatorRegistry& registry = CCreatorRegistry::instance();
        registry.registerTable(kBindingCreatorTable);
        registry.registerTable(table);
        return registry.find(CString("ui:param-bridge")) != nullptr &&
               registry.find(CString("test:param-view")) != nullptr;
    }();
    ASSERT_TRUE(registered);
}

std::unique_ptr<CAudioParamInfo> CBindingTestTree::makeInfo(const char* visualName, int elementSize, double minimum,
                                                             double maximum, const char* defaults, bool singleGroup) {
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(elementSize, CAudioParamStorage::kTypeFloat, singleGroup, false);
    info->setFlags(false, true, true);
    info->setNames(CString(visualName), CString(visualName), CString::emptyString);
    for (int k = 0; k < elementSize; ++k) {
        info->converterNames().add("shared::audio.paramcvt.real");
        info->setRange(k, minimum, maximum);
    }
    EXPECT_EQ(takeMessage(info->parseConverterNames()), "");
    EXPECT_EQ(takeMessage(info->defaultValues().parseDefValues(CString(defaults), *info)), "");
    return info;
}

CAudioParam* CBindingTestTree::addAudioParam(const char* path, const char* visualName, int elementSize,
                                             double minimum, double maximum, const char* defaults, bool singleGroup) {
    std::unique_ptr<CAudioParamInfo> info = makeInfo(visualName, elementSize, minimum, maximum, defaults, singleGroup);
    CAudioParam* param = collector->acquireParam(CString(path));
    param->setInfo(info.get(), nullptr, {});
    infos.push_back(std::move(info));
    return param;
}

CAudioInterfaceClient* CBindingTestTree::openClient(const char* name, const char* groupNames) {
    auto* client = dynamic_cast<CAudioInterfaceClient*>(openEditor(name, "audio:interface-client", groupNames));
    EXPECT_NE(client, nullptr);
    return client;
}

CAudioInterfaceClient* CBindingTestTree::openRecordingClient(const char* name, CRecordingClientConnector*& connector) {
    const std::string connectorName = std::string(name) + "-connector";
    const std::string connectorPath = "^" + connectorName;
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "test:recording-client-connector", connectorName.c_str(), {})),
              "");
    connector = dynamic_cast<CRecordingClientConnector*>(object);
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "audio:interface-client", name,
                                                {{"client-connector", connectorPath.c_str()}})),
              "");
    connector->take();  // the client's own start-up requests
    return dynamic_cast<CAudioInterfaceClient*>(object);
}

CParamBridge* CBindingTestTree::addBridge(const char* name, const char* param, const char* client) {
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "ui:param-bridge", name,
                                                {{"interface-client", client}, {"param", param}})),
              "");
    return dynamic_cast<CParamBridge*>(object);
}

CTestParamOwner* CBindingTestTree::addOwner(const char* name, const char* tag, AttrList attrs) {
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, tag, name, attrs)), "");
    return dynamic_cast<CTestParamOwner*>(object);
}

CUIParam* CBindingTestTree::addUIParam(CObject* owner, const char* name, AttrList attrs) {
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, owner, "ui:ui-param", name, attrs)), "");
    return dynamic_cast<CUIParam*>(object);
}

// --- the recording fixture ---

void CRecordingBindingTree::SetUp() {
    CBindingTestTree::SetUp();
    client = openRecordingClient("client", connector);
    owner = addOwner("owner");
}

CParamBridge* CRecordingBindingTree::bridgeWith(const char* name, const CAudioParamInfo& info) {
    CParamBridge* bridge = addBridge(name, "plugin.p", "^client");
    connector->replyParamInfo(bridge->listenHandle(), info);
    connector->take();
    return bridge;
}

std::vector<std::string> CRecordingBindingTree::takeEvents() {
    std::vector<std::string> events;
    events.swap(owner->events);
    return events;
}

CUIParamValue CRecordingBindingTree::value(double x) {
    CUIParamValue v;
    v[0] = x;
    return v;
}

} // namespace tal
