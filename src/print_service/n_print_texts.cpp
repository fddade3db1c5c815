// Header texts from the condition form, and the summary accessory texts.
#include <algorithm>
#include <cmath>

#include "common/text.h"
#include "print_service/host_context.h"
#include "print_service/modify_text.h"
#include "print_service/n_print.h"

namespace print::service {

namespace {

bool absent(const std::string& answer) {
    return answer == "!" || answer == "?";
}

// The attributes every generated text shares after its position.
constexpr std::string_view kTextFont =
    "  font.face='宋体' font.height='-9' font.weight='400'  font.family='0' font.pitch='2' "
    "font.charset='134' background.mode='1' background.color='553648127' name=";

std::optional<long> describeNumber(engine::DataStore& dw, const std::string& item) {
    const std::string answer = dw.Describe(item);
    if (auto n = parseInteger(answer)) return static_cast<long>(*n);
    if (auto d = Decimal::parse(answer)) return static_cast<long>(d->toInt64());
    return std::nullopt;
}

bool objectExists(engine::DataStore& dw, const std::string& name) {
    return iequals(dw.Describe(name + ".name"), name);
}

}  // namespace

void n_print::of_analyzetag(const std::string& coltag, std::string& flag, std::string& oper,
                            std::string& dbname, std::string& defvalue) const {
    std::string tag = absent(coltag) ? std::string() : coltag;
    const size_t lt = tag.find('<');
    defvalue.clear();
    if (lt != std::string::npos) {
        const size_t gt = tag.find('>', lt);
        if (gt != std::string::npos && gt > lt) defvalue = tag.substr(lt + 1, gt - lt - 1);
        tag.resize(lt);
    }
    const size_t open = tag.find('(');
    if (open == std::string::npos) {
        flag = tag;
        oper.clear();
        return;
    }
    flag = trim(std::string_view(tag).substr(0, open));
    const size_t at = tag.find('@', open);
    auto dropParen = [](std::string text) {
        text = trim(text);
        if (!text.empty() && text.back() == ')') {
            text.pop_back();
            text = trim(text);
        }
        return text;
    };
    if (at == std::string::npos) {
        oper = dropParen(tag.substr(open + 1));
        return;
    }
    oper = trim(std::string_view(tag).substr(open + 1, at - open - 1));
    dbname = dropParen(tag.substr(at + 1));
}

std::string n_print::of_setdwtotext(engine::DataStore& dw, const FieldRight& mayShow) {
    dw.AcceptText();
    const long row = dw.GetRow();
    const long count = describeNumber(dw, "DataWindow.Column.Count").value_or(0);
    std::string list;
    std::vector<long> consumed;
    auto valueOf = [&](const std::string& column) {
        return m_host.gnu_dwfunction.of_getitemvalue(dw, row, column).value_or("");
    };

    for (long i = 1; i <= count; ++i) {
        if (std::find(consumed.begin(), consumed.end(), i) != consumed.end()) continue;
        const std::string column = "#" + std::to_string(i);
        const std::string visible = dw.Describe(column + ".visible");
        if (visible.empty() || !Decimal::parse(visible)) {
            const size_t tab = visible.find('\t');
            if (tab != std::string::npos) {
                const std::string result = dw.Describe("Evaluate(\"" + visible.substr(tab + 1) +
                                                       "," + std::to_string(row) + ")");
                if (result == "0") continue;
            }
        } else if (visible == "0") {
            // A column hidden outright is no condition the operator sees either.
            continue;
        }
        const std::string name = asciiUpper(dw.Describe(column + ".name"));
        std::string dbname = asciiUpper(dw.Describe(column + ".dbname"));
        const std::string tag = asciiUpper(trim(dw.Describe(column + ".tag")));
        std::string flag, oper, defvalue;
        of_analyzetag(tag, flag, oper, dbname, defvalue);

        std::string partner;
        if (oper == "MIN") partner = "MAX";
        if (oper == "MAX") partner = "MIN";

        std::string value = valueOf(name);
        const std::string rawTag = dw.Describe(column + ".tag");
        bool shown =
            !mayShow || mayShow(dw.Describe(column + ".name"), absent(rawTag) ? "" : rawTag);
        std::string title;
        if (partner.empty()) {
            title = dw.Describe(asciiLower(name) + "_t.text");
        } else {
            const long dot = f_posback(dbname, ".", 1);
            const std::string label = asciiLower(dot > 0 ? dbname.substr(dot) : dbname);
            title = dw.Describe(label + "_t.text");
            const std::string wanted = "(" + partner + "@" + dbname + ")";
            std::string partnerName;
            for (long j = 1; j <= count; ++j) {
                const std::string other = "#" + std::to_string(j);
                const std::string otherTag = asciiUpper(trim(dw.Describe(other + ".tag")));
                if (otherTag.find(wanted) == std::string::npos) continue;
                consumed.push_back(j);
                partnerName = dw.Describe(other + ".name");
                const std::string partnerTag = dw.Describe(other + ".tag");
                if (mayShow && !mayShow(partnerName, absent(partnerTag) ? "" : partnerTag))
                    shown = false;
            }
            std::string value1 = partnerName.empty() ? std::string() : valueOf(partnerName);
            if (partner == "MIN") std::swap(value, value1);
            if (!value.empty() && !value1.empty())
                value = value + " 至 " + value1;
            else if (!value1.empty())
                value = "小于  " + value1;
            else if (!value.empty())
                value = "大于  " + value;
            else
                value = "全部";
        }
        if (absent(title)) continue;
        if (!shown) value = "***";
        list += "\t" + title + "@" + value;
    }
    return list.empty() ? list : list.substr(1);
}

void n_print::of_settexttodw(engine::DataStore& dw, const std::string& texts, int columns,
                             long starty) {
    std::string list = texts;
    if (list.empty() || list.back() != '\t') list += '\t';
    if (columns < 1) columns = 2;
    const long width = 20000 / columns - 500;
    long x = 0;
    long y = starty;
    long n = 0;
    long maxy = 0;
    bool created = false;
    size_t start = 0;
    while (start < list.size()) {
        const size_t tab = list.find('\t', start);
        const std::string entry = trim(std::string_view(list).substr(start, tab - start));
        start = tab + 1;
        ++n;
        std::string title, value;
        const size_t at = entry.find('@');
        if (at == std::string::npos) {
            title = value = entry;
        } else {
            title = trim(std::string_view(entry).substr(0, at));
            value = trim(std::string_view(entry).substr(at + 1));
        }
        const std::string name = "st_text_" + std::to_string(n);
        if (objectExists(dw, name)) {
            const std::string tag = dw.Describe(name + ".tag");
            if (!absent(tag) && !tag.empty() && tag[0] == '&') {
                value = title + ": " + value;
                title = "&" + title;
            }
            dw.Modify(name + ".tag=" + modifyQuote(title));
            dw.Modify(name + ".text=" + modifyQuote(value));
        } else {
            if ((n - 1) % columns == 0) {
                x = 200;
                y += 400;
            } else {
                x += width + 100;
            }
            value = title + ": " + value;
            title = "&" + title;
            std::string command =
                "create text(band=header alignment='0' text=" + modifyQuote(value) +
                " tag=" + modifyQuote(title) +
                " border='0' color='0' resizeable=1  moveable=1  x='" + std::to_string(x) +
                "' y='" + std::to_string(y) + "' height='380' width='" + std::to_string(width) +
                "'";
            // A value longer than its box (a remark) wraps onto more lines rather than being
            // cut; the texts below move down with it.
            command += " height.autosize=yes";
            command += kTextFont;
            command += name + " )";
            dw.Modify(command);
            created = true;
        }
        maxy = std::max(maxy, describeNumber(dw, name + ".y").value_or(0));
    }
    for (long k = n + 1;; ++k) {
        const std::string name = "st_text_" + std::to_string(k);
        if (!objectExists(dw, name)) break;
        dw.Modify("destroy " + name);
    }
    if (created) dw.Modify("DataWindow.Header.Height=" + std::to_string(maxy + 600));
}

namespace {

// The height a summary text needs: its set height, or more when its text runs over several
// lines at the 9-point face the accessory texts use (a full-width character about 320 units of
// a thousandth centimetre wide, lines 380 high).
long neededHeight(const std::string& text, long width, long height) {
    constexpr long kHalfWidth = 160;
    constexpr long kLineHeight = 380;
    const long perLine = std::max(1L, width / kHalfWidth);
    long lines = 0;
    for (const std::string& paragraph : split(text, '\n')) {
        long halves = 0;
        for (size_t i = 0; i < paragraph.size();) {
            const unsigned char c = static_cast<unsigned char>(paragraph[i]);
            const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            halves += c < 0x80 ? 1 : 2;
            i += len;
        }
        lines += std::max(1L, (halves + perLine - 1) / perLine);
    }
    return std::max(height, lines * kLineHeight);
}

}  // namespace

void n_print::of_setaccessory(engine::DataStore& dw) {
    ii_accessory_count = std::min(ii_accessory_count, static_cast<int>(is_accessory.size()));
    const long x = 200;
    long y = 200;
    const long width = 20000;
    for (int i = 1; i <= ii_accessory_count; ++i) {
        const std::string name = "st_accessory_" + std::to_string(i);
        const std::string& text = is_accessory[i - 1];
        if (objectExists(dw, name)) {
            dw.Modify(name + ".text=" + modifyQuote(text));
            continue;
        }
        std::string command = "create text(band=summary alignment='0' text=" + modifyQuote(text) +
                              " border='0' color='0' resizeable=1  moveable=1 Height.AutoSize=Yes"
                              " x='" +
                              std::to_string(x) + "' y='" + std::to_string(y) +
                              "' height='380' width='" + std::to_string(width) + "'";
        command += kTextFont;
        command += name + " )";
        dw.Modify(command);
        y += 500;
    }
    for (int k = ii_accessory_count + 1;; ++k) {
        const std::string name = "st_accessory_" + std::to_string(k);
        if (!objectExists(dw, name)) break;
        dw.Modify("Destroy " + name);
    }
    const long height = describeNumber(dw, "DataWindow.Summary.Height").value_or(0);
    of_setaccvisible(dw, height > 0 && ii_accessory_count > 0);
}

void n_print::of_setaccvisible(engine::DataStore& dw, bool vis) {
    if (ii_accessory_count == 0) vis = false;
    long bottom = 0;
    for (int i = 1; i <= ii_accessory_count; ++i) {
        const std::string name = "st_accessory_" + std::to_string(i);
        dw.Modify(name + ".visible='" + (vis ? "1" : "0") + "'");
        if (!vis || !objectExists(dw, name)) continue;
        const long y = describeNumber(dw, name + ".y").value_or(0);
        const long height = describeNumber(dw, name + ".height").value_or(0);
        const long width = describeNumber(dw, name + ".width").value_or(20000);
        std::string text = dw.Describe(name + ".text");
        if (absent(text)) text.clear();
        bottom = std::max(bottom, y + neededHeight(text, width, height));
    }
    if (vis) {
        // Whatever else the template keeps in the summary band must still fit.
        for (const auto& object : dw.objects()) {
            if (!object.isObject || !iequals(object.attrs.get("band"), "summary")) continue;
            if (object.attrs.get("visible") == "0" || istartsWith(object.name, "st_accessory_"))
                continue;
            const auto top = parseInteger(object.attrs.get("y", object.attrs.get("y1", "0")));
            const auto size = parseInteger(object.attrs.get("height", "0"));
            const auto y2 = parseInteger(object.attrs.get("y2", "0"));
            long objectBottom = static_cast<long>(top.value_or(0) + size.value_or(0));
            objectBottom = std::max(objectBottom, static_cast<long>(y2.value_or(0)));
            bottom = std::max(bottom, objectBottom);
        }
        // A fixed 20000 would be a 20 cm band in the frames' units: give the texts the room
        // they need and no more, with a small margin under the lowest one.
        constexpr long kFullHeight = 20000;
        constexpr long kMargin = 200;
        dw.Modify("DataWindow.Summary.Height=" +
                  std::to_string(std::min(kFullHeight, bottom + kMargin)));
        return;
    }
    if (is_mode == "B") return;
    dw.Modify("DataWindow.Summary.Height=0");
}

}  // namespace print::service
