#include "common/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/text.h"

namespace print {
namespace {

std::string& codePageSetting() {
    static std::string cp = "GB18030";
    return cp;
}

bool isUtf8(std::string_view cp) {
    std::string l = asciiLower(cp);
    return l == "utf-8" || l == "utf8";
}

// One conversion through iconv; `encoding` names the direction for messages. When the input
// is not valid, `failedAt` (if given) receives the offset of the first byte that is not.
Result<std::string> convert(std::string_view in, const std::string& from, const std::string& to,
                            bool encoding, size_t* failedAt = nullptr) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Error{"unknown code page '" + (encoding ? to : from) + "'"};
    std::string out;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            size_t used = static_cast<size_t>(dst - out.data());
            out.resize(out.size() * 2);
            dst = out.data() + used;
            dstLeft = out.size() - used;
            continue;
        }
        size_t offset = static_cast<size_t>(src - in.data());
        iconv_close(cd);
        if (failedAt) *failedAt = offset;
        if (encoding) {
            std::string_view rest = in.substr(offset);
            std::string ch = utf8Substr(rest, 0, 1);
            size_t position = utf8Length(in.substr(0, offset)) + 1;
            if (errno == EILSEQ && !ch.empty() && static_cast<unsigned char>(ch[0]) >= 0x80 &&
                utf8Length(ch) == 1 && ch.size() > 1)
                return Error{"the character '" + ch + "' at position " + std::to_string(position) +
                             " cannot be written in code page " + to};
            return Error{"the text is not valid UTF-8 at byte " + std::to_string(offset + 1)};
        }
        return Error{"the bytes are not valid " + from + " text at byte " +
                     std::to_string(offset + 1)};
    }
    out.resize(static_cast<size_t>(dst - out.data()));
    iconv_close(cd);
    return out;
}

}  // namespace

const std::string& applicationCodePage() { return codePageSetting(); }
void setApplicationCodePage(std::string codePage) { codePageSetting() = std::move(codePage); }

Result<std::string> encodeText(std::string_view utf8, std::string_view codePage) {
    if (isUtf8(codePage)) return convert(utf8, "UTF-8", "UTF-8", true);
    return convert(utf8, "UTF-8", std::string(codePage), true);
}

Result<std::string> decodeText(std::string_view bytes, std::string_view codePage) {
    if (isUtf8(codePage)) return convert(bytes, "UTF-8", "UTF-8", false);
    return convert(bytes, std::string(codePage), "UTF-8", false);
}

Result<std::string> decodeLines(std::string_view bytes, std::string_view codePage) {
    std::string from = isUtf8(codePage) ? "UTF-8" : std::string(codePage);
    size_t failedAt = std::string_view::npos;
    auto text = convert(bytes, from, "UTF-8", false, &failedAt);
    if (text.ok() || failedAt == std::string_view::npos) return text;
    // The bytes before the first bad one are valid: count lines and characters in their text.
    auto before = convert(bytes.substr(0, failedAt), from, "UTF-8", false);
    if (!before.ok()) return text.error();
    std::string_view decoded = before.value();
    size_t lineStart = decoded.rfind('\n');
    lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    int line = 1 + static_cast<int>(std::count(decoded.begin(), decoded.end(), '\n'));
    int column = static_cast<int>(utf8Length(decoded.substr(lineStart))) + 1;
    return Error{"the bytes are not valid " + std::string(isUtf8(codePage) ? "UTF-8" : codePage) +
                     " text",
                 line, column};
}

Result<std::string> decodeTextFile(std::string_view bytes, std::string_view codePage) {
    if (!codePage.empty()) return decodeLines(bytes, codePage);
    auto utf8 = decodeLines(bytes, "UTF-8");
    if (utf8.ok() || stripBom(bytes).size() != bytes.size()) return utf8;
    auto local = decodeLines(bytes, applicationCodePage());
    return local.ok() ? local : utf8;
}

std::string_view stripBom(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

}  // namespace print
