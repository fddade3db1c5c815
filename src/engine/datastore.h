// A report: its definition (bands, table columns, groups, objects), its rows, and the platform's
// functions on them under their platform names.
//
// `DataStore` is the report without a control; a nested report or a drop-down list is reached
// as a `DataWindowChild` (the same class, owned by its parent object); the window layer's report
// control holds one. Functions keep the platform's results: 1 for success and -1 for failure
// (row functions return the row number or -1); `Describe` answers "!" for the first invalid item
// and "?" for a valid property without a value; `Modify` answers "" or an error text
// "Line 1 Column N: <what went wrong>." and keeps the statements before the failing one. Nothing
// throws; a report whose definition failed to load stays empty and usable.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "common/value.h"
#include "engine/definition_text.h"
#include "engine/eval_context.h"
#include "engine/expression.h"
#include "engine/report_pages.h"
#include "engine/row_source.h"
#include "engine/row_store.h"

namespace print::engine {

class DataStore;
using DataWindowChild = DataStore;

struct TableColumn {
    AttributeList attrs;  // as written in column=(...)
    std::string name;
    std::string typeText;  // "char(10)", "decimal(2)", "number", ...
    ValueType type = ValueType::String;
};

struct ReportObject {
    std::string keyword;  // as written; its lower case is the kind
    std::string kind;
    AttributeList attrs;
    std::string name;                  // empty for an unnamed object
    bool isObject = true;              // false for trailing blocks such as htmltable(...)
    std::unique_ptr<DataStore> child;  // a report object's nested report
    std::string childError;            // why the nested report could not be loaded
    size_t offset = 0;                 // where its block began in the definition text read
    int line = 0;                      // (0 for an object made by Modify)
};

struct Band {
    AttributeList attrs;
    bool present = false;
};

class DataStore : public EvalContext {
public:
    DataStore();
    ~DataStore() override;
    DataStore(const DataStore&) = delete;
    DataStore& operator=(const DataStore&) = delete;

    // --- definition ---------------------------------------------------------------------------
    // Builds the report from definition text; on failure `error` holds the message with line
    // and column, the report is left empty, and -1 is returned.
    int Create(std::string_view syntax, std::string& error);
    // Looks `name` up on the application's library search list and creates the report from it;
    // "" empties the report.
    int SetDataObject(std::string_view name);
    const std::string& dataObject() const { return m_dataObject; }
    bool isCreated() const { return m_created; }

    std::string Describe(std::string_view items);
    std::string Modify(std::string_view statements);
    // Evaluates an expression for a row of the primary buffer, as Describe("Evaluate('...',
    // row)") does, with the Error when it cannot be evaluated.
    Result<Value> evaluate(std::string_view expression, long row) const;

    // The nested report of a report object, or the list of a drop-down column. The child stays
    // valid until this report is created again or destroyed, even when its object is destroyed
    // or pointed at another definition meanwhile (it is then no longer shown).
    int GetChild(std::string_view name, DataWindowChild*& child);
    // The report that holds this one as a nested report; null for an outermost report.
    const DataStore* parentReport() const { return m_parent; }
    int SetPosition(std::string_view object, std::string_view band, bool bringToTop);
    int SetRedraw(bool redraw);
    bool redraw() const { return m_redraw; }

    // --- rows ---------------------------------------------------------------------------------
    long RowCount() const;
    long FilteredCount() const;
    long DeletedCount() const;
    long InsertRow(long beforeRow);
    int DeleteRow(long row);
    int Reset();
    // -1 (nothing copied) also when the target's columns differ in number or in type (numbers
    // of either kind go together).
    int RowsCopy(long startRow, long endRow, Buffer copyBuffer, DataStore& target, long beforeRow,
                 Buffer targetBuffer);
    int RowsMove(long startRow, long endRow, Buffer moveBuffer, DataStore& target, long beforeRow,
                 Buffer targetBuffer);
    int ShareData(DataStore& secondary);
    int ShareDataOff();
    long Find(std::string_view expression, long start, long end);

    int SetItem(long row, std::string_view column, const Value& value);
    int SetItem(long row, int column, const Value& value);
    // The stored value (null for a null value); computed fields are evaluated. A row or column
    // that does not exist gives nullopt.
    std::optional<Value> GetItem(long row, std::string_view column,
                                 Buffer buffer = Buffer::Primary) const;
    std::optional<std::string> GetItemString(long row, std::string_view column) const;
    std::optional<Decimal> GetItemNumber(long row, std::string_view column) const;
    std::optional<Date> GetItemDate(long row, std::string_view column) const;
    std::optional<DateTime> GetItemDateTime(long row, std::string_view column) const;
    // The value as a cell shows it: display format, code table or drop-down display applied.
    std::string GetItemText(long row, std::string_view column) const;
    std::optional<RowStatus> GetItemStatus(long row, Buffer buffer = Buffer::Primary) const;

    long GetRow() const { return m_currentRow; }
    int SetRow(long row);
    // Makes the row current and shows the page where it begins (for a nested report, the outer
    // report's page); 1, or -1 when the report has no rows.
    int ScrollToRow(long row);
    std::string GetColumnName() const { return m_currentColumn; }
    int SetColumn(std::string_view column);

    // Edit control: SetText puts text in the current cell's editor; AcceptText validates it
    // against the column type, raises item-error (a value that does not fit) or item-changed,
    // and stores it. Returns 1, or -1 when the text was refused.
    int SetText(std::string_view text);
    std::string GetText() const { return m_editText; }
    int AcceptText();
    // Return 0 to accept, 1 to reject the value, 2 to accept it without storing it.
    std::function<int(long row, const std::string& column, const std::string& data)> itemChanged;
    // Return 0 to reject with the engine's message, 1 to reject silently, 2 to accept the value,
    // 3 to reject and let focus move.
    std::function<int(long row, const std::string& column, const std::string& data)> itemError;

    int SetTransObject(RowSource* source);
    // Runs the definition's retrieve with arguments in the order of arguments=(...); returns
    // the number of rows or -1 (lastError() says why).
    long Retrieve(const std::vector<Value>& args = {});
    const std::string& lastError() const { return m_lastError; }

    // --- pages, preview and pointer (engine/report_pages.h) --------------------------------------
    // The report's pages as the layout module works them out, made on first use through the
    // registered factory; null when no layout module is linked in (the report is one page).
    ReportPages* pages() const;
    // The preview shows the next (prior) page; the row at the top of the page shown then (0 on
    // a page without rows), or -1 for a report without a definition. On the last (first) page
    // it stays there.
    long ScrollNextPage();
    long ScrollPriorPage();
    int SetRowFocusIndicator(RowFocusIndicator indicator);
    // "name<TAB>row" of the object under the pointer on the shown page, "" over nothing.
    std::string GetObjectAtPointer() const;
    // "band<TAB>row" of the band under the pointer, "" over nothing.
    std::string GetBandAtPointer() const;

    // --- model access for the layers above and for tests ----------------------------------------
    // The datawindow(...) attributes, the attributes of band "header", "detail", "summary" or
    // "footer" (null for another name) and the group blocks, as the definition holds them.
    const AttributeList& reportAttributes() const { return m_datawindow; }
    const AttributeList* bandAttributes(std::string_view band) const;
    const std::vector<TextBlock>& groups() const { return m_groups; }
    // Whether the report has a group of level `level` (its `level`, else its place from 1).
    bool hasGroupLevel(int level) const;
    // Changes with every Create, Modify and SetPosition (unique across reports).
    uint64_t definitionVersion() const { return m_definitionVersion; }
    const std::vector<TableColumn>& columns() const { return m_columns; }
    int columnIndex(std::string_view name) const;  // 0-based, -1 when unknown
    ReportObject* findObject(std::string_view name);
    const std::list<ReportObject>& objects() const { return m_objects; }
    std::string syntax() const;
    RowData& rowData() { return *m_rows; }
    const RowData& rowData() const { return *m_rows; }

    // --- EvalContext ----------------------------------------------------------------------------
    uint64_t schemaVersion() const override { return m_schemaVersion; }
    uint64_t dataVersion() const override { return m_rows->version; }
    int resolveName(std::string_view name) const override;
    Value valueAt(int slot, long row) const override;
    bool isComputed(int slot) const override;
    Result<Value> evaluateSlot(int slot, long row) const override;
    bool stringAt(int slot, long row, std::string_view& out) const override;
    long rowCount() const override { return RowCount(); }
    long currentRow() const override { return m_currentRow; }
    std::string lookUpDisplay(int slot, long row) const override;
    std::string describe(std::string_view path) const override;
    Result<std::pair<long, long>> groupRange(int level, long row) const override;
    long page(long row) const override;
    long pageCount() const override;
    std::pair<long, long> pageRange(long row) const override;

private:
    friend class ModifyRunner;
    friend class DescribeRunner;

    void clearDefinition();
    // `source` is the text the definition was read from, for the positions of errors.
    Status buildFrom(DefinitionText text, std::string_view source);
    // Indexes the objects by name; the first object whose name (ignoring case) an earlier one
    // has, or null. The earlier one stays indexed.
    const ReportObject* reindexObjects();
    void touchSchema();
    void resetRows();
    Status loadStoredData(std::string_view source);
    std::vector<ValueType> columnTypes() const;
    // As many columns as `other`, each of the same type or both numbers.
    bool sameColumnTypes(const DataStore& other) const;
    std::string writeStoredData() const;

    // Where a `DataWindow.` band path such as "header.height" or "trailer.1.height" leads.
    struct BandProperty {
        bool isBandPath = false;               // the path names a band at all
        const AttributeList* attrs = nullptr;  // null: no such band
        const Band* band = nullptr;            // null for a group band
        std::string name;                      // the attribute that holds the value
        bool known = false;                    // a band property, or one the definition has
        std::optional<std::string> defaultValue;
    };
    BandProperty bandProperty(const std::string& lowerPath) const;

    std::optional<std::string> describeItem(std::string_view item) const;
    std::optional<std::string> describeReportPath(std::string_view path) const;
    std::optional<std::string> describeObject(std::string_view object,
                                              std::string_view property) const;
    std::optional<std::string> evaluateItem(std::string_view item) const;

    const ReportObject* objectByName(std::string_view name) const;
    const ReportObject* columnObject(int columnIndex) const;
    bool isValidBand(std::string_view band) const;
    Result<std::unique_ptr<DataStore>> loadChild(std::string_view dataObject) const;
    DataStore* dddwChild(int columnIndex) const;
    // What the edit style of column `columnIndex` makes of typed `text`: a code table's or
    // drop-down's display value becomes its data value, a check box takes only its on, off and
    // other values, a spin range bounds numbers. nullopt when the style refuses the text.
    std::optional<std::string> editStyleValue(int columnIndex, const std::string& text) const;
    std::string displayText(int columnIndex, long row, const Value& value) const;
    std::optional<std::string> evaluateProperty(const std::string& value, long row) const;
    int columnArg(std::string_view column) const;
    Result<Value> computeValue(int computeIndex, long row) const;
    // Out of valueAt's way: reading a column is on the path of every scan.
    [[gnu::noinline]] Value computedValueOrNull(int computeIndex, long row) const;
    void rebuildComputes() const;
    // Per table column: its column object and that object's edit style, found once per schema
    // version rather than once per cell shown.
    struct ColumnView {
        const ReportObject* object = nullptr;
        std::string editStyle = "edit";
    };
    const ColumnView& columnView(int columnIndex) const;

    // definition
    bool m_created = false;
    std::string m_dataObject;
    std::string m_release = "9";
    AttributeList m_datawindow;
    Band m_header, m_summary, m_footer, m_detail;
    std::vector<TextBlock> m_headerLevels;  // a crosstab's header[1](...), header[2](...)
    AttributeList m_table;  // table attributes; each column=(...) kept as a placeholder
    std::vector<TableColumn> m_columns;
    std::vector<DataItem> m_storedData;
    bool m_hasStoredData = false;
    std::vector<TextBlock> m_groups;
    std::list<ReportObject> m_objects;
    std::unordered_map<std::string, std::list<ReportObject>::iterator> m_byName;
    std::unordered_map<std::string, int> m_columnByName;
    uint64_t m_schemaVersion = 0;
    uint64_t m_definitionVersion = 0;
    std::string m_printer;
    const DataStore* m_parent = nullptr;
    mutable std::unique_ptr<ReportPages> m_pages;

    // rows
    std::shared_ptr<RowData> m_rows;
    DataStore* m_sharePrimary = nullptr;
    std::vector<DataStore*> m_shareSecondaries;
    long m_currentRow = 0;
    std::string m_currentColumn;
    std::string m_editText;
    bool m_editPending = false;
    RowSource* m_source = nullptr;
    std::string m_lastError;
    bool m_redraw = true;

    // expressions
    mutable ExpressionCache m_expressions;
    mutable std::vector<const ReportObject*> m_computes;
    mutable std::unordered_map<std::string, int> m_computeByName;
    mutable uint64_t m_computesVersion = 0;
    mutable std::vector<ColumnView> m_columnViews;
    mutable uint64_t m_columnViewsVersion = 0;
    mutable std::vector<char> m_computing;  // per computed field: being evaluated now
    // Per group level: the first row of each group in the rows' current order, found once per
    // data and schema version.
    struct GroupRuns {
        uint64_t dataVersion = 0;
        uint64_t schemaVersion = 0;
        bool building = false;
        std::vector<long> starts;
        std::optional<Error> error;
    };
    mutable std::unordered_map<int, GroupRuns> m_groupRuns;
    const GroupRuns& groupRuns(int level) const;
    mutable std::unordered_map<int, std::unique_ptr<DataStore>> m_dddwChildren;
    // Children replaced or orphaned since the last Create, kept so that a child handed out by
    // GetChild never dangles.
    std::vector<std::unique_ptr<DataStore>> m_retired;
    void retire(std::unique_ptr<DataStore> child);
    void retireDddwChildren();
    void showRowInPreview(long row);
};

// The edit style of a column object: "dddw", "ddlb", "checkbox", "radiobuttons", "editmask"
// or "edit", from the attributes it carries.
std::string editStyleOf(const AttributeList& attrs);

// Parses a column type as written in table(...): char(n), decimal(n), number, long, ulong,
// real, date, datetime, timestamp, time, int, integer. nullopt for an unknown type.
std::optional<ValueType> parseColumnType(std::string_view typeText);

}  // namespace print::engine
