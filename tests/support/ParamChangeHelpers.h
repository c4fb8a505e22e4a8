#pragma once

#include "Audio/CAudioParam.h"
#include "Audio/CAudioParamChange.h"
#include "Audio/CAudioParamChangeList.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamInfo.h"
#include "Audio/CAudioParamListener.h"
#include "Audio/CAudioParamStorage.h"

#include <memory>
#include <string>
#include <vector>

namespace tal {

// A float change of one element size; the values are borrowed from v, which must outlive the change.
inline CAudioParamChange floatChange(int group, int first, const std::vector<double>& v, bool truncate = false) {
    CAudioParamChange c;
    c.group = group;
    c.firstElement = first;
    c.count = int(v.size());
    c.truncate = truncate;
    c.values = v.data();
    return c;
}

// Component 0 of every element of a group.
inline std::vector<double> groupValues(const CAudioParamStorage& s, int group) {
    std::vector<double> out;
    for (int e = 0; e < s.getElementCount(group); ++e)
        out.push_back(s.getValue(group, e, 0));
    return out;
}

// The texts of every element of a string group.
inline std::vector<std::string> groupTexts(const CAudioParamStorage& s, int group) {
    std::vector<std::string> out;
    for (int e = 0; e < s.getElementCount(group); ++e)
        out.push_back(std::string(s.getData().getString(int(s.getValues(group)[e])).narrowed().chars8()));
    return out;
}

// A float definition built in code (one component, range -1e9..1e9): defaults has one row per group.
inline std::unique_ptr<CAudioParamInfo> makeFloatInfo(const char* name, const std::vector<std::vector<double>>& defaults,
                                                      bool storable = true, bool singleGroup = false) {
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(1, CAudioParamStorage::kTypeFloat, singleGroup, false);
    info->setFlags(storable, storable, false);
    info->setNames(CString(name), CString(name), CString());
    info->setRange(0, -1e9, 1e9);
    CAudioParamStorage& d = info->defaultValues();
    d.setFormat(1, CAudioParamStorage::kTypeFloat, singleGroup, false);
    for (std::size_t g = 0; g < defaults.size(); ++g) {
        CAudioParamChange c = floatChange(g == 0 ? CAudioParamChange::kFormatGroup : int(g), 0, defaults[g], true);
        c.singleGroup = singleGroup;
        d.applyChange(c);
    }
    return info;
}

// A string definition built in code whose group 0 holds the given texts.
inline std::unique_ptr<CAudioParamInfo> makeStringInfo(const char* name, const std::vector<const char*>& defaults,
                                                       bool storable = true) {
    auto info = std::make_unique<CAudioParamInfo>();
    info->setLayout(1, CAudioParamStorage::kTypeString, false, false);
    info->setFlags(storable, storable, false);
    info->setNames(CString(name), CString(name), CString());
    info->setRange(0, 0, 8388608);
    CAudioParamData table;
    std::vector<double> ids;
    for (const char* text : defaults)
        ids.push_back(table.addString(CString(text)));
    CAudioParamChange c = floatChange(CAudioParamChange::kFormatGroup, 0, ids, true);
    c.dataType = CAudioParamStorage::kTypeString;
    c.table = &table;
    info->defaultValues().applyChange(c);
    return info;
}

// What the audio thread does once per block: take the pending list and apply it. Returns the
// number of nodes applied.
inline int handOff(CAudioParamCollector& collector) {
    CAudioParamChangeList taken;
    collector.takePending(taken);
    CAudioParamCollector::applyPendingChanges(taken);
    return taken.count();
}

} // namespace tal
