// Small result and error types shared by every layer.
//
// Expected failures (bad definition text, an unknown property, a database that is down, a file
// that cannot be written) travel as `Error` values; they never throw across a layer's public
// functions. `line` and `column` are 1-based and 0 when the failure has no position in a text.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace print {

struct Error {
    std::string message;
    int line = 0;
    int column = 0;

    // "Line L Column C: message" when the error has a position, else the bare message.
    std::string describe() const;
};

// Either a value or an Error. Deliberately tiny: `ok()`, `value()`, `error()`.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_v(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & {
        assert(ok());
        return std::get<0>(m_v);
    }
    const T& value() const& {
        assert(ok());
        return std::get<0>(m_v);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(m_v));
    }
    const Error& error() const {
        assert(!ok());
        return std::get<1>(m_v);
    }

private:
    std::variant<T, Error> m_v;
};

// A result without a value: success, or an Error.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Error error) : m_error(std::move(error)), m_failed(true) {}
    static Status success() { return {}; }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    Error m_error;
    bool m_failed = false;
};

}  // namespace print
