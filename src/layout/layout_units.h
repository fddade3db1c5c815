// Units, paper and colours of layout: report units to points, the platform's paper numbering
// to physical sizes, definition colours to 0xRRGGBB.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace print::layout {

// Points per report unit, across and down, for the definition's `units` (0 the platform's own
// units, 1 pixels at 96 DPI, 2 thousandths of an inch, 3 thousandths of a centimetre; anything
// else reads as 0).
struct UnitScale {
    int units = 0;
    double x = 0;
    double y = 0;

    static UnitScale forUnits(int units);
};

// Width and height in tenths of a millimetre of a paper code, portrait as the platform's
// numbering lists it; nullopt for a code without a fixed size or not in the numbering.
struct PaperSize {
    int width = 0;
    int height = 0;
};
std::optional<PaperSize> paperSize(int code);
// The custom paper size code: the size then comes from Print.CustomPage.Width and Length.
inline constexpr int kCustomPaper = 256;

// A definition colour (blue-green-red long with the platform's flag bits) as 0xRRGGBB; nullopt
// for the transparent colours. System colours are those of a plain light desktop.
std::optional<uint32_t> resolveColor(int64_t value);

// Sizes and positions beyond a kilometre in any unit are mistakes; keeping within this bound
// keeps every sum of them finite.
inline constexpr double kLayoutLimit = 1e9;

// Reads a number as definitions write them ("41", " -9 ", "1.5"); nullopt for anything else.
std::optional<double> parseNumber(std::string_view text);

}  // namespace print::layout
