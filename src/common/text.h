// Text helpers for UTF-8 strings: character counting (a Chinese character is one character, not
// three bytes), ASCII case folding for names, and number/quote helpers shared by the layers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace print {

// Lower-cases ASCII letters only; other bytes (UTF-8 sequences included) are kept.
std::string asciiLower(std::string_view s);
std::string asciiUpper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool istartsWith(std::string_view s, std::string_view prefix);

std::string_view trimView(std::string_view s);
std::string trim(std::string_view s);
std::vector<std::string> split(std::string_view s, char sep);

// Number of characters (code points) in UTF-8 text; invalid bytes count one each.
size_t utf8Length(std::string_view s);
// Byte offset of character `index` (0-based); s.size() when past the end.
size_t utf8Offset(std::string_view s, size_t index);
// Characters [start, start + count) by character position, clamped to the text.
std::string utf8Substr(std::string_view s, size_t start, size_t count = std::string::npos);
// The code point at byte `pos` (which must be inside `s`), moving `pos` past it. A byte that
// does not begin a whole, valid sequence is taken as one character of its own value, as
// utf8Length counts it.
char32_t nextCodePoint(std::string_view s, size_t& pos);

// Reads a whole decimal integer ("-12", " 7 "); nullopt for anything else.
std::optional<int64_t> parseInteger(std::string_view s);

// Text pasted into a `Modify` command or an expression, as the definition syntax reads it:
// between apostrophes, with `~` → `~~`, `'` → `~'`, `"` → `~"`, tab → `~t`, carriage return →
// `~r` and line feed → `~n`, so that a supplier called O'Brien or a remark holding `~` arrives
// whole. `modifyEscape` is the same escaping without the apostrophes.
std::string modifyQuote(std::string_view text);
std::string modifyEscape(std::string_view text);

}  // namespace print
