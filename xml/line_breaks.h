// Line breaks and NUL characters of document files: a file is read and, in Shift_JIS,
// written as lines that each end with CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nanxml {

// True when text holds no NUL, every LF follows a CR and every CR is followed by a LF.
bool HasOnlyCrLfBreaks(std::string_view text);

// Text without its NUL characters, cut into lines at CR LF, a lone CR or a lone LF, each
// line followed by CR LF, the last one included. An empty text stays empty.
std::string NormalisedLines(std::string_view text);

// Removes the NUL characters.
void RemoveNuls(std::string& text);

// Offset in source of the byte found at offset in its NUL-free form (linesNormalised false)
// or in NormalisedLines(source) (linesNormalised true).
std::size_t SourceOffset(std::string_view source, std::size_t offset, bool linesNormalised);

}  // namespace nanxml
