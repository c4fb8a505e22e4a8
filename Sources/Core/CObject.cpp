#include "Core/CObject.h"

#include "Core/CError.h"
#include "Core/Log.h"
#include "Core/CObjectEventHooks.h"
#include "Core/CStringList.h"
#include "Core/CTemplateBody.h"
#include "Core/NumberText.h"

#include <cstdio>

namespace tal {

namespace {

const CString kFullNameAttr("full-name");
const CString kSharedPrefix("shared::");
const CString kSchemeAttr("scheme");

// A text whose references keep producing new references is cut off after this many expansions.
constexpr int kMaxRefPasses = 64;

CObject* gSharedObject = nullptr;
const CObjectEventHooks* gEventHooks = nullptr;

bool isTemplateOrContentTag(const CString& tag) { return tag.equals("template") || tag.equals("content"); }

// Splits a child name at its first "#": the base before it, the number after it (0 when there is
// no "#" or the rest is not a number).
int splitChildName(const CString& name, CString& base) {
    const int hash = name.findChar('#');
    if (hash < 0) {
        base = name;
        return 0;
    }
    base = CString(name, 0, hash);
    return parseInt(CString(name, hash + 1, -1), 0, nullptr);
}

bool startsWithShared(const CString& path) {
    if (path.length() < kSharedPrefix.length()) return false;
    for (int i = 0; i < kSharedPrefix.length(); ++i)
        if (path.charAt(i) != kSharedPrefix.charAt(i)) return false;
    return true;
}

// Whether the full name starts with name followed by ".".
bool fullNameIsBelow(const CString& fullName, const CString& name) {
    const int n = name.length();
    if (fullName.length() < n + 1 || fullName.charAt(n) != '.') return false;
    for (int i = 0; i < n; ++i)
        if (fullName.charAt(i) != name.charAt(i)) return false;
    return true;
}

void writeLogLine(const char* text) { writeLog(text, true); }

// Three-way order of a key against the characters [start, end) of text: the order of compareStrings.
int compareKeyToRange(const CString& key, const CString& text, int start, int end) noexcept {
    const int n = end - start, k = key.length(), m = n < k ? n : k;
    for (int i = 0; i < m; ++i) {
        const std::uint32_t a = key.charAt(i), b = text.charAt(start + i);
        if (a != b) return a < b ? -1 : 1;
    }
    return k == n ? 0 : k < n ? -1 : 1;
}

// The child index after a "#": plain decimal digits are read here, every other form by parseInt.
bool parseIndex(const CString& text, int start, int end, int& index) {
    std::uint32_t value = 0;
    bool plain = end - start <= 9 && text.charAt(start) != '0';
    for (int i = start; plain && i < end; ++i) {
        const std::uint32_t c = text.charAt(i);
        plain = c >= '0' && c <= '9';
        value = value * 10 + (c - '0');
    }
    if (plain) {
        index = int(value);
        return true;
    }
    bool ok = false;
    index = parseInt(CString(text, start, end - start), 0, &ok);
    return ok;
}

// A map lookup by a piece of a path, without copying the piece into a string of its own.
template <class V>
typename CSortedMap<CString, V>::Node* findByRange(const CSortedMap<CString, V>& map, const CString& text, int start,
                                                   int end) noexcept {
    using Node = typename CSortedMap<CString, V>::Node;
    CSortedMapNode* n = map.root();
    while (n != nullptr) {
        const int c = compareKeyToRange(static_cast<Node*>(n)->key, text, start, end);
        if (c == 0) return static_cast<Node*>(n);
        n = c > 0 ? n->left : n->right;
    }
    return nullptr;
}

} // namespace

// --- process-wide set-up ---

CError* CObject::registerCreator(const CString& tag, CObjectCreateFn create, CObjectScheme* scheme) {
    return CCreatorRegistry::instance().registerCreator(tag, create, scheme);
}

CError* CObject::releaseChildBridgedThunk(CObject* object, CAttrMap* args) {
    CAttrMap empty;
    if (CError* err = object->onReleaseChildBridged(args ? *args : empty))
        return traceError(err);
    return nullptr;
}

void CObject::initScheme(CObjectScheme* scheme) {
    CEventHandler& h = scheme->addEventHandler(CString("release-child-bridged"));
    h.plain = nullptr;
    h.withArgs = &CObject::releaseChildBridgedThunk;
    h.hasArgs = true;
}

CObject* CObject::createPlain() { return new CObject; }

CObjectScheme& CObject::defaultScheme() {
    static CObjectScheme scheme;
    return scheme;
}

CObject* CObject::sharedObject() noexcept { return gSharedObject; }
void CObject::setSharedObject(CObject* object) noexcept { gSharedObject = object; }
void CObject::setEventHooks(const CObjectEventHooks* hooks) noexcept { gEventHooks = hooks; }
const CObjectEventHooks* CObject::eventHooks() noexcept { return gEventHooks; }

// --- tree set-up ---

void CObject::initRoot(CEventRegistry* registry) {
    mParent = nullptr;
    mRoot = this;
    mInitAttrs = nullptr;
    mTemplate = nullptr;
    mPendingHead = nullptr;
    mSchemeAttrHandlers = &defaultScheme().attrHandlers();
    mSchemeEventHandlers = &defaultScheme().eventHandlers();
    attachEventRegistry(registry);
}

void CObject::attachEventRegistry(CEventRegistry* registry) {
    mEventRegistry = registry;
    mObjectId = (registry != nullptr && gEventHooks != nullptr && gEventHooks->takeObjectId != nullptr)
                    ? gEventHooks->takeObjectId(*registry)
                    : -1;
}

CObject* CObject::findTemplate(const CString& name) const {
    for (const CObject* o = this; o != nullptr; o = o->mParent)
        if (auto* node = o->mTemplates.find(name)) return node->value;
    if (gSharedObject != nullptr)
        if (auto* node = gSharedObject->mTemplates.find(name)) return node->value;
    return nullptr;
}

bool CObject::hasTemplate(const CString& name) const { return findTemplate(name) != nullptr; }

CError* CObject::addChild(CObject*& out, const CString& tag, const CString& name, bool useTemplates) {
    if (mReadOnly) {
        return newError("@talstr_CObject_addChild_ReadOnly Error adding child to read-only object.", getFullName());
    }
    CObject* templ = useTemplates ? findTemplate(tag) : nullptr;
    const CString& classTag = (templ != nullptr && templ->mTemplateBody != nullptr) ? templ->mTemplateBody->bodyTag() : tag;

    CObject* child = nullptr;
    const CObjectScheme* scheme = nullptr;
    if (const CCreatorEntry* entry = CCreatorRegistry::instance().find(classTag)) {
        child = entry->create();
        scheme = entry->scheme;
        if (child == nullptr) {
            return newError("@talstr_CObject_addChild_CreateFailed Unable to create an object of tag '%1'.",
                            getFullName(), classTag);
        }
    } else {
        child = new CObject;
        scheme = &defaultScheme();
        if (!isTemplateOrContentTag(classTag)) {
            char line[1024];
            const CString n8 = name.narrowed(), t8 = classTag.narrowed(), f8 = getFullName().narrowed();
            if (f8.isEmpty())
                std::snprintf(line, sizeof line, "Creating CObject '%s' (tag '%s')", n8.chars8(), t8.chars8());
            else
                std::snprintf(line, sizeof line, "Creating CObject '%s' (tag '%s') // %s", n8.chars8(), t8.chars8(),
                              f8.chars8());
            writeLogLine(line);
        }
    }
    child->mSchemeAttrHandlers = &scheme->attrHandlers();
    child->mSchemeEventHandlers = &scheme->eventHandlers();
    linkChild(child, classTag, templ);
    out = child;

    const CString unique = takeUniqueName(name, child);
    const CString& parentName = getFullName();
    const CString fullName = parentName.isEmpty() ? unique : parentName + CString(".") + unique;
    child->mAttrs.findOrAdd(kFullNameAttr)->value.setText(fullName);

    mChildren.add(child);
    if (CError* err = onChildAdded(child)) return traceError(err, getFullName());
    return nullptr;
}

void CObject::linkChild(CObject* child, const CString& tag, CObject* templ) {
    child->mParent = this;
    child->attachEventRegistry(mEventRegistry);
    child->mRoot = mRoot;
    child->mTag = tag;
    child->mTemplate = templ;
    child->mInitAttrs = nullptr;
    child->mPendingHead = nullptr;
}

CString CObject::takeUniqueName(const CString& requested, CObject* child) {
    CString base;
    int number = splitChildName(requested, base);
    CSortedMap<int, CObject*>& numbers = mChildNames.findOrAdd(base)->value;
    if (numbers.contains(number)) {
        // The largest number in use plus one; the unsigned step keeps a wrap at the top defined.
        number = int(unsigned(numbers.last()->key) + 1u);
        while (numbers.contains(number)) number = int(unsigned(number) + 1u);
    }
    numbers.findOrAdd(number)->value = child;
    if (number == 0) return base;
    return base + CString("#") + CString(number, 0, 10);
}

void CObject::forgetChildName(CObject* child) {
    CString base;
    const int number = splitChildName(child->getShortName(), base);
    auto* entry = mChildNames.find(base);
    if (entry != nullptr) {
        auto* node = entry->value.find(number);
        if (node != nullptr && node->value == child) {
            entry->value.removeNode(node);
            if (entry->value.isEmpty()) mChildNames.removeNode(entry);
            return;
        }
    }
    // A name that holds "." does not come back from the full name: search the index for the child.
    for (auto* e = mChildNames.first(); e != nullptr; e = mChildNames.next(e)) {
        for (auto* n = e->value.first(); n != nullptr; n = e->value.next(n)) {
            if (n->value == child) {
                e->value.removeNode(n);
                if (e->value.isEmpty()) mChildNames.removeNode(e);
                return;
            }
        }
    }
}

void CObject::setTemplateBody(CTemplateBody* body) {
    delete mTemplateBody;
    mTemplateBody = body;
}

void CObject::addTemplate(const CString& name, CObject* placeholder) { mTemplates.findOrAdd(name)->value = placeholder; }

// --- life cycle ---

CObject::~CObject() {
    if (mParent == nullptr && mEventRegistry != nullptr && gEventHooks != nullptr && gEventHooks->destroyRegistry != nullptr)
        gEventHooks->destroyRegistry(mEventRegistry);
    if (gSharedObject == this) gSharedObject = nullptr;
    for (CNotifyFrame* f = mNotifying; f != nullptr; f = f->outer) f->sourceReleased = true;
    for (CAttrListener& l : mAttrListeners) delete l.filter;
    delete mTemplateBody;
}

CError* CObject::init() {
    if (mTemplate != nullptr && mTemplate->mTemplateBody != nullptr)
        if (CError* err = mTemplate->mTemplateBody->buildAttrs(*this)) return traceError(err, getFullName());
    if (mInitAttrs != nullptr) {
        const CAttrMap* initial = mInitAttrs;
        mInitAttrs = nullptr;  // the caller's map does not outlive the creation call
        if (CError* err = setAttrs(*initial, false)) return traceError(err, getFullName());
    }
    mLifeStage = 1;
    return nullptr;
}

CError* CObject::createChilds() {
    if (CError* err = flushPendingAttrs()) return traceError(err, getFullName());
    mLifeStage = 2;
    if (mTemplate != nullptr && mTemplate->mTemplateBody != nullptr)
        if (CError* err = mTemplate->mTemplateBody->buildChildren(*this)) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::initChilds() {
    mReadOnly = gSharedObject == nullptr;
    mLifeStage = 3;
    return nullptr;
}

CError* CObject::onChildAdded(CObject*) { return nullptr; }

void CObject::removeChild(CObject* child) {
    if (child == nullptr) return;
    mChildren.remove(child);
    forgetChildName(child);
    if (child->mTemplateBody != nullptr) {
        auto* node = mTemplates.find(child->getShortName());
        if (node != nullptr && node->value == child) mTemplates.removeNode(node);
    }
}

void CObject::releaseLinks() {
    if (gEventHooks != nullptr && gEventHooks->unlistenAll != nullptr) gEventHooks->unlistenAll(*this);
    for (CObject* source : mBindingSources) source->removeAttrListener(this);
    for (const CAttrListener& l : mAttrListeners) l.listener->removeBindingSource(this);
}

void CObject::detachFromParent() {
    if (mParent != nullptr) mParent->removeChild(this);
}

void CObject::release() {
    releaseLinks();
    const CArray<CObject*> children(mChildren);
    for (int i = children.count() - 1; i >= 0; --i) children[i]->release();
    detachFromParent();
    delete this;
}

void CObject::releaseBridged() {
    if (mParent != nullptr && gEventHooks != nullptr && gEventHooks->releaseBridged != nullptr)
        gEventHooks->releaseBridged(*this);
}

CError* CObject::onReleaseChildBridged(CAttrMap& args) {
    CAttrValue* sender = args.findValue("sender");
    if (sender == nullptr) return nullptr;
    if (CAttrValue* id = args.findValue("sender-id")) {
        // By id among the direct children: a full name can designate another object.
        const std::int32_t wanted = id->asInt();
        for (CObject* c : mChildren)
            if (c->mObjectId == wanted) {
                c->release();
                return nullptr;
            }
        return nullptr;
    }
    CObject* found = findObject(sender->asText());
    // Only a child of this object is released: a full name can also lead back to this object or
    // elsewhere ("p." designates p itself).
    if (found == nullptr || found->mParent != this) return nullptr;
    found->release();
    return nullptr;
}

// --- paths and names ---

CObject* CObject::findChild(const CString& name) const { return findChildIn(name, 0, name.length()); }

CObject* CObject::findChildIn(const CString& text, int start, int end) const {
    int hash = text.findChar('#', start);
    if (hash >= end) hash = -1;
    auto* entry = findByRange(mChildNames, text, start, hash < 0 ? end : hash);
    if (entry == nullptr || entry->value.isEmpty()) return nullptr;
    if (hash < 0) return entry->value.first()->value;
    if (hash == end - 1) return entry->value.last()->value;
    int index = 0;
    if (!parseIndex(text, hash + 1, end, index)) return nullptr;
    auto* node = entry->value.find(index);
    return node ? node->value : nullptr;
}

const CObject* CObject::pathStart(const CString& path, int& pos) const {
    const std::uint32_t c0 = path.charAt(0);
    pos = 0;
    if (c0 == '.' || c0 == '^') return this;
    if (startsWithShared(path)) {
        if (gSharedObject == nullptr) return nullptr;
        pos = kSharedPrefix.length();
        return gSharedObject->mRoot != nullptr ? gSharedObject->mRoot : gSharedObject;
    }
    if (c0 == '/') pos = 1;
    return mRoot != nullptr ? mRoot : this;
}

CObject* CObject::findObject(const CString& path) const {
    const int n = path.length();
    if (n == 0) return nullptr;
    int pos = 0;
    const CObject* cur = pathStart(path, pos);
    if (cur == nullptr) return nullptr;
    int nameStart = pos;
    for (int i = pos;; ++i) {
        const std::uint32_t c = i < n ? path.charAt(i) : 0;
        if (i == n || c == '.') {
            if (i > nameStart) {
                cur = cur->findChildIn(path, nameStart, i);
                if (cur == nullptr) return nullptr;
            }
            if (i >= n - 1) return const_cast<CObject*>(cur);
            nameStart = i + 1;
        } else if (c == '^') {
            const CObject* p = cur->mParent;
            if (i == n - 1 || p == nullptr) return const_cast<CObject*>(p);
            cur = p;
            nameStart = i + 1;
        }
    }
}

CString CObject::resolvePath(const CString& path) const {
    const int n = path.length();
    if (n == 0) return CString();
    const CObject* root = mRoot != nullptr ? mRoot : this;
    int pos = 0;
    const CObject* cur = pathStart(path, pos);
    if (cur == nullptr || pos == n) return CString();  // also "shared::" alone
    int nameStart = pos;
    for (int i = pos;; ++i) {
        const std::uint32_t c = i < n ? path.charAt(i) : 0;
        if (i < n && c == '/') {
            cur = root;
            nameStart = i + 1;
        } else if (i == n || c == '.') {
            if (i > nameStart) {
                const CObject* next = cur->findChildIn(path, nameStart, i);
                if (next == nullptr) {
                    const CString rest(path, nameStart, -1);
                    const CString& reached = cur->getFullName();
                    return reached.isEmpty() ? rest : reached + CString(".") + rest;
                }
                cur = next;
            }
            if (i >= n - 1) return cur->getFullName();
            nameStart = i + 1;
        } else if (c == '^') {
            cur = cur->mParent;
            if (cur == nullptr) return CString();
            if (i == n - 1) return cur->getFullName();
            nameStart = i + 1;
        }
    }
}

const CString& CObject::getFullName() const {
    CAttrValue* v = mAttrs.findValue(kFullNameAttr);
    return v != nullptr ? v->asText() : CString::emptyString;
}

CString CObject::getShortName() const {
    const CString& full = getFullName();
    const int dot = full.findLast(CString("."));
    return dot < 0 ? full : CString(full, dot + 1, -1);
}

bool CObject::isBelow(const CString& name) const { return name.isEmpty() || fullNameIsBelow(getFullName(), name); }

bool CObject::isAtOrBelow(const CString& name) const {
    if (name.isEmpty()) return true;
    const CString& full = getFullName();
    return full == name || fullNameIsBelow(full, name);
}

void CObject::findFullName(const CString& path, CString& out) const {
    const CObject* found = findObject(path);
    out = found != nullptr ? found->getFullName() : CString::emptyString;
}

// --- attributes: setting ---

CError* CObject::setAttr(const CString& name, const CString& text, bool callNow) {
    if (mReadOnly || name.isEmpty()) return nullptr;
    CString expanded(text);
    if (!expanded.isEmpty()) expandRefs(name, expanded);
    CAttrValue* value = &mAttrs.findOrAdd(name)->value;
    value->setText(expanded);
    if (CError* err = callAttrHandler(name, value, callNow)) return traceError(err, getFullName());
    if (CError* err = notifyAttrListeners(name, value)) return traceError(err, getFullName());
    return nullptr;
}

template <class Assign>
CError* CObject::setTypedAttr(const CString& name, bool callNow, Assign assign) {
    if (mReadOnly || name.isEmpty()) return nullptr;
    CAttrValue* value = &mAttrs.findOrAdd(name)->value;
    assign(*value);
    if (CError* err = callAttrHandler(name, value, callNow)) return traceError(err, getFullName());
    if (CError* err = notifyAttrListeners(name, value)) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setIntAttr(const CString& name, std::int32_t v, bool callNow) {
    if (CError* err = setTypedAttr(name, callNow, [v](CAttrValue& a) { a.setInt(v); })) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setDoubleAttr(const CString& name, double v, bool callNow) {
    if (CError* err = setTypedAttr(name, callNow, [v](CAttrValue& a) { a.setReal(v); })) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setPtrAttr(const CString& name, void* v, bool callNow) {
    if (CError* err = setTypedAttr(name, callNow, [v](CAttrValue& a) { a.setPointer(v); })) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setAttrValueFrom(const CString& name, const CAttrValue& source, bool callNow) {
    if (mReadOnly || name.isEmpty()) return nullptr;
    CAttrValue* value = nullptr;
    if (source.type() == CAttrValue::kText) {
        CString text(source.storedText());
        const bool replaced = !text.isEmpty() && expandRefs(name, text);
        value = &mAttrs.findOrAdd(name)->value;
        if (replaced)
            value->setText(text);
        else
            value->copyTyped(source);
    } else {
        value = &mAttrs.findOrAdd(name)->value;
        value->copyTyped(source);
    }
    if (CError* err = callAttrHandler(name, value, callNow)) return traceError(err, getFullName());
    if (CError* err = notifyAttrListeners(name, value)) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setAttrValue(CObject*, const CString& name, const CAttrValue& value) {
    if (CError* err = setAttrValueFrom(name, value, true)) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::setAttrs(const CAttrMap& map, bool runPending) {
    if (mReadOnly) return nullptr;
    for (auto* node = map.first(); node != nullptr; node = map.next(node))
        if (CError* err = setAttrValueFrom(node->key, node->value, false)) return traceError(err, getFullName());
    if (runPending)
        if (CError* err = flushPendingAttrs()) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::callAttrHandler(const CString& name, CAttrValue* value, bool callNow) {
    if (!value->isHandlerLooked()) {
        auto* node = mSchemeAttrHandlers != nullptr ? mSchemeAttrHandlers->find(name) : nullptr;
        value->setHandler(node != nullptr ? node->value : nullptr);
    }
    const CAttrHandler handler = value->handler();
    if (handler == nullptr) return nullptr;
    if (!callNow) {
        if (value->isQueued()) return nullptr;  // queued once; its handler sees the latest value
        value->setPendingNext(mPendingHead);
        mPendingHead = value;
        value->setQueued(true);
        return nullptr;
    }
    if (CError* err = handler(this, value)) return traceError(err, getFullName());
    return nullptr;
}

CError* CObject::flushPendingAttrs() {
    if (mReadOnly) return nullptr;
    CAttrValue* value = mPendingHead;
    mPendingHead = nullptr;  // values queued by the handlers below wait for the next flush
    while (value != nullptr) {
        CAttrValue* next = value->pendingNext();
        value->setQueued(false);
        if (CError* err = value->handler()(this, value)) {
            // The values behind the failing one are off the list: unmark them so that a later
            // deferred set queues them again.
            for (CAttrValue* v = next; v != nullptr; v = v->pendingNext()) v->setQueued(false);
            return traceError(err, getFullName());
        }
        value = next;
    }
    return nullptr;
}

int CObject::findListener(const CObject* listener) const {
    for (int i = 0; i < mAttrListeners.count(); ++i)
        if (mAttrListeners[i].listener == listener) return i;
    return -1;
}

CError* CObject::notifyAttrListeners(const CString& name, CAttrValue* value) {
    if (mAttrListeners.isEmpty()) return nullptr;
    // A binding cycle leads back to an attribute that is being passed on right now: it has the
    // value already, so the propagation ends here.
    for (const CNotifyFrame* f = mNotifying; f != nullptr; f = f->outer)
        if (*f->name == name) return nullptr;
    CNotifyFrame frame{&name, mNotifying, false};
    mNotifying = &frame;
    // Listeners may bind, unbind or release objects while they take the value: walk a copy of the
    // list and skip those that are no longer bound when their turn comes. Each one is looked for
    // first right behind the one before it, where it stays unless a handler changed the list, so
    // a notification costs the same per listener however many there are.
    CArray<CObject*> listeners;
    listeners.reserve(mAttrListeners.count());
    for (const CAttrListener& l : mAttrListeners) listeners.add(l.listener);
    int expected = 0;
    for (CObject* listener : listeners) {
        const int index = expected < mAttrListeners.count() && mAttrListeners[expected].listener == listener
                              ? expected
                              : findListener(listener);
        if (index < 0) continue;
        expected = index + 1;
        const CSortedMap<CString, CString>& filter = mAttrListeners[index].filter->names;
        CError* err = nullptr;
        if (filter.isEmpty()) {
            // A whole-object binding (an attached scheme) passes every attribute but the name.
            if (name != kFullNameAttr) err = listener->setAttrValue(this, name, *value);
        } else if (auto* node = filter.find(name)) {
            const CString target(node->value);
            err = listener->setAttrValue(this, target, *value);
        }
        if (frame.sourceReleased) {
            // A listener released this object: nothing of it may be touched any more, and the
            // caller cannot tell whom an error belongs to, so it ends here.
            reportError(err);
            return nullptr;
        }
        if (err != nullptr) {
            mNotifying = frame.outer;
            return traceError(err, getFullName());
        }
    }
    mNotifying = frame.outer;
    return nullptr;
}

CObject::CAttrListener& CObject::addAttrListener(CObject* listener) {
    const int index = findListener(listener);
    if (index >= 0) return mAttrListeners[index];
    mAttrListeners.add(CAttrListener{listener, new CAttrFilter});
    return mAttrListeners.last();
}

void CObject::removeAttrListener(const CObject* listener) {
    const int index = findListener(listener);
    if (index < 0) return;
    delete mAttrListeners[index].filter;
    mAttrListeners.removeAt(index);
}

void CObject::addBindingSource(CObject* source) {
    if (mBindingSources.indexOf(source) < 0) mBindingSources.add(source);
}

void CObject::removeBindingSource(const CObject* source) { mBindingSources.remove(const_cast<CObject*>(source)); }

CObject* CObject::findBindingSource(const CString& reference) {
    if (reference.charAt(0) == '/') return findObject(CString(reference, 1, -1));
    for (CObject* o = this; o != nullptr; o = o->mParent)
        if (CObject* found = o->findChild(reference)) return found;
    return nullptr;
}

CError* CObject::processSchemeAttribute(const CString& text, bool callNow) {
    CStringList pieces;
    text.split(pieces, ' ', true, true);
    if (pieces.count() == 0) return nullptr;
    CObject* source = findBindingSource(pieces[0]);
    if (source == nullptr) return nullptr;
    if (source->mReadOnly) {
        return newError("@talstr_CObject_processSchemeAttribute_ReadOnlyScheme Attaching to read-only scheme '%1' is an error.",
                        getFullName(), pieces[0]);
    }
    if (source == this) {
        return newError("@talstr_CObject_processSchemeAttribute_CircularSchemeRef Circular scheme '%1' reference.",
                        getFullName(), pieces[0]);
    }
    CSortedMap<CString, CString>& filter = source->addAttrListener(this).filter->names;
    // An object's "full-name" is its identity in the tree: a scheme never overwrites it.
    if (pieces.count() == 1) {
        CStringList names;
        for (auto* node = source->mAttrs.first(); node != nullptr; node = source->mAttrs.next(node))
            if (node->key != kFullNameAttr) names.add(node->key);
        for (int i = 0; i < names.count(); ++i) {
            const CString& name = names[i];
            // A handler run by an earlier copy may have removed the attribute from the source.
            const CAttrValue* value = source->mAttrs.findValue(name);
            if (value == nullptr) continue;
            const CAttrValue copy(*value);
            if (CError* err = setAttrValueFrom(name, copy, callNow)) return traceError(err, getFullName());
        }
    } else {
        for (int i = 1; i < pieces.count(); ++i) {
            CStringList parts;
            pieces[i].split(parts, '=', true, true);
            if (parts.count() == 0) continue;
            const CString from(parts[0]);
            const CString to(parts.count() > 1 ? parts[1] : parts[0]);
            if (to == kFullNameAttr) continue;
            filter.findOrAdd(from)->value = to;
            if (from == kSchemeAttr) continue;
            const CAttrValue* value = source->mAttrs.findValue(from);
            if (value == nullptr) continue;
            const CAttrValue copy(*value);
            if (CError* err = setAttrValueFrom(to, copy, callNow)) return traceError(err, getFullName());
        }
    }
    addBindingSource(source);
    return nullptr;
}

CString CObject::bindAttr(const CString& attrName, const CString& reference) {
    CStringList pieces;
    reference.split(pieces, ' ', true, true);
    if (pieces.count() < 2) return CString();
    CObject* source = findBindingSource(pieces[0]);
    if (source == nullptr || source->mReadOnly || source == this) return CString();
    source->addAttrListener(this).filter->names.findOrAdd(pieces[1])->value = attrName;
    addBindingSource(source);
    if (pieces[1] == kSchemeAttr) return CString();
    CAttrValue* v = source->mAttrs.findValue(pieces[1]);
    return v != nullptr ? v->asText() : CString();
}

// --- reference expansion ---

bool CObject::expandRefs(const CString& attrName, CString& text) {
    bool replaced = false;
    for (int pass = 0;; ++pass) {
        const int open = text.findLast(CString("{"));
        if (open < 0) break;
        const int close = text.findChar('}', open + 1);
        if (close < 0) break;
        if (pass == kMaxRefPasses) {
            char line[1024];
            const CString a8 = attrName.narrowed(), f8 = getFullName().narrowed();
            std::snprintf(line, sizeof line, "Attribute '%s': references still unresolved after %d expansions // %s",
                          a8.chars8(), kMaxRefPasses, f8.chars8());
            writeLogLine(line);
            break;
        }
        int q = text.findChar('?', open + 1);
        if (q < 0 || q > close) q = close;
        const CString ref(text, open + 1, q - open - 1);
        const CString defaultText = q < close ? CString(text, q + 1, close - q - 1) : CString();
        const CString replacement = evaluateRef(ref, attrName, defaultText);
        text.replace(open, close - open + 1, replacement);
        replaced = true;
    }
    return replaced;
}

namespace {

// The text of attribute name on object, or on its ancestors too; null when none has it.
CAttrValue* lookUpAttr(const CObject* object, const CString& name, bool thisOnly) {
    for (const CObject* o = object; o != nullptr; o = thisOnly ? nullptr : o->parent())
        if (CAttrValue* v = o->attrs().findValue(name)) return v;
    return nullptr;
}

} // namespace

CString CObject::evaluateRef(const CString& ref, const CString& attrName, const CString& defaultText) {
    if (!ref.isEmpty() && ref.charAt(0) == '*') return bindAttr(attrName, CString(ref, 1, -1));
    bool thisOnly = false;
    int start = 0;
    if (!ref.isEmpty() && ref.charAt(0) == '@') {
        thisOnly = true;
        start = 1;
    }
    const CObject* target = this;
    CString name;
    if (start < ref.length() && ref.charAt(start) == '/') {
        const int blank = ref.findChar(' ', start);
        const CString path(ref, start + 1, blank < 0 ? -1 : blank - start - 1);
        name = blank < 0 ? attrName : CString(ref, blank + 1, -1);
        target = findObject(path);
        if (target == nullptr) return defaultText;
    } else if (start < ref.length()) {
        name = CString(ref, start, -1);
    } else {
        name = attrName;
    }
    CAttrValue* v = lookUpAttr(target, name, thisOnly);
    return v != nullptr ? v->asText() : defaultText;
}

// --- attributes: typed reads ---

bool CObject::readBool(const char* name) {
    CAttrValue* v = mAttrs.findValue(name);
    return v != nullptr && v->asBool();
}

std::int32_t CObject::readInt(const char* name) {
    CAttrValue* v = mAttrs.findValue(name);
    return v != nullptr ? v->asInt() : 0;
}

double CObject::readDouble(const char* name) {
    CAttrValue* v = mAttrs.findValue(name);
    return v != nullptr ? v->asReal() : 0.0;
}

const CString& CObject::readText(const char* name) {
    CAttrValue* v = mAttrs.findValue(name);
    return v != nullptr ? v->asText() : CString::emptyString;
}

void* CObject::getPtrAttr(const CString& name) const {
    CAttrValue* v = mAttrs.findValue(name);
    return v != nullptr ? v->asPointer() : nullptr;
}

void CObject::warmAttrCaches() {
    for (auto* node = mAttrs.first(); node != nullptr; node = mAttrs.next(node)) node->value.warmCaches();
    for (CObject* c : mChildren) c->warmAttrCaches();
}

} // namespace tal
