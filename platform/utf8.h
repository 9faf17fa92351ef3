// Small UTF-8 helpers shared by the core.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Byte offset of the first malformed sequence (overlong, surrogate, beyond U+10FFFF,
// truncated), or std::string_view::npos when the whole text is valid UTF-8.
std::size_t FindInvalidUtf8(std::string_view text);
inline bool IsValidUtf8(std::string_view text) { return FindInvalidUtf8(text) == std::string_view::npos; }

// Decodes the character starting at text[pos] (pos < text.size()) and advances pos.
// A malformed sequence gives false and advances pos past its longest prefix that could
// still have begun a valid sequence (at least one byte), so that each broken character
// counts once. Inline because the converters call it per character.
inline bool TryNextCodePoint(std::string_view text, std::size_t& pos, char32_t& codePoint)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byteAt(pos);
    if (lead < 0x80) {
        codePoint = lead;
        ++pos;
        return true;
    }
    const auto isContinuation = [&](std::size_t i) { return (byteAt(i) & 0xC0) == 0x80; };
    // The common case in Japanese text first: leads whose second byte needs no range check.
    if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && text.size() - pos >= 3 && isContinuation(pos + 1) &&
        isContinuation(pos + 2)) {
        codePoint = (lead & 0x0F) << 12 | (byteAt(pos + 1) & 0x3F) << 6 | (byteAt(pos + 2) & 0x3F);
        pos += 3;
        return true;
    }
    std::size_t length;
    char32_t value;
    unsigned low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;        // overlong
        else if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;        // overlong
        else if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        ++pos;
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (pos + i >= text.size() || byteAt(pos + i) < low || byteAt(pos + i) > high) {
            pos += i;
            return false;
        }
        value = (value << 6) | (byteAt(pos + i) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    codePoint = value;
    pos += length;
    return true;
}

// Decodes the character starting at text[pos] (which must be valid UTF-8) and advances pos.
// A malformed sequence gives U+FFFD, advancing as TryNextCodePoint does.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of the character; a surrogate or a value beyond U+10FFFF
// appends U+FFFD instead.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace platform
