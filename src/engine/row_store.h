// Rows of a report, stored by column.
//
// Each column keeps its values in fixed-size chunks of one machine type (strings in a chunked
// byte arena), so a million rows cost little more than their payload and growing copies no
// more than the first chunk, which starts small and doubles as rows come: a report of
// thousands of columns and a few rows takes little memory. Rows are addressed by a stable id; the Primary, Filter and Delete
// buffers are lists of ids, so inserting, deleting, moving and sorting rows move 4-byte ids, not
// values. Values that are set again leave their old bytes in the arena until the rows are reset.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/value.h"

namespace print::engine {

template <class T>
class ChunkedVector {
public:
    static constexpr size_t kShift = 14;
    static constexpr size_t kChunk = size_t{1} << kShift;
    static constexpr size_t kMask = kChunk - 1;

    size_t size() const { return m_size; }
    T& operator[](size_t i) { return m_chunks[i >> kShift][i & kMask]; }
    const T& operator[](size_t i) const { return m_chunks[i >> kShift][i & kMask]; }
    void push_back(T v) {
        if ((m_size >> kShift) == m_chunks.size()) {
            // Later chunks are whole at once; the first one grows from a few values.
            m_firstCapacity = m_chunks.empty() ? kFirst : kChunk;
            m_chunks.push_back(std::make_unique_for_overwrite<T[]>(m_firstCapacity));
        } else if (m_size == m_firstCapacity && m_chunks.size() == 1) {
            const size_t grown = std::min(kChunk, m_firstCapacity * 2);
            auto bigger = std::make_unique_for_overwrite<T[]>(grown);
            std::copy(m_chunks[0].get(), m_chunks[0].get() + m_size, bigger.get());
            m_chunks[0] = std::move(bigger);
            m_firstCapacity = grown;
        }
        (*this)[m_size++] = v;
    }
    void clear() {
        m_chunks.clear();
        m_size = 0;
        m_firstCapacity = 0;
    }
    size_t memoryBytes() const {
        if (m_chunks.size() <= 1) return m_firstCapacity * sizeof(T);
        return m_chunks.size() * kChunk * sizeof(T);
    }

private:
    static constexpr size_t kFirst = 16;
    std::vector<std::unique_ptr<T[]>> m_chunks;
    size_t m_size = 0;
    size_t m_firstCapacity = 0;  // of the first chunk while it is the only one
};

// One column's values in the column's own type. Values of other types are converted on the way
// in (`coerce`); a value that cannot be converted is refused.
class ColumnStore {
public:
    explicit ColumnStore(ValueType type);

    ValueType type() const { return m_type; }
    size_t size() const { return m_size; }

    // Appends a value (converted to the column type, or null when it cannot be).
    void append(const Value& v);
    // False when the value cannot be converted to the column type.
    bool set(uint32_t id, const Value& v);
    Value get(uint32_t id) const;
    bool isNull(uint32_t id) const;
    // The stored text of a non-null string value without copying it.
    bool stringView(uint32_t id, std::string_view& out) const;
    // Appends the values of `ids` of another column of the same type without going through
    // Value; of another type, converting each value.
    void appendFrom(const ColumnStore& src, const uint32_t* ids, size_t count);
    void clear();
    size_t memoryBytes() const;

private:
    static constexpr uint64_t kNullString = ~uint64_t{0};
    static constexpr int8_t kNullScale = -2;
    static constexpr int8_t kBigNumber = -1;
    static constexpr int64_t kNullInt = INT64_MIN;

    void appendRaw(const Value& v);  // v is already of the column type or null
    uint64_t storeString(std::string_view s);
    std::string_view loadString(uint64_t packed) const;
    void setRaw(uint32_t id, const Value& v);

    ValueType m_type;
    size_t m_size = 0;
    ChunkedVector<int64_t> m_ints;    // Long, Date, DateTime, Time; and number mantissas
    ChunkedVector<int8_t> m_scales;   // Number scales (or a marker)
    ChunkedVector<uint64_t> m_cells;  // String: chunk(22) | offset(21) | length(21)
    std::vector<std::unique_ptr<char[]>> m_arena;
    std::vector<size_t> m_arenaSizes;
    size_t m_arenaUsed = 0;  // bytes used in the last arena chunk
    std::unordered_map<uint32_t, Decimal> m_bigNumbers;
    std::unordered_map<uint32_t, std::string> m_bigStrings;
    // Cells of Long and temporal columns that hold the value kNullInt stands for: null is
    // kNullInt not listed here, so reading a value costs one comparison as long as no cell holds
    // the smallest long, and every 64-bit value can be stored.
    std::unordered_set<uint32_t> m_minInts;
};

// Converts a value to a column type: numbers between Number and Long, text parsed as the type,
// dates to date-times and back. nullopt when it cannot be converted (a number beyond a long's
// range to Long, too); null stays null.
std::optional<Value> coerce(const Value& v, ValueType type);

enum class Buffer { Primary, Delete, Filter };

enum class RowStatus : uint8_t { New, NewModified, DataModified, NotModified };

// All rows of a report: the column stores, the three buffers and the row states. Shared between
// reports by ShareData.
struct RowData {
    std::vector<ColumnStore> columns;
    std::vector<uint32_t> primary;
    std::vector<uint32_t> filter;
    std::vector<uint32_t> deleted;
    ChunkedVector<uint8_t> status;  // RowStatus by row id
    uint64_t version = 0;           // changes with every change of the rows

    explicit RowData(const std::vector<ValueType>& types);
    std::vector<uint32_t>& buffer(Buffer b) {
        return b == Buffer::Primary ? primary : (b == Buffer::Filter ? filter : deleted);
    }
    uint32_t newRow();  // appends a row of nulls and returns its id
    void clear();
    void touch();
    // A change that concerns one row only (a value set, a row inserted or deleted): layout then
    // measures that row again rather than every row.
    void touchRow(uint32_t id);
    // The rows touched one by one since `since` (a version read earlier); nullopt when the
    // rows changed otherwise meanwhile, or too many of them to list.
    std::optional<std::vector<uint32_t>> rowsChangedSince(uint64_t since) const;
    size_t memoryBytes() const;

private:
    uint64_t m_wholeVersion = 0;                         // the last change of more than a row
    std::vector<std::pair<uint64_t, uint32_t>> m_edits;  // single-row changes since then
};

// A process-wide counter that never repeats, for schema and data versions.
uint64_t nextVersion();

}  // namespace print::engine
