#pragma once
#include <cstdint>

namespace tal {

class CAudioVizDataSpectrum;
class CByteBuffer;
class CError;
class CObject;
class CSpectrumCurve;
class CString;
class CUIParam;
class CWaveFileBase;

// The file and capture operations of the spectrum display: spectrum records ("aspc") made from a
// CSV table, copied from or written to a record file, captured from a displayed curve, or measured
// over a whole audio stream, and stored as the data item of a UI parameter, which a static
// spectrum view then shows. Paths come from the caller (a file dialog or a test). Stateless;
// editor thread only (the analysis runs on the calling thread).
class CSpectrumFiles {
public:
    // What the analysis reports to, and asks of, its progress window.
    class CProgress {
    public:
        virtual ~CProgress() = default;
        virtual bool isCancelled() const = 0;
        // fraction 0..1 of the stream analysed; an error stops the analysis.
        [[nodiscard]] virtual CError* setProgress(double fraction) = 0;
    };
    // The audio stream to analyse: the reader (not owned) and its format.
    struct CAudioSource {
        CWaveFileBase* reader = nullptr;
        double sampleRate = 0.0;
        std::int32_t channelCount = 0;
        std::int64_t frameCount = 0;
    };
    // The settings of an analysis.
    struct CAnalysis {
        std::int32_t spectrumType = 0;  // 0 RT Avg, 1 Max, 2 Avg, 3 RT Max, 4 RT Sigma
        std::int32_t blockSize = 2048;  // a power of two, 64 .. 65536
        std::int32_t windowType = 0;
        double overlap = 0.5;           // 0 <= overlap < 1
    };
    static constexpr std::int32_t kReadFrames = 16384;
    static constexpr int kMaxEmptyReads = 64;   // a reader that gives nothing this often is stuck

    // --- records ---
    // A record from a CSV file: rows "dB", "Hz, dB" or a parameter row (sample rate, FFT size,
    // spectrum type, averaging time, window type, channel names). Fewer than 16 levels: "The CSV
    // file is too short.". Without a rate the last level sits at the largest frequency read
    // (48000 Hz without frequencies).
    [[nodiscard]] static CError* recordFromCSVFile(const CString& path, CByteBuffer& out);
    // The payload of an "aspc" compressed record file, unparsed.
    [[nodiscard]] static CError* recordFromDataFile(const CString& path, CByteBuffer& out);
    // Writes a spectrum of linear values as an "aspc" compressed record file (created or replaced).
    [[nodiscard]] static CError* writeDataFile(const CString& path, const CAudioVizDataSpectrum& spectrum,
                                               const CString& groupName, const CString& channelNames);
    // A record of the curve's combined spectrum (dB values); false, out untouched, when the curve has
    // none or its FFT size is 0.
    static bool recordFromCurve(const CSpectrumCurve& curve, const CString& groupName, const CString& channelNames,
                                CByteBuffer& out);
    // Measures the averaged (types 0, 2, 4) or maximum (1, 3) spectrum of the whole stream. isDone
    // is false, out untouched, when cancelled (cancel non-zero or the progress window's flag).
    // Refuses a block size that is not a power of two in 64 .. 65536, an overlap outside 0 .. < 1,
    // a stream without channels or sample rate, and a reader that stops delivering.
    [[nodiscard]] static CError* analyzeAudio(const CAudioSource& source, const CAnalysis& analysis,
                                              CProgress* progress, const std::uint8_t* cancel, CByteBuffer& out,
                                              bool& isDone);

    // --- into UI parameters (element's component 0); owner names the caller in trace lines ---
    [[nodiscard]] static CError* readFromCSVFile(CObject* owner, const CString& path, CUIParam* param,
                                                 std::int32_t element);
    [[nodiscard]] static CError* readDataFile(CObject* owner, const CString& path, CUIParam* param,
                                              std::int32_t element);
    [[nodiscard]] static CError* analyzeAudioFile(CObject* owner, const CAudioSource& source,
                                                  const CAnalysis& analysis, CProgress* progress,
                                                  const std::uint8_t* cancel, CUIParam* param, std::int32_t element);
};

} // namespace tal
