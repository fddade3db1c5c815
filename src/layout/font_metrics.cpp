#include "layout/font_metrics.h"

#include "common/text.h"

namespace print::layout {
namespace {

std::shared_ptr<const FontMetrics>& installed() {
    static std::shared_ptr<const FontMetrics> metrics = std::make_shared<FixedFontMetrics>();
    return metrics;
}

}  // namespace

bool isWideCharacter(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

double FixedFontMetrics::width(const FontSpec& font, std::string_view text) const {
    double ems = 0;
    for (size_t i = 0; i < text.size();) ems += isWideCharacter(nextCodePoint(text, i)) ? 1 : 0.5;
    return ems * font.size;
}

std::shared_ptr<const FontMetrics> defaultFontMetrics() {
    return installed();
}

void installDefaultFontMetrics(std::shared_ptr<const FontMetrics> metrics) {
    installed() = metrics ? std::move(metrics) : std::make_shared<FixedFontMetrics>();
}

}  // namespace print::layout
