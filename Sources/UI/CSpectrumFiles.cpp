#include "UI/CSpectrumFiles.h"

#include "Audio/Viz/CAudioVizDataBins.h"
#include "Audio/Viz/CFFTPlanCache.h"
#include "Audio/Viz/SpectrumWindow.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CFileWriter.h"
#include "Core/CObject.h"
#include "Core/NumberText.h"
#include "Core/RecordTags.h"
#include "Other/CCSVTable.h"
#include "Other/CWaveFile.h"
#include "UI/CSpectrumCurve.h"
#include "UI/CSpectrumData.h"
#include "UI/CUIParam.h"
#include "fft/FftDispatch.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace tal {

namespace {

constexpr int kMinCSVValues = 16;

const CString& cellOf(const CStringList& row, int i) { return i < row.count() ? row[i] : CString::emptyString; }

// Closes a file and passes on the first of the operation's error and the close error.
template <class File>
CError* closeFile(File& file, CError* error) {
    CError* closeError = file.close();
    if (error == nullptr)
        return closeError;
    delete closeError;
    return error;
}

// Returns a plan to the cache when it goes out of scope.
struct CPlanHolder {
    CFFTPlan* plan = nullptr;
    ~CPlanHolder() { releaseFFTPlan(plan); }
};

} // namespace

// --- records ---

CError* CSpectrumFiles::recordFromCSVFile(const CString& path, CByteBuffer& out) {
    CCSVTable table;
    if (CError* error = table.load(path))
        return traceError(error);
    std::vector<double> values;
    double maxFrequency = 0.0;
    bool hasFrequency = false;
    double rate = 0.0, averagingTime = 0.0;
    std::int32_t fft = 0, type = 0, window = 0;
    CString channelNames;
    for (int r = 0; r < table.rowCount(); ++r) {
        const CStringList& row = table.row(r);
        if (cellOf(row, 2).isEmpty() && cellOf(row, 3).isEmpty()) {
            const bool hasFrequencyCell = !cellOf(row, 1).isEmpty();
            bool isNumber = false;
            const double db = parseDouble(hasFrequencyCell ? cellOf(row, 1) : cellOf(row, 0), &isNumber);
            if (!isNumber)
                continue;
            values.push_back(std::exp(db * 0.11512925464970228));
            bool isFrequency = false;
            const double f = hasFrequencyCell ? parseDouble(cellOf(row, 0), &isFrequency) : 0.0;
            if (isFrequency) {
                maxFrequency = hasFrequency ? std::max(maxFrequency, f) : f;
                hasFrequency = true;
            }
            continue;
        }
        if (row.count() < 5)
            continue;
        const int first = row.count() >= 7 ? 2 : 0;
        bool isNumber = false;
        rate = parseDouble(cellOf(row, first), &isNumber);
        if (!isNumber)
            rate = 0.0;
        fft = parseInt(cellOf(row, first + 1), 0);
        type = parseInt(cellOf(row, first + 2), 0);
        averagingTime = parseDouble(cellOf(row, first + 3), &isNumber);
        if (!isNumber)
            averagingTime = 0.0;
        window = parseInt(cellOf(row, first + 4), 0);
        if (row.count() > first + 5)
            channelNames = row[first + 5];
    }
    const std::int32_t n = std::int32_t(values.size());
    if (n < kMinCSVValues)
        return newError("@talstr_CSpectrum_readFromCSVFile_ShortFile The CSV file is too short.", CString(), path);
    if (rate == 0.0) {
        // The last of n bins sits at (n - 1) R / 2n: the largest frequency read.
        rate = hasFrequency && maxFrequency > 0.0 ? 2.0 * n * maxFrequency / (n - 1) : 48000.0;
    }
    auto spectrum = std::make_unique<CAudioVizDataSpectrum>();
    spectrum->values.assign(values.data(), n);
    spectrum->sampleRate = rate;
    spectrum->fftSize = fft != 0 ? fft : 2048;
    spectrum->averagingType = type;
    spectrum->averagingTime = averagingTime;
    spectrum->window = window;
    CSpectrumData data;
    data.setFromSpectrum(*spectrum, CString(), channelNames, true);
    return traceError(data.saveToBuffer(out));
}

CError* CSpectrumFiles::recordFromDataFile(const CString& path, CByteBuffer& out) {
    CFileReader file;
    if (CError* error = file.open(path))
        return traceError(error);
    CByteBuffer bytes;
    if (CError* error = closeFile(file, file.readCompressedData(bytes, kTagSpectrum)))
        return traceError(error);
    out.swap(bytes);
    return nullptr;
}

CError* CSpectrumFiles::writeDataFile(const CString& path, const CAudioVizDataSpectrum& spectrum,
                                      const CString& groupName, const CString& channelNames) {
    CSpectrumData data;
    data.setFromSpectrum(spectrum, groupName, channelNames, true);
    CByteBuffer bytes;
    if (CError* error = data.saveToBuffer(bytes))
        return traceError(error);
    CFileWriter file;
    if (CError* error = file.open(path))
        return traceError(error);
    return traceError(closeFile(file, file.writeCompressedData(bytes, kTagSpectrum)));
}

bool CSpectrumFiles::recordFromCurve(const CSpectrumCurve& curve, const CString& groupName,
                                     const CString& channelNames, CByteBuffer& out) {
    const CAudioVizDataSpectrum* combined = curve.combined();
    if (combined == nullptr || combined->fftSize == 0)
        return false;
    CSpectrumData data;
    data.setFromSpectrum(*combined, groupName, channelNames, false);
    CError* error = data.saveToBuffer(out);
    delete error;   // a buffer write does not fail
    return error == nullptr;
}

// --- analysis ---

CError* CSpectrumFiles::analyzeAudio(const CAudioSource& source, const CAnalysis& analysis, CProgress* progress,
                                     const std::uint8_t* cancel, CByteBuffer& out, bool& isDone) {
    isDone = false;
    const std::int32_t B = analysis.blockSize;
    if (B < 64 || B > 65536 || (B & (B - 1)) != 0)
        return newError("@talstr_CSpectrum_analyzeAudioFile_BadBlockSize Block size %1 is not a power of two "
                        "from 64 to 65536.",
                        CString(), CString(B));
    const double hopSize = std::round((1.0 - analysis.overlap) * B);
    if (!(analysis.overlap >= 0.0 && analysis.overlap < 1.0) || hopSize < 1.0)
        return newError("@talstr_CSpectrum_analyzeAudioFile_BadOverlap The overlap must be at least 0 and below 1.");
    if (source.reader == nullptr || source.channelCount <= 0 || !(source.sampleRate > 0.0))
        return newError("@talstr_CSpectrum_analyzeAudioFile_BadStream The audio stream has no channels or no "
                        "sample rate.");
    const std::int32_t hop = std::int32_t(hopSize);
    const std::int32_t type = analysis.spectrumType;
    const std::int32_t storedType = type == 0 || type == 4 ? 2 : type == 3 ? 1 : type;
    const bool isMax = storedType == 1;
    const std::int32_t channels = source.channelCount;
    const std::int32_t bins = B / 2 + 1;

    const std::size_t channelSlots = static_cast<std::size_t>(channels);
    const std::size_t blockLength = static_cast<std::size_t>(B);
    std::vector<std::vector<double>> reads(channelSlots, std::vector<double>(kReadFrames));
    std::vector<std::vector<double>> rings(channelSlots, std::vector<double>(blockLength, 0.0));
    std::vector<double*> readPointers(channelSlots);
    for (std::size_t c = 0; c < channelSlots; ++c)
        readPointers[c] = reads[c].data();
    std::vector<double> window(blockLength), frame(blockLength), result(static_cast<std::size_t>(bins), 0.0);
    buildSpectrumWindow(analysis.windowType, window.data(), B);
    std::int32_t order = 0;
    while ((1 << order) < B)
        ++order;
    CPlanHolder holder;
    holder.plan = acquireFFTPlan(order);
    if (holder.plan == nullptr || holder.plan->spec == nullptr)
        return newError("@talstr_CSpectrum_analyzeAudioFile_NoPlan No transform of size %1.", CString(), CString(B));

    std::int64_t framesRead = 0, frameCount = 0;
    std::int64_t nextProgress = 0;
    std::int32_t ringPos = 0, sinceFrame = 0;
    int emptyReads = 0;
    bool isEnd = false;
    while (true) {
        if (cancel != nullptr && *cancel != 0)
            return nullptr;
        std::int32_t count = 0;
        if (CError* error = source.reader->readSamples(readPointers.data(), kReadFrames, count))
            return traceError(error);
        if (count < 0) {
            for (auto& r : reads)
                std::fill(r.begin(), r.end(), 0.0);
            count = kReadFrames;
            isEnd = true;
        } else if (count == 0) {
            if (++emptyReads >= kMaxEmptyReads)
                return newError("@talstr_CSpectrum_analyzeAudioFile_Stuck The audio stream stopped delivering.");
            continue;
        } else {
            emptyReads = 0;
            framesRead += count;
        }
        bool isLastFrameMade = false;
        for (std::int32_t i = 0; i < count && !isLastFrameMade; ++i) {
            for (std::int32_t c = 0; c < channels; ++c)
                rings[std::size_t(c)][std::size_t(ringPos)] = reads[std::size_t(c)][std::size_t(i)];
            ringPos = ringPos + 1 == B ? 0 : ringPos + 1;
            if (++sinceFrame < hop)
                continue;
            sinceFrame = 0;
            for (std::int32_t c = 0; c < channels; ++c) {
                const std::vector<double>& ring = rings[std::size_t(c)];
                // Oldest sample first: the ring from the write position on, then its start.
                for (std::int32_t k = 0; k < B; ++k) {
                    const std::int32_t at = ringPos + k < B ? ringPos + k : ringPos + k - B;
                    frame[std::size_t(k)] = ring[std::size_t(at)] * window[std::size_t(k)];
                }
                realFFTForward(frame.data(), frame.data(), holder.plan->spec, holder.plan->workMemory);
                double* r = result.data();
                const double dc = std::fabs(frame[0]), nyquist = std::fabs(frame[1]);
                if (isMax) {
                    r[0] = std::max(r[0], dc);
                    r[bins - 1] = std::max(r[bins - 1], nyquist);
                    for (std::int32_t k = 1; k < B / 2; ++k)
                        r[k] = std::max(r[k], std::hypot(frame[std::size_t(2 * k)], frame[std::size_t(2 * k + 1)]));
                } else {
                    r[0] += dc;
                    r[bins - 1] += nyquist;
                    for (std::int32_t k = 1; k < B / 2; ++k)
                        r[k] += std::hypot(frame[std::size_t(2 * k)], frame[std::size_t(2 * k + 1)]);
                }
                ++frameCount;
            }
            isLastFrameMade = isEnd;
        }
        if (isEnd)
            break;
        if (progress != nullptr && source.frameCount > 0 && framesRead >= nextProgress) {
            if (progress->isCancelled())
                return nullptr;
            if (CError* error = progress->setProgress(double(framesRead) / double(source.frameCount)))
                return traceError(error);
            nextProgress = framesRead + std::max<std::int64_t>(source.frameCount / 100, 1);
        }
    }
    if (frameCount == 0)
        return nullptr;
    if (!isMax)
        for (double& v : result)
            v /= double(frameCount);
    auto spectrum = std::make_unique<CAudioVizDataSpectrum>();
    spectrum->values.assign(result.data(), bins);
    spectrum->sampleRate = source.sampleRate;
    spectrum->fftSize = B;
    spectrum->averagingType = storedType;
    spectrum->window = analysis.windowType;
    spectrum->averagingTime = double(source.frameCount) / source.sampleRate;
    CString group, names("L+R");
    if (channels == 1) {
        group = CString("Mono");
        names = CString("L");
    } else if (channels == 2) {
        group = CString("Stereo");
    } else {
        group = CString("Multi");
        for (std::int32_t c = 3; c <= channels; ++c) {
            names.append("+");
            names.append(CString(c));
        }
    }
    CSpectrumData data;
    data.setFromSpectrum(*spectrum, group, names, true);
    if (CError* error = data.saveToBuffer(out))
        return traceError(error);
    isDone = true;
    return nullptr;
}

// --- into UI parameters ---

CError* CSpectrumFiles::readFromCSVFile(CObject* owner, const CString& path, CUIParam* param, std::int32_t element) {
    CByteBuffer record;
    if (CError* error = recordFromCSVFile(path, record))
        return traceError(error, owner != nullptr ? owner->getFullName() : CString());
    param->setDataItem(element, 0, record);
    return nullptr;
}

CError* CSpectrumFiles::readDataFile(CObject* owner, const CString& path, CUIParam* param, std::int32_t element) {
    CByteBuffer record;
    if (CError* error = recordFromDataFile(path, record))
        return traceError(error, owner != nullptr ? owner->getFullName() : CString());
    param->setDataItem(element, 0, record);
    return nullptr;
}

CError* CSpectrumFiles::analyzeAudioFile(CObject* owner, const CAudioSource& source, const CAnalysis& analysis,
                                         CProgress* progress, const std::uint8_t* cancel, CUIParam* param,
                                         std::int32_t element) {
    CByteBuffer record;
    bool isDone = false;
    if (CError* error = analyzeAudio(source, analysis, progress, cancel, record, isDone))
        return traceError(error, owner != nullptr ? owner->getFullName() : CString());
    if (isDone)
        param->setDataItem(element, 0, record);
    return nullptr;
}

} // namespace tal
