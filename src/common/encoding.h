// Conversion between UTF-8 (used everywhere inside) and the application code page used where
// bytes leave the program: template syntax blobs, exported text files, report files.
//
// The code page is GB18030 unless configured otherwise (GB18030 is byte-for-byte GBK for every
// GBK character). A character that the target code page cannot hold is an error naming the
// character and its position, never a silent '?'.
#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace print {

// The process-wide application code page; "GB18030" by default.
const std::string& applicationCodePage();
void setApplicationCodePage(std::string codePage);

Result<std::string> encodeText(std::string_view utf8, std::string_view codePage);
Result<std::string> decodeText(std::string_view bytes, std::string_view codePage);
// decodeText for a text read by lines, such as a report definition: when the bytes are not valid
// in the code page, the Error gives the line and column (in characters) of the first byte that
// is not, as every other definition error does, instead of its byte offset.
Result<std::string> decodeLines(std::string_view bytes, std::string_view codePage);

// The text of a file read by lines (a definition, a rows file), with errors as decodeLines
// gives them. In `codePage` when one is given; with "" as the file is written: UTF-8 when it
// begins with a byte-order mark or is valid UTF-8, else the application code page (the files
// written on Chinese Windows are GBK). Bytes valid in neither give UTF-8's error.
Result<std::string> decodeTextFile(std::string_view bytes, std::string_view codePage);

inline Result<std::string> toCodePage(std::string_view utf8) {
    return encodeText(utf8, applicationCodePage());
}
inline Result<std::string> fromCodePage(std::string_view bytes) {
    return decodeText(bytes, applicationCodePage());
}

// Drops a leading UTF-8 byte-order mark.
std::string_view stripBom(std::string_view text);

}  // namespace print
