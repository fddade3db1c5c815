// The definition text of a report: the platform's report source (`release 9;`, `datawindow(...)`,
// the bands, `table(...)`, `data(...)`, groups, objects and trailing blocks), read into blocks of
// attributes and written back.
//
// Reading keeps every block and attribute, known or not, in its order, so that writing gives the
// same definition back and reading what was written gives the same blocks. Values keep their
// form: bare (`units=0`, `type=char(10)`), quoted (`x="41"`, unescaped in memory: `~"`, `~'`,
// `~~`, `~t`, `~r`, `~n` are resolved, and the numeric escapes `~NNN`, `~hNN`, `~oNNN` give the
// character with that number: `caf~233` is "café"), or a parenthesised sub-block kept as its
// raw text (`arguments=(("a", string))`). Exported-file header lines (`$PBExportHeader$...`,
// optionally behind an `HA` mark) and a UTF-8 byte-order mark are skipped.
//
// Failures: `parseDefinition` returns an Error with the 1-based line and column where the text
// stopped making sense and a message naming what was expected; it never builds half a result.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace print::engine {

enum class ValueForm : unsigned char { Bare, Quoted, Block };

struct Attribute {
    std::string name;
    std::string value;
    ValueForm form = ValueForm::Bare;

    friend bool operator==(const Attribute&, const Attribute&) = default;
};

// Attributes in their written order; names compare without regard to case.
class AttributeList {
public:
    std::vector<Attribute> items;

    const Attribute* find(std::string_view name) const;
    Attribute* find(std::string_view name);
    // The value, or `fallback` when the attribute is absent.
    std::string get(std::string_view name, std::string_view fallback = {}) const;
    // Replaces the value of an existing attribute (keeping its place, and its form unless the
    // new value needs quotes) or appends a new one.
    void set(std::string_view name, std::string value, ValueForm form = ValueForm::Quoted);
    bool remove(std::string_view name);

    friend bool operator==(const AttributeList&, const AttributeList&) = default;
};

// One stored value of a `data(...)` block.
struct DataItem {
    std::string text;
    bool quoted = false;  // strings, dates and times are quoted; numbers and null are bare
    size_t offset = 0;    // where it was read in the text, for messages (not compared)

    friend bool operator==(const DataItem& a, const DataItem& b) {
        return a.text == b.text && a.quoted == b.quoted;
    }
};

struct TextBlock {
    std::string keyword;  // as written: "datawindow", "text", "htmltable", ...
    AttributeList attrs;
    std::vector<DataItem> data;  // only for `data(...)`
    int line = 0;                // where the block began, for messages
    size_t offset = 0;           // byte offset of the block's keyword in the text (not compared)

    friend bool operator==(const TextBlock& a, const TextBlock& b) {
        return a.keyword == b.keyword && a.attrs == b.attrs && a.data == b.data;
    }
};

struct DefinitionText {
    std::string release = "9";
    std::vector<TextBlock> blocks;

    friend bool operator==(const DefinitionText& a, const DefinitionText& b) {
        return a.release == b.release && a.blocks == b.blocks;
    }
};

Result<DefinitionText> parseDefinition(std::string_view text);

// An Error at byte `offset` of a definition text, with the line and column (in characters) that
// the parser's own errors give. Offsets of blocks and data items count from the text without
// its byte-order mark, as `definitionBody` returns it.
Error definitionError(std::string_view text, size_t offset, std::string message);
// The text the parser reads: without a UTF-8 byte-order mark.
std::string_view definitionBody(std::string_view text);

// Reads `name=value` attributes from `text` starting at `pos` up to the `)` that closes the
// block (pos ends just after it). Line and column in errors count from `text`'s start plus the
// given origin, so callers can report positions in a larger text.
Result<AttributeList> parseAttributeBlock(std::string_view text, size_t& pos, int originLine = 1,
                                          int originColumn = 1);
// Reads the attributes of a whole text (no closing parenthesis), such as a `column=(...)`
// sub-block of `table(...)`.
Result<AttributeList> parseAttributes(std::string_view text);

// The end (just past the matching ')') of the parenthesised sub-block that opens at `open`, read
// as definitions read them: double-quoted strings with `~` escapes; npos when it never closes.
size_t subBlockEnd(std::string_view text, size_t open);

// Writes one block per line, each ending in a newline.
std::string writeDefinition(const DefinitionText& definition);
std::string writeBlock(const TextBlock& block);
std::string writeAttributes(const AttributeList& attrs);
// A value quoted with `~` escapes, as written in definitions: `"a~"b"`.
std::string quoteValue(std::string_view value);
// Resolves `~` escapes of quoted text (without its quotes).
std::string unescapeText(std::string_view raw);

}  // namespace print::engine
