#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tal::test {

// A byte image under construction, for hand-made audio files in tests and fuzz seeds.
class WaveBytes {
public:
    std::vector<std::uint8_t> bytes;

    WaveBytes& raw(std::initializer_list<std::uint8_t> b) {
        bytes.insert(bytes.end(), b);
        return *this;
    }
    WaveBytes& raw(const std::vector<std::uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    WaveBytes& id(const char* fourChars) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(fourChars[i]));
        return *this;
    }
    WaveBytes& text(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    WaveBytes& zeros(std::size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    WaveBytes& le16(std::uint32_t v) { return raw({std::uint8_t(v), std::uint8_t(v >> 8)}); }
    WaveBytes& le32(std::uint64_t v) { return raw({std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}); }
    WaveBytes& le64(std::uint64_t v) { return le32(v & 0xFFFFFFFFu).le32(v >> 32); }
    WaveBytes& be16(std::uint32_t v) { return raw({std::uint8_t(v >> 8), std::uint8_t(v)}); }
    WaveBytes& be32(std::uint32_t v) { return raw({std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}); }
    // A GUID in file order: data1, data2, data3 little-endian, then data4.
    WaveBytes& guid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::initializer_list<std::uint8_t> d4) {
        return le32(d1).le16(d2).le16(d3).raw(d4);
    }
    // A RIFF chunk: id, 32-bit size of the body, the body and a pad byte when the size is odd.
    WaveBytes& chunk(const char* fourChars, const WaveBytes& body, bool pad = true) {
        id(fourChars).le32(body.bytes.size()).raw(body.bytes);
        if (pad && body.bytes.size() % 2 != 0) bytes.push_back(0);
        return *this;
    }
    // An AIFF chunk: the same with a big-endian size.
    WaveBytes& chunkBE(const char* fourChars, const WaveBytes& body) {
        id(fourChars).be32(std::uint32_t(body.bytes.size())).raw(body.bytes);
        if (body.bytes.size() % 2 != 0) bytes.push_back(0);
        return *this;
    }
    std::size_t size() const { return bytes.size(); }
};

// The Wave64 GUIDs of the chunks the tests build.
inline WaveBytes& w64Guid(WaveBytes& b, const char* which) {
    const std::string w(which);
    if (w == "riff") return b.guid(0x66666972, 0x912E, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00});
    const std::initializer_list<std::uint8_t> tail = {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
    if (w == "wave") return b.guid(0x65766177, 0xACF3, 0x11D3, tail);
    if (w == "fmt ") return b.guid(0x20746D66, 0xACF3, 0x11D3, tail);
    if (w == "data") return b.guid(0x61746164, 0xACF3, 0x11D3, tail);
    if (w == "bext") return b.guid(0x74786562, 0xACF3, 0x11D3, tail);
    if (w == "summary") return b.guid(0x925F94BC, 0x525A, 0x11D2, {0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A});
    if (w == "marker") return b.guid(0xABF76256, 0x392D, 0x11D2, {0x86, 0xC7, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A});
    return b.guid(0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8});   // an unknown chunk
}

// A Wave64 chunk: GUID, 64-bit size counting the 24-byte header, the body, zero pad to 8 bytes.
inline WaveBytes& w64Chunk(WaveBytes& b, const char* which, const WaveBytes& body) {
    w64Guid(b, which).le64(body.bytes.size() + 24).raw(body.bytes);
    while (b.bytes.size() % 8 != 0) b.bytes.push_back(0);
    return b;
}

// A plain PCM or float "fmt " body.
inline WaveBytes fmtBody(std::uint32_t tag, std::uint32_t channels, std::uint32_t rate, std::uint32_t blockAlign, std::uint32_t bits) {
    WaveBytes b;
    b.le16(tag).le16(channels).le32(rate).le32(rate * blockAlign).le16(blockAlign).le16(bits);
    return b;
}

// A RIFF WAVE file: "RIFF", the size of everything after it, "WAVE", then the given chunks.
inline WaveBytes riffFile(const WaveBytes& chunks, const char* container = "RIFF") {
    WaveBytes b;
    b.id(container).le32(chunks.bytes.size() + 4).id("WAVE").raw(chunks.bytes);
    return b;
}

} // namespace tal::test
