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
#include "support/StreamTestHelpers.h"
#include "support/TempFolder.h"

namespace tal::test {

// Every line of an error joined with newlines, for failure output (the error is deleted).
inline std::string takeAllLines(CError* err) {
    if (err == nullptr) return "";
    std::string text;
    for (int i = 0; i < err->lineCount(); ++i) text += std::string(err->line(i).chars8()) + "\n";
    delete err;
    return text;
}

// The text with every character above 127 shown as '?'.
inline std::string asciiOf(const CString& s) {
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
