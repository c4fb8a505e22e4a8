// libFuzzer target for the parameter interface's message readers: an audio instance tree (base,
// base connector, parameter collector with two parameters) and an editor tree (an audio interface
// client listening to both parameters, with a frame reader behind its visualisation events) joined
// by the in-process connectors, as the plug-in builds them. The input is a series of messages,
// each run on the base (as from the editor) or on the client (as from the audio side), with the
// editor's timer ticking in between so the base's replies are read too. Whatever the bytes, every
// message runs or fails cleanly. The trees are built for each input, so that no input depends on
// what an earlier one left behind.
#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/Viz/CAudioVizData.h"
#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/CEventRegistry.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"
#include "Core/CResourceMap.h"
#include "Core/CTimerQueued.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "Other/Interface/CAudioInterfaceVizProcessor.h"
#include "Other/Interface/CParamInterfaceBase.h"
#include "Other/Interface/CParamInterfaceBaseConnectorUni.h"
#include "Other/Interface/CParamInterfaceParamListener.h"
#include "Other/Interface/InterfaceCreators.h"
#include "FuzzSupport.h"
#include "Platform/CPumpedMainLoopTimers.h"

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

extern const tal::CResourceEntry interfaceFuzzResources[];

using namespace tal;
using fuzz::check;

namespace {

// The collector of an audio tree built without an audio environment (it then uses its own
// processing lock).
class CFuzzParamCollector : public CAudioParamCollector {
public:
    CError* init() override { return CObject::init(); }
};

// Reads what a parameter listener is sent: a definition record behind a flag.
class CFuzzParamListener : public CParamInterfaceParamListener {
public:
    CError* onParamInfo(CInputStream& reader) override {
        std::int32_t hasInfo = 0;
        if (CError* error = reader.read32(hasInfo))
            return error;
        if (hasInfo == 0)
            return nullptr;
        CAudioParamInfo* loaded = info;
        CError* error = CAudioParamInfo::loadNew(loaded, reader);
        info = loaded;
        return error;
    }
    void onParamUpdate(const CAudioParamChange&) override {}
    ~CFuzzParamListener() override { delete info; }
    CAudioParamInfo* info = nullptr;
};

// Stands in for the editor's display behind the visualisation events: reads the running time and
// then frame records as long as bytes are left, and the export slot names.
class CFuzzVizProcessor : public CAudioInterfaceVizProcessor {
public:
    void onStartViz() override {}
    void onStopViz() override {}
    void onClearClient() override {}
    CError* onVizData(CInputStream& reader) override {
        double time = 0.0;
        if (CError* error = reader.readDouble(time))
            return error;
        CAudioVizData* holder = nullptr;
        CError* error = nullptr;
        for (int i = 0; i < 64 && error == nullptr && reader.getRemainingSize() > 0; ++i)
            error = CAudioVizData::readFromStream(reader, holder);
        if (holder != nullptr)
            holder->releaseUse();
        return error;
    }
    CError* onExportSlotNames(CInputStream& reader) override {
        std::int32_t count = 0, slot = 0;
        if (CError* error = reader.read32(count))
            return error;
        CString name;
        for (std::int32_t i = 0; i < count && i < 64; ++i) {
            CError* error = reader.read32(slot);
            if (error == nullptr)
                error = reader.readString(name);
            if (error != nullptr)
                return error;
        }
        return nullptr;
    }
};

CObject* build(CObject* parent, const char* tag, const char* name,
               std::initializer_list<std::pair<const char*, const char*>> attrs) {
    CObject* out = nullptr;
    CError* err = parent->addChild(out, CString(tag), CString(name), false);
    for (const auto& [key, value] : attrs)
        if (err == nullptr)
            err = out->setAttr(CString(key), CString(value), false);
    if (err == nullptr)
        err = out->init();
    if (err == nullptr)
        err = out->createChilds();
    if (err == nullptr)
        err = out->initChilds();
    check(err == nullptr);
    return out;
}

struct Trees {
    CPumpedMainLoopTimers loop;
    CObject* audioRoot = nullptr;
    CParamInterfaceBaseConnectorUni* baseConnector = nullptr;
    CFuzzParamCollector* collector = nullptr;
    CObject* editorRoot = nullptr;
    CObjectEventBridgeHandler* ui = nullptr;
    CPumpedEventBridge* bridge = nullptr;
    CAudioInterfaceClient* client = nullptr;
    CFuzzParamListener listeners[2];
    CFuzzVizProcessor viz;
    std::vector<CAudioParamInfo*> infos;

    Trees(const Trees&) = delete;
    Trees& operator=(const Trees&) = delete;
    Trees() {
        CMainLoopTimers::setCurrent(&loop);

        audioRoot = new CObject;
        audioRoot->initRoot(new CEventRegistry);
        CObject* plugin = nullptr;
        check(audioRoot->addChild(plugin, CString("core:object"), CString("plugin"), false) == nullptr);
        baseConnector = dynamic_cast<CParamInterfaceBaseConnectorUni*>(
            build(plugin, "other:param-interface-base-connector-uni", "interface-base-connector", {}));
        collector = dynamic_cast<CFuzzParamCollector*>(build(plugin, "fuzz:param-collector", "param-collector", {}));
        build(plugin, "fuzz:interface-base", "interface-base",
              {{"base-connector", "^interface-base-connector"}, {"param-collector", "^param-collector"},
               {"undo-count-max", "8"}});
        check(baseConnector != nullptr && collector != nullptr);
        addParam("gain", 1, "0");
        addParam("band", 2, "1 2,3 4");

        editorRoot = new CObject;
        editorRoot->initRoot(new CEventRegistry);
        CObject* carrier = nullptr;
        check(editorRoot->addChild(carrier, CString("fuzz:bridge"), CString("ui"), false) == nullptr);
        ui = dynamic_cast<CObjectEventBridgeHandler*>(carrier);
        check(ui != nullptr);
        bridge = new CPumpedEventBridge(*ui);
        check(editorRoot->setPtrAttr(CString("BaseConnectorRootPtr"), &audioRoot, false) == nullptr);
        build(ui, "other:param-interface-client-connector-uni", "editor-connector",
              {{"base-connector", "plugin.interface-base-connector"}, {"timer-tag", "core:timer"}, {"fps", "40"}});
        client = dynamic_cast<CAudioInterfaceClient*>(
            build(ui, "audio:interface-client", "editor", {{"client-connector", "^editor-connector"}}));
        check(client != nullptr);
        client->setVizProcessor(&viz);
        client->listenParam(CString("gain"), &listeners[0]);
        client->listenParam(CString("band"), &listeners[1]);
        tick();
    }

    ~Trees() {
        delete bridge;   // before its carrier goes with the editor tree
        editorRoot->release();
        audioRoot->release();
        for (CAudioParamInfo* info : infos)
            delete info;
        CMainLoopTimers::setCurrent(nullptr);
    }

    void addParam(const char* name, int elementSize, const char* defaults) {
        auto* info = new CAudioParamInfo;
        info->setLayout(elementSize, 0, false, false);
        info->setFlags(false, true, true);
        info->setNames(CString(name), CString(name), CString::emptyString);
        for (int k = 0; k < elementSize; ++k) {
            info->converterNames().add("shared::audio.paramcvt.real");
            info->setRange(k, -1000.0, 1000.0);
        }
        check(info->parseConverterNames() == nullptr);
        check(info->defaultValues().parseDefValues(CString(defaults), *info) == nullptr);
        CAudioParam* param = collector->acquireParam(CString(name));
        check(param != nullptr);
        param->setInfo(info, nullptr, {});
        infos.push_back(info);
    }

    void tick() {
        loop.advance(1.0 / 40.0);
        bridge->pump();
    }
};

bool startOnce() {
    fuzz::startProduct(interfaceFuzzResources);
    static const CCreatorTableEntry table[] = {
        {"fuzz:param-collector", [] { return static_cast<CObject*>(new CFuzzParamCollector); }, &CObject::initScheme},
        {"fuzz:interface-base", &CParamInterfaceBase::create, &CParamInterfaceBase::initScheme},
        {"fuzz:bridge", [] { return static_cast<CObject*>(new CObjectEventBridgeHandler); }, &CObject::initScheme},
        {"", nullptr, nullptr},
    };
    static const CCreatorTableEntry timers[] = {
        {"core:timer", &CTimerQueued::create, &CTimerQueued::initScheme},
        {"", nullptr, nullptr},
    };
    CCreatorRegistry& registry = CCreatorRegistry::instance();
    registry.registerTable(timers);   // may be among the product's tables already
    registry.registerTable(kInterfaceCreatorTable);
    check(registry.registerTable(table) == 0);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = startOnce();
    (void)started;
    if (size > (1u << 16))
        return 0;
    Trees t;
    // Messages: one byte naming the receiver (even: the base, odd: the client), a 16-bit length,
    // then the message (its event name as a stream string, then the payload).
    std::size_t pos = 0;
    for (int messages = 0; messages < 16 && pos + 3 <= size; ++messages) {
        const bool toBase = (data[pos] & 1) == 0;
        std::size_t length = std::size_t(data[pos + 1]) | std::size_t(data[pos + 2]) << 8;
        pos += 3;
        if (length > size - pos)
            length = size - pos;
        // An exact-size copy, so that a read past the end is caught.
        const std::vector<std::uint8_t> message(data + pos, data + pos + length);
        pos += length;
        CError* err = toBase ? t.baseConnector->processClientData(message.data(), std::int32_t(message.size()))
                             : t.client->runMessage(*t.client, message.data(), std::int32_t(message.size()));
        delete err;
        t.tick();
    }
    return 0;
}
