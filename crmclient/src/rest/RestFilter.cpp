#include "rest/RestFilter.h"

#include <cctype>

namespace tessary::detail {
namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

bool CanCarry(std::string_view value) {
    return value.find_first_of(";,*") == std::string_view::npos &&
           value.find("==") == std::string_view::npos;
}

bool PatternMatches(std::string_view pattern, std::string_view text) {
    // Greedy matching with one back-track point, the last '%' seen.
    std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

FilterValue ReadPattern(std::string_view pattern) {
    const std::size_t percent = pattern.find('%');
    if (pattern.find_first_not_of('%') == std::string_view::npos && !pattern.empty())
        return {FilterValue::Form::Any, {}};
    FilterValue value;
    if (percent == std::string_view::npos) {
        value = {FilterValue::Form::Exact, std::string(pattern)};
    } else if (percent == pattern.size() - 1) {
        value = {FilterValue::Form::Prefix, std::string(pattern.substr(0, percent))};
    } else {
        return {};
    }
    if (value.text.empty() || !CanCarry(value.text))
        return {};
    return value;
}

std::string Clause(std::string_view field, const FilterValue& value) {
    std::string clause(field);
    clause += "==";
    clause += value.text;
    if (value.form == FilterValue::Form::Prefix)
        clause += '*';
    return clause;
}

std::string JoinClauses(const std::vector<std::string>& clauses) {
    std::string filter;
    for (const std::string& clause : clauses) {
        if (!filter.empty())
            filter += ';';
        filter += clause;
    }
    return filter;
}

} // namespace tessary::detail
