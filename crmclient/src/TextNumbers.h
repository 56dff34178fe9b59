#pragma once
// Reading numbers out of text, shared by the wire decoder and the lenient readers.

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace tessary::detail {

// The text without blanks, tabs and line breaks at either end.
inline std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The whole text (blanks around it aside, one leading '+' allowed) as a finite
// number; std::nullopt when any of it is not.
inline std::optional<double> NumberFromText(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

} // namespace tessary::detail
