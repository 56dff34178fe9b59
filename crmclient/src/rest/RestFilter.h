#pragma once
// The REST filter language (clauses "field==value" joined by ';', a trailing '*'
// for a prefix) against XML-RPC's query patterns ('%' for any run of characters,
// ignoring case), and the matching done on our side for what a filter cannot carry.

#include <string>
#include <string_view>
#include <vector>

namespace tessary::detail {

// Whether a value can go inside a clause: the filter has no escape for ';', ','
// '*' or "==", so a value holding one is never sent.
bool CanCarry(std::string_view value);

// XML-RPC's rule: the whole text matches the pattern, ignoring case, '%' standing
// for any run of characters (none included).
bool PatternMatches(std::string_view pattern, std::string_view text);

// How an XML-RPC query pattern goes to the server.
struct FilterValue {
    enum class Form {
        Any,    // "%": no clause at all
        Exact,  // "text": text
        Prefix, // "text%": text*
        OurSide // anything else, or a text the filter cannot carry
    };
    Form form = Form::OurSide;
    std::string text; // without the '%' (Exact, Prefix)
};
FilterValue ReadPattern(std::string_view pattern);

// The clause for a value of that form ("field==text" or "field==text*").
std::string Clause(std::string_view field, const FilterValue& value);

// The clauses as one filter value.
std::string JoinClauses(const std::vector<std::string>& clauses);

} // namespace tessary::detail
