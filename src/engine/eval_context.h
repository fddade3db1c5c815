// What an expression sees while it is evaluated for one row of a report.
//
// The report implements this interface; expressions bind the names they use to slots once per
// schema version and then read values by slot, so a per-row evaluation does no name lookup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "common/result.h"
#include "common/value.h"

namespace print::engine {

class EvalContext {
public:
    virtual ~EvalContext() = default;

    // Changes whenever columns or computed fields are created or destroyed; unique across all
    // contexts of the process, so a cached binding is never reused for another report.
    virtual uint64_t schemaVersion() const = 0;
    // Changes whenever row data changes (also unique across contexts); aggregate results may be
    // cached while it stays the same.
    virtual uint64_t dataVersion() const = 0;

    // Slot of a column or computed field (names are not case sensitive); -1 when unknown.
    virtual int resolveName(std::string_view name) const = 0;
    // Value of a slot in a 1-based row of the primary buffer; null for a row out of range.
    virtual Value valueAt(int slot, long row) const = 0;
    // Whether a slot is a computed field, whose value may be an Error: it is read through
    // evaluateSlot, every other slot through valueAt.
    virtual bool isComputed(int slot) const { return false; }
    // valueAt with the Error of a computed field that cannot be evaluated (its expression does
    // not compile, fails, or nests too deeply), where valueAt gives null.
    virtual Result<Value> evaluateSlot(int slot, long row) const { return valueAt(slot, row); }
    // Fast path for stored string columns: true with the text when the slot is a stored string
    // column and the value is not null. The view is valid until the next change of the rows.
    virtual bool stringAt(int slot, long row, std::string_view& out) const { return false; }

    virtual long rowCount() const = 0;
    virtual long currentRow() const = 0;
    // Display value of a code-table or drop-down column; the data value as text otherwise.
    virtual std::string lookUpDisplay(int slot, long row) const = 0;
    // The report's Describe, for Describe() inside expressions.
    virtual std::string describe(std::string_view path) const = 0;

    virtual long page(long row) const { return 1; }
    // The number of pages; below zero when it is not known yet (PageCount() is then null).
    virtual long pageCount() const { return 1; }
    // First and last row of the page that holds `row`.
    virtual std::pair<long, long> pageRange(long row) const { return {1, rowCount()}; }
    // First and last row of the group of `level` that holds `row`: the run of rows around it
    // with the same values of the group's columns and those of the levels above it. An Error
    // when there is no group of that level.
    virtual Result<std::pair<long, long>> groupRange(int level, long row) const {
        return Error{"the report has no group " + std::to_string(level)};
    }
};

}  // namespace print::engine
