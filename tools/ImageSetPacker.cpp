#include "ImageSetPacker.h"

#include "Core/CString.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "Other/CImageSet.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

namespace delmaro_tool {

namespace {

using namespace tal;

struct Frame {
    int width = 0, height = 0;   // at the artwork scale
};

// Cairo's premultiplied native-endian ARGB rows to straight-alpha bytes: tone and alpha (grey), or
// blue, green, red and alpha (colour).
std::vector<std::uint8_t> fromCairo(cairo_surface_t* surface, const Frame& frame, bool grey) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int channels = grey ? 2 : 4;
    std::vector<std::uint8_t> out(std::size_t(frame.width) * std::size_t(frame.height) * std::size_t(channels));
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            std::uint32_t argb = 0;
            std::memcpy(&argb, data + std::ptrdiff_t(y) * stride + 4 * x, 4);
            const int a = int(argb >> 24);
            auto straight = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
            const int r = straight(int(argb >> 16 & 255)), g = straight(int(argb >> 8 & 255)), b = straight(int(argb & 255));
            std::uint8_t* p = &out[(std::size_t(y) * std::size_t(frame.width) + std::size_t(x)) * std::size_t(channels)];
            if (grey) {
                p[0] = std::uint8_t(a == 0 ? 0 : (r * 77 + g * 151 + b * 28 + 128) >> 8);
                p[1] = std::uint8_t(a);
            } else {
                p[0] = std::uint8_t(b);
                p[1] = std::uint8_t(g);
                p[2] = std::uint8_t(r);
                p[3] = std::uint8_t(a);
            }
        }
    return out;
}

bool renderSvg(const std::string& file, const std::string& id, const Frame& frame, bool grey,
               std::vector<std::uint8_t>& pixels, std::string& error) {
    GError* gerr = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(file.c_str(), &gerr);
    if (handle == nullptr) {
        error = "cannot read '" + file + "': " + (gerr != nullptr ? gerr->message : "unknown error");
        if (gerr != nullptr)
            g_error_free(gerr);
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, frame.width, frame.height);
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0.0, 0.0, double(frame.width), double(frame.height)};
    const std::string element = id.empty() ? std::string() : "#" + id;
    const gboolean ok = rsvg_handle_render_layer(handle, cr, element.empty() ? nullptr : element.c_str(), &viewport, &gerr);
    if (!ok) {
        error = "cannot render '" + file + (element.empty() ? "" : element) + "': " +
                (gerr != nullptr ? gerr->message : "unknown error");
        if (gerr != nullptr)
            g_error_free(gerr);
    } else {
        pixels = fromCairo(surface, frame, grey);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    return ok;
}

// Grey layers drawn by code, 4 x 4 samples per pixel.
std::vector<std::uint8_t> drawByCode(const std::string& kind, double arg, const Frame& frame, double scale) {
    std::vector<std::uint8_t> out(std::size_t(frame.width) * std::size_t(frame.height) * 2, 0);
    const double w = frame.width, h = frame.height;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            int inside = 0;
            double weight = 1.0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = x + (sx + 0.5) / 4.0, py = y + (sy + 0.5) / 4.0;
                    if (kind == "rule") {
                        const double mid = h / 2.0, half = scale / 2.0;
                        inside += std::abs(py - mid) <= half ? 1 : 0;
                    } else {
                        const double r = arg * scale;
                        const double cx = std::clamp(px, r, w - r), cy = std::clamp(py, r, h - r);
                        inside += (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r ? 1 : 0;
                    }
                }
            if (kind == "rule") {
                const double edge = std::min(x + 0.5, w - x - 0.5) / (0.2 * w);
                weight = std::clamp(edge, 0.0, 1.0);
            }
            std::uint8_t* p = &out[(std::size_t(y) * std::size_t(frame.width) + std::size_t(x)) * 2];
            p[0] = 255;
            p[1] = std::uint8_t(std::lround(inside / 16.0 * weight * 255.0));
        }
    return out;
}

// Splits a line into words; a pair of double quotes is the empty word.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) {
        if (w[0] == '#')
            break;
        out.push_back(w == "\"\"" ? std::string() : w);
    }
    return out;
}

bool toInt(const std::string& text, int& value) {
    try {
        std::size_t used = 0;
        value = std::stoi(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

} // namespace

bool packImageSet(const std::string& manifest, CImageSet& set, std::string& error) {
    set.clear();
    std::ifstream in(manifest);
    if (!in) {
        error = "cannot open the manifest '" + manifest + "'";
        return false;
    }
    const std::string folder = manifest.find('/') == std::string::npos ? "." : manifest.substr(0, manifest.rfind('/'));
    double scale = 2.0;
    CImage* image = nullptr;
    Frame frame;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::vector<std::string> w = words(line);
        if (w.empty())
            continue;
        const std::string where = manifest + ":" + std::to_string(number) + ": ";
        int a = 0, b = 0, c = 0;
        if (w[0] == "scale" && w.size() == 2) {
            scale = std::atof(w[1].c_str());
            if (!(scale > 0.0)) {
                error = where + "the scale must be positive";
                return false;
            }
        } else if (w[0] == "range" && w.size() == 4 && toInt(w[2], a) && toInt(w[3], b)) {
            set.setRange(CString(w[1].c_str()), a, b);
        } else if (w[0] == "image" && w.size() == 4 && toInt(w[1], a) && toInt(w[2], b) && toInt(w[3], c) && b > 0 &&
                   c > 0) {
            image = new CImage;
            if (!set.setImage(a, image)) {
                error = where + "image index out of range";
                return false;
            }
            frame = Frame{int(std::lround(b * scale)), int(std::lround(c * scale))};
        } else if (w[0] == "layer" && w.size() >= 3 && toInt(w[1], a)) {
            if (image == nullptr) {
                error = where + "a layer needs an image before it";
                return false;
            }
            std::vector<std::uint8_t> pixels;
            bool grey = true;
            if (w[2] == "svg" && w.size() == 5 && (w[4] == "grey" || w[4] == "colour")) {
                grey = w[4] == "grey";
                const std::size_t hash = w[3].find('#');
                const std::string file = folder + "/" + w[3].substr(0, hash);
                const std::string id = hash == std::string::npos ? std::string() : w[3].substr(hash + 1);
                if (!renderSvg(file, id, frame, grey, pixels, error)) {
                    error = where + error;
                    return false;
                }
            } else if (w[2] == "draw" && (w.size() == 4 || w.size() == 5) && (w[3] == "rule" || w[3] == "swatch")) {
                pixels = drawByCode(w[3], w.size() == 5 ? std::atof(w[4].c_str()) : 0.0, frame, scale);
            } else {
                error = where + "expected 'layer SLOT svg FILE[#ID] grey|colour' or 'layer SLOT draw rule|swatch [ARG]'";
                return false;
            }
            const int channels = grey ? 2 : 4;
            auto* layer = new CImageLayer;
            layer->init(a, frame.width, frame.height, 0, 0, scale, 0.0, 0, 0, 0, channels, -1, pixels.data(),
                        channels * 8);
            layer->assignBlock(pixels.data(), std::int32_t(pixels.size()), false);
            image->addLayer(layer);
        } else {
            error = where + "not understood: '" + line + "'";
            return false;
        }
    }
    return true;
}

} // namespace delmaro_tool
