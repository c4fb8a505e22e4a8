#include "Other/CColor.h"

#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/CMemPool.h"
#include "Core/COutputStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace tal {

namespace {

constexpr int kTableBytes = 1024;

// Rounds half away from zero.
double roundHalfAway(double v) noexcept { return v >= 0.0 ? std::floor(v + 0.5) : -std::floor(0.5 - v); }

// A channel on the 0..255 scale to a byte: NaN and negatives become 0, values above 255 become 255.
std::uint8_t toByte(double v255) noexcept {
    double u = v255 / 255.0;
    if (!(u > 0.0))
        u = 0.0;
    else if (u > 1.0)
        u = 1.0;
    return std::uint8_t(roundHalfAway(u * 255.0));
}

// f(t) of L*a*b*: the cube root above the threshold, else the linear branch, computed from the
// unscaled tristimulus value (0..100) with its own factor.
double labF(double t, double raw, double linearFactor) noexcept {
    return t > 0.008856 ? std::cbrt(t) : raw * linearFactor + 0.13793103448275862;
}

double labInverse(double f) noexcept {
    const double cube = f * f * f;
    return cube > 0.008856 ? cube : (f - 16.0 / 116.0) / 7.787;
}

double compand(double u) noexcept { return u > 0.0031308 ? 1.055 * std::pow(u, 1.0 / 2.4) - 0.055 : 12.92 * u; }

} // namespace

CColor::CColor(const CColor& other) : mOpacity(other.mOpacity), mChangeCount(other.mChangeCount) {
    if (other.mTable != nullptr)
        std::memcpy(table(), other.mTable, kTableBytes);
}

CColor& CColor::operator=(const CColor& other) {
    if (this != &other) {
        mOpacity = other.mOpacity;
        mChangeCount = other.mChangeCount;
        if (other.mTable != nullptr) {
            std::memcpy(table(), other.mTable, kTableBytes);
        } else if (mTable != nullptr) {
            poolFree(mTable);
            mTable = nullptr;
        }
    }
    return *this;
}

CColor::CColor(CColor&& other) noexcept
    : mOpacity(other.mOpacity), mTable(std::exchange(other.mTable, nullptr)), mChangeCount(other.mChangeCount) {}

CColor& CColor::operator=(CColor&& other) noexcept {
    if (this != &other) {
        if (mTable != nullptr)
            poolFree(mTable);
        mOpacity = other.mOpacity;
        mTable = std::exchange(other.mTable, nullptr);
        mChangeCount = other.mChangeCount;
    }
    return *this;
}

CColor::~CColor() {
    if (mTable != nullptr)
        poolFree(mTable);
}

std::uint8_t* CColor::table() {
    if (mTable == nullptr)
        mTable = static_cast<std::uint8_t*>(poolAlloc(kTableBytes));
    return mTable;
}

void CColor::rgbToLab(const double rgb[3], double lab[3]) noexcept {
    double lin[3];
    for (int c = 0; c < 3; ++c) {
        const double v = rgb[c];
        lin[c] = v / 255.0 > 0.04045 ? std::pow(v * 0.0037171266610909765 + 0.05213270142180095, 2.4)
                                     : v * 0.0003035269835488375;
    }
    const double x = 41.24 * lin[0] + 35.76 * lin[1] + 18.05 * lin[2];
    const double y = 21.26 * lin[0] + 71.52 * lin[1] + 7.22 * lin[2];
    const double z = 1.93 * lin[0] + 11.92 * lin[1] + 95.05 * lin[2];
    const double fx = labF(x * 0.010521110608435826, x, 0.08192788830788977);
    const double fy = labF(y * 0.01, y, 0.07787);
    const double fz = labF(z * 0.009184170164304804, z, 0.0715171330694415);
    lab[0] = 116.0 * fy - 16.0;
    lab[1] = 500.0 * (fx - fy);
    lab[2] = 200.0 * (fy - fz);
}

void CColor::labToRGB(const double lab[3], double rgb[3]) noexcept {
    const double fy = lab[0] * 0.00862068965517241 + 0.13793103448275856;
    const double fx = fy + lab[1] / 500.0;
    const double fz = fy - lab[2] / 200.0;
    const double xr = labInverse(fx), yr = labInverse(fy), zr = labInverse(fz);
    const double r = 3.0800930819999994 * xr - 1.5372 * yr - 0.5428906379999999 * zr;
    const double g = -0.9209103829999999 * xr + 1.8758 * yr + 0.045186445 * zr;
    const double b = 0.052941179 * xr - 0.204 * yr + 1.1508933099999998 * zr;
    rgb[0] = compand(r) * 255.0;
    rgb[1] = compand(g) * 255.0;
    rgb[2] = compand(b) * 255.0;
}

void CColor::buildToneRamp(int red, int green, int blue, double contrast, double opacity, double brightness) {
    ++mChangeCount;
    std::uint8_t* t = table();
    mOpacity = opacity;
    const double k = (2.0 - 2.0 * contrast) * (2.0 - 2.0 * contrast);
    const double rgb[3] = {double(red), double(green), double(blue)};
    double lab[3];
    rgbToLab(rgb, lab);
    lab[0] += brightness;
    for (int i = 0; i < 256; ++i) {
        const double g = std::pow(double(std::max(i, 8)) / 255.0, k);
        const double tone[3] = {g * lab[0], lab[1], lab[2]};
        double out[3];
        labToRGB(tone, out);
        t[4 * i + 0] = toByte(out[0]);
        t[4 * i + 1] = toByte(out[1]);
        t[4 * i + 2] = toByte(out[2]);
        t[4 * i + 3] = 255;
    }
}

void CColor::buildLinearRamp(int red, int green, int blue) {
    ++mChangeCount;
    std::uint8_t* t = table();
    mOpacity = 1.0;
    const int channels[3] = {red, green, blue};
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            t[4 * i + c] = std::uint8_t(roundHalfAway(double(i) * (1.0 / 255.0) * channels[c]));
        t[4 * i + 3] = 255;
    }
}

void CColor::setToneTable(const std::uint8_t* entries) {
    ++mChangeCount;
    std::memcpy(table(), entries, 1024);
    mOpacity = 1.0;
}

CError* CColor::read(CInputStream& in) {
    double opacity = 0.0;
    if (CError* err = in.readDouble(opacity))
        return traceError(err);
    mOpacity = opacity;
    std::uint8_t planes[768];
    if (CError* err = in.read(planes, 768))
        return traceError(err);
    std::uint8_t* t = table();
    for (int i = 0; i < 256; ++i) {
        t[4 * i + 0] = planes[i];
        t[4 * i + 1] = planes[256 + i];
        t[4 * i + 2] = planes[512 + i];
        t[4 * i + 3] = 255;
    }
    return nullptr;
}

CError* CColor::write(COutputStream& out) const {
    if (CError* err = out.writeDouble(mOpacity))
        return traceError(err);
    std::uint8_t planes[768] = {};
    if (mTable != nullptr) {
        for (int i = 0; i < 256; ++i) {
            planes[i] = mTable[4 * i + 0];
            planes[256 + i] = mTable[4 * i + 1];
            planes[512 + i] = mTable[4 * i + 2];
        }
    }
    if (CError* err = out.write(planes, 768))
        return traceError(err);
    return nullptr;
}

void CColor::hueToRGB(double rgb[3], double hue) noexcept {
    if (!(hue <= 1.0))
        hue = 1.0;   // also NaN
    else if (hue < 0.0)
        hue = 0.0;
    const double h = 6.0 * hue;
    const double s = std::floor(h);
    const int sector = int(s) % 6;
    const double f = h - s;
    switch (sector) {
    case 0: rgb[0] = 1.0; rgb[1] = f; rgb[2] = 0.0; break;
    case 1: rgb[0] = 1.0 - f; rgb[1] = 1.0; rgb[2] = 0.0; break;
    case 2: rgb[0] = 0.0; rgb[1] = 1.0; rgb[2] = f; break;
    case 3: rgb[0] = 0.0; rgb[1] = 1.0 - f; rgb[2] = 1.0; break;
    case 4: rgb[0] = f; rgb[1] = 0.0; rgb[2] = 1.0; break;
    default: rgb[0] = 1.0; rgb[1] = 0.0; rgb[2] = 1.0 - f; break;
    }
}

bool nearlyEqual(double a, double b) noexcept { return std::fabs(a - b) <= (std::fabs(a) + std::fabs(b)) * 2.2204461e-16; }

void rgbToHSV(const double rgb[3], double hsv[3]) noexcept {
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double v = std::max({r, g, b});
    const double m = std::min({r, g, b});
    const double d = v - m;
    hsv[2] = v;
    if (d == 0.0) {
        hsv[0] = 0.0;
        hsv[1] = 0.0;
        return;
    }
    hsv[1] = d / v;
    const double dr = ((v - r) / 6.0 + d / 2.0) / d;
    const double dg = ((v - g) / 6.0 + d / 2.0) / d;
    const double db = ((v - b) / 6.0 + d / 2.0) / d;
    double hue = 0.0;
    if (nearlyEqual(r, v))
        hue = db - dg;
    else if (nearlyEqual(g, v))
        hue = 1.0 / 3.0 + dr - db;
    else if (nearlyEqual(b, v))
        hue = 2.0 / 3.0 + dg - dr;
    if (hue < 0.0)
        hue += 1.0;
    if (hue > 1.0)
        hue -= 1.0;
    hsv[0] = hue;
}

void hsvToRGB(const double hsv[3], double rgb[3]) noexcept {
    const double h6 = 6.0 * hsv[0], s = hsv[1], v = hsv[2];
    const double fl = std::floor(h6);
    const int sector = ((int(fl) % 6) + 6) % 6;
    const double f = h6 - fl;
    const double p = v * (1.0 - s), q = v * (1.0 - f * s), t = v * (1.0 - (1.0 - f) * s);
    switch (sector) {
    case 0: rgb[0] = v; rgb[1] = t; rgb[2] = p; break;
    case 1: rgb[0] = q; rgb[1] = v; rgb[2] = p; break;
    case 2: rgb[0] = p; rgb[1] = v; rgb[2] = t; break;
    case 3: rgb[0] = p; rgb[1] = q; rgb[2] = v; break;
    case 4: rgb[0] = t; rgb[1] = p; rgb[2] = v; break;
    default: rgb[0] = v; rgb[1] = p; rgb[2] = q; break;
    }
}

double normaliseLuma(double rgb[3]) noexcept {
    const double luma = std::pow(0.299 * std::pow(rgb[0], 2.2) + 0.587 * std::pow(rgb[1], 2.2) + 0.114 * std::pow(rgb[2], 2.2),
                                 1.0 / 2.2);
    if (!(luma > 0.0))
        return luma;   // black stays black: there is no hue to scale
    for (int c = 0; c < 3; ++c)
        rgb[c] = std::clamp(rgb[c] / luma, 0.0, 1.0);
    return luma;
}

} // namespace tal
