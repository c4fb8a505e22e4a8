#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tal {

// Writes compiled descriptions byte by byte for tests, independently of the compiler: strings are
// numbered in the order they are first given (no sorting, no dedup beyond exact repeats), and the
// layout can be broken on purpose by editing `bytes()` afterwards.
class CDescriptionBytes {
public:
    // The index of a string, added on first use.
    std::uint16_t str(const std::string& s) {
        for (std::size_t i = 0; i < mStrings.size(); ++i)
            if (mStrings[i] == s) return std::uint16_t(i);
        mStrings.push_back(s);
        return std::uint16_t(mStrings.size() - 1);
    }
    // Node stream writers.
    CDescriptionBytes& u8(std::uint8_t v) { mNodes.push_back(v); return *this; }
    CDescriptionBytes& u16(std::uint16_t v) { put(mNodes, v, 2); return *this; }
    CDescriptionBytes& u32(std::uint32_t v) { put(mNodes, v, 4); return *this; }
    // An element header: kind 0 and the attribute pairs; children are written after childCount.
    CDescriptionBytes& element(std::vector<std::pair<std::string, std::string>> attrs) {
        u8(0).u16(std::uint16_t(attrs.size()));
        for (auto& [k, v] : attrs) {
            const std::uint16_t ki = str(k);
            u16(ki).u16(str(v));
        }
        return *this;
    }
    CDescriptionBytes& childCount(std::uint16_t n) { return u16(n); }
    CDescriptionBytes& child(const std::string& tag, const std::string& name) {
        const std::uint16_t t = str(tag);
        return u16(t).u16(str(name));
    }
    // A childless element.
    CDescriptionBytes& leaf(std::vector<std::pair<std::string, std::string>> attrs = {}) {
        return element(std::move(attrs)).childCount(0);
    }
    // A template body node whose body is the bytes of `body`'s node stream.
    CDescriptionBytes& templ(const std::string& bodyTag, const std::vector<std::uint8_t>& bodyNodes) {
        const std::uint16_t t = str(bodyTag);
        u8(1).u16(t).u32(std::uint32_t(bodyNodes.size() + 4)).u32(t);
        mNodes.insert(mNodes.end(), bodyNodes.begin(), bodyNodes.end());
        return *this;
    }
    std::vector<std::uint8_t>& nodes() { return mNodes; }

    // The whole description: the table with strings in index order, root tag index 0, the nodes.
    // Call str("") before anything else to make index 0 the empty root tag.
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out;
        put(out, std::uint32_t(mStrings.size()), 4);
        std::uint32_t area = std::uint32_t(4 * mStrings.size());
        std::vector<std::uint8_t> text;
        std::vector<std::uint32_t> offsets;
        for (const std::string& s : mStrings) {
            offsets.push_back(area);
            text.insert(text.end(), s.begin(), s.end());
            text.push_back(0);
            area += std::uint32_t(s.size() + 1);
        }
        put(out, area, 4);
        for (std::uint32_t o : offsets) put(out, o, 4);
        out.insert(out.end(), text.begin(), text.end());
        put(out, 0, 4);
        out.insert(out.end(), mNodes.begin(), mNodes.end());
        return out;
    }

private:
    static void put(std::vector<std::uint8_t>& to, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) to.push_back(std::uint8_t(v >> (8 * i)));
    }
    std::vector<std::string> mStrings;
    std::vector<std::uint8_t> mNodes;
};

} // namespace tal
