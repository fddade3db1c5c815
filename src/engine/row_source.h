// Where `Retrieve` gets its rows: the database layer implements RowSource on the host
// transaction; tests use an in-memory source.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/value.h"

namespace print::engine {

struct RetrieveArgument {
    std::string name;  // as in the definition's arguments=(...), without the colon
    ValueType type = ValueType::String;
    Value value;
};

struct RetrieveColumn {
    std::string name;
    std::string dbname;
    ValueType type = ValueType::String;
};

class RowSink {
public:
    virtual ~RowSink() = default;
    // One result row, its values in the order of the report's columns and already of their
    // types (or null). The sink may move the values out.
    virtual void appendRow(std::vector<Value>& values) = 0;
};

class RowSource {
public:
    virtual ~RowSource() = default;
    // Runs `sql`, whose `:name` placeholders refer to `args`, and hands each result row to
    // `sink`, result column i going to report column i. Returns the number of rows, or an Error
    // carrying the database's message.
    virtual Result<long> retrieve(std::string_view sql, const std::vector<RetrieveArgument>& args,
                                  const std::vector<RetrieveColumn>& columns, RowSink& sink) = 0;
};

}  // namespace print::engine
