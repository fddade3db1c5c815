#include "layout/layout_units.h"

#include <charconv>
#include <cmath>
#include <map>

#include "common/text.h"

namespace print::layout {

UnitScale UnitScale::forUnits(int units) {
    switch (units) {
        case 1:
            return {1, 0.75, 0.75};
        case 2:
            return {2, 0.072, 0.072};
        case 3:
            return {3, 72.0 / 2540.0, 72.0 / 2540.0};
        default:
            // At 96 DPI a pixel is 32/7 platform units across and 4 down; a pixel is 3/4 point.
            return {0, 0.75 * 7.0 / 32.0, 0.75 / 4.0};
    }
}

namespace {

constexpr int inch(double inches) {
    return static_cast<int>(inches * 254 + 0.5);
}

// Physical sizes of the platform's paper codes (the printer paper numbering), portrait, in
// tenths of a millimetre. Several entries of the paper list the settings form shows are written
// sideways or mistyped there (envelopes #9, #10, #12, #14, B4 (JIS), the Extra and Plus sizes,
// A3 Rotated); layout needs the sheet as it comes out of the printer.
const std::map<int, PaperSize>& paperTable() {
    static const std::map<int, PaperSize> table = {
        {1, {inch(8.5), inch(11)}},
        {2, {inch(8.5), inch(11)}},
        {3, {inch(11), inch(17)}},
        {4, {inch(17), inch(11)}},
        {5, {inch(8.5), inch(14)}},
        {6, {inch(5.5), inch(8.5)}},
        {7, {inch(7.25), inch(10.5)}},
        {8, {2970, 4200}},
        {9, {2100, 2970}},
        {10, {2100, 2970}},
        {11, {1480, 2100}},
        {12, {2570, 3640}},
        {13, {1820, 2570}},
        {14, {inch(8.5), inch(13)}},
        {15, {2150, 2750}},
        {16, {inch(10), inch(14)}},
        {17, {inch(11), inch(17)}},
        {18, {inch(8.5), inch(11)}},
        {19, {inch(3.875), inch(8.875)}},
        {20, {inch(4.125), inch(9.5)}},
        {21, {inch(4.5), inch(10.375)}},
        {22, {inch(4.75), inch(11)}},
        {23, {inch(5), inch(11.5)}},
        {24, {inch(17), inch(22)}},
        {25, {inch(22), inch(34)}},
        {26, {inch(34), inch(44)}},
        {27, {1100, 2200}},
        {28, {1620, 2290}},
        {29, {3240, 4580}},
        {30, {2290, 3240}},
        {31, {1140, 1620}},
        {32, {1140, 2290}},
        {33, {2500, 3530}},
        {34, {1760, 2500}},
        {35, {1250, 1760}},
        {36, {1100, 2300}},
        {37, {inch(3.875), inch(7.5)}},
        {38, {inch(3.625), inch(6.5)}},
        {39, {inch(14.875), inch(11)}},
        {40, {inch(8.5), inch(12)}},
        {41, {inch(8.5), inch(13)}},
        {42, {2500, 3530}},
        {43, {1000, 1480}},
        {44, {inch(9), inch(11)}},
        {45, {inch(10), inch(11)}},
        {46, {inch(15), inch(11)}},
        {47, {2200, 2200}},
        {50, {inch(9.5), inch(12)}},
        {51, {inch(9.5), inch(15)}},
        {52, {inch(11.69), inch(18)}},
        {53, {inch(9.27), inch(12.69)}},
        {54, {inch(8.5), inch(11)}},
        {55, {2100, 2970}},
        {56, {inch(9.5), inch(12)}},
        {57, {2270, 3560}},
        {58, {3050, 4870}},
        {59, {inch(8.5), inch(12.69)}},
        {60, {2100, 3300}},
        {61, {1480, 2100}},
        {62, {1820, 2570}},
        {63, {3220, 4450}},
        {64, {1740, 2350}},
        {65, {2010, 2760}},
        {66, {4200, 5940}},
        {67, {2970, 4200}},
        {68, {3220, 4450}},
        {69, {2000, 1480}},
        {70, {1050, 1480}},
        {71, {2400, 3320}},
        {72, {2160, 2770}},
        {73, {1200, 2350}},
        {74, {900, 2050}},
        {75, {inch(11), inch(8.5)}},
        {76, {4200, 2970}},
        {77, {2970, 2100}},
        {78, {2100, 1480}},
        {79, {3640, 2570}},
        {80, {2570, 1820}},
        {81, {1480, 1000}},
        {82, {1480, 2000}},
        {83, {1480, 1050}},
        {84, {3320, 2400}},
        {85, {2770, 2160}},
        {86, {2350, 1200}},
        {87, {2050, 900}},
        {88, {1280, 1820}},
        {89, {1820, 1280}},
        {90, {inch(12), inch(11)}},
        {91, {1050, 2350}},
        {92, {2350, 1050}},
        {93, {1460, 2150}},
        {94, {970, 1510}},
        {95, {970, 1510}},
        {96, {1020, 1650}},
        {97, {1020, 1760}},
        {98, {1250, 1760}},
        {99, {1100, 2080}},
        {100, {1100, 2200}},
        {101, {1200, 2300}},
        {102, {1600, 2300}},
        {103, {1200, 3090}},
        {104, {2290, 3240}},
        {105, {3240, 4580}},
        {106, {2150, 1460}},
        {107, {1510, 970}},
        {108, {1510, 970}},
        {109, {1650, 1020}},
        {110, {1760, 1020}},
        {111, {1760, 1250}},
        {112, {2080, 1100}},
        {113, {2200, 1100}},
        {114, {2300, 1200}},
        {115, {2300, 1600}},
        {116, {3090, 1200}},
        {117, {3240, 2290}},
        {118, {4580, 3240}},
    };
    return table;
}

// Windows system colours by index, as a plain light desktop shows them (0xRRGGBB).
uint32_t systemColor(int index) {
    switch (index) {
        case 0:
            return 0xC8C8C8;  // scroll bar
        case 1:
            return 0x000000;  // desktop
        case 2:
            return 0x99B4D1;  // active caption
        case 3:
            return 0xBFCDDB;  // inactive caption
        case 4:
            return 0xF0F0F0;  // menu
        case 5:
            return 0xFFFFFF;  // window
        case 6:
            return 0x646464;  // window frame
        case 7:
            return 0x000000;  // menu text
        case 8:
            return 0x000000;  // window text
        case 9:
            return 0x000000;  // caption text
        case 10:
            return 0xB4B4B4;  // active border
        case 11:
            return 0xF4F7FC;  // inactive border
        case 12:
            return 0xABABAB;  // application workspace
        case 13:
            return 0x0078D7;  // highlight
        case 14:
            return 0xFFFFFF;  // highlight text
        case 15:
            return 0xF0F0F0;  // button face
        case 16:
            return 0xA0A0A0;  // button shadow
        case 17:
            return 0x6D6D6D;  // grey text
        case 18:
            return 0x000000;  // button text
        case 19:
            return 0x000000;  // inactive caption text
        case 20:
            return 0xFFFFFF;  // button highlight
        case 21:
            return 0x696969;  // 3D dark shadow
        case 22:
            return 0xE3E3E3;  // 3D light
        case 23:
            return 0x000000;  // tooltip text
        case 24:
            return 0xFFFFE1;  // tooltip background
        default:
            return 0x000000;
    }
}

}  // namespace

std::optional<PaperSize> paperSize(int code) {
    if (code == 0) code = 9;
    auto it = paperTable().find(code);
    if (it == paperTable().end()) return std::nullopt;
    return it->second;
}

std::optional<uint32_t> resolveColor(int64_t value) {
    auto bgr = static_cast<uint32_t>(value & 0xFFFFFF);
    auto flags = static_cast<uint32_t>((value >> 24) & 0xFF);
    if (value < 0) return 0x000000;
    if (flags & 0x08) return systemColor(static_cast<int>(value & 0xFF));
    if (flags & 0x20) return std::nullopt;  // transparent, whatever else is set
    if (flags & 0x40) return systemColor(5);
    if (flags & 0x02) return systemColor(8);
    if (flags & 0x04) return systemColor(15);
    if (flags & 0x10) return systemColor(12);
    if (flags & 0x01) return systemColor(0);
    uint32_t r = bgr & 0xFF, g = (bgr >> 8) & 0xFF, b = (bgr >> 16) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

std::optional<double> parseNumber(std::string_view text) {
    text = trimView(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

}  // namespace print::layout
