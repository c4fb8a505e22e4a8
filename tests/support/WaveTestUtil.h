#pragma once
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CString.h"
#include "Other/CWaveFile.h"

namespace tal::test {

// The message line of an error (then deleted), or "<no error>".
inline std::string takeMessage(CError* err) {
    if (err == nullptr) return "<no error>";
    const std::string message = err->message().chars8();
    delete err;
    return message;
}

// Every line of an error joined with newlines, for failure output (the error is deleted).
inline std::string takeAllLines(CError* err) {
    if (err == nullptr) return "";
    std::string text;
    for (int i = 0; i < err->lineCount(); ++i) text += std::string(err->line(i).chars8()) + "\n";
    delete err;
    return text;
}

inline std::string str(const CString& s) {
    std::string out;
    for (int i = 0; i < s.length(); ++i) {
        const std::uint32_t c = s.charAt(i);
        out += c < 128 ? char(c) : '?';
    }
    return out;
}

// A wave file read from a byte image in memory.
class MemoryWave {
public:
    explicit MemoryWave(std::vector<std::uint8_t> bytes)
        : mBytes(std::move(bytes)), mReader(mBytes.data(), static_cast<std::int32_t>(mBytes.size())) {}
    MemoryWave(const MemoryWave&) = delete;
    MemoryWave& operator=(const MemoryWave&) = delete;

    // Opens the image; the error text ("" on success).
    std::string open() { return takeAllLines(wave.openFile(&mReader)); }
    std::string openMessage() { return takeMessage(wave.openFile(&mReader)); }

    CMemoryReader& reader() { return mReader; }

    CWaveFile wave;

private:
    std::vector<std::uint8_t> mBytes;
    CMemoryReader mReader;
};

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "talwaveXXXXXX").string();
        mPath = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string file(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Reads every remaining frame of an open file, one vector per channel.
inline std::vector<std::vector<double>> readAll(CWaveFile& wave, std::int32_t block = 1000) {
    std::vector<std::vector<double>> channels(static_cast<std::size_t>(wave.channelCount));
    std::vector<std::vector<double>> chunk(channels.size(), std::vector<double>(static_cast<std::size_t>(block)));
    std::vector<double*> pointers;
    for (auto& c : chunk) pointers.push_back(c.data());
    for (;;) {
        std::int32_t got = 0;
        CError* err = wave.readSamples(pointers.data(), block, got);
        if (err != nullptr) {
            ADD_FAILURE() << takeAllLines(err);
            break;
        }
        if (got <= 0) break;
        for (std::size_t ch = 0; ch < channels.size(); ++ch) channels[ch].insert(channels[ch].end(), chunk[ch].begin(), chunk[ch].begin() + got);
    }
    return channels;
}

} // namespace tal::test
