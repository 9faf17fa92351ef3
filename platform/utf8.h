// Small UTF-8 helpers shared by the core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Byte offset of the first malformed sequence (overlong, surrogate, beyond U+10FFFF,
// truncated), or std::string_view::npos when the whole text is valid UTF-8.
std::size_t FindInvalidUtf8(std::string_view text);
inline bool IsValidUtf8(std::string_view text) { return FindInvalidUtf8(text) == std::string_view::npos; }

// Decodes the character starting at text[pos] (which must be valid UTF-8) and advances pos.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace platform
