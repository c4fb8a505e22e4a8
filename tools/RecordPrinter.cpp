#include "RecordPrinter.h"

#include "Audio/CAudioParamStorage.h"
#include "Audio/CAudioPreset.h"
#include "Audio/CAudioPresetBank.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CMemoryReader.h"
#include "Core/Log.h"
#include "Core/RecordTags.h"

#include <cstdio>
#include <vector>

namespace delmaro_tool {

using namespace tal;

namespace {

std::string text(const CString& s) {
    CString utf8;
    // Names are usually 8-bit; wide ones are narrowed for display only.
    utf8 = s.isWide() ? s.narrowed() : s;
    return std::string(utf8.chars8(), std::size_t(utf8.length()));
}

std::string quoted(const CString& s) {
    return "\"" + text(s) + "\"";
}

std::string number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}

// Takes an error: its lines joined, and the error deleted.
std::string take(CError* err) {
    std::string lines = text(joinErrorLines(err));
    delete err;
    return lines;
}

const char* typeName(int dataType) {
    switch (dataType) {
        case CAudioParamStorage::kTypeFloat: return "float";
        case CAudioParamStorage::kTypeString: return "string";
        default: return "raw";
    }
}

std::string valueText(const CAudioParamStorage& storage, int group, int element) {
    const int es = storage.getElementSize();
    switch (storage.getDataType()) {
        case CAudioParamStorage::kTypeFloat: {
            std::string s = es > 1 ? "(" : "";
            for (int c = 0; c < es; ++c) s += (c > 0 ? " " : "") + number(storage.getValue(group, element, c));
            return es > 1 ? s + ")" : s;
        }
        case CAudioParamStorage::kTypeString:
            return quoted(storage.getData().getString(int(storage.getValue(group, element, 0))));
        default:
            return std::to_string(storage.getData().getRaw(int(storage.getValue(group, element, 0))).size()) +
                   " bytes";
    }
}

// One entry: its name, definition, format and values per group. A damaged entry is shown as such
// and makes the whole file count as damaged.
bool describeEntry(const CString& name, const CByteBuffer& bytes, const std::string& indent, std::string& out,
                   std::string& error) {
    CString definition;
    CAudioParamStorage storage;
    if (CError* err = CAudioPreset::decodeEntry(bytes, definition, storage)) {
        const std::string why = take(err);
        out += indent + quoted(name) + ": damaged state (" + std::to_string(bytes.size()) + " bytes)\n";
        error = "entry " + quoted(name) + " is damaged:\n" + why;
        return false;
    }
    out += indent + quoted(name) + " = " + quoted(definition) + " " + typeName(storage.getDataType());
    if (storage.getElementSize() != 1) out += " x" + std::to_string(storage.getElementSize());
    out += ", " + std::to_string(storage.getGroupCount()) + " group(s)\n";
    for (int g = 0; g < storage.getGroupCount(); ++g) {
        out += indent + "  [" + std::to_string(g) + "]";
        const int n = storage.getElementCount(g);
        if (n == 0) out += " (empty)";
        for (int e = 0; e < n; ++e) out += (e == 0 ? " " : ", ") + valueText(storage, g, e);
        out += "\n";
    }
    return true;
}

bool describePreset(const CAudioPreset& preset, const std::string& indent, std::string& out, std::string& error) {
    out += indent + "preset " + quoted(preset.getName()) + ", " + std::to_string(preset.getEntryCount()) +
           " entries\n";
    bool ok = true;
    const auto& entries = preset.getEntries();
    for (auto* n = entries.first(); n != nullptr; n = CAudioPreset::CEntryMap::next(n))
        if (!describeEntry(n->key, n->value, indent + "  ", out, error)) ok = false;
    return ok;
}

std::string tagText(std::uint32_t tag) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = char(tag >> (8 * i));
        s += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    return s;
}

} // namespace

bool inspectRecordBytes(const unsigned char* data, int size, std::string& out, std::string& error) {
    if (size < 4) {
        error = "too short for a record (" + std::to_string(size) + " bytes)";
        return false;
    }
    const std::uint32_t tag = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
                              std::uint32_t(data[3]) << 24;
    CMemoryReader reader(data, size);
    if (tag == kTagPreset) {
        CAudioPreset preset;
        if (CError* err = preset.loadCompressed(reader)) {
            error = "damaged preset or state record:\n" + take(err);
            return false;
        }
        return describePreset(preset, "", out, error);
    }
    if (tag == kTagBank) {
        CAudioPresetBank bank;
        if (CError* err = bank.loadCompressed(reader)) {
            error = "damaged bank record:\n" + take(err);
            return false;
        }
        out += "bank " + quoted(bank.getName()) + ", " + std::to_string(bank.getCount()) + " presets\n";
        bool ok = true;
        for (int i = 0; i < bank.getCount(); ++i) {
            out += "  #" + std::to_string(i) + " ";
            if (!describePreset(*bank.getPreset(i), "", out, error)) ok = false;
        }
        return ok;
    }
    error = "not a preset, bank or plug-in state record (record tag '" + tagText(tag) + "')";
    return false;
}

bool inspectRecordFile(const std::string& path, std::string& out, std::string& error) {
    CFileReader file;
    if (CError* err = file.open(CString(path.c_str()))) {
        error = "cannot open '" + path + "':\n" + take(err);
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (;;) {
        std::int32_t got = sizeof chunk;
        if (CError* err = file.readUpTo(chunk, got)) {
            error = "cannot read '" + path + "':\n" + take(err);
            return false;
        }
        if (got <= 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > (std::size_t(1) << 30)) {
            error = "'" + path + "' is too large for a record file";
            return false;
        }
    }
    if (!inspectRecordBytes(bytes.data(), int(bytes.size()), out, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

} // namespace delmaro_tool
