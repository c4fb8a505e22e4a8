#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tal {

class CViewBasePlacement;

// A picture of a laid-out view tree: every shown view's clip rectangle filled with a colour of its
// own (by creation order), its total rectangle outlined in a darker shade, views painted in
// ascending z as the window's tiles are. Pixels are stored B, G, R, A.
struct CViewRectPicture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

CViewRectPicture paintViewRects(CViewBasePlacement& root, std::int32_t width, std::int32_t height);

// The result of comparing a picture with a reference PNG.
struct CPictureDifference {
    bool loaded = false;          // the reference was read and has the picture's size
    int maxDelta = 0;             // the largest difference of one channel
    std::int64_t differing = 0;   // pixels with a channel differing by more than the tolerance
};

// Compares with the PNG at path; channels may differ by up to tolerance.
CPictureDifference compareWithPng(const CViewRectPicture& picture, const std::string& path, int tolerance);
// Writes the picture as a PNG at path (for the references); true on success.
bool writePictureFile(const CViewRectPicture& picture, const std::string& path);

} // namespace tal
