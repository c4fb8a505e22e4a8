#pragma once
#include <cstdint>
#include <source_location>

#include "Core/CArray.h"
#include "Core/CByteBuffer.h"
#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CFileWriter.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Other/CWaveGUID.h"
#include "Other/CWaveSampleCodec.h"

namespace tal {

class COutputStream;
class CPosInputStream;
class CWriteSeqBuffer;

// A source of audio frames as doubles, one array per channel.
class CWaveFileBase : public CCheckedObject {
public:
    // Delivers up to `frames` frames into channels[0 .. channelCount - 1]; framesRead is the number
    // delivered, or -1 when the data had ended before anything was delivered.
    [[nodiscard]] virtual CError* readSamples(double* const* channels, std::int32_t frames, std::int32_t& framesRead) = 0;
};

// One audio file. Reads RIFF WAVE, RF64, Wave64 and AIFF/AIFC files with their metadata and delivers
// their frames as doubles; writes RIFF WAVE files (RF64 once they outgrow 32-bit sizes) with
// metadata and dithered integer or plain float samples.
//
// Reading: `open` (or `openFile` on a stream), then `readSamples`, `skipSamples`, `setSamplePos`;
// `close` before the object opens another file. Writing: fill the format fields (directly or with
// `copyFormat`) and optionally the metadata, `create`, `writeSamples` any number of times,
// `finishWriting`. The object takes no locks: one thread at a time.
class CWaveFile : public CWaveFileBase {
public:
    // One cue point or marker. Positions are sample frames.
    struct CMarker : CPoolAllocated {
        std::uint64_t id = 0;           // cue point id
        std::int64_t position = 0;
        std::uint64_t chunkId = 0;      // always the code of "data"
        std::int64_t blockStart = 0;
        std::int64_t sampleOffset = 0;
        std::int64_t length = 0;        // region length; 0 for a plain marker
        CString label;
    };
    // One loop of a "smpl" chunk; start and end are sample frames.
    struct CSampleLoop {
        std::uint64_t cuePointId = 0, type = 0, start = 0, end = 0, fraction = 0, playCount = 0;
    };
    // The "smpl" chunk.
    struct CSamplerInfo : CPoolAllocated {
        std::uint64_t manufacturer = 0, product = 0, samplePeriod = 0, midiUnityNote = 0, midiPitchFraction = 0,
                      smpteFormat = 0, smpteOffset = 0;
        CArray<CSampleLoop> loops;
        CByteBuffer samplerData;        // the sampler-specific bytes
    };
    // The Broadcast Wave "bext" chunk.
    struct CBroadcastInfo : CPoolAllocated {
        CString description, originator, originatorReference, originationDate, originationTime;
        std::uint64_t timeReference = 0;   // sample frames since midnight
        std::uint32_t version = 0;
        std::uint8_t umid[64] = {};
        std::uint8_t reserved[190] = {};   // loudness values and reserved area, kept as read
        CString codingHistory;
    };
    using CDitherState = CWaveDitherState;

    // --- life cycle ---
    CWaveFile();
    ~CWaveFile() override;
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // --- reading ---
    // Opens the file at `path` and reads its headers and chunks; the read position is frame 0.
    [[nodiscard]] CError* open(const CString& path);
    // The same on a stream, which must stay alive while frames are read (not owned).
    [[nodiscard]] CError* openFile(CPosInputStream* stream);
    // Moves the read position to frame `frame` (0 .. frameCount).
    [[nodiscard]] CError* setSamplePos(std::int64_t frame);
    [[nodiscard]] CError* readSamples(double* const* channels, std::int32_t frames, std::int32_t& framesRead) override;
    // Skips up to `frames` frames; framesSkipped is -1 when the data had ended before.
    [[nodiscard]] CError* skipSamples(std::int32_t frames, std::int32_t& framesSkipped);
    // Closes a file opened by `open` and clears texts, markers and the sampler and broadcast records.
    [[nodiscard]] CError* close();

    // --- copying between files ---
    void copyFormat(const CWaveFile& other);     // format fields, not frameCount
    void copyTextInfo(const CWaveFile& other);   // the five texts and infoTexts
    void copyMetadata(const CWaveFile& other);   // markers, sampler and broadcast records at this sampleRate

    // --- writing ---
    // Creates (or truncates) the file and writes everything up to the data chunk's header.
    [[nodiscard]] CError* create(const CString& path);
    // Encodes `frames` frames from channels[0 .. channelCount - 1]; full buffers go to the file.
    [[nodiscard]] CError* writeSamples(const double* const* channels, std::int32_t frames);
    // Writes the remaining frames and the trailing chunks, fixes the sizes (RIFF or RF64) and closes.
    [[nodiscard]] CError* finishWriting();

    // --- metadata helpers ---
    CMarker* addMarker();                                         // appends a zero-filled marker
    void setInfoText(const CString& id, const CString& text);     // one INFO or summary-list text
    void appendCodingHistory(CBroadcastInfo& info) const;         // this file's coding-history line

    // Files at least this large (size - 8 above it) become RF64. Tests lower it to check the RF64
    // layout without writing 4 GiB.
    static constexpr std::uint64_t kMaxRiffSize = 0xFFFFFFFEull;
    void setMaxRiffSizeForTesting(std::uint64_t size) { mMaxRiffSize = size; }

    // --- format fields ---
    double sampleRate = 0.0;
    std::int32_t channelCount = 0;
    std::int64_t frameCount = 0;
    bool isFloat = false;
    std::int32_t blockAlign = 0;
    std::int32_t physicalBits = 0;
    std::int32_t realBits = 0;
    std::uint64_t channelMask = 0;

    // --- texts and metadata (owned) ---
    CString title, author, copyright, comment, software;
    CSortedMap<CString, CString> infoTexts;   // every other INFO or summary-list item by its id
    CArray<CMarker*> markers;                 // owned, in the order read
    CSamplerInfo* samplerInfo = nullptr;      // owned; null when absent
    CBroadcastInfo* broadcastInfo = nullptr;  // owned; null when absent

    // --- data position and container (read only for callers) ---
    std::int64_t dataOffset = 0;
    std::int64_t dataLength = 0;
    bool isLittleEndian = false;
    bool isUnsigned8 = false;
    bool hasFormat = false;
    bool hasData = false;
    bool isRF64 = false;
    bool usesDs64Sizes = false;
    bool hasDs64 = false;
    bool isWave64 = false;

private:
    using Loc = std::source_location;

    // --- shared by the chunk readers ---
    [[nodiscard]] CError* checkDataLeft(std::int64_t& left, std::int64_t required, Loc loc = Loc::current());
    [[nodiscard]] CError* readBytes(void* dst, std::int64_t count, Loc loc = Loc::current());
    [[nodiscard]] CError* readU16(std::uint32_t& v, bool bigEndian = false, Loc loc = Loc::current());
    [[nodiscard]] CError* readU32(std::uint32_t& v, bool bigEndian = false, Loc loc = Loc::current());
    [[nodiscard]] CError* readU64(std::uint64_t& v, Loc loc = Loc::current());
    [[nodiscard]] CError* readGUID(CWaveGUID& out);
    [[nodiscard]] CError* seekTo(std::int64_t position, Loc loc = Loc::current());
    [[nodiscard]] CError* readText(CString& out, std::uint32_t size);
    [[nodiscard]] CError* readBWFString(CString& out, std::int64_t size, std::int64_t& left);
    [[nodiscard]] CError* readUnicodeString(CString& out, std::uint32_t byteCount, std::int64_t& left);
    // Reads one chunk header, taking the chunk (and with countPad its pad byte) off left.
    using ChunkHeaderReader = CError* (CWaveFile::*)(std::int64_t& left, std::uint32_t& id, std::int64_t& size,
                                                     std::int64_t& next, bool countPad);
    // Walks the chunks in the next `left` bytes: reads each header, hands (id, size) to onChunk
    // with the stream at the chunk's payload, then moves to the next chunk. An onChunk error ends
    // the walk with that error; a header error too, or with endOnBadHeader ends it quietly.
    template <class OnChunk>
    [[nodiscard]] CError* walkChunks(std::int64_t& left, ChunkHeaderReader readHeader, bool countPad, bool endOnBadHeader,
                                     OnChunk onChunk);

    // --- RIFF, RF64 and Wave64 ---
    [[nodiscard]] CError* readWAVE(std::int64_t left, std::uint32_t riffSize);
    [[nodiscard]] CError* readWAVE(std::int64_t& left, std::uint32_t& id, std::int64_t& size, std::int64_t& next, bool countPad);
    [[nodiscard]] CError* readWAVEFormat(std::int64_t size);
    [[nodiscard]] CError* readWAVEds64(std::int64_t size, std::int64_t& riffSize);
    [[nodiscard]] CError* readWAVEcue(std::int64_t size);
    [[nodiscard]] CError* readWAVELIST(std::int64_t size);
    [[nodiscard]] CError* readWAVEListADTLlabl(std::int64_t size);
    [[nodiscard]] CError* readWAVEListADTLltxt(std::int64_t size);
    [[nodiscard]] CError* readWAVEsmpl(std::int64_t size);
    [[nodiscard]] CError* readWAVEbext(std::int64_t size);
    [[nodiscard]] CError* readW64SummaryList(std::int64_t size);
    [[nodiscard]] CError* readW64Markers(std::int64_t size);

    // --- AIFF and AIFC ---
    [[nodiscard]] CError* readAIFF(std::int64_t left);
    [[nodiscard]] CError* readAIFFChunkHeader(std::int64_t& left, std::uint32_t& id, std::int64_t& size, std::int64_t& next,
                                              bool countPad);
    [[nodiscard]] CError* readAIFFFormat(std::int64_t size, std::uint32_t formType);

    // --- formats ---
    [[nodiscard]] CError* checkFormat();
    [[nodiscard]] CError* requireReadable(const char* operation, Loc loc = Loc::current());

    // --- writing ---
    [[nodiscard]] CError* checkWriteFormat();
    [[nodiscard]] CError* write(COutputStream& out, const void* data, std::int64_t count, Loc loc = Loc::current());
    [[nodiscard]] CError* writeU16(COutputStream& out, std::uint32_t v, Loc loc = Loc::current());
    [[nodiscard]] CError* writeU32(COutputStream& out, std::uint64_t v, Loc loc = Loc::current());
    [[nodiscard]] CError* writeId(COutputStream& out, const char* id, Loc loc = Loc::current());
    [[nodiscard]] CError* writeZeros(COutputStream& out, std::int32_t count);
    [[nodiscard]] CError* writeGUID(const CWaveGUID& guid);
    [[nodiscard]] CError* writeBWFString(COutputStream& out, const CString& text, std::int32_t size);
    [[nodiscard]] CError* writeWAVEbext(COutputStream& out, const CBroadcastInfo& info);
    [[nodiscard]] CError* writeWAVEFormat();
    [[nodiscard]] CError* writeWAVEListString(COutputStream& out, const CString& id, const CString& text);
    [[nodiscard]] CError* writeChunk(const char* id, CWriteSeqBuffer& body, bool listHeader, const char* listType);
    [[nodiscard]] CError* writeTrailingChunks();
    [[nodiscard]] CError* fixSizes();
    [[nodiscard]] CError* flushBuffer(std::int32_t frames);
    void prepareDither();
    void encodeChannel(std::int32_t channel, const double* src, std::int32_t frame, std::int32_t count);
    std::uint32_t clampedFramePos(std::int64_t frame) const;

    // --- owned records ---
    void destroyMarkers();
    void destroySamplerInfo();
    void destroyBroadcastInfo();
    void copyMarkers(const CWaveFile& other);
    void copySamplerInfo(const CWaveFile& other);
    void copyBroadcastInfo(const CWaveFile& other);

    // --- reading state ---
    CFileReader fileReader;
    CPosInputStream* input = nullptr;       // fileReader or the caller's stream; not owned
    std::int64_t filePos = 0;               // byte position reached by the chunk walk
    std::int64_t fileFramePos = 0;          // frames moved between the data and sampleBuffer
    CByteBuffer sampleBuffer;               // raw bytes of up to kBufferFrames frames
    std::int32_t bufferFrames = 0;
    std::int32_t bufferIndex = 0;
    EWaveSampleFormat mSampleFormat = EWaveSampleFormat::kInvalid;
    bool mIsReadable = false;               // a successful open, until close or create

    // --- writing state ---
    CFileWriter fileWriter;
    CArray<CDitherState> ditherStates;
    double sampleScale = 0.0;
    std::int32_t sampleShift = 0;
    bool mIsWriting = false;                // between create and finishWriting
    std::uint64_t mMaxRiffSize = kMaxRiffSize;

    static constexpr std::int32_t kBufferFrames = 16384;
};

} // namespace tal
