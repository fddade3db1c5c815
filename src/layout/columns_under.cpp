#include "layout/columns_under.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "common/text.h"

namespace print::layout {
namespace {

// The names an expression uses that are no function: "sum(amount for all)" gives amount, for
// and all. Quoted texts are skipped.
std::vector<std::string_view> namesIn(std::string_view expression) {
    std::vector<std::string_view> names;
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    for (size_t i = 0; i < expression.size();) {
        const char c = expression[i];
        if (c == '\'' || c == '"') {
            const size_t end = expression.find(c, i + 1);
            i = end == std::string_view::npos ? expression.size() : end + 1;
            continue;
        }
        if (!isNameChar(c)) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < expression.size() && isNameChar(expression[end])) ++end;
        size_t next = end;
        while (next < expression.size() && expression[next] == ' ') ++next;
        if (next >= expression.size() || expression[next] != '(')
            names.push_back(expression.substr(i, end - i));
        i = end;
    }
    return names;
}

}  // namespace

ColumnsUnder::ColumnsUnder(std::vector<Column> columns) : m_columns(std::move(columns)) {
    for (size_t i = 0; i < m_columns.size(); ++i) {
        m_byName.emplace(asciiLower(m_columns[i].name), i);
        m_byX.emplace(m_columns[i].x, i);
    }
    m_byLeft.resize(m_columns.size());
    std::iota(m_byLeft.begin(), m_byLeft.end(), size_t{0});
    std::stable_sort(m_byLeft.begin(), m_byLeft.end(),
                     [&](size_t a, size_t b) { return m_columns[a].x < m_columns[b].x; });
    for (size_t i : m_byLeft) m_lefts.push_back(m_columns[i].x);
}

std::optional<size_t> ColumnsUnder::find(std::string_view expression, double x,
                                         double width) const {
    const double right = x + width;
    std::optional<size_t> named;
    bool several = false;
    for (std::string_view name : namesIn(expression)) {
        auto it = m_byName.find(asciiLower(name));
        if (it == m_byName.end()) continue;
        several = several || (named && *named != it->second);
        named = it->second;
    }
    if (named && !several) {
        const Column& c = m_columns[*named];
        if (x < c.x + c.width && right > c.x) return named;
    }
    if (auto it = m_byX.find(x); it != m_byX.end()) return it->second;
    // The columns from the first at or right of the field's left edge, while they begin inside
    // it; two that end inside it are enough to tell one from several.
    size_t i =
        static_cast<size_t>(std::lower_bound(m_lefts.begin(), m_lefts.end(), x) - m_lefts.begin());
    int spanned = 0;
    size_t only = 0;
    for (; i < m_lefts.size() && m_lefts[i] <= right && spanned < 2; ++i) {
        const Column& c = m_columns[m_byLeft[i]];
        if (c.x + c.width <= right) {
            ++spanned;
            only = m_byLeft[i];
        }
    }
    if (spanned == 1) return only;
    return std::nullopt;
}

}  // namespace print::layout
