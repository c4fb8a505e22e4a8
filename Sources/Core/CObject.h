#pragma once
#include "Core/CArray.h"
#include "Core/CAttrMap.h"
#include "Core/CAttrValue.h"
#include "Core/CCheckedObject.h"
#include "Core/CCreatorRegistry.h"
#include "Core/CObjectScheme.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstddef>
#include <cstdint>
#include <thread>

namespace tal {

class CError;
class CEventRegistry;
class CObjectEventBridge;
class CTemplateBody;
struct CObjectEventHooks;

// A node of an object tree: a tag, a name unique among its siblings, a dotted full name from its
// root, typed attributes with handlers, references and bindings, and the ordered children it owns.
// Every class that a description names by tag derives from it.
// Ownership: a parent owns its children, a root owns its tree's event registry, a template
// placeholder owns its template body. An object is destroyed only through release().
// Threads: a tree has no lock; one thread at a time builds, changes, reads and releases one tree
// (reading an attribute may write its conversion cache). The shared tree may be read from several
// threads once warmAttrCaches() has run on it and while nobody changes it.
// Life cycle: created and linked by addChild, attributes set with handlers deferred, then init,
// createChilds (runs the deferred handlers), the children, initChilds.
class CObject : public CCheckedObject, public CPoolAllocated {
public:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    // --- process-wide set-up ---
    // Enters a tag into the process-wide creator registry.
    [[nodiscard]] static CError* registerCreator(const CString& tag, CObjectCreateFn create, CObjectScheme* scheme);
    // The scheme-init function of plain objects: the event "release-child-bridged".
    static void initScheme(CObjectScheme* scheme);
    // The create function of plain objects.
    static CObject* createPlain();
    // The scheme of roots and of objects of unregistered tags.
    static CObjectScheme& defaultScheme();
    // The shared root object of the process, null until the application sets it; "shared::" paths
    // and templates of every tree start at it.
    static CObject* sharedObject() noexcept;
    static void setSharedObject(CObject* object) noexcept;
    // Installs the event system's part of the life cycle (see CObjectEventHooks).
    static void setEventHooks(const CObjectEventHooks* hooks) noexcept;
    static const CObjectEventHooks* eventHooks() noexcept;

    // --- tree set-up ---
    // Makes this object a root: no parent, root itself, default scheme, the given registry.
    void initRoot(CEventRegistry* registry);
    // Sets the event registry and takes a new object id from it (-1 without one).
    void attachEventRegistry(CEventRegistry* registry);
    // Creates, names and appends one child; out receives it (also when onChildAdded fails).
    // With useTemplates a template named tag, from the nearest ancestor or the shared object, is
    // instantiated instead. Fails only on a read-only object (out untouched) or in onChildAdded.
    [[nodiscard]] CError* addChild(CObject*& out, const CString& tag, const CString& name, bool useTemplates);
    // Makes this object a template placeholder that owns body.
    void setTemplateBody(CTemplateBody* body);
    // Enters a template placeholder among the children under its short name.
    void addTemplate(const CString& name, CObject* placeholder);
    // The attributes that init applies (typed child creation); not owned, cleared by init.
    void setInitialAttrs(const CAttrMap* attrs) noexcept { mInitAttrs = attrs; }
    // The description builder marks objects built from a description node with stage 4.
    void setLifeStage(int stage) noexcept { mLifeStage = stage; }

    // --- life cycle (virtual; derived classes call the base first) ---
    virtual ~CObject();
    [[nodiscard]] virtual CError* init();
    [[nodiscard]] virtual CError* createChilds();
    [[nodiscard]] virtual CError* initChilds();
    [[nodiscard]] virtual CError* onChildAdded(CObject* child);
    virtual void removeChild(CObject* child);
    virtual void releaseLinks();
    virtual void detachFromParent();
    [[nodiscard]] virtual CError* setAttrValue(CObject* sender, const CString& name, const CAttrValue& value);
    [[nodiscard]] virtual CError* onReleaseChildBridged(CAttrMap& args);

    // Destroys this object and its subtree: links first, children last to first, then detaches.
    void release();
    // Asks the parent to release this object later, on the parent's event-bridge thread; nothing
    // happens without a bridge above it.
    void releaseBridged();
    // Whether a template of that name is reachable from here or from the shared object.
    bool hasTemplate(const CString& name) const;

    // --- queries ---
    const CString& tag() const noexcept { return mTag; }
    CObject* parent() const noexcept { return mParent; }
    CObject* root() const noexcept { return mRoot; }
    int childCount() const noexcept { return mChildren.count(); }
    CObject* child(int index) const noexcept { return mChildren[index]; }
    int lifeStage() const noexcept { return mLifeStage; }
    bool isReadOnly() const noexcept { return mReadOnly; }
    int objectId() const noexcept { return mObjectId; }
    CEventRegistry* eventRegistry() const noexcept { return mEventRegistry; }
    CTemplateBody* templateBody() const noexcept { return mTemplateBody; }
    CObject* templateSource() const noexcept { return mTemplate; }
    const CEventHandlerMap* schemeEventHandlers() const noexcept { return mSchemeEventHandlers; }
    CAttrMap& attrs() noexcept { return mAttrs; }
    const CAttrMap& attrs() const noexcept { return mAttrs; }

    // --- paths and names: no errors, null or empty text when nothing is found ---
    CObject* findObject(const CString& path) const;
    CObject* findChild(const CString& name) const;
    // The full name that path designates from here, also when the object does not exist.
    CString resolvePath(const CString& path) const;
    const CString& getFullName() const;
    CString getShortName() const;
    bool isBelow(const CString& name) const;
    bool isAtOrBelow(const CString& name) const;
    void findFullName(const CString& path, CString& out) const;

    // --- attributes: setting (nothing happens on a read-only object or for an empty name) ---
    // Expands references in text, stores it with type detection, runs or defers the handler and
    // passes the value on to the bound objects.
    [[nodiscard]] CError* setAttr(const CString& name, const CString& text, bool callNow);
    [[nodiscard]] CError* setIntAttr(const CString& name, std::int32_t value, bool callNow);
    [[nodiscard]] CError* setDoubleAttr(const CString& name, double value, bool callNow);
    [[nodiscard]] CError* setPtrAttr(const CString& name, void* value, bool callNow);
    // Sets from a typed value; a text value has its references expanded.
    [[nodiscard]] CError* setAttrValueFrom(const CString& name, const CAttrValue& value, bool callNow);
    // Sets every value of a map with handlers deferred, then optionally runs the deferred handlers.
    [[nodiscard]] CError* setAttrs(const CAttrMap& map, bool runPending);
    // Runs the handler of one attribute now, or queues it for flushPendingAttrs.
    [[nodiscard]] CError* callAttrHandler(const CString& name, CAttrValue* value, bool callNow);
    // Runs the queued handlers, the most recently queued first.
    [[nodiscard]] CError* flushPendingAttrs();
    // Passes a new value on to the objects bound to this attribute.
    [[nodiscard]] CError* notifyAttrListeners(const CString& name, CAttrValue* value);
    // Binds attribute attrName of this object to "source attr" (the text of a '{*...}' reference)
    // and returns the source attribute's current text; empty text and no binding when the source
    // is missing, read-only or this object.
    CString bindAttr(const CString& attrName, const CString& reference);
    // Attaches this object to a scheme object: "source" copies every attribute of the source now
    // and binds all of them; "source a b=c" copies and binds only a (as a) and b (as c). The source
    // is found as by bindAttr; none: nothing is done. Errors: the source is read-only or this
    // object. The object's "full-name" is never taken from the source.
    [[nodiscard]] CError* processSchemeAttribute(const CString& text, bool callNow);

    // --- events (the delivery itself is CEventRegistry's) ---
    // Runs one of this object's scheme event handlers now, on this thread; "Unknown event" error
    // when the scheme has no such event. Without args the handler gets an empty map.
    [[nodiscard]] CError* runEvent(const CString& name, CAttrMap* args);
    [[nodiscard]] CError* runEvent(const CString& name);
    // Delivers an event of this object to its listeners (nothing in a tree without registry).
    // bridged: every call goes through the listeners' bridges, also on their own thread.
    [[nodiscard]] CError* fireEvent(const CString& name, CAttrMap* args, bool bridged);
    [[nodiscard]] CError* fireEvent(const CString& name, bool bridged);
    // Registers this object's handler for an event of the object of that full name; the first
    // registration of a sender and event stays. An unknown handler is logged, nothing registered.
    void listenObject(const CString& sender, const CString& event, const CString& handler);
    void unlistenObject(const CString& sender, const CString& event);
    // Drops every registration; the event part of releaseLinks.
    void unlistenAll();
    // Has the handler run later on the thread of the bridge at or above this object; sets "sender",
    // "listener", "listener-id" and "listener-proc" in args. Nothing happens without a bridge.
    void postBridgedEvent(const CString& sender, const CString& handler, CAttrMap& args);
    // The nearest object at or above this one that carries a bridge, with the bridge and its
    // thread; null (outs untouched) when there is none.
    CObject* findEventBridge(std::thread::id& thread, CObjectEventBridge*& bridge) const;
    // The id of this tree's registry; only for trees with a registry.
    std::int32_t getEventRegistryId() const;
    // Makes this object the carrier of a bridge that delivers on thread (null: carries none).
    void setEventBridge(CObjectEventBridge* bridge, std::thread::id thread) noexcept;
    // The registrations this object holds: sender name -> event name -> handler.
    const CSortedMap<CString, CSortedMap<CString, CEventHandler>>& listenRegistrations() const noexcept {
        return mListens;
    }

    // --- attributes: typed reads (never add, never run handlers; conversions are cached) ---
    template <std::size_t N> bool getBoolAttr(const char (&name)[N]) { return readBool(name); }
    template <std::size_t N> std::int32_t getIntAttr(const char (&name)[N]) { return readInt(name); }
    template <std::size_t N> double getDoubleAttr(const char (&name)[N]) { return readDouble(name); }
    template <std::size_t N> const CString& getTextAttr(const char (&name)[N]) { return readText(name); }
    void* getPtrAttr(const CString& name) const;
    // Caches every conversion of every attribute of this subtree, so that later reads only read.
    void warmAttrCaches();

    // --- typed lookups and creation (templates defined in Core/CObjectLookups.h) ---
    // Finds the object that path designates from here and checks that it is a T. Errors: FindError
    // (out unchanged) or CastError (out null). The CObject overload has no class check.
    template <class T>
    [[nodiscard]] CError* findObjectChecked(T*& out, const CString& path) const;
    [[nodiscard]] CError* findObjectChecked(CObject*& out, const CString& path) const;
    // Finds the object named by the text of attribute attrName and checks that it is a T. An empty
    // or absent attribute sets out to null: success unless required (AttrEmpty). Errors otherwise
    // as findObjectChecked. The CObject overload has no class check.
    template <class T>
    [[nodiscard]] CError* findObjectByAttr(T*& out, const CString& attrName, bool required);
    [[nodiscard]] CError* findObjectByAttr(CObject*& out, const CString& attrName, bool required);
    // Creates a child from a template or tag (templates preferred), checks that it is a T, applies
    // setAttrs (before init) and initAttrs (in init, after the template's), then runs its full life
    // cycle. out is null unless a child of the right class was made; after a failing life-cycle step
    // out holds the half-initialised child, which stays in the tree.
    template <class T>
    [[nodiscard]] CError* createChild(T*& out, const CString& tag, const CString& name, bool needTemplate,
                                      const CAttrMap* initAttrs, const CAttrMap* setAttrs);
    [[nodiscard]] CError* createChild(CObject*& out, const CString& tag, const CString& name, bool needTemplate,
                                      const CAttrMap* initAttrs, const CAttrMap* setAttrs);

protected:
    // The handler thunk of "release-child-bridged".
    static CError* releaseChildBridgedThunk(CObject* object, CAttrMap* args);

private:
    // Source attribute name -> listener attribute name; empty: every attribute under its own name.
    struct CAttrFilter : CPoolAllocated {
        CSortedMap<CString, CString> names;
    };
    struct CAttrListener {
        CObject* listener;
        CAttrFilter* filter;  // owned
    };
    struct CNotifyFrame {
        const CString* name;
        CNotifyFrame* outer;
        bool sourceReleased;  // set by the destructor when a listener released this object
    };

    bool readBool(const char* name);
    std::int32_t readInt(const char* name);
    double readDouble(const char* name);
    const CString& readText(const char* name);

    CObject* findTemplate(const CString& name) const;
    // Where a path starts (this object, its root or the shared root; null: no shared object) and
    // the position of its first name.
    const CObject* pathStart(const CString& path, int& pos) const;
    // The child named by the characters [start, end) of text.
    CObject* findChildIn(const CString& text, int start, int end) const;
    void linkChild(CObject* child, const CString& tag, CObject* templ);
    CString takeUniqueName(const CString& requested, CObject* child);
    void forgetChildName(CObject* child);
    template <class Assign>
    CError* setTypedAttr(const CString& name, bool callNow, Assign assign);
    bool expandRefs(const CString& attrName, CString& text);
    CString evaluateRef(const CString& ref, const CString& attrName, const CString& defaultText);
    int findListener(const CObject* listener) const;
    CAttrListener& addAttrListener(CObject* listener);
    void removeAttrListener(const CObject* listener);
    void addBindingSource(CObject* source);
    // The object a binding reference names: "/path" from the root, else the first child of that
    // name of this object or of an ancestor.
    CObject* findBindingSource(const CString& reference);
    void removeBindingSource(const CObject* source);

    const CAttrHandlerMap* mSchemeAttrHandlers = nullptr;
    CAttrMap mAttrs;
    CAttrValue* mPendingHead = nullptr;
    CArray<CObject*> mChildren;
    const CEventHandlerMap* mSchemeEventHandlers = nullptr;
    int mLifeStage = 0;
    bool mReadOnly = false;
    CTemplateBody* mTemplateBody = nullptr;
    const CAttrMap* mInitAttrs = nullptr;
    CObject* mTemplate = nullptr;
    CSortedMap<CString, CSortedMap<int, CObject*>> mChildNames;
    CEventRegistry* mEventRegistry = nullptr;
    CObject* mParent = nullptr;
    CObject* mRoot = nullptr;
    int mObjectId = -1;
    CString mTag;
    CSortedMap<CString, CObject*> mTemplates;
    CArray<CAttrListener> mAttrListeners;  // in binding order
    CArray<CObject*> mBindingSources;
    CNotifyFrame* mNotifying = nullptr;  // attributes being passed on right now (cycle guard)
    CSortedMap<CString, CSortedMap<CString, CEventHandler>> mListens;
    CObjectEventBridge* mEventBridge = nullptr;
    std::thread::id mBridgeThread;
    bool mNoBridge = true;
};

} // namespace tal

#include "Core/CObjectLookups.h"
