#include "Audio/CAudioParamUndoEntry.h"

namespace tal {

CAudioParamUndoEntry::~CAudioParamUndoEntry() {
    for (CAudioParamUndoSnapshot* s : mSnapshots)
        delete s;
}

CAudioParamUndoSnapshot* CAudioParamUndoEntry::findSnapshot(int group) const {
    for (CAudioParamUndoSnapshot* s : mSnapshots)
        if (s->group == group)
            return s;
    return nullptr;
}

CAudioParamUndoEntry* CAudioParamUndoEntry::clone() const {
    auto* copy = new CAudioParamUndoEntry;
    for (const CAudioParamUndoSnapshot* s : mSnapshots)
        copy->mSnapshots.add(s->clone());
    for (TouchedSet::Node* n = mTouched.first(); n != nullptr; n = TouchedSet::next(n))
        copy->mTouched.findOrAdd(n->key)->value = n->value;
    return copy;
}

} // namespace tal
