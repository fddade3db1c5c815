#include "layout/layout_text.h"

#include <cstdint>

#include "common/text.h"

namespace print::layout {
namespace {

enum class UnitKind { Word, Blank, Wide };

struct Unit {
    std::string_view text;
    UnitKind kind;
    char32_t first = 0;
    double width = 0;
};

bool isBlank(char32_t c) {
    return c == ' ' || c == '\t' || c == 0x3000;
}

// Punctuation that may not begin a line: it hangs at the end of the line before.
bool closesLine(char32_t c) {
    switch (c) {
        case ',':
        case '.':
        case ';':
        case ':':
        case '!':
        case '?':
        case ')':
        case ']':
        case '}':
        case 0x3001:
        case 0x3002:
        case 0xFF0C:
        case 0xFF0E:
        case 0xFF1B:
        case 0xFF1A:
        case 0xFF01:
        case 0xFF1F:
        case 0xFF09:
        case 0x300B:
        case 0x300D:
        case 0x300F:
        case 0x3011:
        case 0x201D:
        case 0x2019:
        case 0x3009:
        case 0xFF3D:
            return true;
        default:
            return false;
    }
}

std::vector<Unit> splitUnits(std::string_view para) {
    std::vector<Unit> units;
    size_t i = 0;
    while (i < para.size()) {
        size_t start = i;
        char32_t c = nextCodePoint(para, i);
        if (isWideCharacter(c) && c != 0x3000) {
            units.push_back({para.substr(start, i - start), UnitKind::Wide, c});
            continue;
        }
        UnitKind kind = isBlank(c) ? UnitKind::Blank : UnitKind::Word;
        size_t end = i;
        while (end < para.size()) {
            size_t next = end;
            char32_t d = nextCodePoint(para, next);
            bool blank = isBlank(d);
            if ((kind == UnitKind::Blank) != blank || (!blank && isWideCharacter(d))) break;
            end = next;
        }
        units.push_back({para.substr(start, end - start), kind, c});
        i = end;
    }
    return units;
}

// Splits a word that is wider than a line into pieces that fit (at least one character each).
std::vector<std::string_view> splitWord(const FontMetrics& metrics, const FontSpec& font,
                                        std::string_view word, double width) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    size_t i = 0;
    double used = 0;
    while (i < word.size()) {
        size_t at = i;
        nextCodePoint(word, i);
        double w = metrics.width(font, word.substr(at, i - at));
        if (used + w > width && at > start) {
            pieces.push_back(word.substr(start, at - start));
            start = at;
            used = 0;
        }
        used += w;
    }
    if (start < word.size()) pieces.push_back(word.substr(start));
    return pieces;
}

void breakParagraph(const FontMetrics& metrics, const FontSpec& font, std::string_view para,
                    double width, std::vector<TextLine>& out, size_t maxLines) {
    constexpr double kSlack = 1e-6;
    std::vector<Unit> units = splitUnits(para);
    for (Unit& u : units) u.width = metrics.width(font, u.text);
    std::string line;
    double lineWidth = 0;     // without trailing blanks
    double pendingBlank = 0;  // blanks after the last word, counted once a word follows
    std::string blanks;
    auto flush = [&](bool paragraphEnd) {
        out.push_back({line, metrics.width(font, line), paragraphEnd});
        line.clear();
        blanks.clear();
        lineWidth = pendingBlank = 0;
    };
    for (size_t k = 0; k < units.size() && out.size() < maxLines; ++k) {
        const Unit& u = units[k];
        if (u.kind == UnitKind::Blank) {
            if (line.empty() && !out.empty() && out.back().paragraphEnd == false) continue;
            blanks += u.text;
            pendingBlank += u.width;
            continue;
        }
        double needed = lineWidth + pendingBlank + u.width;
        bool hangs = closesLine(u.first) && !line.empty() && blanks.empty();
        if (needed <= width + kSlack || line.empty() || hangs) {
            if (line.empty() && u.width > width + kSlack && u.kind == UnitKind::Word) {
                auto pieces = splitWord(metrics, font, u.text, width);
                for (size_t p = 0; p + 1 < pieces.size() && out.size() < maxLines; ++p) {
                    line = std::string(pieces[p]);
                    flush(false);
                }
                line = std::string(pieces.back());
                lineWidth = metrics.width(font, line);
                continue;
            }
            line += blanks;
            line += u.text;
            blanks.clear();
            lineWidth = needed;
            pendingBlank = 0;
            continue;
        }
        flush(false);
        --k;  // the unit begins the next line
    }
    if (out.size() < maxLines) flush(true);
}

}  // namespace

std::vector<TextLine> breakLines(const FontMetrics& metrics, const FontSpec& font,
                                 std::string_view text, double width, bool wrap, size_t maxLines) {
    std::vector<TextLine> lines;
    if (maxLines == 0) return lines;
    size_t start = 0;
    while (start <= text.size() && lines.size() < maxLines) {
        size_t end = text.find_first_of("\r\n", start);
        std::string_view para = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (wrap) {
            breakParagraph(metrics, font, para, width, lines, maxLines);
        } else {
            lines.push_back({std::string(para), metrics.width(font, para), true});
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    // Blanks left at the end of a wrapped line take no room.
    for (TextLine& line : lines) {
        if (line.paragraphEnd) continue;
        size_t keep = line.text.find_last_not_of(' ');
        if (keep + 1 != line.text.size()) {
            line.text.resize(keep == std::string::npos ? 0 : keep + 1);
            line.width = metrics.width(font, line.text);
        }
    }
    return lines;
}

}  // namespace print::layout
