#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tal {

// Builds expected record bytes by hand: little-endian integers and doubles, stream strings.
class LeBytes {
public:
    LeBytes& i32(std::int32_t v) {
        for (int i = 0; i < 4; ++i) mBytes.push_back(std::uint8_t(std::uint32_t(v) >> (8 * i)));
        return *this;
    }
    LeBytes& f64(double v) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i) mBytes.push_back(std::uint8_t(bits >> (8 * i)));
        return *this;
    }
    // A stream string: byte count, then the bytes (ASCII here).
    LeBytes& str(const std::string& s) {
        i32(std::int32_t(s.size()));
        mBytes.insert(mBytes.end(), s.begin(), s.end());
        return *this;
    }
    LeBytes& raw(const std::vector<std::uint8_t>& b) {
        mBytes.insert(mBytes.end(), b.begin(), b.end());
        return *this;
    }
    const std::vector<std::uint8_t>& bytes() const { return mBytes; }
    std::int32_t size() const { return std::int32_t(mBytes.size()); }
    const std::uint8_t* data() const { return mBytes.data(); }

private:
    std::vector<std::uint8_t> mBytes;
};

} // namespace tal
