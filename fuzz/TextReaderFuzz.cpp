// libFuzzer target for the text reader behind the hand-written text parsers: any bytes in any of
// its encodings, read as a stream of characters, identifiers, words, hexadecimal values and quoted
// strings, must end (at the end of the text or with an error) without reading outside the text.
// A quoted string that was read, written again with every character escaped, reads back the same.
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/CTextReader.h"
#include "FuzzSupport.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace tal;
using fuzz::check;

namespace {

bool isWordChar(std::uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// The string as a quoted UTF-8 literal in which every character is an 8-digit escape.
std::string escaped(const CString& text) {
    std::string out = "\"";
    char digits[16];
    for (int i = 0; i < text.length(); ++i) {
        std::snprintf(digits, sizeof digits, "\\U%08X", unsigned(text.charAt(i)));
        out += digits;
    }
    return out + "\"";
}

void checkReadsBack(const CString& text) {
    for (int i = 0; i < text.length(); ++i)
        if (text.charAt(i) == 0)
            return;   // a NUL ends the text: not a character a string can hold
    const std::string literal = escaped(text);
    CTextReader again;
    again.openBuffer(CString("again"), literal.data(), literal.size(), false, CTextReader::kUTF8);
    CString back;
    CError* err = again.parseStr(back, nullptr, false);
    check(err == nullptr);
    check(back.length() == text.length());
    for (int i = 0; i < text.length(); ++i)
        check(back.charAt(i) == text.charAt(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 16))
        return 0;
    const int encoding = data[0] & 3;
    const bool commentsOff = (data[0] & 4) != 0;
    CTextReader reader;
    reader.openBuffer(CString("fuzz.txt"), data + 1, size - 1, commentsOff, encoding);
    // Each step consumes at least one character, so the walk ends within the text's length.
    for (std::size_t step = 0; step <= size + 8; ++step) {
        std::uint32_t c = 0;
        CError* err = reader.readChar(c);
        if (err != nullptr || c == 0) {
            delete err;
            return 0;
        }
        const bool escapedChar = reader.isEscaped();
        CTextReader::Position position;
        if ((c == '"' || c == '\'') && !escapedChar) {
            reader.pushBack(c);
            CString text;
            err = reader.parseStr(text, &position, false);
            if (err == nullptr)
                checkReadsBack(text);
        } else if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') && !escapedChar) {
            reader.pushBack(c);
            CString id;
            err = reader.parseId(id, &position, '-', '.');
            check(err != nullptr || id.length() > 0);
        } else if (c >= '0' && c <= '9' && !escapedChar) {
            reader.pushBack(c);
            CString word;
            reader.parseWord(word, &position);
            check(word.length() > 0 && isWordChar(word.charAt(0)));
        } else if (c == '#' && !escapedChar) {
            std::uint32_t value = 0;
            err = reader.readHex((step & 1) != 0 ? -1 : 4, value, reader.getLine(), reader.getColumn());
        }
        if (err != nullptr) {
            delete err;
            return 0;
        }
    }
    check(false);   // the walk did not end with the text
    return 0;
}
