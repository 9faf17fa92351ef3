// Conversions between UTF-8 (the program's own text) and Windows code page 932
// (the Shift_JIS of documents made on Windows).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

struct Cp932Encoded {
    std::string bytes;            // CP932 bytes; characters CP932 cannot hold are "?"
    std::size_t unmappable = 0;   // how many characters became "?"
};

// CP932 bytes to UTF-8. Never fails: a byte sequence that is not CP932 becomes U+FFFD.
std::string DecodeCp932(std::string_view bytes);
// The same into out, replacing its contents: a caller decoding many pieces reuses one buffer.
void DecodeCp932(std::string_view bytes, std::string& out);

// UTF-8 to CP932. Characters CP932 cannot hold (and malformed UTF-8) become "?" and are counted.
Cp932Encoded EncodeCp932(std::string_view utf8);
// The same appended to out; returns how many characters became "?".
std::size_t EncodeCp932(std::string_view utf8, std::string& out);
// Room beyond utf8.size() bytes that the form below may write into (and then write over).
inline constexpr std::size_t kCp932EncodeSlack = 32;
// The same written to out, which must have room for utf8.size() + kCp932EncodeSlack bytes;
// returns the end of what was written and adds the "?" characters to unmappable. For a
// caller with a buffer of its own, which need not be filled before it is written.
char* EncodeCp932(std::string_view utf8, char* out, std::size_t& unmappable);

// How many characters EncodeCp932 would turn into "?", without building the output.
std::size_t CountCp932Unmappable(std::string_view utf8);

namespace detail {
bool IsCp932DoubleByteBeyondAscii(char32_t codePoint);
}

// True when CP932 encodes the character in two bytes (its first byte is a lead byte).
// A table lookup; inline so that ASCII, the common case for a tokeniser, costs no call.
inline bool IsCp932DoubleByte(char32_t codePoint)
{
    return codePoint >= 0x80 && detail::IsCp932DoubleByteBeyondAscii(codePoint);
}

}  // namespace platform
