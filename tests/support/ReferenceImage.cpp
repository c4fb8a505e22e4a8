#include "support/ReferenceImage.h"

#include "Other/CLinearBitmap.h"
#include "PngFile.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace tal {

namespace {

std::string referencePath(const std::string& name) { return std::string(TAL_FIXTURES_DIR) + "/" + name + ".png"; }

bool writeBeside(const std::filesystem::path& path, const CLinearBitmap& bitmap, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return delmaro_tool::writePngFile(path.string(), bitmap, error);
}

} // namespace

::testing::AssertionResult matchesReference(const CLinearBitmap& bitmap, const std::string& name,
                                            std::int32_t channelDelta, std::int64_t maxDiffering) {
    std::string error;
    const char* update = std::getenv("TAL_UPDATE_REFERENCES");
    if (update != nullptr && std::string(update) == "1") {
        if (!writeBeside(referencePath(name), bitmap, error))
            return ::testing::AssertionFailure() << error;
        return ::testing::AssertionSuccess() << "reference " << name << " rewritten";
    }
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> reference;
    std::int64_t differing = 0;
    std::int32_t worst = 0;
    const bool read = delmaro_tool::readPngFile(referencePath(name), width, height, reference, error);
    const bool sameSize = read && width == bitmap.width() && height == bitmap.height();
    if (sameSize) {
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = bitmap.pixel(x, y);
                const std::uint8_t* r = &reference[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
                std::int32_t delta = 0;
                for (int c = 0; c < 3; ++c)
                    delta = std::max(delta, std::abs(std::int32_t(p[c]) - std::int32_t(r[c])));
                worst = std::max(worst, delta);
                differing += delta > channelDelta ? 1 : 0;
            }
        if (differing <= maxDiffering)
            return ::testing::AssertionSuccess();
    }
    const std::filesystem::path actual = std::filesystem::path(TAL_REFERENCE_FAILURES_DIR) / (name + ".png");
    std::string written;
    if (!writeBeside(actual, bitmap, written))
        written = "(not written: " + written + ")";
    else
        written = actual.string();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    if (!read)
        failure << error;
    else if (!sameSize)
        failure << name << ": rendered " << bitmap.width() << "x" << bitmap.height() << ", reference " << width << "x"
                << height;
    else
        failure << name << ": " << differing << " pixels differ by more than " << channelDelta << " (allowed "
                << maxDiffering << ", largest difference " << worst << ")";
    return failure << "; rendered picture: " << written
                   << " (regenerate with TAL_UPDATE_REFERENCES=1, see tests/fixtures/README.md)";
}

} // namespace tal
