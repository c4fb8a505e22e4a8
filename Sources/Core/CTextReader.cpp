#include "Core/CTextReader.h"

#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/Utf8.h"

#include <cstring>

namespace tal {

namespace {

bool isIdStart(std::uint32_t c, std::uint32_t extra1, std::uint32_t extra2) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c != 0 && (c == extra1 || c == extra2));
}
bool isDigit(std::uint32_t c) { return c >= '0' && c <= '9'; }

} // namespace

CTextReader::~CTextReader() = default;

void CTextReader::appendCodePoint(CString& text, std::uint32_t c) {
    if (c > 255 && !text.isWide())
        text.widen(text.length());
    const int length = text.length();
    text.setLength(length + 1, true);
    if (text.isWide())
        text.chars32()[length] = char32_t(c);
    else
        text.chars8()[length] = char(c);
}

CError* CTextReader::open(CFileReader& file, bool commentsOff, int encoding) {
    std::int32_t size = 0;
    if (CError* error = file.getSizeInt(size))
        return traceError(error);
    if (CError* error = file.setPosition(0))
        return traceError(error);
    std::vector<unsigned char> bytes(std::size_t(size), 0);
    if (CError* error = file.read(bytes.data(), size))
        return traceError(error);
    openBuffer(file.path(), bytes.data(), bytes.size(), commentsOff, encoding);
    return nullptr;
}

void CTextReader::openBuffer(const CString& name, const void* bytes, std::size_t size, bool commentsOff,
                             int encoding) {
    mName = name;
    const unsigned char* first = static_cast<const unsigned char*>(bytes);
    mData.assign(first, first + size);
    mPos = 0;
    mEncoding = encoding;
    mLine = 1;
    mColumn = 0;
    mPushed.clear();
    mCommentsOff = commentsOff;
    mAtLineStart = true;
    mNewlinePending = false;
    mSwallowNewline = false;
    mEscaped = false;
    mInDirective = false;
}

std::uint32_t CTextReader::decode() {
    const std::size_t left = mData.size() - mPos;
    const unsigned char* p = mData.data() + mPos;
    switch (mEncoding) {
    case kLatin1:
        if (left < 1)
            return 0;
        ++mPos;
        return p[0];
    case kUTF16: {
        if (left < 2)
            return 0;
        std::uint16_t unit;
        std::memcpy(&unit, p, 2);
        mPos += 2;
        return unit;                     // zero-extended: units from 0x8000 up are characters too
    }
    case kUTF32: {
        if (left < 4)
            return 0;
        std::uint32_t unit;
        std::memcpy(&unit, p, 4);
        mPos += 4;
        return unit;
    }
    default:
        for (;;) {
            if (mPos >= mData.size())
                return 0;
            const unsigned char lead = mData[mPos];
            int count;
            std::uint32_t c;
            if (lead < 0x80) {
                count = 1;
                c = lead;
            } else if ((lead & 0xE0) == 0xC0) {
                count = 2;
                c = lead & 0x1F;
            } else if ((lead & 0xF0) == 0xE0) {
                count = 3;
                c = lead & 0x0F;
            } else if ((lead & 0xF8) == 0xF0) {
                count = 4;
                c = lead & 0x07;
            } else {
                ++mPos;                  // cannot start a sequence: skipped
                continue;
            }
            if (mData.size() - mPos < std::size_t(count)) {
                mPos = mData.size();
                return 0;
            }
            for (int i = 1; i < count; ++i)
                c = (c << 6) | (mData[mPos + std::size_t(i)] & 0x3F);
            if (!isEncodableCodePoint(c)) {
                ++mPos;                  // a surrogate or past U+10FFFF: the lead byte is skipped
                continue;
            }
            mPos += std::size_t(count);
            return c;
        }
    }
}

std::uint32_t CTextReader::readRawChar() {
    if (!mPushed.empty()) {
        const PushedChar pushed = mPushed.back();
        mPushed.pop_back();
        mLine = pushed.line;
        mColumn = pushed.column;
        mEscaped = pushed.escaped;
        mNewlinePending = pushed.c == '\n' && !pushed.escaped;
        return pushed.c;
    }
    mEscaped = false;
    for (;;) {
        const std::uint32_t c = decode();
        if (c == 0)
            return 0;
        if (c == '\r')
            continue;
        if (mNewlinePending) {
            ++mLine;
            mColumn = 1;
        } else {
            ++mColumn;
        }
        mNewlinePending = c == '\n';
        if (c == '\t')
            mColumn = (mColumn + 3) / 4 * 4;
        if (c == '\n') {
            mAtLineStart = true;
            if (mSwallowNewline) {
                mSwallowNewline = false;
                continue;
            }
            return c;
        }
        if (mAtLineStart) {
            if (c == ' ' || c == '\t')
                continue;
            mAtLineStart = false;
        }
        return c;
    }
}

void CTextReader::pushBack(std::uint32_t c) { mPushed.push_back(PushedChar{c, mLine, mColumn, mEscaped}); }

CError* CTextReader::positionError(CErrorSite message, int line, int column) {
    return newError(message, CString::emptyString, mName, CString(line), CString(column));
}

void CTextReader::skipLine() {
    for (std::uint32_t c = readRawChar(); c != 0 && c != '\n'; c = readRawChar()) {
    }
}

CError* CTextReader::onDirective() {
    skipLine();
    return nullptr;
}

CError* CTextReader::skipCommentBlock(int line, int column) {
    std::uint32_t previous = 0;
    for (;;) {
        const std::uint32_t c = readRawChar();
        if (c == 0)
            return positionError("@talstr_CTextReader_skipCommentBlock_UnfinishedComment Unfinished comment (file "
                                 "'%1', line %2, pos %3).",
                                 line, column);
        if (previous == '*' && c == '/')
            break;
        previous = c;
    }
    mAtLineStart = true;
    return nullptr;
}

CError* CTextReader::readChar(std::uint32_t& c) {
    for (;;) {
        c = readRawChar();
        if (mEscaped)                            // a pushed-back escape result stays what it was
            return nullptr;
        if (c == '/' && !mCommentsOff && !mInDirective) {
            const int line = mLine, column = mColumn;
            const std::uint32_t next = readRawChar();
            if (next == '/') {
                const std::uint32_t third = readRawChar();
                if (third == '$') {
                    mInDirective = true;
                    CError* error = onDirective();
                    mInDirective = false;
                    if (error != nullptr)
                        return traceError(error);
                } else if (third != '\n' && third != 0) {
                    skipLine();
                }
                continue;
            }
            if (next == '*') {
                if (CError* error = skipCommentBlock(line, column))
                    return traceError(error);
                continue;
            }
            if (next != 0)
                pushBack(next);
            mLine = line;
            mColumn = column;
            c = '/';
            return nullptr;
        }
        if (c != '\\')
            return nullptr;
        const int line = mLine, column = mColumn;
        const std::uint32_t e = readRawChar();
        switch (e) {
        case 0:
            return positionError("@talstr_CTextReader_readChar_PrematureEOF Premature end of file (file '%1', line "
                                 "%2, pos %3).",
                                 line, column);
        case '\n':
            continue;                            // line continuation
        case ' ':
        case '\t':
            mSwallowNewline = true;
            continue;
        case 'b': c = 8; break;
        case 'n': c = 10; break;
        case 'r': c = 13; break;
        case 't': c = 9; break;
        case 'u':
            if (CError* error = readHex(4, c, line, column))
                return traceError(error);
            break;
        case 'U':
            if (CError* error = readHex(8, c, line, column))
                return traceError(error);
            break;
        case 'x':
            if (CError* error = readHex(-1, c, line, column))
                return traceError(error);
            break;
        default:
            c = e;
            break;
        }
        mLine = line;
        mColumn = column;
        mEscaped = true;
        return nullptr;
    }
}

CError* CTextReader::readHex(int count, std::uint32_t& value, int escapeLine, int escapeColumn) {
    value = 0;
    int digits = 0;
    while (count < 0 || digits < count) {
        const std::uint32_t c = readRawChar();
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (count >= 0)
            return positionError("@talstr_CTextReader_readHex_InvalidHexValue Invalid hexadecimal value (file '%1', "
                                 "line %2, pos %3).",
                                 escapeLine, escapeColumn);
        else {
            if (c != 0)
                pushBack(c);
            if (digits == 0)
                return positionError("@talstr_CTextReader_readHex_EmptyHexValue Empty hexadecimal value (file "
                                     "'%1', line %2, pos %3).",
                                     escapeLine, escapeColumn);
            return nullptr;
        }
        value = value * 16 + digit;
        ++digits;
    }
    return nullptr;
}

CError* CTextReader::parseId(CString& id, Position* position, std::uint32_t extra1, std::uint32_t extra2) {
    id = CString();
    for (;;) {
        std::uint32_t c = 0;
        if (CError* error = readChar(c))
            return traceError(error);
        const bool first = id.isEmpty();
        if (first && isDigit(c))
            return newError("@talstr_CTextReader_parseId_InvalidChar Invalid character '%1' encountered "
                                     "(file '%2', line %3, pos %4).", CString::emptyString, CString(int(c)), mName, CString(mLine), CString(mColumn));
        if (isIdStart(c, extra1, extra2) || (!first && isDigit(c))) {
            if (first && position != nullptr)
                *position = Position{mLine, mColumn, mName};
            appendCodePoint(id, c);
            continue;
        }
        if (!first) {
            if (c != 0)
                pushBack(c);
            return nullptr;
        }
        if (c == 0)
            return positionError("@talstr_CTextReader_parseId_prematureEOF Premature end of file (file '%1', line %2, "
                                 "pos %3).",
                                 mLine, mColumn);
        // Not an identifier at all: name the character rather than claim the text ended.
        return newError("@talstr_CTextReader_parseId_InvalidChar Invalid character '%1' encountered (file "
                                 "'%2', line %3, pos %4).", CString::emptyString, CString(int(c)), mName, CString(mLine), CString(mColumn));
    }
}

void CTextReader::parseWord(CString& word, Position* position) {
    word = CString();
    for (;;) {
        const std::uint32_t c = readRawChar();
        const bool wordChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '-' || c == '_';
        if (!wordChar) {
            if (c != 0)
                pushBack(c);
            return;
        }
        if (word.isEmpty() && position != nullptr)
            *position = Position{mLine, mColumn, mName};
        appendCodePoint(word, c);
    }
}

CError* CTextReader::parseStr(CString& text, Position* position, bool allowBare) {
    text = CString();
    const bool commentsOff = mCommentsOff;
    mCommentsOff = true;
    CError* error = nullptr;
    std::uint32_t c = 0;
    if ((error = readChar(c)) != nullptr) {
        mCommentsOff = commentsOff;
        return traceError(error);
    }
    const std::uint32_t quote = c;
    if ((quote != '"' && quote != '\'') || mEscaped) {
        if (allowBare) {
            if (c != 0)
                pushBack(c);
            parseWord(text, position);
        } else {
            error = positionError("@talstr_CTextReader_parseStr_StringStartExpected String's starting quote expected "
                                  "(file '%1', line %2, pos %3).",
                                  mLine, mColumn);
        }
        mCommentsOff = commentsOff;
        return error;
    }
    if (position != nullptr)
        *position = Position{mLine, mColumn, mName};
    for (;;) {
        if ((error = readChar(c)) != nullptr) {
            error = traceError(error);
            break;
        }
        if (c == 0) {
            error = positionError("@talstr_CTextReader_parseStr_PrematureEOF Premature end of file when reading "
                                  "string (file '%1', line %2, pos %3).",
                                  mLine, mColumn);
            break;
        }
        if (c == '\n' && !mEscaped) {
            error = positionError("@talstr_CTextReader_parseStr_UnfinishedLine Unfinished line when reading string "
                                  "(file '%1', line %2, pos %3).",
                                  mLine, mColumn);
            break;
        }
        if (c == quote && !mEscaped) {
            std::uint32_t next = 0;
            if ((error = readChar(next)) != nullptr) {
                error = traceError(error);
                break;
            }
            if (next == quote && !mEscaped)
                continue;                        // "ab""cd" reads as one string
            if (next != 0)
                pushBack(next);
            break;
        }
        appendCodePoint(text, c);
    }
    mCommentsOff = commentsOff;
    return error;
}

} // namespace tal
