// Our report file: the definitions of a report and of every nested report, each with its rows
// as a data(...) block, in one file the engine opens again. Text is in the code page.
//
//   $PSR 1 <code page>
//   @report <path> <byte length>
//   <definition text, that many bytes>
//
// The path is "" for the outermost report, "dw_report" for its nested report, "dw_report/x"
// one deeper.
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "common/encoding.h"
#include "common/text.h"
#include "engine/datastore.h"
#include "engine/definition_text.h"
#include "engine/library.h"
#include "export/saveas_internal.h"

namespace print::saveas {

namespace {

constexpr std::string_view kMagic = "$PSR 1";

// The report's definition with its current rows (masked columns null) as stored data.
Result<std::string> definitionWithRows(DataStore& report, const SaveAsOptions& options) {
    Result<DefinitionText> parsed = parseDefinition(report.syntax());
    if (!parsed) return parsed.error();
    DefinitionText text = std::move(parsed).value();
    std::vector<bool> masked;
    for (const auto& c : report.columns())
        masked.push_back(options.masked.count(asciiLower(c.name)) > 0 ||
                         report.Describe(c.name + ".format") == "***");
    TextBlock data{"data", {}, {}, 0};
    for (long r = 1; r <= report.RowCount(); ++r) {
        for (size_t c = 0; c < report.columns().size(); ++c) {
            std::optional<Value> v = report.GetItem(r, report.columns()[c].name);
            if (!v || v->isNull() || masked[c]) {
                data.data.push_back({"null", false});
                continue;
            }
            const bool quoted = !isNumeric(v->type());
            data.data.push_back({v->toText(), quoted});
        }
    }
    auto& blocks = text.blocks;
    auto it = std::find_if(blocks.begin(), blocks.end(),
                           [](const TextBlock& b) { return iequals(b.keyword, "data"); });
    if (it != blocks.end()) {
        *it = std::move(data);
    } else {
        auto table = std::find_if(blocks.begin(), blocks.end(),
                                  [](const TextBlock& b) { return iequals(b.keyword, "table"); });
        blocks.insert(table == blocks.end() ? blocks.end() : table + 1, std::move(data));
    }
    return writeDefinition(text);
}

Status writeReport(DataStore& report, const std::string& path, AtomicFile& file,
                   const SaveAsOptions& options, CodePageEncoder& encoder, int depth) {
    Result<std::string> text = definitionWithRows(report, options);
    if (!text) return text.error();
    std::string bytes;
    if (Status s = encoder.append(bytes, text.value()); !s) return s;
    file.write("@report " + path + " " + std::to_string(bytes.size()) + "\n");
    file.write(bytes);
    file.write("\n");
    if (depth > 8) return Status::success();
    for (const ReportObject& object : report.objects()) {
        if (object.kind != "report" || object.name.empty()) continue;
        DataWindowChild* child = nullptr;
        if (report.GetChild(object.name, child) != 1 || !child || !child->isCreated()) continue;
        const std::string childPath = path.empty() ? object.name : path + "/" + object.name;
        if (Status s = writeReport(*child, childPath, file, options, encoder, depth + 1); !s)
            return s;
    }
    return Status::success();
}

}  // namespace

Status writeReportFile(DataStore& report, AtomicFile& file, const SaveAsOptions& options) {
    CodePageEncoder encoder(options.codePage);
    file.write(std::string(kMagic) + " " + options.codePage + "\n");
    return writeReport(report, "", file, options, encoder, 0);
}

bool isReportFile(std::string_view bytes) {
    return bytes.substr(0, kMagic.size()) == kMagic;
}

Status openReportFile(DataStore& report, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Error{"cannot read " + path};
    std::ostringstream buf;
    buf << in.rdbuf();
    const std::string bytes = buf.str();
    if (!isReportFile(bytes)) return Error{path + " is not a report file"};
    size_t pos = bytes.find('\n');
    if (pos == std::string::npos) return Error{path + " is not a report file"};
    const std::string codePage =
        trim(std::string_view(bytes).substr(kMagic.size(), pos - kMagic.size()));
    ++pos;
    std::vector<std::pair<std::string, std::string>> sections;  // path, definition
    while (pos < bytes.size()) {
        const size_t eol = bytes.find('\n', pos);
        if (eol == std::string::npos) break;
        const std::string line = bytes.substr(pos, eol - pos);
        if (!line.starts_with("@report "))
            return Error{path + ": damaged report file (a section does not begin with @report)"};
        const size_t lengthAt = line.rfind(' ');
        const std::string section = lengthAt > 8 ? line.substr(8, lengthAt - 8) : std::string();
        const auto length = parseInteger(line.substr(lengthAt + 1));
        if (!length || *length < 0 || eol + 1 + static_cast<size_t>(*length) > bytes.size())
            return Error{path + ": damaged report file (a section is cut short)"};
        Result<std::string> text =
            decodeText(std::string_view(bytes).substr(eol + 1, static_cast<size_t>(*length)),
                       codePage.empty() ? "GB18030" : codePage);
        if (!text) return Error{path + ": " + text.error().message};
        sections.emplace_back(section, std::move(text).value());
        pos = eol + 1 + static_cast<size_t>(*length) + 1;
    }
    if (sections.empty() || !sections.front().first.empty())
        return Error{path + " holds no report"};

    // Nested reports are found by their names on the library search list: while the report
    // opens, the file's own definitions stand behind the libraries for names nobody else has.
    auto held = std::make_shared<MemoryLibrary>("(report file)");
    std::map<std::string, const std::string*> byPath;
    for (const auto& [sectionPath, text] : sections) byPath[sectionPath] = &text;
    for (const auto& [sectionPath, text] : sections) {
        if (sectionPath.empty()) continue;
        const size_t slash = sectionPath.rfind('/');
        const std::string parent = slash == std::string::npos ? "" : sectionPath.substr(0, slash);
        const std::string object =
            slash == std::string::npos ? sectionPath : sectionPath.substr(slash + 1);
        auto parentText = byPath.find(parent);
        if (parentText == byPath.end()) continue;
        Result<DefinitionText> parsed = parseDefinition(*parentText->second);
        if (!parsed) continue;
        for (const TextBlock& block : parsed.value().blocks)
            if (iequals(block.attrs.get("name"), object))
                held->put(block.attrs.get("dataobject"), text);
    }
    LibrarySearchList& list = LibrarySearchList::application();
    const auto saved = list.libraries();
    list.append(held);
    Status result = Status::success();
    for (const auto& [sectionPath, text] : sections) {
        DataStore* target = &report;
        for (const std::string& name : split(sectionPath, '/')) {
            if (name.empty()) continue;
            DataWindowChild* child = nullptr;
            if (!target || target->GetChild(name, child) != 1) {
                target = nullptr;
                break;
            }
            target = child;
        }
        if (!target) {
            result = Error{path + ": the report has no nested report " + sectionPath};
            break;
        }
        std::string error;
        if (target->Create(text, error) != 1) {
            result = Error{path + ": " + error};
            break;
        }
    }
    list.setLibraries(saved);
    return result;
}

}  // namespace print::saveas
