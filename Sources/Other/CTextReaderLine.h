#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CFileReader.h"

#include <cstdint>
#include <vector>

namespace tal {

class CError;
class CString;

// Reads a text file one line at a time, decoding one of four encodings: 0 UTF-8, 1 8-bit
// (each byte one character), 2 16-bit little-endian units, any other value 32-bit little-endian
// units (no surrogate pairing, no byte-order mark). The file is read in windows of the size asked.
// One thread at a time.
class CTextReaderLine {
public:
    static constexpr int kUTF8 = 0;
    static constexpr int kBytes = 1;
    static constexpr int k16Bit = 2;
    static constexpr int k32Bit = 3;

    CTextReaderLine() = default;
    CTextReaderLine(const CTextReaderLine&) = delete;
    CTextReaderLine& operator=(const CTextReaderLine&) = delete;

    // Opens path for reading in the given encoding with a window of windowBytes (at least 4).
    [[nodiscard]] CError* open(const CString& path, int type, int windowBytes);
    // The next line without its line end; carriage returns are dropped wherever they stand.
    // terminator is 10 when a line feed ended the line, 0 at the end of the data (or at a NUL
    // character). The line is 8-bit until a character of 256 or above.
    [[nodiscard]] CError* readLine(CString& line, int& terminator);

private:
    // Next character, 0 at the end of the data.
    [[nodiscard]] CError* getChar(std::uint32_t& c);
    // Moves the unread bytes to the window's start and reads more behind them.
    [[nodiscard]] CError* refill();

    int mType = -1;
    CByteBuffer mWindow;
    CFileReader mFile;
    std::int32_t mReadPos = 0;    // first unread byte in the window
    std::int32_t mUnread = 0;     // unread bytes from mReadPos
    bool mEnded = false;          // the file gave no more bytes
    std::vector<char32_t> mLine;  // the line being gathered
};

} // namespace tal
