#include "engine/row_store.h"

#include <cstring>

namespace print::engine {
namespace {

constexpr size_t kArenaChunk = size_t{1} << 20;
constexpr size_t kFirstArenaChunk = 256;
constexpr uint64_t kLengthMask = (uint64_t{1} << 21) - 1;
constexpr uint64_t kOffsetMask = (uint64_t{1} << 21) - 1;
constexpr uint64_t kLongString = kLengthMask;  // the string lives in the side table
// Longer strings live in the side table: a string must fit in one arena chunk, and a few large
// ones would otherwise leave most of a chunk unused each.
constexpr size_t kMaxArenaString = kArenaChunk / 4;
static_assert(kMaxArenaString < kLongString && kArenaChunk <= kOffsetMask + 1);

int64_t encodeTemporal(const Value& v) {
    switch (v.type()) {
        case ValueType::Date: return v.asDate().days;
        case ValueType::Time: return v.asTime().micros;
        case ValueType::DateTime:
            return static_cast<int64_t>(v.asDateTime().date.days) * 86400000000LL +
                   v.asDateTime().time.micros;
        case ValueType::Long: return v.asLong();
        default: return 0;
    }
}

}  // namespace

uint64_t nextVersion() {
    static uint64_t counter = 0;
    return ++counter;
}

std::optional<Value> coerce(const Value& v, ValueType type) {
    if (v.isNull() || v.type() == type) return v;
    switch (type) {
        case ValueType::String:
            return Value(v.toText());
        case ValueType::Number: {
            auto d = v.toDecimal();
            if (!d) return std::nullopt;
            return Value(*d);
        }
        case ValueType::Long: {
            auto d = v.toDecimal();
            if (!d) return std::nullopt;
            // Beyond the range is refused: the nearest long would be another number.
            Decimal whole = d->round(0);
            if (whole.mantissa() < INT64_MIN || whole.mantissa() > INT64_MAX) return std::nullopt;
            return Value(whole.toInt64());
        }
        case ValueType::Date:
            if (v.type() == ValueType::DateTime) return Value(v.asDateTime().date);
            if (v.isString()) return parseValue(v.asString(), ValueType::Date);
            return std::nullopt;
        case ValueType::DateTime:
            if (v.type() == ValueType::Date) return Value(DateTime{v.asDate(), {}});
            if (v.isString()) return parseValue(v.asString(), ValueType::DateTime);
            return std::nullopt;
        case ValueType::Time:
            if (v.type() == ValueType::DateTime) return Value(v.asDateTime().time);
            if (v.isString()) return parseValue(v.asString(), ValueType::Time);
            return std::nullopt;
        case ValueType::Bool:
            if (v.isNumeric()) return Value(!v.toDecimal()->isZero());
            return std::nullopt;
        case ValueType::Null: return Value();
    }
    return std::nullopt;
}

ColumnStore::ColumnStore(ValueType type) : m_type(type) {
    if (m_type == ValueType::Bool || m_type == ValueType::Null) m_type = ValueType::Long;
}

uint64_t ColumnStore::storeString(std::string_view s) {
    if (s.size() > kMaxArenaString) return kLongString;  // caller keeps it in the side table
    if (m_arena.empty() || m_arenaUsed + s.size() > m_arenaSizes.back()) {
        // Arena chunks double from a small first one, so that a column of a few short values
        // takes a few hundred bytes; stored text never moves.
        size_t size = m_arena.empty() ? kFirstArenaChunk : std::min(kArenaChunk, 2 * m_arenaSizes.back());
        size = std::max(size, s.size());
        m_arena.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_arenaSizes.push_back(size);
        m_arenaUsed = 0;
    }
    uint64_t chunk = m_arena.size() - 1;
    uint64_t offset = m_arenaUsed;
    if (!s.empty()) std::memcpy(m_arena.back().get() + offset, s.data(), s.size());
    m_arenaUsed += s.size();
    return (chunk << 42) | (offset << 21) | s.size();
}

std::string_view ColumnStore::loadString(uint64_t packed) const {
    uint64_t length = packed & kLengthMask;
    uint64_t offset = (packed >> 21) & kOffsetMask;
    uint64_t chunk = packed >> 42;
    return std::string_view(m_arena[chunk].get() + offset, length);
}

void ColumnStore::appendRaw(const Value& v) {
    uint32_t id = static_cast<uint32_t>(m_size);
    switch (m_type) {
        case ValueType::String:
            if (v.isNull()) {
                m_cells.push_back(kNullString);
            } else {
                uint64_t packed = storeString(v.asString());
                if (packed == kLongString) m_bigStrings[id] = v.asString();
                m_cells.push_back(packed);
            }
            break;
        case ValueType::Number:
            if (v.isNull()) {
                m_ints.push_back(0);
                m_scales.push_back(kNullScale);
            } else {
                const Decimal& d = v.asDecimal();
                __int128 m = d.mantissa();
                if (m >= INT64_MIN && m <= INT64_MAX) {
                    m_ints.push_back(static_cast<int64_t>(m));
                    m_scales.push_back(static_cast<int8_t>(d.scale()));
                } else {
                    m_bigNumbers[id] = d;
                    m_ints.push_back(0);
                    m_scales.push_back(kBigNumber);
                }
            }
            break;
        default: {
            int64_t raw = v.isNull() ? kNullInt : encodeTemporal(v);
            if (raw == kNullInt && !v.isNull()) m_minInts.insert(id);
            m_ints.push_back(raw);
            break;
        }
    }
    ++m_size;
}

void ColumnStore::append(const Value& v) {
    if (v.isNull() || v.type() == m_type) {
        appendRaw(v);
        return;
    }
    auto c = coerce(v, m_type);
    appendRaw(c ? *c : Value());
}

void ColumnStore::setRaw(uint32_t id, const Value& v) {
    switch (m_type) {
        case ValueType::String:
            m_bigStrings.erase(id);
            if (v.isNull()) {
                m_cells[id] = kNullString;
            } else {
                uint64_t packed = storeString(v.asString());
                if (packed == kLongString) m_bigStrings[id] = v.asString();
                m_cells[id] = packed;
            }
            break;
        case ValueType::Number:
            m_bigNumbers.erase(id);
            if (v.isNull()) {
                m_scales[id] = kNullScale;
            } else {
                const Decimal& d = v.asDecimal();
                __int128 m = d.mantissa();
                if (m >= INT64_MIN && m <= INT64_MAX) {
                    m_ints[id] = static_cast<int64_t>(m);
                    m_scales[id] = static_cast<int8_t>(d.scale());
                } else {
                    m_bigNumbers[id] = d;
                    m_scales[id] = kBigNumber;
                }
            }
            break;
        default: {
            int64_t raw = v.isNull() ? kNullInt : encodeTemporal(v);
            if (!m_minInts.empty()) m_minInts.erase(id);
            if (raw == kNullInt && !v.isNull()) m_minInts.insert(id);
            m_ints[id] = raw;
            break;
        }
    }
}

bool ColumnStore::set(uint32_t id, const Value& v) {
    if (v.isNull() || v.type() == m_type) {
        setRaw(id, v);
        return true;
    }
    auto c = coerce(v, m_type);
    if (!c) return false;
    setRaw(id, *c);
    return true;
}

bool ColumnStore::isNull(uint32_t id) const {
    switch (m_type) {
        case ValueType::String: return m_cells[id] == kNullString;
        case ValueType::Number: return m_scales[id] == kNullScale;
        default: return m_ints[id] == kNullInt && (m_minInts.empty() || !m_minInts.count(id));
    }
}

bool ColumnStore::stringView(uint32_t id, std::string_view& out) const {
    if (m_type != ValueType::String) return false;
    uint64_t packed = m_cells[id];
    if (packed == kNullString) return false;
    if ((packed & kLengthMask) == kLongString) {
        out = m_bigStrings.at(id);
        return true;
    }
    out = loadString(packed);
    return true;
}

Value ColumnStore::get(uint32_t id) const {
    if (isNull(id)) return Value();
    switch (m_type) {
        case ValueType::String: {
            std::string_view s;
            stringView(id, s);
            return Value(s);
        }
        case ValueType::Number:
            if (m_scales[id] == kBigNumber) return Value(m_bigNumbers.at(id));
            return Value(Decimal::fromParts(m_ints[id], m_scales[id]));
        case ValueType::Long: return Value(m_ints[id]);
        case ValueType::Date: return Value(Date{static_cast<int32_t>(m_ints[id])});
        case ValueType::Time: return Value(Time{m_ints[id]});
        case ValueType::DateTime: {
            int64_t v = m_ints[id];
            int64_t days = v >= 0 ? v / 86400000000LL : -((-v + 86400000000LL - 1) / 86400000000LL);
            return Value(DateTime{Date{static_cast<int32_t>(days)}, Time{v - days * 86400000000LL}});
        }
        default: return Value();
    }
}

void ColumnStore::appendFrom(const ColumnStore& src, const uint32_t* ids, size_t count) {
    if (src.m_type != m_type) {
        for (size_t i = 0; i < count; ++i) append(src.get(ids[i]));
        return;
    }
    switch (m_type) {
        case ValueType::String:
            for (size_t i = 0; i < count; ++i) {
                uint32_t id = ids[i];
                uint64_t packed = src.m_cells[id];
                if (packed == kNullString) {
                    m_cells.push_back(kNullString);
                } else if ((packed & kLengthMask) == kLongString) {
                    m_bigStrings[static_cast<uint32_t>(m_size)] = src.m_bigStrings.at(id);
                    m_cells.push_back(kLongString);
                } else {
                    m_cells.push_back(storeString(src.loadString(packed)));
                }
                ++m_size;
            }
            break;
        case ValueType::Number:
            for (size_t i = 0; i < count; ++i) {
                uint32_t id = ids[i];
                int8_t scale = src.m_scales[id];
                if (scale == kBigNumber) m_bigNumbers[static_cast<uint32_t>(m_size)] = src.m_bigNumbers.at(id);
                m_ints.push_back(src.m_ints[id]);
                m_scales.push_back(scale);
                ++m_size;
            }
            break;
        default:
            for (size_t i = 0; i < count; ++i) {
                int64_t raw = src.m_ints[ids[i]];
                if (raw == kNullInt && !src.isNull(ids[i]))
                    m_minInts.insert(static_cast<uint32_t>(m_size));
                m_ints.push_back(raw);
                ++m_size;
            }
    }
}

void ColumnStore::clear() {
    m_size = 0;
    m_ints.clear();
    m_scales.clear();
    m_cells.clear();
    m_arena.clear();
    m_arenaSizes.clear();
    m_arenaUsed = 0;
    m_bigNumbers.clear();
    m_bigStrings.clear();
    m_minInts.clear();
}

size_t ColumnStore::memoryBytes() const {
    size_t arena = 0;
    for (size_t s : m_arenaSizes) arena += s;
    return m_ints.memoryBytes() + m_scales.memoryBytes() + m_cells.memoryBytes() + arena;
}

RowData::RowData(const std::vector<ValueType>& types) {
    columns.reserve(types.size());
    for (ValueType t : types) columns.emplace_back(t);
    version = nextVersion();
    m_wholeVersion = version;
}

uint32_t RowData::newRow() {
    uint32_t id = static_cast<uint32_t>(status.size());
    for (auto& c : columns) c.append(Value());
    status.push_back(static_cast<uint8_t>(RowStatus::New));
    return id;
}

void RowData::clear() {
    for (auto& c : columns) c.clear();
    primary.clear();
    primary.shrink_to_fit();
    filter.clear();
    deleted.clear();
    status.clear();
    touch();
}

void RowData::touch() {
    version = nextVersion();
    m_wholeVersion = version;
    m_edits.clear();
}

void RowData::touchRow(uint32_t id) {
    constexpr size_t kMaxEdits = 4096;
    version = nextVersion();
    if (m_edits.size() >= kMaxEdits) {
        m_wholeVersion = version;
        m_edits.clear();
        return;
    }
    m_edits.emplace_back(version, id);
}

std::optional<std::vector<uint32_t>> RowData::rowsChangedSince(uint64_t since) const {
    if (since < m_wholeVersion) return std::nullopt;
    std::vector<uint32_t> ids;
    for (auto it = m_edits.rbegin(); it != m_edits.rend() && it->first > since; ++it)
        ids.push_back(it->second);
    return ids;
}

size_t RowData::memoryBytes() const {
    size_t total = status.memoryBytes() +
                   (primary.capacity() + filter.capacity() + deleted.capacity()) * sizeof(uint32_t);
    for (const auto& c : columns) total += c.memoryBytes();
    return total;
}

}  // namespace print::engine
