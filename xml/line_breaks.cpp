#include "xml/line_breaks.h"

#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELMORA_LINES_AVX2 1
#endif

namespace nanxml {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool IsBreakOrNul(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// True when one of the eight bytes of word is below 0x0E, as NUL, CR and LF are: the
// classic zero-byte test with 0x0E in place of 0. Tabs pass it too and are sorted out byte
// by byte.
bool HasByteBelowCrPlusOne(std::uint64_t word)
{
    return ((word - kOnes * 0x0E) & ~word & kHighBits) != 0;
}

const char* FindBreakOrNul(const char* p, const char* end)
{
    for (;;) {
        for (std::uint64_t word; end - p >= 8; p += 8) {
            std::memcpy(&word, p, sizeof word);
            if (HasByteBelowCrPlusOne(word)) break;
        }
        const char* const stop = end - p >= 8 ? p + 8 : end;
        for (; p < stop; ++p) {
            if (IsBreakOrNul(*p)) return p;
        }
        if (p == end) return end;
    }
}

#ifdef VELMORA_LINES_AVX2
// HasOnlyCrLfBreaks over 64-byte blocks from i on, a bit for each byte; returns where it
// stopped (at the first block that fails, or before the last 64 bytes) with carriedCr set
// when the byte before that is a CR.
__attribute__((target("avx2"))) std::size_t CrLfBlocksAvx2(std::string_view text, std::size_t i,
                                                           std::uint64_t& carriedCr)
{
    const __m256i nul = _mm256_setzero_si256();
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const auto marks = [](__m256i low, __m256i high, __m256i c) __attribute__((target("avx2"))) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, c))) |
               static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, c))))
                   << 32;
    };
    std::uint64_t carried = carriedCr;
    for (; i + 64 <= text.size(); i += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text.data() + i + 32));
        const std::uint64_t crMarks = marks(low, high, cr);
        if ((marks(low, high, nul) | (((crMarks << 1) | carried) ^ marks(low, high, lf))) != 0) break;
        carried = crMarks >> 63;
    }
    carriedCr = carried;
    return i;
}
#endif

}  // namespace

bool HasOnlyCrLfBreaks(std::string_view text)
{
    // The LF marks of a block must be exactly its CR marks moved on by one byte (a CR may end
    // the previous block), and no byte may be NUL.
    std::uint64_t carriedCr = 0;
    std::size_t i = 0;
#ifdef VELMORA_LINES_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    // A failing block is looked at again below, which finds the same fault.
    if (avx2) i = CrLfBlocksAvx2(text, i, carriedCr);
#endif
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
    const auto zeroBytes = [](std::uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); };
    const auto nextByte = [](std::uint64_t marks) {
        if constexpr (std::endian::native == std::endian::little) return marks << 8;
        else return marks >> 8;
    };
    const auto lastByte = [](std::uint64_t marks) {
        if constexpr (std::endian::native == std::endian::little) return marks >> 56;
        else return marks << 56;
    };
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        // A word without any byte below 0x0E holds no NUL, CR or LF: passed at once, unless
        // a CR ended the word before it.
        if (carriedCr == 0 && !HasByteBelowCrPlusOne(word)) continue;
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
    // In pieces, so that the room for a piece's worst case (every byte a lone LF) stays small.
    constexpr std::size_t kPiece = 64 << 10;
    TCrLfLines lines;
    std::string room;
    std::string normalised;
    normalised.reserve(text.size() + text.size() / 16 + 2);
    for (std::size_t start = 0; start < text.size(); start += kPiece)
        normalised += lines.Normalise(text.substr(start, kPiece), room);
    normalised += lines.Ending();
    return normalised;
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

std::string_view TCrLfLines::Normalise(std::string_view piece, std::string& room)
{
    if (piece.empty()) return piece;
    if (HasOnlyCrLfBreaks(piece)) {
        // It ends neither in a CR nor in a lone LF.
        afterCr_ = false;
        lineOpen_ = !piece.ends_with("\r\n");
        return piece;
    }
    // Only grows, so that its room is not filled again for every piece.
    if (room.size() < 2 * piece.size()) room.resize(2 * piece.size());
    return std::string_view(room).substr(0, NormaliseInto(piece, room.data()));
}

std::size_t TCrLfLines::NormaliseInto(std::string_view piece, char* out)
{
    char* o = out;
    const char* p = piece.data();
    const char* const end = p + piece.size();
    while (p < end) {
        const char* const run = p;
        p = FindBreakOrNul(p, end);
        if (p > run) {
            std::memcpy(o, run, static_cast<std::size_t>(p - run));
            o += p - run;
            afterCr_ = false;
            lineOpen_ = true;
        }
        if (p == end) break;
        const char c = *p++;
        if (c == '\0') continue;
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        *o++ = '\r';
        *o++ = '\n';
        afterCr_ = c == '\r';
        lineOpen_ = false;
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace nanxml
