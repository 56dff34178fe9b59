#pragma once
// The base64 encoder's core, for encoding a file a piece at a time.

#include <cstddef>
#include <string_view>

namespace tessary::encoding {

// Input bytes of one full output line (64 characters and CR LF).
inline constexpr std::size_t kBase64LineBytes = 48;

// Characters EncodeBase64 makes of n bytes, line breaks included.
std::size_t Base64Size(std::size_t n) noexcept;

// Writes EncodeBase64(bytes) to out, which has room for Base64Size(bytes.size()).
// Pieces of a longer input encoded one after another give the whole input's
// encoding when every piece but the last holds a multiple of kBase64LineBytes.
void EncodeBase64To(std::string_view bytes, char* out) noexcept;

} // namespace tessary::encoding
