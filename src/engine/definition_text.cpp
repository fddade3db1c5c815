#include "engine/definition_text.h"

#include <cstring>

#include "common/encoding.h"
#include "common/text.h"

namespace print::engine {

void appendQuoted(std::string& out, std::string_view value);

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

bool isNameChar(char c) {
    return !isBlank(c) && c != '=' && c != '(' && c != ')' && c != '"' && c != '\'' && c != ',' &&
           c != ';' && c != '\0';
}

bool isKeywordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '.';
}

// Recursive descent over the text with the position kept as a byte offset; line and column are
// worked out only when a message or a block's line needs them.
class Parser {
public:
    Parser(std::string_view text, int originLine, int originColumn)
        : m_text(text), m_originLine(originLine), m_originColumn(originColumn) {}

    size_t pos = 0;

    Error error(size_t at, std::string message) const {
        int line = m_originLine;
        size_t lineStart = 0;
        for (size_t i = 0; i < at && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        int column = static_cast<int>(utf8Length(m_text.substr(lineStart, at - lineStart))) + 1;
        if (line == m_originLine) column += m_originColumn - 1;
        return Error{std::move(message), line, column};
    }

    int lineAt(size_t at) {
        // Incremental: blocks are asked for in increasing order.
        if (at < m_lineCountedTo) {
            m_lineCountedTo = 0;
            m_lineCount = m_originLine;
        }
        for (size_t i = m_lineCountedTo; i < at && i < m_text.size(); ++i)
            if (m_text[i] == '\n') ++m_lineCount;
        m_lineCountedTo = at;
        return m_lineCount;
    }

    bool atEnd() const { return pos >= m_text.size(); }
    char peek() const { return pos < m_text.size() ? m_text[pos] : '\0'; }

    void skipBlanks() {
        while (pos < m_text.size() && isBlank(m_text[pos])) ++pos;
    }

    std::string found() const {
        if (atEnd()) return "the end of the text";
        return "'" + utf8Substr(m_text.substr(pos), 0, 1) + "'";
    }

    // A quoted string starting at the opening quote; the result is unescaped.
    Result<std::string> quoted() {
        char quote = m_text[pos];
        size_t start = pos;
        ++pos;
        size_t contentStart = pos;
        bool escaped = false;
        while (pos < m_text.size()) {
            char c = m_text[pos];
            if (c == '~') {
                escaped = true;
                pos += 2;
                continue;
            }
            if (c == quote) {
                std::string_view raw = m_text.substr(contentStart, pos - contentStart);
                ++pos;
                return escaped ? unescapeText(raw) : std::string(raw);
            }
            ++pos;
        }
        return error(start, std::string("unterminated string: expected a closing ") +
                                (quote == '"' ? "'\"'" : "\"'\""));
    }

    // Raw text between balanced parentheses; pos is at '(' and ends after ')'. Strings are read
    // as attributes read them: a double quote always opens one, a single quote where a value
    // begins (`initial='"'`), not inside a bare word (`o'clock`).
    Result<std::string> subBlock() {
        size_t open = pos;
        int depth = 0;
        while (pos < m_text.size()) {
            char c = m_text[pos];
            if (c == '"' || (c == '\'' && startsValue(pos))) {
                auto s = quoted();
                if (!s.ok()) return s.error();
                continue;
            }
            if (c == '(') ++depth;
            if (c == ')') {
                --depth;
                if (depth == 0) {
                    ++pos;
                    return std::string(m_text.substr(open + 1, pos - open - 2));
                }
            }
            ++pos;
        }
        return error(open, "expected ')' to close the '(' opened here");
    }

    // Whether a value can begin at `at`: after a blank, '=', '(' or ','.
    bool startsValue(size_t at) const {
        if (at == 0) return true;
        char before = m_text[at - 1];
        return isBlank(before) || before == '=' || before == '(' || before == ',';
    }

    // A bare value: up to a blank or a ')' that it did not open itself (`char(10)` is one value).
    Result<std::string> bare() {
        size_t start = pos;
        int depth = 0;
        while (pos < m_text.size()) {
            char c = m_text[pos];
            if (c == '(') ++depth;
            if (c == ')') {
                if (depth == 0) break;
                --depth;
            }
            if (depth == 0 && (isBlank(c) || c == '"')) break;
            ++pos;
        }
        if (pos == start) return error(start, "expected a value but found " + found());
        return std::string(m_text.substr(start, pos - start));
    }

    // Attributes up to the closing ')' of the current block (or the end of the text when
    // `toEnd`), pos just after the ')'.
    Result<AttributeList> attributes(size_t blockStart, std::string_view blockName, bool toEnd) {
        AttributeList list;
        list.items.reserve(16);  // objects carry 10 to 30 attributes; avoid regrowing
        while (true) {
            skipBlanks();
            if (atEnd()) {
                if (toEnd) return list;
                return error(blockStart, "expected ')' to close '" + std::string(blockName) +
                                             "' begun here");
            }
            char c = peek();
            if (c == ')') {
                if (toEnd) return error(pos, "unexpected ')'");
                ++pos;
                return list;
            }
            size_t nameStart = pos;
            while (pos < m_text.size() && isNameChar(m_text[pos])) ++pos;
            if (pos == nameStart) return error(pos, "expected an attribute name but found " + found());
            Attribute attr;
            attr.name.assign(m_text.substr(nameStart, pos - nameStart));
            skipBlanks();
            if (peek() != '=')
                return error(pos, "expected '=' after '" + attr.name + "' but found " + found());
            ++pos;
            skipBlanks();
            if (atEnd() || peek() == ')')
                return error(pos, "expected a value for '" + attr.name + "' but found " + found());
            c = peek();
            if (c == '"' || c == '\'') {
                auto s = quoted();
                if (!s.ok()) return s.error();
                attr.value = std::move(s).value();
                attr.form = ValueForm::Quoted;
            } else if (c == '(') {
                auto s = subBlock();
                if (!s.ok()) return s.error();
                attr.value = std::move(s).value();
                attr.form = ValueForm::Block;
            } else {
                auto s = bare();
                if (!s.ok()) return s.error();
                attr.value = std::move(s).value();
                attr.form = ValueForm::Bare;
            }
            list.items.push_back(std::move(attr));
        }
    }

    Result<std::vector<DataItem>> dataItems(size_t blockStart) {
        std::vector<DataItem> items;
        while (true) {
            while (!atEnd() && (isBlank(peek()) || peek() == ',')) ++pos;
            if (atEnd()) return error(blockStart, "expected ')' to close 'data' begun here");
            char c = peek();
            if (c == ')') {
                ++pos;
                return items;
            }
            size_t start = pos;
            if (c == '"' || c == '\'') {
                auto s = quoted();
                if (!s.ok()) return s.error();
                items.push_back({std::move(s).value(), true, start});
                continue;
            }
            while (!atEnd() && !isBlank(peek()) && peek() != ',' && peek() != ')') ++pos;
            items.push_back({std::string(m_text.substr(start, pos - start)), false, start});
        }
    }

    Result<DefinitionText> definition() {
        DefinitionText def;
        def.blocks.reserve(m_text.size() / 160 + 8);
        skipHeader();
        bool sawRelease = false;
        while (true) {
            skipBlanks();
            if (atEnd()) break;
            size_t start = pos;
            while (!atEnd() && isKeywordChar(peek())) ++pos;
            if (pos == start)
                return error(pos, "expected a block name such as 'datawindow(' but found " +
                                      found());
            if (peek() == '[' && iequals(m_text.substr(start, pos - start), "header")) {
                // A crosstab's header levels: header[1](...), header[2](...).
                ++pos;
                size_t digits = pos;
                while (!atEnd() && peek() >= '0' && peek() <= '9') ++pos;
                if (pos == digits || peek() != ']')
                    return error(pos, "expected a header level number and ']' but found " +
                                          found());
                ++pos;
            }
            std::string keyword(m_text.substr(start, pos - start));
            if (iequals(keyword, "release")) {
                if (sawRelease || !def.blocks.empty())
                    return error(start, "'release' must come first, once");
                skipBlanks();
                size_t numStart = pos;
                while (!atEnd() && ((peek() >= '0' && peek() <= '9') || peek() == '.')) ++pos;
                if (pos == numStart)
                    return error(pos, "expected a release number after 'release' but found " +
                                          found());
                def.release.assign(m_text.substr(numStart, pos - numStart));
                skipBlanks();
                if (peek() != ';')
                    return error(pos, "expected ';' after the release number but found " +
                                          found());
                ++pos;
                sawRelease = true;
                continue;
            }
            skipBlanks();
            if (peek() != '(')
                return error(pos, "expected '(' after '" + keyword + "' but found " + found());
            ++pos;
            TextBlock block;
            block.keyword = std::move(keyword);
            block.line = lineAt(start);
            block.offset = start;
            if (iequals(block.keyword, "data")) {
                auto items = dataItems(start);
                if (!items.ok()) return items.error();
                block.data = std::move(items).value();
            } else {
                auto attrs = attributes(start, block.keyword, false);
                if (!attrs.ok()) return attrs.error();
                block.attrs = std::move(attrs).value();
            }
            def.blocks.push_back(std::move(block));
        }
        if (def.blocks.empty()) return error(pos, "the definition is empty: expected 'datawindow('");
        return def;
    }

private:
    void skipHeader() {
        while (true) {
            skipBlanks();
            std::string_view rest = m_text.substr(pos);
            if (rest.starts_with("HA$PB") || rest.starts_with("$PB")) {
                size_t nl = m_text.find('\n', pos);
                pos = nl == std::string_view::npos ? m_text.size() : nl + 1;
                continue;
            }
            if (rest.starts_with("HA") && rest.size() > 2 && rest[2] == '$') {
                pos += 2;
                continue;
            }
            return;
        }
    }

    std::string_view m_text;
    int m_originLine;
    int m_originColumn;
    size_t m_lineCountedTo = 0;
    int m_lineCount = 1;
};

bool needsQuotes(std::string_view v) {
    // A value that starts with '(' would read back as a sub-block: `format=(0.00)`.
    if (v.empty() || v.front() == '(') return true;
    int depth = 0;
    for (char c : v) {
        if (isBlank(c) || c == '"' || c == '\'' || c == '~') return true;
        if (c == '(') ++depth;
        if (c == ')' && --depth < 0) return true;
    }
    return depth != 0;
}

void appendValue(std::string& out, const Attribute& a) {
    switch (a.form) {
        case ValueForm::Bare:
            if (!needsQuotes(a.value)) {
                out += a.value;
                return;
            }
            out += quoteValue(a.value);
            return;
        case ValueForm::Quoted: out += quoteValue(a.value); return;
        case ValueForm::Block:
            out += '(';
            out += a.value;
            out += ')';
            return;
    }
}

}  // namespace

const Attribute* AttributeList::find(std::string_view name) const {
    for (const auto& a : items)
        if (iequals(a.name, name)) return &a;
    return nullptr;
}

Attribute* AttributeList::find(std::string_view name) {
    for (auto& a : items)
        if (iequals(a.name, name)) return &a;
    return nullptr;
}

std::string AttributeList::get(std::string_view name, std::string_view fallback) const {
    const Attribute* a = find(name);
    return a ? a->value : std::string(fallback);
}

void AttributeList::set(std::string_view name, std::string value, ValueForm form) {
    if (Attribute* a = find(name)) {
        if (form == ValueForm::Block) a->form = ValueForm::Block;
        else if (a->form == ValueForm::Block) a->form = form;
        a->value = std::move(value);
        return;
    }
    items.push_back({std::string(name), std::move(value), form});
}

bool AttributeList::remove(std::string_view name) {
    for (auto it = items.begin(); it != items.end(); ++it) {
        if (iequals(it->name, name)) {
            items.erase(it);
            return true;
        }
    }
    return false;
}

namespace {

// The character with the number `v` (1 to 255): a numeric escape names a character, and its
// UTF-8 form keeps the text valid.
void appendCharacter(std::string& out, int v) {
    if (v < 0x80) {
        out += static_cast<char>(v);
        return;
    }
    out += static_cast<char>(0xC0 | (v >> 6));
    out += static_cast<char>(0x80 | (v & 0x3F));
}

}  // namespace

std::string unescapeText(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c != '~' || i + 1 >= raw.size()) {
            out += c;
            continue;
        }
        char e = raw[++i];
        auto digitsAt = [&](size_t at, int count, int base) -> int {
            int v = 0;
            for (int k = 0; k < count; ++k) {
                if (at + k >= raw.size()) return -1;
                char d = raw[at + k];
                int dv = (d >= '0' && d <= '9')   ? d - '0'
                         : (d >= 'a' && d <= 'f') ? d - 'a' + 10
                         : (d >= 'A' && d <= 'F') ? d - 'A' + 10
                                                  : 99;
                if (dv >= base) return -1;
                v = v * base + dv;
            }
            return v;
        };
        switch (e) {
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case 'h': {
                int v = digitsAt(i + 1, 2, 16);
                if (v > 0) {
                    appendCharacter(out, v);
                    i += 2;
                } else {
                    out += e;
                }
                break;
            }
            case 'o': {
                int v = digitsAt(i + 1, 3, 8);
                if (v > 0 && v < 256) {
                    appendCharacter(out, v);
                    i += 3;
                } else {
                    out += e;
                }
                break;
            }
            default:
                if (e >= '0' && e <= '9') {
                    int v = digitsAt(i, 3, 10);
                    if (v > 0 && v < 256) {
                        appendCharacter(out, v);
                        i += 2;
                        break;
                    }
                }
                out += e;  // ~" ~' ~~ and any other character stand for themselves
        }
    }
    return out;
}

void appendQuoted(std::string& out, std::string_view value) {
    out += '"';
    size_t start = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char* escape = nullptr;
        switch (value[i]) {
            case '~': escape = "~~"; break;
            case '"': escape = "~\""; break;
            case '\t': escape = "~t"; break;
            case '\r': escape = "~r"; break;
            case '\n': escape = "~n"; break;
            default: continue;
        }
        out.append(value.data() + start, i - start);
        out += escape;
        start = i + 1;
    }
    out.append(value.data() + start, value.size() - start);
    out += '"';
}

std::string quoteValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    appendQuoted(out, value);
    return out;
}

size_t subBlockEnd(std::string_view text, size_t open) {
    Parser p(text, 1, 1);
    p.pos = open;
    auto block = p.subBlock();
    return block.ok() ? p.pos : std::string_view::npos;
}

Result<DefinitionText> parseDefinition(std::string_view text) {
    Parser p(definitionBody(text), 1, 1);
    return p.definition();
}

std::string_view definitionBody(std::string_view text) { return stripBom(text); }

Error definitionError(std::string_view text, size_t offset, std::string message) {
    return Parser(text, 1, 1).error(offset, std::move(message));
}

Result<AttributeList> parseAttributeBlock(std::string_view text, size_t& pos, int originLine,
                                          int originColumn) {
    Parser p(text, originLine, originColumn);
    p.pos = pos;
    size_t start = pos > 0 ? pos - 1 : 0;
    auto r = p.attributes(start, "(", false);
    pos = p.pos;
    return r;
}

Result<AttributeList> parseAttributes(std::string_view text) {
    Parser p(text, 1, 1);
    return p.attributes(0, "", true);
}

std::string writeAttributes(const AttributeList& attrs) {
    std::string out;
    for (const auto& a : attrs.items) {
        if (!out.empty()) out += ' ';
        out += a.name;
        out += '=';
        appendValue(out, a);
    }
    return out;
}

namespace {

void appendBlock(std::string& out, const TextBlock& block) {
    out += block.keyword;
    out += '(';
    if (!block.data.empty()) {
        for (const auto& item : block.data) {
            if (item.quoted)
                appendQuoted(out, item.text);
            else
                out += item.text;
            out += ' ';
        }
        out += ")\n";
        return;
    }
    for (const auto& a : block.attrs.items) {
        out += a.name;
        out += '=';
        appendValue(out, a);
        out += ' ';
    }
    out += ")\n";
}

}  // namespace

std::string writeBlock(const TextBlock& block) {
    std::string out;
    appendBlock(out, block);
    return out;
}

std::string writeDefinition(const DefinitionText& definition) {
    size_t estimate = 32;
    for (const auto& b : definition.blocks) {
        estimate += b.keyword.size() + 8;
        for (const auto& a : b.attrs.items) estimate += a.name.size() + a.value.size() + 4;
        for (const auto& d : b.data) estimate += d.text.size() + 3;
    }
    std::string out;
    out.reserve(estimate + estimate / 16);
    out += "release ";
    out += definition.release;
    out += ";\n";
    for (const auto& b : definition.blocks) appendBlock(out, b);
    return out;
}

}  // namespace print::engine
