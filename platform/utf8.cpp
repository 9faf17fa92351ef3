#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELMORA_UTF8_AVX2 1
#endif

namespace platform {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool AllAscii(const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return (word & kHighBits) == 0;
}

// Character by character: gives the offset, and checks where no vector unit does.
std::size_t FindInvalidUtf8Scalar(std::string_view text)
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

#ifdef VELMORA_UTF8_AVX2
// Finds malformed UTF-8 32 bytes per step without a branch per character
// (the lookup method of Keiser and Lemire): three table look-ups on the nibbles of each byte
// and of the byte before it flag every malformed pair, and the bytes two and three behind
// say where a continuation byte must stand. A block is flagged exactly when the first
// malformed sequence the scalar walk would find ends in it (or is cut off by it); that walk
// then only has to run from there to name the offset.
constexpr char kTooShort = 1 << 0, kTooLong = 1 << 1, kOverlong3 = 1 << 2, kTooLarge = 1 << 3, kSurrogate = 1 << 4,
               kOverlong2 = 1 << 5, kTooLarge1000 = 1 << 6, kOverlong4 = 1 << 6, kTwoConts = static_cast<char>(1 << 7);
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;
// By the high nibble of the first byte of a pair.
alignas(16) constexpr char kByte1High[16] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts, kTwoConts, kTwoConts,
    kTwoConts, kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
    kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
// By its low nibble.
alignas(16) constexpr char kByte1Low[16] = {
    kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry, kCarry | kTooLarge,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000 | kSurrogate, kCarry | kTooLarge | kTooLarge1000,
    kCarry | kTooLarge | kTooLarge1000};
// By the high nibble of the second byte.
alignas(16) constexpr char kByte2High[16] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge, kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort, kTooShort, kTooShort, kTooShort};

// The bytes of the block before the one being checked.
struct Utf8Blocks {
    __m256i previous;
};

// The entries of a 16-byte table picked by each byte of nibbles (0 to 15).
__attribute__((target("avx2"), always_inline)) inline __m256i Lookup(const char* table, __m256i nibbles)
{
    return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table))),
                               nibbles);
}

// Whether some byte of the block ends a malformed sequence, looking up to three bytes back
// into the previous block.
__attribute__((target("avx2"), always_inline)) inline bool BlockHasError(Utf8Blocks& state, const char* bytes)
{
    const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    // The bytes 1, 2 and 3 places before each byte, the previous block's included.
    const __m256i carried = _mm256_permute2x128_si256(state.previous, input, 0x21);
    const __m256i prev1 = _mm256_alignr_epi8(input, carried, 15);
    const __m256i prev2 = _mm256_alignr_epi8(input, carried, 14);
    const __m256i prev3 = _mm256_alignr_epi8(input, carried, 13);
    const __m256i prev1High = _mm256_and_si256(_mm256_srli_epi16(prev1, 4), lowNibble);
    const __m256i inputHigh = _mm256_and_si256(_mm256_srli_epi16(input, 4), lowNibble);
    const __m256i special = _mm256_and_si256(
        _mm256_and_si256(Lookup(kByte1High, prev1High), Lookup(kByte1Low, _mm256_and_si256(prev1, lowNibble))),
        Lookup(kByte2High, inputHigh));
    // A continuation byte is needed two places after a 3- or 4-byte lead and three places
    // after a 4-byte lead; the tables said "two continuations in a row" for those spots.
    const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i must = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    const __m256i errors = _mm256_xor_si256(must, special);
    state.previous = input;
    return _mm256_testz_si256(errors, errors) == 0;
}

// The offset of the first block holding a byte that ends a malformed sequence, or npos.
// Stopping there keeps a search for the first fault as cheap as the bytes before it, so
// that repairing a text fault by fault does not read the whole text each time.
__attribute__((target("avx2"))) std::size_t FirstBlockWithErrorAvx2(std::string_view text)
{
    Utf8Blocks state{_mm256_setzero_si256()};
    std::size_t pos = 0;
    for (; text.size() - pos >= 32; pos += 32)
        if (BlockHasError(state, text.data() + pos)) return pos;
    // The rest, then NUL bytes: a sequence cut off by the end meets ASCII and is too short.
    // The rest is at most 31 bytes, so at least one NUL follows it within the block.
    // (An empty text may have no data at all, which memcpy must not be given.)
    char tail[32] = {};
    if (pos < text.size()) std::memcpy(tail, text.data() + pos, text.size() - pos);
    return BlockHasError(state, tail) ? pos : std::string_view::npos;
}
#endif

}  // namespace

std::size_t FindInvalidUtf8(std::string_view text)
{
#ifdef VELMORA_UTF8_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        const std::size_t block = FirstBlockWithErrorAvx2(text);
        if (block == std::string_view::npos) return block;
        // The fault may begin up to three bytes before the block (a sequence cut off by the
        // byte that was flagged). Everything before the block is well formed but for such a
        // sequence, so the character holding the byte three back starts at most three bytes
        // before it, at the first byte that is no continuation byte.
        std::size_t start = block < 3 ? 0 : block - 3;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        const std::size_t found = FindInvalidUtf8Scalar(text.substr(start));
        return found == std::string_view::npos ? found : start + found;
    }
#endif
    return FindInvalidUtf8Scalar(text);
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
