#include "print_service/money_text.h"

#include <array>
#include <string_view>

namespace print::service {

namespace {

constexpr std::array<std::string_view, 10> kDigits{"零", "壹", "贰", "叁", "肆",
                                                   "伍", "陆", "柒", "捌", "玖"};
constexpr std::array<std::string_view, 4> kPlaces{"", "拾", "佰", "仟"};

using Wide = unsigned __int128;

// 1 to 9999, zeros between digits written once, trailing zeros dropped.
std::string groupText(unsigned value) {
    std::string out;
    bool pendingZero = false;
    for (int place = 3; place >= 0; --place) {
        unsigned divisor = 1;
        for (int i = 0; i < place; ++i) divisor *= 10;
        const unsigned digit = value / divisor % 10;
        if (digit == 0) {
            if (!out.empty()) pendingZero = true;
            continue;
        }
        if (pendingZero) out += kDigits[0];
        pendingZero = false;
        out += kDigits[digit];
        out += kPlaces[place];
    }
    return out;
}

// A whole number above zero, in groups of 万 and 亿.
std::string integerText(Wide value) {
    constexpr Wide kYi = 100000000;
    constexpr Wide kWan = 10000;
    if (value >= kYi) {
        const Wide rest = value % kYi;
        std::string out = integerText(value / kYi) + "亿";
        if (rest == 0) return out;
        if (rest < kYi / 10) out += kDigits[0];
        return out + integerText(rest);
    }
    if (value >= kWan) {
        const Wide rest = value % kWan;
        std::string out = groupText(static_cast<unsigned>(value / kWan)) + "万";
        if (rest == 0) return out;
        if (rest < kWan / 10) out += kDigits[0];
        return out + groupText(static_cast<unsigned>(rest));
    }
    return groupText(static_cast<unsigned>(value));
}

}  // namespace

std::string moneyToChinese(const Decimal& amount) {
    const Decimal rounded = amount.round(2);
    __int128 fen = rounded.mantissa();
    for (int s = rounded.scale(); s < 2; ++s) fen *= 10;
    for (int s = rounded.scale(); s > 2; --s) fen /= 10;
    std::string out;
    if (fen < 0) {
        out = "负";
        fen = -fen;
    }
    const Wide total = static_cast<Wide>(fen);
    const Wide yuan = total / 100;
    const unsigned jiao = static_cast<unsigned>(total / 10 % 10);
    const unsigned cents = static_cast<unsigned>(total % 10);
    if (total == 0) return "零元整";
    if (yuan > 0) out += integerText(yuan) + "元";
    if (jiao == 0 && cents == 0) return out + "整";
    if (jiao > 0) {
        out += std::string(kDigits[jiao]) + "角";
    } else if (yuan > 0) {
        out += kDigits[0];
    }
    if (cents > 0) return out + std::string(kDigits[cents]) + "分";
    return out + "整";
}

}  // namespace print::service
