// The characters text content cannot hold as they are ("<", ">" and "&"), found quickly, and
// text cut at them: the tree's AddText and the streaming writer turn the same text into the
// same runs and references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace nanxml {

namespace markup_characters {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The high bit set in each byte of word that may be zero (exact for the first zero byte,
// which is all a search needs).
inline std::uint64_t ZeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighBits; }

// True when one of the eight bytes of word is "<", ">" or "&". Setting bit 1 turns "<"
// (0x3C) into ">" (0x3E) and nothing else into it, so two tests cover the three.
inline bool HasMarkupCharacter(std::uint64_t word)
{
    return (ZeroBytes((word | kOnes * 0x02) ^ (kOnes * '>')) | ZeroBytes(word ^ (kOnes * '&'))) != 0;
}

}  // namespace markup_characters

// Position of the first "<", ">" or "&" in text from start on; text.size() when there is
// none. Sixteen bytes at a time while none of them is one.
inline std::size_t FindMarkupCharacter(std::string_view text, std::size_t start)
{
#ifdef __SSE2__
    // A byte compared with all three at once: "<" and ">" differ only in bit 1.
    const __m128i angle = _mm_set1_epi8('>');
    const __m128i bit1 = _mm_set1_epi8(0x02);
    const __m128i ampersand = _mm_set1_epi8('&');
    for (; start + 16 <= text.size(); start += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + start));
        const __m128i found = _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(bytes, bit1), angle),
                                           _mm_cmpeq_epi8(bytes, ampersand));
        if (const int mask = _mm_movemask_epi8(found)) return start + static_cast<std::size_t>(__builtin_ctz(mask));
    }
#endif
    for (std::uint64_t words[2]; start + 16 <= text.size(); start += 16) {
        std::memcpy(words, text.data() + start, sizeof words);
        if (markup_characters::HasMarkupCharacter(words[0]) || markup_characters::HasMarkupCharacter(words[1])) break;
    }
    while (start < text.size() && text[start] != '<' && text[start] != '>' && text[start] != '&') ++start;
    return start;
}

// Cuts text at its markup characters: onRun(run) for each piece of text between them (never
// empty), onReference(name) for each of them in turn, with the name of its entity ("lt",
// "gt" or "amp").
template <typename OnRun, typename OnReference>
void SplitAtMarkupCharacters(std::string_view text, OnRun onRun, OnReference onReference)
{
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t special = FindMarkupCharacter(text, start);
        if (special > start) onRun(text.substr(start, special - start));
        if (special == text.size()) break;
        const char c = text[special];
        onReference(std::string_view(c == '<' ? "lt" : c == '>' ? "gt" : "amp"));
        start = special + 1;
    }
}

}  // namespace nanxml
