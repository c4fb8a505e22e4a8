#pragma once
#include <string>

// The text form of a record file for "delmaro-tool inspect": a preset file (also the plug-in state
// the host saves and the default preset: compressed record 'aprs'), a bank file or the factory bank
// (compressed record 'abnk'). Each entry is shown with its definition name and its values.
namespace delmaro_tool {

// Reads the file and appends its description to out. Returns false with a one-paragraph reason in
// error when the file cannot be read or is damaged; out then holds what could be shown before.
bool inspectRecordFile(const std::string& path, std::string& out, std::string& error);
// The same for the bytes of a file already in memory.
bool inspectRecordBytes(const unsigned char* data, int size, std::string& out, std::string& error);

} // namespace delmaro_tool
