#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool AllAscii(const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return (word & kHighBits) == 0;
}

}  // namespace

std::size_t FindInvalidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (text.size() - pos >= 8 && AllAscii(text.data() + pos)) pos += 8;
        if (pos == text.size()) break;
        const std::size_t start = pos;
        char32_t ignored;
        if (!TryNextCodePoint(text, pos, ignored)) return start;
    }
    return std::string_view::npos;
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos)
{
    char32_t codePoint;
    return TryNextCodePoint(text, pos, codePoint) ? codePoint : kReplacementCharacter;
}

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) codePoint = kReplacementCharacter;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace platform
