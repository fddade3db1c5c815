// The template tables as statements: where a template's row is, reading a template whole in
// one statement, writing its two syntax blobs, keeping one default per document or bill id,
// holding a document's rows while a save runs, listing, exporting and deleting. Used by the
// print window, the save dialog and `printctl templates`.
//
// Report templates are keyed by document name, template name and owner (T_RPT_MODONE and
// T_RPT_MODTWO); bill templates by bill id and template name (T_GOODSPRINT1 and
// T_GOODSPRINT2). Every function returns the transaction's status code (0, 100 no row, -1
// error with the reason in the transaction); none commits or rolls back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/transaction.h"

namespace print::print_window {

struct TemplateKey {
    bool bill = false;
    std::string billid;   // bill templates
    std::string docname;  // report templates
    std::string name;
    std::string oper;  // owner of a report template

    // The key's values in the order of `where()`'s placeholders.
    std::vector<Value> values() const;
    // " WHERE ..." matching the template's row in the first (or second) table.
    std::string where() const;
    const char* firstTable() const { return bill ? "T_GOODSPRINT1" : "T_RPT_MODONE"; }
    const char* secondTable() const { return bill ? "T_GOODSPRINT2" : "T_RPT_MODTWO"; }
};

// Holds the template rows of the key's document (or bill id) until the transaction ends, so
// that saves of one document run one after the other and a single default stays.
long lockTemplates(db::Transaction& sqlca, const TemplateKey& key);

// Writes the frame syntax and the report syntax of an existing template row. 100 when either
// table has no row for the key (nothing may then be committed: the template would lose a
// syntax).
long writeTemplateSyntax(db::Transaction& sqlca, const TemplateKey& key, const std::string& frame,
                         const std::string& report);

// Reads both syntaxes, in one statement; 100 when the row (or its second row) is gone.
long readTemplateSyntax(db::Transaction& sqlca, const TemplateKey& key, std::string& frame,
                        std::string& report);

struct TemplateInfo;

// The template's row without its syntaxes into `out` (key, flag, default, library name, stamp;
// for bills `out.key.oper` is who saved it last). 0, 100 when there is none, -1 on error.
long readTemplateRow(db::Transaction& sqlca, const TemplateKey& key, TemplateInfo& out);

// How many public report templates of other operators have the key's document and name.
long countPublicOfOthers(db::Transaction& sqlca, const TemplateKey& key, long& count);

// One template as one statement reads it: the row and both syntaxes from the same state of the
// database, so that a save committing meanwhile cannot give the frame of one save and the list
// of another.
struct TemplateSnapshot {
    std::string stamp;        // "" for none
    std::string libraryName;  // its report object in the print library
    std::string flag;         // reports: "0" public, "1" private; bills "0"
    std::string isDefault;
    std::string owner;  // reports: the key's owner; bills: who saved it last
    std::string frame;
    std::string report;
    bool hasReportRow = false;  // the second table holds the template's row
};

// 0, 100 when the template's row is gone, -1 on error.
long readTemplate(db::Transaction& sqlca, const TemplateKey& key, TemplateSnapshot& out);

// Clears the default flag of every other template of the key's document or bill id: other
// names and the same name of other owners alike, so one default stays.
long clearOtherDefaults(db::Transaction& sqlca, const TemplateKey& key);

struct TemplateInfo {
    TemplateKey key;
    std::string flag;  // reports: "0" public, "1" private
    std::string isDefault;
    std::string dwname;       // the data object the template was made for (reports)
    std::string libraryName;  // its report object in the print library
    std::string stamp;
};

// A row's time stamp as the library entry of its report records it; "" for none.
std::string templateStamp(const Value& value);

// Every template, bill templates first, ordered by key. `onRow` sees each.
long listTemplates(db::Transaction& sqlca, const std::function<void(const TemplateInfo&)>& onRow);

}  // namespace print::print_window
