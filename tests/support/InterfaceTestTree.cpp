#include "support/InterfaceTestTree.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParam.h"
#include "Audio/Viz/CAudioVizCollector.h"
#include "Audio/Viz/VizCreators.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CEventRegistry.h"
#include "Core/CMemoryReader.h"
#include "Core/CObjectScheme.h"
#include "Core/CTimerQueued.h"
#include "Other/Interface/CParamInterfaceMessageWriter.h"
#include "Other/Interface/InterfaceCreators.h"
#include "support/GraphTestSupport.h"

#include <sstream>
#include <string>

namespace tal {

void CGestureRecordingBase::initTestScheme(CObjectScheme* scheme) {
    CParamInterfaceBase::initScheme(scheme);
    scheme->addEventHandler(CString("record-payload")).plain = [](CObject* object) -> CError* {
        static_cast<CGestureRecordingBase*>(object)->keepPayload();
        return nullptr;
    };
}

void CGestureRecordingBase::keepPayload() {
    CMemoryReader& in = messageReader();
    const std::int32_t start = in.position();
    std::vector<std::uint8_t> bytes(std::size_t(in.getRemainingSize()));
    CError* error = in.read(bytes.data(), std::int32_t(bytes.size()));
    delete error;  // the size was just measured
    payloads.push_back(std::move(bytes));
    delete in.setPosition(std::uint64_t(start));
}

CError* CGestureRecordingBase::onResetParam() {
    keepPayload();
    return CParamInterfaceBase::onResetParam();
}

void CGestureRecordingBase::beginParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) {
    journal->push_back("+" + text(param->getName()) + " " + std::to_string(group) + " " + std::to_string(element));
}

void CGestureRecordingBase::endParamGesture(CAudioParam* param, std::int32_t group, std::int32_t element) {
    journal->push_back("-" + text(param->getName()) + " " + std::to_string(group) + " " + std::to_string(element));
}

CError* CRecordingParamListener::onParamInfo(CInputStream& reader) {
    std::int32_t hasInfo = 0;
    if (CError* error = reader.read32(hasInfo))
        return error;
    if (hasInfo == 0) {
        info.reset();
        events.push_back("info 0");
        return nullptr;
    }
    CAudioParamInfo* loaded = info.release();
    CError* error = CAudioParamInfo::loadNew(loaded, reader);
    info.reset(loaded);
    if (error == nullptr)
        events.push_back("info 1 " + text(info->getVisualName()));
    return error;
}

void CRecordingParamListener::onParamUpdate(const CAudioParamChange& change) {
    std::ostringstream line;
    line << "g" << change.group << " n" << change.count;
    for (int i = 0; i < change.count * change.elementSize; ++i)
        line << " " << change.values[i];
    events.push_back(line.str());
}

void CInterfaceTestTree::SetUp() {
    CEventTestTree::SetUp();
    static const bool registered = [] {
        static const CCreatorTableEntry table[] = {
            {"test:param-collector", [] { return static_cast<CObject*>(new CTestParamCollector); }, &CObject::initScheme},
            {"test:interface-base", [] { return static_cast<CObject*>(new CGestureRecordingBase); },
             &CGestureRecordingBase::initTestScheme},
            {"test:interface-client", &CParamInterfaceClient::create, &CParamInterfaceClient::initScheme},
            {"", nullptr, nullptr},
        };
        static const CCreatorTableEntry timers[] = {
            {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
            {"", nullptr, nullptr},
        };
        // The timer and the product tables may be registered already by other tests of the program.
        CCreatorRegistry& registry = CCreatorRegistry::instance();
        registry.registerTable(timers);
        registry.registerTable(kInterfaceCreatorTable);
        registry.registerTable(kVizCreatorTable);
        return registry.registerTable(table) == 0 &&
               registry.find(CString("other:param-interface-client-connector-uni")) != nullptr;
    }();
    ASSERT_TRUE(registered);
    params = std::make_unique<CParamTestTree>();
    CMainLoopTimers::setCurrent(&loop);

    audioRoot = new CObject;
    audioRoot->initRoot(new CEventRegistry);
    plugin = CParamTestTree::plain(audioRoot, "plugin");
    CObject* object = nullptr;
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "other:param-interface-base-connector-uni",
                                                "interface-base-connector", {})), "");
    baseConnector = dynamic_cast<CParamInterfaceBaseConnectorUni*>(object);
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "test:param-collector", "param-collector", {})), "");
    collector = dynamic_cast<CTestParamCollector*>(object);
    const bool audioBase = std::string(baseTag()) == "audio:interface-base";
    if (audioBase) {
        ASSERT_TRUE(test::registerGraphTags());
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, params->audio(), "audio:param", "param-enable-viz",
                                                    {{"element-size", "1"},
                                                     {"converter", "shared::audio.paramcvt.enum-enable"},
                                                     {"min-values", "0"},
                                                     {"max-values", "1"},
                                                     {"def-values", "0"}})), "");
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "audio:audio-env", "audio-env", {})), "");
        env = dynamic_cast<CAudioEnv*>(object);
        ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, "audio:viz-collector", "viz-collector",
                                                    {{"env", "^audio-env"}, {"param-collector", "^param-collector"}})),
                  "");
        vizCollector = dynamic_cast<CAudioVizCollector*>(object);
        ASSERT_NE(vizCollector, nullptr);
    }
    ASSERT_EQ(takeMessage(CParamTestTree::build(object, plugin, baseTag(), "interface-base",
                                                {{"base-connector", "^interface-base-connector"},
                                                 {"param-collector", "^param-collector"},
                                                 {"viz-collector", audioBase ? "^viz-collector" : ""},
                                                 {"undo-count-max", "32"}})), "");
    interfaceBase = dynamic_cast<CParamInterfaceBase*>(object);
    ASSERT_NE(interfaceBase, nullptr);
    base = dynamic_cast<CGestureRecordingBase*>(object);
    ASSERT_EQ(takeMessage(root->setPtrAttr(CString("BaseConnectorRootPtr"), &audioRoot, false)), "");
}

void CInterfaceTestTree::TearDown() {
    bridge.reset();  // before its carrier goes with the editor tree
    if (root != nullptr) {
        root->release();
        root = nullptr;
    }
    if (audioRoot != nullptr)
        audioRoot->release();
    CEventTestTree::TearDown();
    CMainLoopTimers::setCurrent(nullptr);
    params.reset();
}

CParamInterfaceClient* CInterfaceTestTree::openEditor(const char* name, const char* tag, const char* groupNames) {
    const std::string connectorName = std::string(name) + "-connector";
    const std::string connectorPath = "^" + connectorName;
    CObject* object = nullptr;
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, "other:param-interface-client-connector-uni",
                                                connectorName.c_str(),
                                                {{"base-connector", "plugin.interface-base-connector"},
                                                 {"timer-tag", "core:timer"},
                                                 {"fps", "40"}})), "");
    EXPECT_EQ(takeMessage(CParamTestTree::build(object, ui, tag, name,
                                                {{"client-connector", connectorPath.c_str()},
                                                 {"group-names-param", groupNames}})), "");
    return dynamic_cast<CParamInterfaceClient*>(object);
}

void CInterfaceTestTree::closeEditor(CParamInterfaceClient* client) {
    CObject* connector = client->clientConnector();
    client->release();
    if (connector != nullptr)
        connector->release();
}

void CInterfaceTestTree::tick() {
    loop.advance(1.0 / 40.0);
    bridge->pump();
}

CAudioParam* CInterfaceTestTree::addParam(const char* name, const char* defaults, int elementSize, bool storable) {
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(elementSize, 0, false, false);
    info->setFlags(false, storable, storable);
    info->setNames(CString(name), CString(name), CString::emptyString);
    for (int k = 0; k < elementSize; ++k) {
        info->converterNames().add("shared::audio.paramcvt.real");
        info->setRange(k, -1000.0, 1000.0);
    }
    EXPECT_EQ(takeMessage(info->parseConverterNames()), "");
    EXPECT_EQ(takeMessage(info->defaultValues().parseDefValues(CString(defaults), *info)), "");
    CAudioParam* param = collector->acquireParam(CString(name));
    param->setInfo(info.get(), nullptr, {});
    infos.push_back(std::move(info));
    return param;
}

CAudioParamChange CInterfaceTestTree::floatChange(int group, int first, const std::vector<double>& values,
                                                  int elementSize) {
    CAudioParamChange change;
    change.group = group;
    change.firstElement = first;
    change.count = int(values.size()) / elementSize;
    change.elementSize = elementSize;
    change.values = values.data();
    return change;
}

bool CInterfaceTestTree::sendAs(CParamInterfaceClient* client, CParamInterfaceMessageWriter& writer) {
    CByteBuffer message;
    writer.moveTo(message);
    return client->clientConnector()->sendToBase(message);
}

std::vector<std::uint8_t> CInterfaceTestTree::takeBytes(std::int32_t clientId) {
    CByteBuffer message;
    if (!baseConnector->takeBaseData(clientId, message))
        return {};
    return std::vector<std::uint8_t>(message.data(), message.data() + message.size());
}

std::vector<std::string> CInterfaceTestTree::queuedNames(std::int32_t clientId) {
    std::vector<std::string> names;
    std::vector<CByteBuffer> taken;
    CByteBuffer message;
    while (baseConnector->takeBaseData(clientId, message)) {
        names.push_back(messageName(message));
        taken.push_back(std::move(message));
    }
    for (CByteBuffer& m : taken)  // put them back, in order
        baseConnector->sendToClient(clientId, m);
    return names;
}

std::string messageName(const CByteBuffer& message) {
    CMemoryReader reader(message.data(), message.size());
    CString name;
    CError* error = reader.readString(name);
    if (error != nullptr) {
        delete error;
        return "?";
    }
    return text(name);
}

} // namespace tal
