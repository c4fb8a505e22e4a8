#pragma once
#include "Core/CPoolAllocated.h"
#include "Core/CError.h"
#include "Core/CString.h"

#include <cstdint>
#include <vector>

namespace tal {

class CFileReader;

// Reads a whole text into memory and hands it out as characters and small tokens for hand-written
// parsers of C-like text. It tracks line and column, skips the blanks at the start of every line,
// removes "//" and "/* */" comments, resolves backslash escapes and parses identifiers, hexadecimal
// values and quoted strings; every error names the file, the line and the column. A line beginning
// with "//$" is a directive, handed to onDirective (the base skips it).
// One reader per text, used on one thread.
class CTextReader : public CPoolAllocated {
public:
    enum Encoding { kUTF8 = 0, kUTF16 = 1, kUTF32 = 2, kLatin1 = 3 };   // 16 and 32 bits in machine order

    // Where a token began.
    struct Position {
        int line = 0;
        int column = 0;
        CString file;
    };

    // --- life cycle ---
    CTextReader() = default;
    CTextReader(const CTextReader&) = delete;
    CTextReader& operator=(const CTextReader&) = delete;
    virtual ~CTextReader();

    // Reads the whole file from its start; `name` in errors is the file's path. Errors: the file's.
    [[nodiscard]] CError* open(CFileReader& file, bool commentsOff, int encoding);
    // Takes a copy of the text's bytes; `name` is the file name the errors give. Reading starts at
    // line 1. commentsOff: comments are read as ordinary characters.
    void openBuffer(const CString& name, const void* bytes, std::size_t size, bool commentsOff, int encoding);

    // --- reading ---
    // The next character with its filtering (CR dropped, blanks at line start dropped); 0 at the end.
    std::uint32_t readRawChar();
    // The next character after comments and escapes; 0 at the end. Errors: an unfinished block
    // comment, a backslash at the end, a bad hexadecimal escape, a directive's error.
    [[nodiscard]] CError* readChar(std::uint32_t& c);
    // Hands the last character back; the next read returns it with its position again.
    void pushBack(std::uint32_t c);
    // count 4 or 8: exactly that many hexadecimal digits; -1: as many as follow, at least one.
    [[nodiscard]] CError* readHex(int count, std::uint32_t& value, int escapeLine, int escapeColumn);
    // An identifier: letters, "_", extra1 and extra2, and digits after the first character. The
    // character that ends it is handed back. position (may be null) gets where it began.
    [[nodiscard]] CError* parseId(CString& id, Position* position, std::uint32_t extra1 = 0, std::uint32_t extra2 = 0);
    // A string in double or single quotes, with escapes; directly adjacent strings in the same quotes
    // are joined. With allowBare, a word (parseWord) may stand for it.
    [[nodiscard]] CError* parseStr(CString& text, Position* position, bool allowBare);
    // Letters, digits, "-" and "_" up to the first other character, which is handed back.
    void parseWord(CString& word, Position* position);

    // Appends one character to text, switching it to 32-bit characters for code points above 255.
    static void appendCodePoint(CString& text, std::uint32_t c);

    // --- queries ---
    int getLine() const noexcept { return mLine; }
    int getColumn() const noexcept { return mColumn; }
    const CString& getName() const noexcept { return mName; }
    bool isEscaped() const noexcept { return mEscaped; }     // the last character came from an escape

protected:
    // Handles a directive; the reader stands after "//$". The base skips the rest of the line.
    [[nodiscard]] virtual CError* onDirective();

private:
    struct PushedChar {
        std::uint32_t c;
        int line;
        int column;
        bool escaped;
    };

    std::uint32_t decode();
    // Skips a block comment that began at (line, column); the reader stands after "/*".
    [[nodiscard]] CError* skipCommentBlock(int line, int column);
    [[nodiscard]] CError* positionError(CErrorSite message, int line, int column);
    void skipLine();

    CString mName;
    std::vector<unsigned char> mData;
    std::size_t mPos = 0;
    int mEncoding = kUTF8;
    int mLine = 1;                       // position of the last character read
    int mColumn = 0;
    std::vector<PushedChar> mPushed;
    bool mCommentsOff = false;
    bool mAtLineStart = true;
    bool mNewlinePending = false;        // the last character decoded was a newline
    bool mSwallowNewline = false;
    bool mEscaped = false;
    bool mInDirective = false;
};

} // namespace tal
