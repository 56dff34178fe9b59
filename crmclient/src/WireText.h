#pragma once
// Text as it goes on the wire. XML 1.0 cannot carry most control characters and
// only UTF-8 is declared, yet texts come from a host that may hand over Latin-1
// bytes and from notes pasted out of word processors (Word's soft line break is
// U+000B). One bad character makes the server reject the whole call, so every
// text is written in a form the server's parser accepts:
//   - U+0000-U+0008, U+000B, U+000C, U+000E-U+001F, U+FFFE and U+FFFF become a
//     space (TAB, LF and CR stay);
//   - a text that is not valid UTF-8 is read byte by byte as Windows-1252 (of
//     which Latin-1 is a part) and written as the UTF-8 of that reading;
//   - when escaping, '&', '<', '>' become entities and CR becomes "&#13;" so that
//     the reader's line-end normalisation does not turn CR LF into LF.

#include <cstddef>
#include <string>
#include <string_view>

namespace tessary::detail {

enum class TextForm { Utf8, Windows1252 };

struct TextPlan {
    TextForm form = TextForm::Utf8;
    std::size_t size = 0; // bytes of the written form
};

// Reads the text once: how it is to be read and how long its written form is.
TextPlan PlanText(std::string_view text, bool escape);

// Writes text[pos...] in its written form to out, whole characters only, while
// they fit in `room`; advances pos past what was written and returns the bytes
// written. Stops early (pos < text.size()) only when the next character's form
// does not fit.
std::size_t WriteSomeText(std::string_view text, TextForm form, bool escape, std::size_t& pos,
                          char* out, std::size_t room);

// The written form of the character at text[pos] (at most kMaxCharForm bytes);
// advances pos past it and returns its length.
inline constexpr std::size_t kMaxCharForm = 5;
std::size_t WriteOneChar(std::string_view text, TextForm form, bool escape, std::size_t& pos,
                         char* out);

// Appends the escaped written form of `text`.
void AppendEscaped(std::string& out, std::string_view text);

// The text as the server stores it once it has read it off the wire.
std::string WireText(std::string_view text);

} // namespace tessary::detail
