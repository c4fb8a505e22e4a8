#include "Other/CWaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CSeedCounter.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Log.h"

namespace tal {

namespace {

using Loc = std::source_location;

constexpr std::int64_t kMaxTextBytes = 131072;        // longest text chunk or item accepted
constexpr std::uint64_t kMaxLoops = 8192;
constexpr std::uint64_t kMaxSamplerData = 1048576;
constexpr std::uint64_t kMaxSize64 = 1ull << 62;        // 64-bit sizes at or above this are rejected
constexpr std::int32_t kDecodeTile = 256;               // frames decoded per channel at a time

// A four-character code as the little-endian number of its bytes in file order.
constexpr std::uint32_t fourCC(const char (&s)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[3])) << 24;
}

constexpr std::uint32_t kRIFF = fourCC("RIFF"), kRF64 = fourCC("RF64"), kFORM = fourCC("FORM"), kW64 = fourCC("riff");
constexpr std::uint32_t kWAVE = fourCC("WAVE"), kFmt = fourCC("fmt "), kDs64 = fourCC("ds64"), kLIST = fourCC("LIST");
constexpr std::uint32_t kData = fourCC("data"), kSmpl = fourCC("smpl"), kBext = fourCC("bext"), kCue = fourCC("cue ");
constexpr std::uint32_t kINFO = fourCC("INFO"), kAdtl = fourCC("adtl"), kLabl = fourCC("labl"), kLtxt = fourCC("ltxt");
constexpr std::uint32_t kRgn = fourCC("rgn ");
constexpr std::uint32_t kAIFF = fourCC("AIFF"), kAIFC = fourCC("AIFC"), kCOMM = fourCC("COMM"), kSSND = fourCC("SSND");
constexpr std::uint32_t kNAME = fourCC("NAME"), kAUTH = fourCC("AUTH"), kCopy = fourCC("(c) "), kANNO = fourCC("ANNO");
constexpr std::uint32_t kNONE = fourCC("NONE"), kSowt = fourCC("sowt"), kFl32 = fourCC("fl32"), kFL32 = fourCC("FL32");
constexpr std::uint32_t kFl64 = fourCC("fl64");
constexpr std::uint32_t kW64SummaryId = 1, kW64MarkerId = 2;   // walk ids of the two Wave64-only chunks

// --- errors: every error of this class passes through these two ---

CError* fail(const Loc& loc, const char* message, const CString& a1 = CString::emptyString,
             const CString& a2 = CString::emptyString, const CString& a3 = CString::emptyString,
             const CString& a4 = CString::emptyString) {
    return newError(CErrorSite(message, loc), CString::emptyString, a1, a2, a3, a4);
}

CError* trace(CError* err, const Loc& loc = Loc::current()) { return traceError(err, CString::emptyString, loc); }

CString num(std::int64_t v) { return CString(v); }

CString unum(std::uint64_t v) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    CString text;
    for (int i = n - 1; i >= 0; --i) text.appendChar(digits[i]);
    return text;
}

// --- texts ---

// An 8-bit text from file bytes, cut at the first NUL.
void setText8(CString& out, const std::uint8_t* bytes, std::uint32_t count) {
    const std::size_t n = bytes ? strnlen(reinterpret_cast<const char*>(bytes), count) : 0;
    out = CString(reinterpret_cast<const char*>(bytes), static_cast<int>(n));
}

// Appends one character, switching the text to 32-bit characters at the first above 255.
void appendCode(CString& text, std::uint32_t code) {
    const int n = text.length();
    if (code > 255 && !text.isWide()) text.widen(n);
    text.setLength(n + 1, true);
    if (text.isWide())
        text.chars32()[n] = static_cast<char32_t>(code);
    else
        text.chars8()[n] = static_cast<char>(code);
}

// The four bytes of a code in file order as text.
CString fourCCText(std::uint32_t code) {
    const char s[4] = {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8 & 0xFF), static_cast<char>(code >> 16 & 0xFF),
                       static_cast<char>(code >> 24)};
    return CString(s, 4);
}

// A code read from a file for a message: its four characters when all are printable ASCII, else
// its value as a decimal number.
CString printableOr(std::uint32_t code) {
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t c = code >> (8 * i) & 0xFF;
        if (c < 0x20 || c > 0x7E) return unum(code);
    }
    return fourCCText(code);
}

std::uint32_t le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

// The 8-bit characters of a text for a file field; a character above 255 becomes '?'.
std::uint8_t byteOf(const CString& s, std::int32_t i) {
    const std::uint32_t c = s.charAt(i);
    return c > 255 ? '?' : static_cast<std::uint8_t>(c);
}

// Frame positions scaled to another sample rate, to the nearest integer (halves away from zero),
// limited to what the field can hold.
std::int64_t scaleSigned(std::int64_t v, double rate, double otherRate) {
    const double x = CWaveSampleCodec::roundHalfAway(static_cast<double>(v) * rate * (1.0 / otherRate));
    if (!(x > -9223372036854775808.0)) return std::numeric_limits<std::int64_t>::min();
    if (x >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(x);
}

std::uint64_t scaleUnsigned(std::uint64_t v, double rate, double otherRate) {
    const double x = CWaveSampleCodec::roundHalfAway(static_cast<double>(v) * rate * (1.0 / otherRate));
    if (!(x > 0.0)) return 0;
    if (x >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(x);
}

// A sample rate as the whole number the file fields hold (0 for NaN, limited to 32 bits).
std::uint32_t wholeRate(double rate) {
    const double r = CWaveSampleCodec::roundHalfAway(rate);
    if (!(r > 0.0)) return 0;
    return r >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(r);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Life cycle

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile() {
    reportError(fileWriter.close());
    destroyBroadcastInfo();
    destroySamplerInfo();
    destroyMarkers();
}

// ---------------------------------------------------------------------------------------------
// Shared helpers of the chunk readers

CError* CWaveFile::checkDataLeft(std::int64_t& left, std::int64_t required, Loc loc) {
    if (required >= 0 && left >= required) {
        left -= required;
        return nullptr;
    }
    return fail(loc, "@talstr_CWaveFile_checkDataLeft_DataError Data composition error (left %1, required %2).", num(left),
                num(required));
}

CError* CWaveFile::readBytes(void* dst, std::int64_t count, Loc loc) {
    if (CError* err = input->read(dst, static_cast<std::int32_t>(count))) return trace(err, loc);
    return nullptr;
}

CError* CWaveFile::readU16(std::uint32_t& v, bool bigEndian, Loc loc) {
    std::uint8_t b[2];
    if (CError* err = readBytes(b, 2, loc)) return err;
    v = bigEndian ? (b[0] << 8 | b[1]) : (b[0] | b[1] << 8);
    return nullptr;
}

CError* CWaveFile::readU32(std::uint32_t& v, bool bigEndian, Loc loc) {
    std::uint8_t b[4];
    if (CError* err = readBytes(b, 4, loc)) return err;
    v = bigEndian ? (static_cast<std::uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]) : le32(b);
    return nullptr;
}

CError* CWaveFile::readU64(std::uint64_t& v, Loc loc) {
    std::uint8_t b[8];
    if (CError* err = readBytes(b, 8, loc)) return err;
    v = le32(b) | static_cast<std::uint64_t>(le32(b + 4)) << 32;
    return nullptr;
}

CError* CWaveFile::readGUID(CWaveGUID& out) {
    std::uint8_t b[16];
    if (CError* err = readBytes(b, 16)) return err;
    out.data1 = le32(b);
    out.data2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    out.data3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    std::memcpy(out.data4, b + 8, 8);
    return nullptr;
}

CError* CWaveFile::seekTo(std::int64_t position, Loc loc) {
    if (CError* err = input->setPosition(static_cast<std::uint64_t>(position))) return trace(err, loc);
    return nullptr;
}

CError* CWaveFile::readText(CString& out, std::uint32_t size) {
    CByteBuffer bytes(static_cast<std::int32_t>(size));
    if (CError* err = readBytes(bytes.data(), size)) return err;
    setText8(out, bytes.data(), size);
    return nullptr;
}

CError* CWaveFile::readBWFString(CString& out, std::int64_t size, std::int64_t& left) {
    if (size <= 0) {
        setText8(out, nullptr, 0);
        return nullptr;
    }
    if (size > kMaxTextBytes)
        return fail(Loc::current(), "@talstr_CWaveFile_readBWFString_StringTooLong Invalid or unsupported textual string detected (l=%1).",
                    num(size));
    if (CError* err = checkDataLeft(left, size)) return err;
    return readText(out, static_cast<std::uint32_t>(size));
}

CError* CWaveFile::readUnicodeString(CString& out, std::uint32_t byteCount, std::int64_t& left) {
    if (byteCount > kMaxTextBytes)
        return fail(Loc::current(),
                    "@talstr_CWaveFile_readUnicodeString_StringTooLong Invalid or unsupported textual string detected (l=%1).",
                    unum(byteCount));
    if (CError* err = checkDataLeft(left, byteCount)) return err;
    CByteBuffer bytes(static_cast<std::int32_t>(byteCount));
    if (CError* err = readBytes(bytes.data(), byteCount)) return err;
    setText8(out, nullptr, 0);
    const std::uint8_t* p = bytes.data();
    for (std::uint32_t i = 0; i + 1 < byteCount; i += 2) {
        const std::uint32_t unit = p[i] | p[i + 1] << 8;
        if (unit == 0) break;
        appendCode(out, unit);
    }
    return nullptr;
}

CWaveFile::CMarker* CWaveFile::addMarker() {
    CMarker* marker = new CMarker();
    marker->chunkId = kData;   // the reader keeps only cue points in the data chunk
    markers.add(marker);
    return marker;
}

void CWaveFile::setInfoText(const CString& id, const CString& text) {
    const std::pair<const char*, CString*> fields[5] = {
        {"ISFT", &software}, {"ICMT", &comment}, {"ICOP", &copyright}, {"IENG", &author}, {"INAM", &title}};
    for (const auto& [name, field] : fields) {
        if (id.length() == 4 && id.equals(name)) {
            *field = text;
            return;
        }
    }
    infoTexts.findOrAdd(id)->value = text;
}

// ---------------------------------------------------------------------------------------------
// Opening and the container walks

CError* CWaveFile::open(const CString& path) {
    if (CError* err = fileReader.open(path, false)) return trace(err);
    if (CError* err = openFile(&fileReader)) return trace(err);
    return nullptr;
}

CError* CWaveFile::openFile(CPosInputStream* stream) {
    input = stream;
    mIsReadable = false;
    bufferFrames = bufferIndex = 0;
    isWave64 = hasFormat = hasData = isRF64 = usesDs64Sizes = false;
    isLittleEndian = isUnsigned8 = true;

    std::uint8_t idBytes[4];
    if (CError* err = readBytes(idBytes, 4)) return err;
    const std::uint32_t id = le32(idBytes);
    if (id == kRIFF || id == kRF64) {
        std::uint32_t size = 0;
        if (CError* err = readU32(size)) return err;
        filePos = 8;
        isRF64 = id == kRF64;
        usesDs64Sizes = isRF64 && size == 0xFFFFFFFFu;
        hasDs64 = false;
        if (CError* err = readWAVE(size, size)) return trace(err);
    } else if (id == kFORM) {
        std::uint32_t size = 0;
        if (CError* err = readU32(size, true)) return err;
        filePos = 8;
        isLittleEndian = isUnsigned8 = false;
        if (CError* err = readAIFF(size)) return trace(err);
    } else if (id == kW64) {
        CWaveGUID guid;
        if (CError* err = seekTo(0)) return err;
        if (CError* err = readGUID(guid)) return trace(err);
        if (guid == CWaveGUID::kW64Riff) {
            std::uint64_t size = 0;
            if (CError* err = readU64(size)) return err;
            // A size claim beyond any real file is read like a truncated file: the walk ends at
            // the stream's end.
            const std::int64_t claimed = static_cast<std::int64_t>(std::min(size, kMaxSize64));
            filePos = 24;
            isWave64 = true;
            if (CError* err = readWAVE(claimed - 24, 0)) return trace(err);
        }
    } else {
        return fail(Loc::current(), "@talstr_CWaveFile_openFile_UnrecognizedFileType Unrecognized file type '%1'.",
                    printableOr(id));
    }

    if (!hasFormat || !hasData)
        return fail(Loc::current(), "@talstr_CWaveFile_openFile_InvalidFile File lacks recognized PCM sound data.");
    for (std::int32_t i = 0; i < markers.count(); ++i) {
        markers[i]->blockStart /= blockAlign;
        markers[i]->sampleOffset /= blockAlign;
    }
    frameCount = dataLength / blockAlign;
    mIsReadable = true;
    if (CError* err = setSamplePos(0)) {
        mIsReadable = false;
        return trace(err);
    }
    return nullptr;
}

template <class OnChunk>
CError* CWaveFile::walkChunks(std::int64_t& left, ChunkHeaderReader readHeader, bool countPad, bool endOnBadHeader,
                              OnChunk onChunk) {
    while (left >= 9) {
        std::uint32_t id = 0;
        std::int64_t size = 0, next = 0;
        if (CError* err = (this->*readHeader)(left, id, size, next, countPad)) {
            if (!endOnBadHeader) return trace(err);
            delete err;
            return nullptr;
        }
        if (CError* err = onChunk(id, size)) return trace(err);
        filePos = next;
        // The last chunk's end (its missing pad byte, or a data size beyond a truncated file) is
        // not sought: a file and a memory stream must give the same result for the same bytes.
        if (left < 9) break;
        if (CError* err = seekTo(next)) return err;
    }
    return nullptr;
}

CError* CWaveFile::readWAVE(std::int64_t left, std::uint32_t riffSize) {
    if (isWave64) {
        CWaveGUID form;
        if (CError* err = checkDataLeft(left, 16)) return trace(err);
        if (CError* err = readGUID(form)) return trace(err);
        if (!(form == CWaveGUID::kW64Wave)) return fail(Loc::current(), "@talstr_CWaveFile_readWAVE_InvalidHeader Invalid WAVE64 header.");
        filePos += 16;
    } else {
        std::uint32_t form = 0;
        if (CError* err = checkDataLeft(left, 4)) return trace(err);
        if (CError* err = readU32(form)) return err;
        if (form != kWAVE)
            return fail(Loc::current(), "@talstr_CWaveFile_readWAVE_InvalidHeader Invalid WAVE header ('%1').", printableOr(form));
        filePos += 4;
    }

    const auto onChunk = [&](std::uint32_t id, std::int64_t size) -> CError* {
        switch (id) {
            case kFmt: return readWAVEFormat(size);
            case kDs64: {
                std::int64_t riff64 = 0;
                if (CError* err = readWAVEds64(size, riff64)) return err;
                // Only the first "ds64" chunk resizes the walk, so repeated ones cannot grow it.
                if (usesDs64Sizes && !hasDs64) left += riff64 - riffSize;
                hasDs64 = true;
                return nullptr;
            }
            case kLIST: return readWAVELIST(size);
            case kData:
                dataOffset = filePos;
                dataLength = size;
                hasData = true;
                return nullptr;
            case kSmpl: return readWAVEsmpl(size);
            case kBext: return readWAVEbext(size);
            case kCue: return readWAVEcue(size);
            case kW64SummaryId: return readW64SummaryList(size);
            case kW64MarkerId: return readW64Markers(size);
            default: return nullptr;
        }
    };
    if (CError* err = walkChunks(left, &CWaveFile::readWAVE, false, false, onChunk)) return err;
    if (usesDs64Sizes && !hasDs64) hasFormat = false;
    return nullptr;
}

CError* CWaveFile::readWAVE(std::int64_t& left, std::uint32_t& id, std::int64_t& size, std::int64_t& next, bool countPad) {
    if (isWave64) {
        CWaveGUID guid;
        std::uint64_t size64 = 0;
        if (CError* err = checkDataLeft(left, 24)) return trace(err);
        if (CError* err = readGUID(guid)) return trace(err);
        if (CError* err = readU64(size64)) return err;
        // The size counts the 24-byte header itself: anything smaller (or beyond any real file)
        // cannot be a chunk and would make the walk go backwards or stand still.
        if (size64 < 24 || size64 >= kMaxSize64)
            return fail(Loc::current(), "@talstr_CWaveFile_checkDataLeft_DataError Data composition error (left %1, required %2).",
                        num(left), unum(size64));
        filePos += 24;
        size = static_cast<std::int64_t>(size64) - 24;
        next = filePos + size;
        if (CError* err = checkDataLeft(left, size)) return trace(err);
        if (size % 8 != 0) {
            const std::int64_t pad = 8 - size % 8;
            if (CError* err = checkDataLeft(left, pad)) return trace(err);
            next += pad;
        }
        id = guid == CWaveGUID::kW64Format    ? kFmt
             : guid == CWaveGUID::kW64Data    ? kData
             : guid == CWaveGUID::kW64Bext    ? kBext
             : guid == CWaveGUID::kW64Summary ? kW64SummaryId
             : guid == CWaveGUID::kW64Marker  ? kW64MarkerId
                                              : 0;
        return nullptr;
    }

    std::uint32_t size32 = 0;
    if (CError* err = checkDataLeft(left, 8)) return trace(err);
    if (CError* err = readU32(id)) return err;
    if (CError* err = readU32(size32)) return err;
    size = size32;
    if (usesDs64Sizes && id == kData) {
        if (!hasDs64)
            return fail(Loc::current(),
                        "@talstr_CWaveFile_readWAVE_DS64ChunkNotFound The required 'ds64' chunk not found when loading sample data.");
        size = dataLength;
    }
    filePos += 8;
    next = filePos + size;
    if (CError* err = checkDataLeft(left, size)) return trace(err);
    if (size % 2 != 0) {
        next += 1;
        if (countPad) {
            if (CError* err = checkDataLeft(left, 1)) return trace(err);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// RIFF, RF64 and Wave64 chunks

CError* CWaveFile::readWAVEFormat(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t tag = 0, channels = 0, rate = 0, byteRate = 0, align = 0, bits = 0;
    if (CError* err = checkDataLeft(left, 14)) return trace(err);
    if (CError* err = readU16(tag)) return err;
    if (CError* err = readU16(channels)) return err;
    channelCount = static_cast<std::int32_t>(channels);
    if (channelCount < 1 || channelCount > 256)
        return fail(Loc::current(), "@talstr_CWaveFile_readWAVEFormat_ChannelCountError Unsupported channel count '%1'.",
                    num(channelCount));
    if (CError* err = readU32(rate)) return err;
    if (CError* err = readU32(byteRate)) return err;
    if (CError* err = readU16(align)) return err;
    sampleRate = rate;
    blockAlign = static_cast<std::int32_t>(align);
    physicalBits = blockAlign * 8 / channelCount;

    if (tag == 1 || tag == 3) {
        if (CError* err = checkDataLeft(left, 2)) return trace(err);
        if (CError* err = readU16(bits)) return err;
        isFloat = tag == 3;
        channelMask = 0;
        realBits = static_cast<std::int32_t>(bits);
    } else if (tag == 0xFFFE) {
        std::uint32_t extSize = 0, validBits = 0, mask = 0;
        CWaveGUID subFormat;
        if (CError* err = checkDataLeft(left, 2)) return trace(err);
        if (CError* err = readU16(bits)) return err;
        realBits = static_cast<std::int32_t>(bits);
        if (realBits == 0) return fail(Loc::current(), "@talstr_CWaveFile_readWAVEFormat_WaveExtError Unsupported extensible WAVE format.");
        if (CError* err = checkDataLeft(left, 2)) return trace(err);
        if (CError* err = readU16(extSize)) return err;
        if (extSize <= 21)
            return fail(Loc::current(),
                        "@talstr_CWaveFile_readWAVEFormat_WaveExtErrorSize Unsupported extensible WAVE format (block size '%1').",
                        unum(extSize));
        if (CError* err = checkDataLeft(left, 22)) return trace(err);
        if (CError* err = readU16(validBits)) return err;
        if (CError* err = readU32(mask)) return err;
        if (CError* err = readGUID(subFormat)) return trace(err);
        realBits = static_cast<std::int32_t>(validBits);
        channelMask = mask;
        if (subFormat == CWaveGUID::kSubFormatPCM)
            isFloat = false;
        else if (subFormat == CWaveGUID::kSubFormatFloat)
            isFloat = true;
        else
            return fail(Loc::current(), "@talstr_CWaveFile_readWAVEFormat_WaveExtFmtError Unsupported extensible WAVE format.");
    } else {
        return fail(Loc::current(), "@talstr_CWaveFile_readWAVEFormat_TagError Unsupported format tag '%1'.", unum(tag));
    }
    if (CError* err = checkFormat()) return trace(err);
    return nullptr;
}

CError* CWaveFile::readWAVEds64(std::int64_t size, std::int64_t& riffSize) {
    std::int64_t left = size;
    std::uint64_t riff64 = 0, data64 = 0;
    if (CError* err = checkDataLeft(left, 16)) return trace(err);
    if (CError* err = readU64(riff64)) return err;
    if (CError* err = readU64(data64)) return err;
    for (const std::uint64_t v : {riff64, data64}) {
        if (v >= kMaxSize64)
            return fail(Loc::current(), "@talstr_CWaveFile_checkDataLeft_DataError Data composition error (left %1, required %2).",
                        num(left), unum(v));
    }
    riffSize = static_cast<std::int64_t>(riff64);
    dataLength = static_cast<std::int64_t>(data64);
    return nullptr;
}

CError* CWaveFile::readWAVEcue(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t count = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (CError* err = readU32(count)) return err;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t b[24];
        if (CError* err = checkDataLeft(left, 24)) return trace(err);
        if (CError* err = readBytes(b, 24)) return err;
        if (le32(b + 8) != kData) continue;
        CMarker* marker = addMarker();
        marker->id = le32(b);
        marker->position = le32(b + 4);
        marker->chunkId = kData;
        marker->blockStart = le32(b + 16);
        marker->sampleOffset = le32(b + 20);
    }
    return nullptr;
}

CError* CWaveFile::readWAVELIST(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t type = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (CError* err = readU32(type)) return err;
    if (type != kINFO && type != kAdtl) return nullptr;
    filePos += 4;
    return walkChunks(left, &CWaveFile::readWAVE, true, false, [&](std::uint32_t id, std::int64_t itemSize) -> CError* {
        if (type == kINFO) {
            if (itemSize > kMaxTextBytes)
                return fail(Loc::current(),
                            "@talstr_CWaveFile_readWAVELIST_StringTooLong Invalid or unsupported textual string detected (l=%1).",
                            num(itemSize));
            CString text;
            if (CError* err = readText(text, static_cast<std::uint32_t>(itemSize))) return err;
            setInfoText(fourCCText(id), text);
        } else if (id == kLabl) {
            return readWAVEListADTLlabl(itemSize);
        } else if (id == kLtxt) {
            return readWAVEListADTLltxt(itemSize);
        }
        return nullptr;
    });
}

CError* CWaveFile::readWAVEListADTLlabl(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t cueId = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (left < 2) return nullptr;
    if (CError* err = readU32(cueId)) return err;
    CMarker* marker = nullptr;
    for (std::int32_t i = 0; i < markers.count() && !marker; ++i)
        if (markers[i]->id == cueId) marker = markers[i];
    if (!marker) return nullptr;
    if (left > kMaxTextBytes)
        return fail(Loc::current(),
                    "@talstr_CWaveFile_readWAVEListADTLlabl_StringTooLong Invalid or unsupported textual string detected (l=%1).",
                    num(left));
    if (CError* err = readText(marker->label, static_cast<std::uint32_t>(left))) return trace(err);
    return nullptr;
}

CError* CWaveFile::readWAVEListADTLltxt(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t cueId = 0, length = 0, purpose = 0;
    if (CError* err = checkDataLeft(left, 12)) return trace(err);
    if (left < 2) return nullptr;
    if (CError* err = readU32(cueId)) return err;
    if (CError* err = readU32(length)) return err;
    if (CError* err = readU32(purpose)) return err;
    if (purpose != kRgn) return nullptr;
    for (std::int32_t i = 0; i < markers.count(); ++i) {
        if (markers[i]->id == cueId) {
            markers[i]->length = length;
            break;
        }
    }
    return nullptr;
}

CError* CWaveFile::readWAVEsmpl(std::int64_t size) {
    std::int64_t left = size;
    if (CError* err = checkDataLeft(left, 36)) return trace(err);
    destroySamplerInfo();
    samplerInfo = new CSamplerInfo();
    std::uint32_t v[9];
    for (std::uint32_t& x : v) {
        if (CError* err = readU32(x)) return err;
    }
    CSamplerInfo& info = *samplerInfo;
    info.manufacturer = v[0];
    info.product = v[1];
    info.samplePeriod = v[2];
    info.midiUnityNote = v[3];
    info.midiPitchFraction = v[4];
    info.smpteFormat = v[5];
    info.smpteOffset = v[6];
    const std::uint32_t loopCount = v[7], dataBytes = v[8];
    if (loopCount > kMaxLoops)
        return fail(Loc::current(),
                    "@talstr_CWaveFile_readWAVEsmpl_TooManyLoops Invalid or unsupported number of sample loops detected (c=%1).",
                    unum(loopCount));
    if (dataBytes > kMaxSamplerData)
        return fail(Loc::current(), "@talstr_CWaveFile_readWAVEsmpl_SamplerDataTooLong Invalid or unsupported sampler data detected (l=%1).",
                    unum(dataBytes));
    if (CError* err = checkDataLeft(left, static_cast<std::int64_t>(loopCount) * 24)) return trace(err);
    for (std::uint32_t i = 0; i < loopCount; ++i) {
        std::uint8_t b[24];
        if (CError* err = readBytes(b, 24)) return err;
        CSampleLoop loop;
        loop.cuePointId = le32(b);
        loop.type = le32(b + 4);
        loop.start = le32(b + 8);
        loop.end = le32(b + 12);
        loop.fraction = le32(b + 16);
        loop.playCount = le32(b + 20);
        info.loops.add(loop);
    }
    if (dataBytes > 0) {
        if (CError* err = checkDataLeft(left, dataBytes)) return trace(err);
        info.samplerData.resize(static_cast<std::int32_t>(dataBytes));
        if (CError* err = readBytes(info.samplerData.data(), dataBytes)) return err;
    }
    return nullptr;
}

CError* CWaveFile::readWAVEbext(std::int64_t size) {
    std::int64_t left = size;
    destroyBroadcastInfo();
    broadcastInfo = new CBroadcastInfo();
    CBroadcastInfo& info = *broadcastInfo;
    const std::pair<CString*, std::int64_t> fields[5] = {
        {&info.description, 256}, {&info.originator, 32}, {&info.originatorReference, 32}, {&info.originationDate, 10}, {&info.originationTime, 8}};
    for (const auto& [field, bytes] : fields) {
        if (CError* err = readBWFString(*field, bytes, left)) return trace(err);
    }
    std::uint32_t low = 0, high = 0, version = 0;
    if (CError* err = checkDataLeft(left, 8)) return trace(err);
    if (CError* err = readU32(low)) return err;
    if (CError* err = readU32(high)) return err;
    info.timeReference = low | static_cast<std::uint64_t>(high) << 32;
    if (CError* err = checkDataLeft(left, 2)) return trace(err);
    if (CError* err = readU16(version)) return err;
    info.version = version;
    if (CError* err = checkDataLeft(left, 64)) return trace(err);
    if (CError* err = readBytes(info.umid, 64)) return err;
    if (CError* err = checkDataLeft(left, 190)) return trace(err);
    if (CError* err = readBytes(info.reserved, 190)) return err;
    if (CError* err = readBWFString(info.codingHistory, left, left)) return trace(err);
    return nullptr;
}

CError* CWaveFile::readW64SummaryList(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t count = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (CError* err = readU32(count)) return err;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t id = 0, bytes = 0;
        CString text;
        if (CError* err = checkDataLeft(left, 8)) return trace(err);
        if (CError* err = readU32(id)) return err;
        if (CError* err = readU32(bytes)) return err;
        if (CError* err = readUnicodeString(text, bytes, left)) return trace(err);
        setInfoText(fourCCText(id), text);
    }
    return nullptr;
}

CError* CWaveFile::readW64Markers(std::int64_t size) {
    std::int64_t left = size;
    std::uint32_t count = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (CError* err = readU32(count)) return err;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t b[32];
        if (CError* err = checkDataLeft(left, 32)) return trace(err);
        if (CError* err = readBytes(b, 32)) return err;
        const std::int64_t position = static_cast<std::int64_t>(le32(b + 8) | static_cast<std::uint64_t>(le32(b + 12)) << 32);
        const std::int64_t length = static_cast<std::int64_t>(le32(b + 16) | static_cast<std::uint64_t>(le32(b + 20)) << 32);
        CMarker* marker = addMarker();
        marker->id = le32(b);
        marker->position = position;
        marker->chunkId = kData;
        marker->length = length > 0 ? length : 0;
        if (CError* err = readUnicodeString(marker->label, le32(b + 24), left)) return trace(err);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// AIFF and AIFC

CError* CWaveFile::readAIFF(std::int64_t left) {
    std::uint32_t formType = 0;
    if (CError* err = checkDataLeft(left, 4)) return trace(err);
    if (CError* err = readU32(formType)) return err;
    if (formType != kAIFF && formType != kAIFC)
        return fail(Loc::current(), "@talstr_CWaveFile_readAIFF_InvalidHeader Invalid AIFF header ('%1').", printableOr(formType));
    filePos += 4;
    // A damaged chunk header ends the walk without an error: the file is usable when its format
    // and data came first.
    return walkChunks(left, &CWaveFile::readAIFFChunkHeader, false, true, [&](std::uint32_t id, std::int64_t size) -> CError* {
        CError* err = nullptr;
        if (id == kCOMM) {
            err = readAIFFFormat(size, formType);
        } else if (id == kSSND) {
            std::int64_t chunkLeft = size;
            std::uint32_t offset = 0;
            err = checkDataLeft(chunkLeft, 8);
            if (!err) err = readU32(offset, true);
            if (!err) {
                dataOffset = filePos + 8 + offset;
                dataLength = size - 8 - offset;
                hasData = true;
            }
        } else if (id == kNAME || id == kAUTH || id == kCopy || id == kANNO) {
            CString* field = id == kNAME ? &title : id == kAUTH ? &author : id == kCopy ? &copyright : &comment;
            if (size > kMaxTextBytes)
                err = fail(Loc::current(), "@talstr_CWaveFile_readAIFF_StringTooLong Invalid or unsupported textual string detected (l=%1).",
                           num(size));
            else
                err = readText(*field, static_cast<std::uint32_t>(size));
        }
        return err;
    });
}

CError* CWaveFile::readAIFFChunkHeader(std::int64_t& left, std::uint32_t& id, std::int64_t& size, std::int64_t& next, bool countPad) {
    std::uint32_t size32 = 0;
    if (CError* err = checkDataLeft(left, 8)) return trace(err);
    if (CError* err = readU32(id)) return err;
    if (CError* err = readU32(size32, true)) return err;
    size = size32;
    filePos += 8;
    next = filePos + size;
    if (CError* err = checkDataLeft(left, size)) return trace(err);
    if (size % 2 != 0) {
        next += 1;
        if (countPad) {
            if (CError* err = checkDataLeft(left, 1)) return trace(err);
        }
    }
    return nullptr;
}

CError* CWaveFile::readAIFFFormat(std::int64_t size, std::uint32_t formType) {
    std::int64_t left = size;
    std::uint32_t channels = 0, frames = 0, bits = 0;
    if (CError* err = checkDataLeft(left, 18)) return trace(err);
    if (CError* err = readU16(channels, true)) return err;
    channelCount = static_cast<std::int32_t>(channels);
    if (channelCount < 1 || channelCount > 256)
        return fail(Loc::current(), "@talstr_CWaveFile_readAIFFFormat_ChannelCountError Unsupported channel count '%1'.",
                    num(channelCount));
    if (CError* err = readU32(frames, true)) return err;
    if (CError* err = readU16(bits, true)) return err;
    frameCount = frames;
    realBits = static_cast<std::int32_t>(bits);
    if (CError* err = input->readExtendedBE(sampleRate)) return trace(err);
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 64)
        return fail(Loc::current(), "@talstr_CWaveFile_readAIFFFormat_UnsupportedBitFormat Unsupported AIFF file format, bits %1.",
                    unum(bits));
    physicalBits = realBits;
    blockAlign = realBits * channelCount / 8;
    isFloat = false;
    channelMask = 0;
    if (formType == kAIFC) {
        std::uint32_t compression = 0;
        if (CError* err = checkDataLeft(left, 4)) return trace(err);
        if (CError* err = readU32(compression)) return err;
        if (compression == kSowt)
            isLittleEndian = true;
        else if (compression == kFl32 || compression == kFL32 || compression == kFl64)
            isFloat = true;
        else if (compression != kNONE)
            return fail(Loc::current(), "@talstr_CWaveFile_readAIFFFormat_UnsupportedFormat Unsupported AIFF file format.");
    }
    if (CError* err = checkFormat()) return trace(err);
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Sample formats and reading

CError* CWaveFile::checkFormat() {
    if (isFloat) {
        if (realBits != 32 && realBits != 64)
            return fail(Loc::current(), "@talstr_CWaveFile_checkFormat_BitDepthIEEEError Unsupported IEEE floating point bit depth '%1'.",
                        num(realBits));
        if (realBits != physicalBits)
            return fail(Loc::current(),
                        "@talstr_CWaveFile_checkFormat_BitDepthMismatch Real bit depth '%1' is not equal to physical bit depth '%2'.",
                        num(realBits), num(physicalBits));
    } else {
        if (physicalBits != 8 && physicalBits != 16 && physicalBits != 24 && physicalBits != 32)
            return fail(Loc::current(), "@talstr_CWaveFile_checkFormat_BitDepthError Unsupported physical bit depth '%1'.",
                        num(physicalBits));
        if (realBits < 1 || realBits > 32 || realBits > physicalBits)
            return fail(Loc::current(), "@talstr_CWaveFile_checkFormat_RealBitDepthError Unsupported real bit depth '%1' (physical '%2').",
                        num(realBits), num(physicalBits));
    }
    hasFormat = true;
    return nullptr;
}

CError* CWaveFile::requireReadable(const char* operation, Loc loc) {
    if (mIsReadable) return nullptr;
    return fail(loc, "@talstr_CWaveFile_requireReadable_NotOpen No audio file is open for reading (%1).", CString(operation));
}

CError* CWaveFile::setSamplePos(std::int64_t frame) {
    if (CError* err = requireReadable("setSamplePos")) return err;
    if (frame < 0 || frame > frameCount)
        return fail(Loc::current(),
                    "@talstr_CWaveFile_setSamplePos_BeyondEndError Changing read position (%1) beyond available sample data (%2) is not allowed.",
                    num(frame), num(frameCount));
    sampleBuffer.resize(kBufferFrames * blockAlign);
    mSampleFormat = CWaveSampleCodec::select(isFloat, physicalBits, isLittleEndian, isUnsigned8);
    bufferFrames = bufferIndex = 0;
    fileFramePos = frame;
    if (CError* err = seekTo(dataOffset + frame * blockAlign)) return err;
    return nullptr;
}

CError* CWaveFile::readSamples(double* const* channels, std::int32_t frames, std::int32_t& framesRead) {
    if (CError* err = requireReadable("readSamples")) return err;
    std::int32_t done = 0, want = std::max(frames, 0);
    const std::int32_t sampleBytes = physicalBits / 8;
    for (;;) {
        if (bufferIndex == bufferFrames) {
            bufferIndex = 0;
            const std::int32_t k = static_cast<std::int32_t>(std::min<std::int64_t>(frameCount - fileFramePos, kBufferFrames));
            bufferFrames = 0;
            if (k <= 0) {
                framesRead = done > 0 ? done : -1;
                return nullptr;
            }
            if (CError* err = readBytes(sampleBuffer.data(), static_cast<std::int64_t>(k) * blockAlign)) return err;
            bufferFrames = k;
            fileFramePos += k;
        }
        if (want == 0) {
            framesRead = done;
            return nullptr;
        }
        const std::int32_t m = std::min(want, bufferFrames - bufferIndex);
        // Channel by channel over tiles of frames small enough to stay in the cache.
        for (std::int32_t tile = 0; tile < m; tile += kDecodeTile) {
            const std::int32_t n = std::min(kDecodeTile, m - tile);
            const std::uint8_t* frame0 = sampleBuffer.data() + static_cast<std::ptrdiff_t>(bufferIndex + tile) * blockAlign;
            for (std::int32_t ch = 0; ch < channelCount; ++ch)
                CWaveSampleCodec::decode(mSampleFormat, frame0 + ch * sampleBytes, blockAlign, channels[ch] + done + tile, n);
        }
        bufferIndex += m;
        done += m;
        want -= m;
    }
}

CError* CWaveFile::skipSamples(std::int32_t frames, std::int32_t& framesSkipped) {
    if (CError* err = requireReadable("skipSamples")) return err;
    std::int32_t done = 0, want = std::max(frames, 0);
    if (bufferIndex < bufferFrames) {
        if (want == 0) {
            framesSkipped = 0;
            return nullptr;
        }
        const std::int32_t m = std::min(want, bufferFrames - bufferIndex);
        bufferIndex += m;
        done += m;
        want -= m;
        if (bufferIndex < bufferFrames) {
            framesSkipped = done;
            return nullptr;
        }
    }
    if (fileFramePos == frameCount) {
        framesSkipped = done > 0 ? done : -1;
        return nullptr;
    }
    const std::int64_t k = std::min<std::int64_t>(want, frameCount - fileFramePos);
    if (k > 0) {
        if (CError* err = seekTo(dataOffset + (fileFramePos + k) * blockAlign)) return err;
    }
    fileFramePos += k;
    framesSkipped = done + static_cast<std::int32_t>(k);
    return nullptr;
}

CError* CWaveFile::close() {
    if (input == &fileReader) {
        if (CError* err = fileReader.close()) return trace(err);
    }
    mIsReadable = false;
    for (CString* text : {&title, &author, &copyright, &comment, &software}) setText8(*text, nullptr, 0);
    infoTexts.clear();
    destroyMarkers();
    destroySamplerInfo();
    destroyBroadcastInfo();
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Copying between files

void CWaveFile::copyFormat(const CWaveFile& other) {
    sampleRate = other.sampleRate;
    channelCount = other.channelCount;
    isFloat = other.isFloat;
    blockAlign = other.blockAlign;
    physicalBits = other.physicalBits;
    realBits = other.realBits;
    channelMask = other.channelMask;
}

void CWaveFile::copyTextInfo(const CWaveFile& other) {
    if (&other == this) return;
    title = other.title;
    author = other.author;
    copyright = other.copyright;
    comment = other.comment;
    software = other.software;
    infoTexts.clear();
    for (auto* node = other.infoTexts.first(); node; node = other.infoTexts.next(node)) infoTexts.findOrAdd(node->key)->value = node->value;
}

void CWaveFile::copyMetadata(const CWaveFile& other) {
    if (&other == this) return;
    copyMarkers(other);
    copySamplerInfo(other);
    copyBroadcastInfo(other);
    // Positions follow the sample rate; without two usable rates they are kept as they are.
    const double rate = sampleRate, otherRate = other.sampleRate;
    if (!(std::isfinite(rate) && rate > 0.0 && std::isfinite(otherRate) && otherRate > 0.0)) return;
    for (std::int32_t i = 0; i < markers.count(); ++i) {
        CMarker& m = *markers[i];
        m.position = scaleSigned(m.position, rate, otherRate);
        m.blockStart = scaleSigned(m.blockStart, rate, otherRate);
        m.sampleOffset = scaleSigned(m.sampleOffset, rate, otherRate);
        m.length = scaleSigned(m.length, rate, otherRate);
    }
    if (other.samplerInfo) {
        for (std::int32_t i = 0; i < samplerInfo->loops.count(); ++i) {
            CSampleLoop& loop = samplerInfo->loops[i];
            loop.start = scaleUnsigned(loop.start, rate, otherRate);
            loop.end = scaleUnsigned(loop.end, rate, otherRate);
        }
    }
    if (other.broadcastInfo) broadcastInfo->timeReference = scaleUnsigned(broadcastInfo->timeReference, rate, otherRate);
}

void CWaveFile::copyMarkers(const CWaveFile& other) {
    destroyMarkers();
    for (std::int32_t i = 0; i < other.markers.count(); ++i) markers.add(new CMarker(*other.markers[i]));
}

void CWaveFile::copySamplerInfo(const CWaveFile& other) {
    if (!other.samplerInfo) return;
    CSamplerInfo* copy = new CSamplerInfo();
    const CSamplerInfo& from = *other.samplerInfo;
    copy->manufacturer = from.manufacturer;
    copy->product = from.product;
    copy->samplePeriod = from.samplePeriod;
    copy->midiUnityNote = from.midiUnityNote;
    copy->midiPitchFraction = from.midiPitchFraction;
    copy->smpteFormat = from.smpteFormat;
    copy->smpteOffset = from.smpteOffset;
    for (std::int32_t i = 0; i < from.loops.count(); ++i) copy->loops.add(from.loops[i]);
    copy->samplerData.resize(from.samplerData.size());
    if (from.samplerData.size() > 0) std::memcpy(copy->samplerData.data(), from.samplerData.data(), from.samplerData.size());
    destroySamplerInfo();
    samplerInfo = copy;
}

void CWaveFile::copyBroadcastInfo(const CWaveFile& other) {
    if (!other.broadcastInfo) return;
    CBroadcastInfo* copy = new CBroadcastInfo(*other.broadcastInfo);
    destroyBroadcastInfo();
    broadcastInfo = copy;
}

void CWaveFile::destroyMarkers() {
    for (std::int32_t i = markers.count() - 1; i >= 0; --i) delete markers[i];
    markers.clear();
}

void CWaveFile::destroySamplerInfo() {
    delete samplerInfo;
    samplerInfo = nullptr;
}

void CWaveFile::destroyBroadcastInfo() {
    delete broadcastInfo;
    broadcastInfo = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Writing

CError* CWaveFile::checkWriteFormat() {
    // The encoder writes every channel's sample inside its frame, so the layout must add up.
    hasFormat = false;
    if (channelCount < 1 || channelCount > 256 || physicalBits % 8 != 0 || blockAlign != channelCount * (physicalBits / 8))
        return fail(Loc::current(),
                    "@talstr_CWaveFile_create_FormatError Unsupported format for writing (channels %1, block align %2, bits %3).",
                    num(channelCount), num(blockAlign), num(physicalBits));
    if (CError* err = checkFormat()) return trace(err);
    return nullptr;
}

CError* CWaveFile::write(COutputStream& out, const void* data, std::int64_t count, Loc loc) {
    if (CError* err = out.write(data, static_cast<std::int32_t>(count))) return trace(err, loc);
    return nullptr;
}

CError* CWaveFile::writeU16(COutputStream& out, std::uint32_t v, Loc loc) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    return write(out, b, 2, loc);
}

CError* CWaveFile::writeU32(COutputStream& out, std::uint64_t v, Loc loc) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 24)};
    return write(out, b, 4, loc);
}

CError* CWaveFile::writeId(COutputStream& out, const char* id, Loc loc) { return write(out, id, 4, loc); }

CError* CWaveFile::writeZeros(COutputStream& out, std::int32_t count) {
    if (count <= 0) return nullptr;
    CByteBuffer zeros(count);
    std::memset(zeros.data(), 0, static_cast<std::size_t>(count));
    return write(out, zeros.data(), count);
}

CError* CWaveFile::writeGUID(const CWaveGUID& guid) {
    if (CError* err = writeU32(fileWriter, guid.data1)) return err;
    if (CError* err = writeU16(fileWriter, guid.data2)) return err;
    if (CError* err = writeU16(fileWriter, guid.data3)) return err;
    return write(fileWriter, guid.data4, 8);
}

CError* CWaveFile::writeBWFString(COutputStream& out, const CString& text, std::int32_t size) {
    const std::int32_t n = std::min(text.length(), size);
    CByteBuffer bytes(size);
    for (std::int32_t i = 0; i < n; ++i) bytes.data()[i] = byteOf(text, i);
    std::memset(bytes.data() + n, 0, static_cast<std::size_t>(size - n));
    return write(out, bytes.data(), size);
}

void CWaveFile::appendCodingHistory(CBroadcastInfo& info) const {
    CString line("A=PCM,F=");
    line.append(unum(wholeRate(sampleRate)));
    line.append(CString(",W="));
    line.append(num(physicalBits));
    line.append(CString(channelCount == 1 ? ",M=mono" : channelCount == 2 ? ",M=stereo" : ",M=multi"));
    if (software.length() > 0) {
        line.append(CString(",T="));
        line.append(software);
    }
    line.append(CString("\r\n"));
    info.codingHistory.append(line);
}

CError* CWaveFile::writeWAVEbext(COutputStream& out, const CBroadcastInfo& info) {
    const std::pair<const CString*, std::int32_t> fields[5] = {
        {&info.description, 256}, {&info.originator, 32}, {&info.originatorReference, 32}, {&info.originationDate, 10}, {&info.originationTime, 8}};
    for (const auto& [field, size] : fields) {
        if (CError* err = writeBWFString(out, *field, size)) return err;
    }
    if (CError* err = writeU32(out, info.timeReference & 0xFFFFFFFFu)) return err;
    if (CError* err = writeU32(out, info.timeReference >> 32)) return err;
    if (CError* err = writeU16(out, 1)) return err;
    if (CError* err = write(out, info.umid, 64)) return err;
    if (CError* err = writeZeros(out, 190)) return err;
    const std::int32_t n = info.codingHistory.length();
    if (n > 0) {
        CByteBuffer bytes(n);
        for (std::int32_t i = 0; i < n; ++i) bytes.data()[i] = byteOf(info.codingHistory, i);
        if (CError* err = write(out, bytes.data(), n)) return err;
    }
    return nullptr;
}

CError* CWaveFile::writeWAVEFormat() {
    const bool extensible = channelMask != 0;
    const std::uint32_t rate = wholeRate(sampleRate);
    if (CError* err = writeId(fileWriter, "fmt ")) return err;
    // Every format but integer PCM carries the extension-size field (0 for plain float).
    const bool plainFloat = !extensible && isFloat;
    if (CError* err = writeU32(fileWriter, extensible ? 40 : plainFloat ? 18 : 16)) return err;
    if (CError* err = writeU16(fileWriter, extensible ? 0xFFFE : isFloat ? 3 : 1)) return err;
    if (CError* err = writeU16(fileWriter, static_cast<std::uint32_t>(channelCount))) return err;
    if (CError* err = writeU32(fileWriter, rate)) return err;
    if (CError* err = writeU32(fileWriter, static_cast<std::uint64_t>(rate) * static_cast<std::uint32_t>(blockAlign))) return err;
    if (CError* err = writeU16(fileWriter, static_cast<std::uint32_t>(blockAlign))) return err;
    if (CError* err = writeU16(fileWriter, static_cast<std::uint32_t>(realBits))) return err;
    if (plainFloat) return writeU16(fileWriter, 0);
    if (!extensible) return nullptr;
    if (CError* err = writeU16(fileWriter, 22)) return err;
    if (CError* err = writeU16(fileWriter, static_cast<std::uint32_t>(realBits))) return err;
    if (CError* err = writeU32(fileWriter, channelMask & 0xFFFFFFFFu)) return err;
    if (CError* err = writeGUID(isFloat ? CWaveGUID::kSubFormatFloat : CWaveGUID::kSubFormatPCM)) return trace(err);
    return nullptr;
}

CError* CWaveFile::create(const CString& path) {
    if (CError* err = checkWriteFormat()) return err;
    mIsReadable = false;
    mIsWriting = false;
    if (CError* err = fileWriter.open(path, false)) return trace(err);
    isWave64 = false;
    isLittleEndian = isUnsigned8 = true;
    if (CError* err = writeId(fileWriter, "RIFF")) return err;
    if (CError* err = writeU32(fileWriter, 0)) return err;
    if (CError* err = writeId(fileWriter, "WAVE")) return err;
    if (CError* err = writeId(fileWriter, "junk")) return err;
    if (CError* err = writeU32(fileWriter, 28)) return err;
    if (CError* err = writeZeros(fileWriter, 28)) return trace(err);
    if (broadcastInfo) {
        appendCodingHistory(*broadcastInfo);
        CWriteSeqBuffer body;
        if (CError* err = writeWAVEbext(body, *broadcastInfo)) return trace(err);
        if (CError* err = writeChunk("bext", body, false, nullptr)) return trace(err);
    }
    if (CError* err = writeWAVEFormat()) return trace(err);
    std::uint64_t position = 0;
    if (CError* err = fileWriter.getPosition(position)) return trace(err);
    dataOffset = static_cast<std::int64_t>(position);
    fileFramePos = 0;
    if (CError* err = writeId(fileWriter, "data")) return err;
    if (CError* err = writeU32(fileWriter, 0)) return err;
    sampleBuffer.resize(kBufferFrames * blockAlign);
    bufferIndex = 0;
    mSampleFormat = CWaveSampleCodec::select(isFloat, physicalBits, true, true);
    prepareDither();
    mIsWriting = true;
    return nullptr;
}

void CWaveFile::prepareDither() {
    if (isFloat) return;
    sampleScale = std::ldexp(1.0, realBits - 1);
    sampleShift = physicalBits - realBits;
    ditherStates.clear();
    for (std::int32_t ch = 0; ch < channelCount; ++ch) ditherStates.add(CDitherState::fromSeed(takeSeed()));
}

void CWaveFile::encodeChannel(std::int32_t channel, const double* src, std::int32_t frame, std::int32_t count) {
    std::uint8_t* dst = sampleBuffer.data() + static_cast<std::ptrdiff_t>(frame) * blockAlign + channel * (physicalBits / 8);
    CDitherState scratch;
    CDitherState& dither = isFloat ? scratch : ditherStates[channel];
    CWaveSampleCodec::encode(mSampleFormat, realBits, src, dst, blockAlign, count, dither);
}

CError* CWaveFile::flushBuffer(std::int32_t frames) {
    if (CError* err = write(fileWriter, sampleBuffer.data(), static_cast<std::int64_t>(frames) * blockAlign)) return err;
    fileFramePos += frames;
    bufferIndex = 0;
    return nullptr;
}

CError* CWaveFile::writeSamples(const double* const* channels, std::int32_t frames) {
    if (!mIsWriting) return fail(Loc::current(), "@talstr_CWaveFile_writeSamples_NotCreated No audio file is being written.");
    std::int32_t s = 0;
    while (s < frames) {
        // A buffer that failed to go out before is written first, so a retry never stalls.
        if (bufferIndex == kBufferFrames) {
            if (CError* err = flushBuffer(kBufferFrames)) return err;
        }
        const std::int32_t m = std::min(frames - s, kBufferFrames - bufferIndex);
        for (std::int32_t ch = 0; ch < channelCount; ++ch) encodeChannel(ch, channels[ch] + s, bufferIndex, m);
        bufferIndex += m;
        s += m;
        if (bufferIndex == kBufferFrames) {
            if (CError* err = flushBuffer(kBufferFrames)) return err;
        }
    }
    return nullptr;
}

std::uint32_t CWaveFile::clampedFramePos(std::int64_t frame) const {
    const std::int64_t last = std::max<std::int64_t>(fileFramePos - 1, 0);
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(frame, 0, last));
}

CError* CWaveFile::writeChunk(const char* id, CWriteSeqBuffer& body, bool listHeader, const char* listType) {
    const std::int64_t size = body.getSize() + (listHeader ? 4 : 0);
    if (CError* err = writeId(fileWriter, id)) return err;
    if (CError* err = writeU32(fileWriter, static_cast<std::uint64_t>(size))) return err;
    if (listHeader) {
        if (CError* err = writeId(fileWriter, listType)) return err;
    }
    if (CError* err = body.writeTo(fileWriter)) return trace(err);
    if (size % 2 != 0) return writeZeros(fileWriter, 1);
    return nullptr;
}

CError* CWaveFile::writeWAVEListString(COutputStream& out, const CString& id, const CString& text) {
    const std::int32_t n = text.length();
    if (n == 0 || text.isWide() || id.length() != 4 || id.isWide()) return nullptr;
    const char idBytes[4] = {static_cast<char>(id.charAt(0)), static_cast<char>(id.charAt(1)), static_cast<char>(id.charAt(2)),
                             static_cast<char>(id.charAt(3))};
    if (CError* err = writeId(out, idBytes)) return err;
    if (CError* err = writeU32(out, static_cast<std::uint32_t>(n) + 1)) return err;
    CByteBuffer bytes(n + 2);
    for (std::int32_t i = 0; i < n; ++i) bytes.data()[i] = static_cast<std::uint8_t>(text.charAt(i));
    bytes.data()[n] = 0;
    bytes.data()[n + 1] = 0;
    return write(out, bytes.data(), n % 2 == 0 ? n + 2 : n + 1);
}

CError* CWaveFile::writeTrailingChunks() {
    if (markers.count() > 0) {
        CWriteSeqBuffer points;
        if (CError* err = writeU32(points, static_cast<std::uint32_t>(markers.count()))) return err;
        for (std::int32_t i = 0; i < markers.count(); ++i) {
            const CMarker& m = *markers[i];
            // Every marker points into the data chunk (the only chunk the reader accepts).
            const std::uint64_t values[6] = {m.id, clampedFramePos(m.position), kData, 0,
                                             static_cast<std::uint64_t>(m.blockStart * blockAlign),
                                             static_cast<std::uint64_t>(m.sampleOffset * blockAlign)};
            for (const std::uint64_t v : values) {
                if (CError* err = writeU32(points, v)) return err;
            }
        }
        if (CError* err = writeChunk("cue ", points, false, nullptr)) return trace(err);

        CWriteSeqBuffer items;
        for (std::int32_t i = 0; i < markers.count(); ++i) {
            const CMarker& m = *markers[i];
            if (m.length == 0) continue;
            const std::uint64_t values[] = {20, m.id, static_cast<std::uint64_t>(m.length)};
            if (CError* err = writeId(items, "ltxt")) return err;
            for (const std::uint64_t v : values) {
                if (CError* err = writeU32(items, v)) return err;
            }
            if (CError* err = writeId(items, "rgn ")) return err;
            if (CError* err = writeZeros(items, 8)) return err;
        }
        for (std::int32_t i = 0; i < markers.count(); ++i) {
            const CMarker& m = *markers[i];
            const std::int32_t n = m.label.length();
            if (CError* err = writeId(items, "labl")) return err;
            if (CError* err = writeU32(items, static_cast<std::uint32_t>(n) + 5)) return err;
            if (CError* err = writeU32(items, m.id)) return err;
            CByteBuffer bytes(n + 2);
            for (std::int32_t c = 0; c < n; ++c) bytes.data()[c] = byteOf(m.label, c);
            bytes.data()[n] = 0;
            bytes.data()[n + 1] = 0;
            if (CError* err = write(items, bytes.data(), n % 2 == 0 ? n + 2 : n + 1)) return err;
        }
        if (CError* err = writeChunk("LIST", items, true, "adtl")) return trace(err);
    }

    CWriteSeqBuffer texts;
    const std::pair<const char*, const CString*> fixed[5] = {
        {"INAM", &title}, {"IENG", &author}, {"ICOP", &copyright}, {"ICMT", &comment}, {"ISFT", &software}};
    for (const auto& [id, text] : fixed) {
        if (CError* err = writeWAVEListString(texts, CString(id), *text)) return err;
    }
    for (auto* node = infoTexts.first(); node; node = infoTexts.next(node)) {
        if (CError* err = writeWAVEListString(texts, node->key, node->value)) return err;
    }
    if (texts.getSize() > 0) {
        if (CError* err = writeChunk("LIST", texts, true, "INFO")) return trace(err);
    }

    if (samplerInfo) {
        const CSamplerInfo& info = *samplerInfo;
        const std::int32_t loopCount = info.loops.count(), dataBytes = info.samplerData.size();
        CWriteSeqBuffer body;
        const std::uint64_t header[9] = {info.manufacturer, info.product, info.samplePeriod, info.midiUnityNote, info.midiPitchFraction,
                                         info.smpteFormat, info.smpteOffset, static_cast<std::uint64_t>(loopCount),
                                         static_cast<std::uint64_t>(dataBytes)};
        for (const std::uint64_t v : header) {
            if (CError* err = writeU32(body, v)) return err;
        }
        for (std::int32_t i = 0; i < loopCount; ++i) {
            const CSampleLoop& loop = info.loops[i];
            const std::uint64_t values[6] = {loop.cuePointId, loop.type, clampedFramePos(static_cast<std::int64_t>(loop.start)),
                                             clampedFramePos(static_cast<std::int64_t>(loop.end)), loop.fraction, loop.playCount};
            for (const std::uint64_t v : values) {
                if (CError* err = writeU32(body, v)) return err;
            }
        }
        if (dataBytes > 0) {
            if (CError* err = write(body, info.samplerData.data(), dataBytes)) return err;
        }
        if (CError* err = writeChunk("smpl", body, false, nullptr)) return trace(err);
    }
    return nullptr;
}

CError* CWaveFile::fixSizes() {
    std::uint64_t fileSize = 0;
    if (CError* err = fileWriter.getSize(fileSize)) return trace(err);
    const std::uint64_t riffSize = fileSize - 8;
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(blockAlign) * static_cast<std::uint64_t>(fileFramePos);
    if (CError* err = fileWriter.setPosition(4)) return trace(err);
    if (riffSize <= mMaxRiffSize) {
        if (CError* err = writeU32(fileWriter, riffSize)) return err;
        if (CError* err = fileWriter.setPosition(static_cast<std::uint64_t>(dataOffset) + 4)) return trace(err);
        return writeU32(fileWriter, dataBytes);
    }
    if (CError* err = writeU32(fileWriter, 0xFFFFFFFFu)) return err;
    if (CError* err = fileWriter.setPosition(static_cast<std::uint64_t>(dataOffset) + 4)) return trace(err);
    if (CError* err = writeU32(fileWriter, 0xFFFFFFFFu)) return err;
    if (CError* err = fileWriter.setPosition(0)) return trace(err);
    if (CError* err = writeId(fileWriter, "RF64")) return err;
    if (CError* err = fileWriter.setPosition(12)) return trace(err);
    if (CError* err = writeId(fileWriter, "ds64")) return err;
    const std::uint64_t values[8] = {28,
                                     riffSize & 0xFFFFFFFFu, riffSize >> 32,
                                     dataBytes & 0xFFFFFFFFu, dataBytes >> 32,
                                     static_cast<std::uint64_t>(fileFramePos) & 0xFFFFFFFFu, static_cast<std::uint64_t>(fileFramePos) >> 32,
                                     0};
    for (const std::uint64_t v : values) {
        if (CError* err = writeU32(fileWriter, v)) return err;
    }
    return nullptr;
}

CError* CWaveFile::finishWriting() {
    if (!mIsWriting) return fail(Loc::current(), "@talstr_CWaveFile_finishWriting_NotCreated No audio file is being written.");
    mIsWriting = false;
    if (bufferIndex >= 1) {
        if (CError* err = flushBuffer(bufferIndex)) return err;
    }
    if ((fileFramePos * blockAlign) % 2 != 0) {
        if (CError* err = writeZeros(fileWriter, 1)) return err;
    }
    if (CError* err = writeTrailingChunks()) return trace(err);
    if (CError* err = fixSizes()) return trace(err);
    if (CError* err = fileWriter.close()) return trace(err);
    return nullptr;
}

} // namespace tal
