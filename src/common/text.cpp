#include "common/text.h"

#include <charconv>

namespace print {

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string asciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool istartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

std::string_view trimView(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string trim(std::string_view s) {
    return std::string(trimView(s));
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t pos = s.find(sep, start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, pos - start));
        start = pos + 1;
    }
}

namespace {
size_t sequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}
}  // namespace

size_t utf8Length(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n) i += sequenceLength(static_cast<unsigned char>(s[i]));
    return n;
}

size_t utf8Offset(std::string_view s, size_t index) {
    size_t i = 0;
    for (size_t n = 0; i < s.size() && n < index; ++n)
        i += sequenceLength(static_cast<unsigned char>(s[i]));
    return i < s.size() ? i : s.size();
}

std::string utf8Substr(std::string_view s, size_t start, size_t count) {
    size_t from = utf8Offset(s, start);
    if (count == std::string::npos) return std::string(s.substr(from));
    size_t to = from + utf8Offset(s.substr(from), count);
    return std::string(s.substr(from, to - from));
}

char32_t nextCodePoint(std::string_view s, size_t& pos) {
    auto lead = static_cast<unsigned char>(s[pos]);
    size_t n = sequenceLength(lead);
    if (n == 1 || pos + n > s.size()) {
        ++pos;
        return lead;
    }
    char32_t c = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        auto cont = static_cast<unsigned char>(s[pos + k]);
        if ((cont & 0xC0) != 0x80) {
            ++pos;
            return lead;
        }
        c = (c << 6) | (cont & 0x3F);
    }
    pos += n;
    return c;
}

std::optional<int64_t> parseInteger(std::string_view s) {
    s = trimView(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int64_t v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string modifyEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
            case '~':
                out += "~~";
                break;
            case '\'':
                out += "~'";
                break;
            case '"':
                out += "~\"";
                break;
            case '\t':
                out += "~t";
                break;
            case '\r':
                out += "~r";
                break;
            case '\n':
                out += "~n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string modifyQuote(std::string_view text) {
    return "'" + modifyEscape(text) + "'";
}

}  // namespace print
