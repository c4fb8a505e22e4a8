#pragma once

#include <cstdint>

namespace tal {

class CError;
class CInputStream;
class COutputStream;

// A colour the editor draws with: an opacity and a ramp of 256 RGBA tones. Entry 255 is the colour
// itself and lower entries are darker tones of it, so that one grey-tone image can be drawn in any
// colour with its shading kept. Owned by value by its user (dynamic colours, band colours, the
// palette); it owns its tone table, taken from the pool allocator on the first build or read.
// Threads: built and changed on the editor's thread; paint jobs on other threads only read it.
class CColor {
public:
    CColor() = default;   // no table until the first build or read
    CColor(const CColor& other);
    CColor& operator=(const CColor& other);
    CColor(CColor&& other) noexcept;
    CColor& operator=(CColor&& other) noexcept;
    ~CColor();

    // --- ramps ---
    // The ramp built in L*a*b* from a colour (channels 0..255): contrast 0..1 bends the ramp (0.5:
    // linear in lightness, 1: every entry equals the colour); brightness is added to L* (0..100).
    // Stores the opacity (0..1) and counts a change.
    void buildToneRamp(int red, int green, int blue, double contrast, double opacity, double brightness);
    // The ramp that scales the colour linearly towards black; opacity 1. Counts a change.
    void buildLinearRamp(int red, int green, int blue);
    // Takes 256 entries of 4 bytes (red, green, blue, alpha) as the ramp; opacity 1. Counts a change.
    void setToneTable(const std::uint8_t* entries);

    // --- queries ---
    double opacity() const noexcept { return mOpacity; }
    void setOpacity(double opacity) noexcept { mOpacity = opacity; }
    // The 256 entries of 4 bytes (red, green, blue, alpha), or null before the first build or read.
    const std::uint8_t* toneTable() const noexcept { return mTable; }
    // Entry i's bytes (0..255); null without a table.
    const std::uint8_t* tone(int i) const noexcept { return mTable != nullptr ? mTable + 4 * (i & 255) : nullptr; }
    // Grows by one with every ramp build (wraps); caches compare it to know when to rebuild.
    std::int32_t changeCount() const noexcept { return mChangeCount; }

    // --- records (776 bytes: opacity f64, then 256 reds, 256 greens, 256 blues) ---
    // Reads a record; alpha becomes 255. On a stream error the table is unchanged and the error is
    // returned with a trace line.
    [[nodiscard]] CError* read(CInputStream& in);
    // Writes the record; a colour without a table writes a black ramp.
    [[nodiscard]] CError* write(COutputStream& out) const;

    // --- colour conversions ---
    // Fully saturated colour of a hue (0..1, clamped; NaN counts as 1): red, yellow, green, cyan,
    // blue, magenta and back to red. Channels 0..1.
    static void hueToRGB(double rgb[3], double hue) noexcept;
    // sRGB channels 0..255 to L*, a*, b* (D65).
    static void rgbToLab(const double rgb[3], double lab[3]) noexcept;
    // L*, a*, b* to sRGB channels on the 0..255 scale, not clamped.
    static void labToRGB(const double lab[3], double rgb[3]) noexcept;

private:
    std::uint8_t* table();   // allocates on first use

    double mOpacity = 1.0;
    std::uint8_t* mTable = nullptr;   // owned: 1024 bytes from the pool allocator
    std::int32_t mChangeCount = 0;
};

// Channels 0..1 to hue (0..1), saturation and value.
void rgbToHSV(const double rgb[3], double hsv[3]) noexcept;
// Hue (0..1), saturation and value to channels 0..1.
void hsvToRGB(const double hsv[3], double rgb[3]) noexcept;
// Scales the channels (0..1) so that their luma becomes 1 and clamps them to 0..1; returns the
// luma before. A black input (luma 0) is left black.
double normaliseLuma(double rgb[3]) noexcept;
// True when a and b differ by at most their magnitude times the double epsilon.
bool nearlyEqual(double a, double b) noexcept;

} // namespace tal
