#include "xml/line_breaks.h"

#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace nanxml {

bool HasOnlyCrLfBreaks(std::string_view text)
{
    // The LF marks of a block must be exactly its CR marks moved on by one byte (a CR may end
    // the previous block), and no byte may be NUL.
    std::uint64_t carriedCr = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time, a bit for each byte.
    const __m128i nul = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const auto marks = [](__m128i bytes, __m128i c) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, c)));
    };
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const std::uint32_t crMarks = marks(bytes, cr);
        if ((marks(bytes, nul) | ((((crMarks << 1) | carriedCr) & 0xFFFF) ^ marks(bytes, lf))) != 0) return false;
        carriedCr = crMarks >> 15;
    }
#else
    // Eight bytes at a time: masks mark the NUL, CR and LF bytes of a word.
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const auto zeroBytes = [](std::uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); };
    const auto nextByte = [](std::uint64_t marks) {
        if constexpr (std::endian::native == std::endian::little) return marks << 8;
        else return marks >> 8;
    };
    const auto lastByte = [](std::uint64_t marks) {
        if constexpr (std::endian::native == std::endian::little) return marks >> 56;
        else return marks << 56;
    };
    // A word without any byte below 0x0E holds no NUL, CR or LF: passed at once, unless a CR
    // ended the word before it. The test is the zero-byte test with 0x0E in place of 0.
    const auto hasControlBelowCr = [](std::uint64_t v) { return ((v - kOnes * 0x0E) & ~v & ~kLow7) != 0; };
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (carriedCr == 0 && !hasControlBelowCr(word)) continue;
        const std::uint64_t crMarks = zeroBytes(word ^ (kOnes * '\r'));
        const std::uint64_t lfMarks = zeroBytes(word ^ (kOnes * '\n'));
        if ((zeroBytes(word) | ((nextByte(crMarks) | carriedCr) ^ lfMarks)) != 0) return false;
        carriedCr = lastByte(crMarks);
    }
#endif
    bool afterCr = carriedCr != 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\0' || (c == '\n') != afterCr) return false;
        afterCr = c == '\r';
    }
    return !afterCr;
}

std::string NormalisedLines(std::string_view text)
{
    std::string withoutNuls;
    if (text.find('\0') != std::string_view::npos) {
        withoutNuls.assign(text);
        RemoveNuls(withoutNuls);
        text = withoutNuls;
    }
    std::string lines;
    lines.reserve(text.size() + text.size() / 16 + 2);
    bool lineOpen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines += "\r\n";
            lineOpen = false;
        } else {
            lines += c;
            lineOpen = true;
        }
    }
    if (lineOpen) lines += "\r\n";
    return lines;
}

void RemoveNuls(std::string& text)
{
    if (text.find('\0') != std::string::npos) std::erase(text, '\0');
}

std::size_t SourceOffset(std::string_view source, std::size_t offset, bool linesNormalised)
{
    std::size_t produced = 0;  // bytes of the transformed text that come before source[i]
    for (std::size_t i = 0; i < source.size(); ++i) {
        const char c = source[i];
        if (c == '\0') continue;
        if (produced >= offset) return i;
        if (linesNormalised && c == '\n') {
            produced += 2;  // a lone LF becomes CR LF
        } else if (linesNormalised && c == '\r') {
            std::size_t next = i + 1;
            while (next < source.size() && source[next] == '\0') ++next;
            if (next < source.size() && source[next] == '\n') {
                i = next;  // CR LF stays as it is
            }
            produced += 2;
        } else {
            ++produced;
        }
    }
    return source.size();
}

}  // namespace nanxml
