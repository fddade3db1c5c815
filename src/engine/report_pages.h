// What the report engine asks of a report's pages without laying them out itself.
//
// The engine holds definitions, rows and expressions; the page layout module (src/layout) works
// out pages from them. Where the engine needs page facts (the expression functions Page() and
// PageCount(), aggregates "for page", the preview page that ScrollToRow, ScrollNextPage and
// ScrollPriorPage move, and the pointer questions GetObjectAtPointer and GetBandAtPointer) it
// asks through this interface. The layout module registers a factory; a report made without
// one is a single page (Page() and PageCount() are 1) and has nothing under the pointer.
//
// Nothing here fails: questions about pages or rows that do not exist answer -1, 0 or "" as
// each function says.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace print::engine {

class DataStore;

// The platform's Off!, FocusRect! and Hand!.
enum class RowFocusIndicator { Off, FocusRect, Hand };

class ReportPages {
public:
    virtual ~ReportPages() = default;

    // --- for the report's expressions ---------------------------------------------------------
    // The page row `row` is printed on, the number of pages, and the first and last row of the
    // page row `row` is on; while pages are being worked out these answer page 1 of 1. A page
    // shown before the rest of the report is laid out may get a count below zero: not known
    // yet.
    virtual long pageForExpression(long row) const = 0;
    virtual long pageCountForExpression() const = 0;
    virtual std::pair<long, long> pageRangeForExpression(long row) const = 0;

    // --- the preview --------------------------------------------------------------------------
    virtual long pageCount() = 0;
    // The page the preview shows (1-based; 0 for a report without pages).
    virtual long currentPage() = 0;
    // Shows page `page`; 1, or -1 when there is no such page (the shown page stays).
    virtual int setCurrentPage(long page) = 0;
    // The page on which row `row` begins; -1 when there is no such row.
    virtual long pageOfRow(long row) = 0;
    // The page on which row `row` of the nested report shown by `reportObject` begins; -1 when
    // there is no such object or row.
    virtual long pageOfNestedRow(std::string_view reportObject, long row) = 0;
    // The first and last row of the report on page `page`; {0, 0} when it shows none.
    virtual std::pair<long, long> rowsOnPage(long page) = 0;
    virtual void setRowFocusIndicator(RowFocusIndicator indicator) = 0;

    // --- the pointer on the shown page ----------------------------------------------------------
    // "name<TAB>row" of the object under the pointer, "" over nothing.
    virtual std::string objectAtPointer() = 0;
    // "band<TAB>row" of the band under the pointer, "" over nothing.
    virtual std::string bandAtPointer() = 0;
};

// Makes the pages of a report; the layout module registers one when it is linked in. Null
// makes reports single pages again.
using ReportPagesFactory = std::unique_ptr<ReportPages> (*)(DataStore& report);
void setReportPagesFactory(ReportPagesFactory factory);
ReportPagesFactory reportPagesFactory();

}  // namespace print::engine
