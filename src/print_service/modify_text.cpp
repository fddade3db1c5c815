#include "print_service/modify_text.h"

namespace print::service {

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

}  // namespace print::service
