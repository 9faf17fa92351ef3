// CP932 conversion through tables. iconv ("CP932", Windows' code page 932) is the reference
// for every mapping, but converting through it is slow, so the tables are filled from it
// once, on first use, and all conversions read only the tables.
#include "platform/codepage.h"

#include "platform/utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELMORA_CP932_AVX512 1
#endif

namespace platform {

namespace {

// The UTF-8 form of one BMP character, stored so that one 4-byte copy writes it; only
// `length` bytes count. length 0 marks "no character here".
struct Utf8Unit {
    char bytes[3];
    std::uint8_t length;
};
static_assert(sizeof(Utf8Unit) == 4);

Utf8Unit MakeUnit(char32_t codePoint)
{
    std::string utf8;
    AppendUtf8(utf8, codePoint);
    Utf8Unit unit{{0, 0, 0}, static_cast<std::uint8_t>(utf8.size())};
    std::memcpy(unit.bytes, utf8.data(), utf8.size());
    return unit;
}

bool IsLeadByte(unsigned byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

constexpr std::size_t kBmpSize = 0x10000;

struct Cp932Tables {
    std::array<Utf8Unit, 256> single{};    // a byte on its own; length 0 for lead bytes
    std::vector<Utf8Unit> pairs;            // [first << 8 | second]; length 0: not a character
    std::vector<std::uint16_t> encode;      // per BMP code point: the byte (< 0x100) or the pair, 0: none
    std::array<std::uint64_t, kBmpSize / 64> doubleByte{};
};

// One iconv descriptor used for short, complete inputs.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~IconvConverter() { iconv_close(cd_); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // The whole input converted, or an empty string when iconv rejects any of it.
    std::string Convert(std::string_view input)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[16];
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(cd_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return {};
        if (iconv(cd_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) return {};
        return std::string(buffer, out);
    }

private:
    iconv_t cd_;
};

// The one character that iconv made of some CP932 bytes, or U+FFFD when they are not one
// CP932 character.
char32_t DecodeWithIconv(IconvConverter& decoder, std::string_view bytes)
{
    const std::string utf8 = decoder.Convert(bytes);
    if (utf8.empty()) return kReplacementCharacter;
    std::size_t pos = 0;
    char32_t codePoint;
    if (!TryNextCodePoint(utf8, pos, codePoint) || pos != utf8.size()) return kReplacementCharacter;
    return codePoint;
}

void FillDecodeTables(Cp932Tables& tables)
{
    IconvConverter decoder("UTF-8", "CP932");
    // Indexed by both bytes as they stand, so that reading a character is one look-up; the
    // rows of bytes that do not lead a pair stay empty.
    tables.pairs.assign(256 * 256, Utf8Unit{});
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char first = static_cast<char>(byte);
        if (!IsLeadByte(byte)) {
            tables.single[byte] = MakeUnit(DecodeWithIconv(decoder, std::string_view(&first, 1)));
            continue;
        }
        tables.single[byte] = Utf8Unit{};
        for (unsigned trail = 0; trail < 256; ++trail) {
            const char pair[2] = {first, static_cast<char>(trail)};
            const char32_t codePoint = DecodeWithIconv(decoder, std::string_view(pair, 2));
            if (codePoint != kReplacementCharacter) tables.pairs[byte << 8 | trail] = MakeUnit(codePoint);
        }
    }
}

// Asks iconv for every BMP code point rather than inverting the decode table: CP932 has
// one-way mappings (U+301C is written as 81 60, which reads back as U+FF5E; NEC and IBM
// duplicates are written as one chosen pair), and only the encoder knows them.
void FillEncodeTables(Cp932Tables& tables)
{
    IconvConverter encoder("CP932", "UTF-8");
    tables.encode.assign(kBmpSize, 0);
    for (char32_t codePoint = 0x80; codePoint < kBmpSize; ++codePoint) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) continue;
        std::string utf8;
        AppendUtf8(utf8, codePoint);
        const std::string bytes = encoder.Convert(utf8);
        std::uint16_t code = 0;
        if (bytes.size() == 1) {
            code = static_cast<unsigned char>(bytes[0]);
        } else if (bytes.size() == 2) {
            code = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                              static_cast<unsigned char>(bytes[1]));
            tables.doubleByte[codePoint / 64] |= std::uint64_t{1} << (codePoint % 64);
        }
        tables.encode[codePoint] = code;
    }
}

Cp932Tables BuildTables()
{
    Cp932Tables tables;
    FillDecodeTables(tables);
    FillEncodeTables(tables);
    return tables;
}

const Cp932Tables& Tables()
{
    static const Cp932Tables tables = BuildTables();  // thread-safe one-time initialisation
    return tables;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool AllAscii(const unsigned char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return (word & kHighBits) == 0;
}

bool AllAscii16(const unsigned char* bytes)
{
    std::uint64_t first;
    std::uint64_t second;
    std::memcpy(&first, bytes, sizeof first);
    std::memcpy(&second, bytes + 8, sizeof second);
    return ((first | second) & kHighBits) == 0;
}

// Writes the character at data[pos] when it is ASCII or a three-byte character with a
// two-byte code, with no branch on which of the two it is; false (nothing written) for any
// other. Needs three bytes readable at pos and two bytes of room at out.
inline bool EncodeCommonCharacter(const std::uint16_t* encode, const unsigned char* data, std::size_t& pos, char*& out)
{
    const unsigned lead = data[pos];
    const unsigned second = data[pos + 1];
    const unsigned third = data[pos + 2];
    const bool ascii = lead < 0x80;
    // Leads E1-EF but ED need no further range check: no overlong forms, no surrogates.
    const bool three =
        (lead - 0xE1u <= 0xEFu - 0xE1u) & (lead != 0xED) & ((second & 0xC0) == 0x80) & ((third & 0xC0) == 0x80);
    const std::uint16_t pair = encode[three ? (lead & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F) : 0];
    if (!ascii && !(three & (pair >= 0x100))) return false;
    out[0] = static_cast<char>(ascii ? lead : pair >> 8);
    out[1] = static_cast<char>(pair & 0xFF);
    out += ascii ? 1 : 2;
    pos += ascii ? 1 : 3;
    return true;
}

// Walks UTF-8 text and hands each character's CP932 code (0 when CP932 cannot hold it, or
// the text is malformed there) to `emit`; ASCII runs go to `emitAscii` whole.
template <typename EmitAscii, typename Emit>
void ForEachCp932Code(std::string_view utf8, EmitAscii&& emitAscii, Emit&& emit)
{
    const std::vector<std::uint16_t>& encode = Tables().encode;
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if (data[pos] < 0x80) {
            const std::size_t asciiStart = pos;
            while (utf8.size() - pos >= 8 && AllAscii(data + pos)) pos += 8;
            while (pos < utf8.size() && data[pos] < 0x80) ++pos;
            emitAscii(utf8.substr(asciiStart, pos - asciiStart));
            continue;
        }
        char32_t codePoint;
        const bool wellFormed = TryNextCodePoint(utf8, pos, codePoint);
        emit(wellFormed && codePoint < kBmpSize ? encode[codePoint] : std::uint16_t{0});
    }
}

// Encodes the characters from pos on until one ends at or beyond limit (or the text ends; a
// run of ASCII is always taken whole, wherever it ends); returns where it stopped. out needs the room EncodeCp932 asks for.
std::size_t EncodeCharacters(const std::uint16_t* encode, std::string_view utf8, std::size_t pos, std::size_t limit,
                             char*& out, std::size_t& unmappable)
{
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    limit = std::min(limit, size);
    while (pos < limit) {
        // Japanese notes switch between ASCII and kana or kanji every few bytes, and a branch
        // on which comes next would guess wrong at every switch. So each round copies a word
        // and keeps its leading ASCII bytes, then writes two characters, each ASCII or a
        // three-byte character with a two-byte code, without branching on which it is.
        // Anything else leaves the loop for the general path.
        while (size - pos >= 16 && pos < limit) {
            std::uint64_t word;
            std::memcpy(&word, data + pos, sizeof word);
            std::memcpy(out, &word, sizeof word);
            const std::uint64_t high = word & kHighBits;
            const int asciiBits = std::endian::native == std::endian::little ? std::countr_zero(high) : std::countl_zero(high);
            pos += static_cast<std::size_t>(asciiBits) / 8;
            out += asciiBits / 8;
            if (asciiBits == 64) {
                // A long ASCII run, such as markup between texts: two words a step.
                while (size - pos >= 24 && AllAscii16(data + pos)) {
                    std::memcpy(out, data + pos, 16);
                    pos += 16;
                    out += 16;
                }
                continue;
            }
            if (!EncodeCommonCharacter(encode, data, pos, out) || !EncodeCommonCharacter(encode, data, pos, out)) break;
        }
        if (pos >= limit) break;
        if (data[pos] < 0x80) {
            *out++ = static_cast<char>(data[pos++]);
            continue;
        }
        char32_t codePoint;
        const bool wellFormed = TryNextCodePoint(utf8, pos, codePoint);
        const std::uint16_t code = wellFormed && codePoint < kBmpSize ? encode[codePoint] : std::uint16_t{0};
        if (code == 0) {
            *out++ = '?';
            ++unmappable;
        } else if (code < 0x100) {
            *out++ = static_cast<char>(code);
        } else {
            out[0] = static_cast<char>(code >> 8);
            out[1] = static_cast<char>(code & 0xFF);
            out += 2;
        }
    }
    return pos;
}

#ifdef VELMORA_CP932_AVX512
// How many bytes from a block's start must be readable: the block and the two bytes after
// it, which its last character may take.
constexpr std::size_t kBlockReach = 34;

// Encodes 32-byte blocks from pos on while each holds only ASCII and three-byte characters
// with a two-byte code, as kana, kanji and full-width forms have; returns where the first
// other block starts. A character cut by a block's end goes to the next block.
//
// The characters are found by their bytes' bits. The code points of all places are computed
// side by side and those of the lead bytes packed together and looked up; then each code's
// first byte goes to its lead byte's place, its second byte to the place after, the third
// byte of each character is dropped, and the block is stored.
//
// GCC 12 takes the undefined upper lanes inside some of these intrinsics for uninitialised data.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,popcnt"))) std::size_t EncodeBlocksAvx512(
    const std::uint16_t* encode, const unsigned char* data, std::size_t pos, std::size_t size, char*& out)
{
    const __m256i highNibble = _mm256_set1_epi8(static_cast<char>(0xF0));
    const __m256i threeByteLead = _mm256_set1_epi8(static_cast<char>(0xE0));
    const __m256i highTwoBits = _mm256_set1_epi8(static_cast<char>(0xC0));
    const __m256i continuation = _mm256_set1_epi8(static_cast<char>(0x80));
    const __m256i surrogateLead = _mm256_set1_epi8(static_cast<char>(0xED));
    char* o = out;
    while (size - pos >= kBlockReach) {
        const unsigned char* const p = data + pos;
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const std::uint32_t nonAscii = _mm256_movepi8_mask(bytes);
        if (nonAscii == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), bytes);
            o += 32;
            pos += 32;
            continue;
        }
        const std::uint32_t allLeads = _mm256_cmpeq_epi8_mask(_mm256_and_si256(bytes, highNibble), threeByteLead);
        const std::uint32_t continuations =
            _mm256_cmpeq_epi8_mask(_mm256_and_si256(bytes, highTwoBits), continuation);
        // E0 and ED need a range check of the second byte (overlong forms, surrogates).
        const std::uint32_t checkedLeads =
            _mm256_cmpeq_epi8_mask(bytes, threeByteLead) | _mm256_cmpeq_epi8_mask(bytes, surrogateLead);
        // A lead byte in either of the last two places starts a character cut by the end.
        // Read from the bytes themselves: where the next block starts is then known long
        // before the masks are.
        const unsigned length = (p[30] & 0xF0) == 0xE0 ? 30 : (p[31] & 0xF0) == 0xE0 ? 31 : 32;
        const std::uint32_t within = length == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << length) - 1;
        const std::uint32_t leads = allLeads & within;
        const std::uint32_t expected = (leads << 1) | (leads << 2);
        if ((nonAscii & within) != (leads | expected) || (continuations & within) != expected ||
            (checkedLeads & leads) != 0) {
            break;
        }

        const __m512i first = _mm512_cvtepu8_epi16(bytes);
        const __m512i second = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1)));
        const __m512i third = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2)));
        const __m512i low6 = _mm512_set1_epi16(0x3F);
        const __m512i codePoints = _mm512_or_si512(
            _mm512_slli_epi16(_mm512_and_si512(first, _mm512_set1_epi16(0x0F)), 12),
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(second, low6), 6), _mm512_and_si512(third, low6)));
        // At most ten characters begin in the block's whole characters (a lead byte at 30 or
        // 31 is cut off). Their code points, packed, are looked up one by one, four to a
        // word: a gather instruction takes longer here, and the look-ups of a block do not
        // wait for one another.
        const __m256i packed = _mm512_castsi512_si256(_mm512_maskz_compress_epi16(leads, codePoints));
        const auto fourCodes = [encode](std::uint64_t four) {
            return std::uint64_t{encode[four & 0xFFFF]} | std::uint64_t{encode[(four >> 16) & 0xFFFF]} << 16 |
                   std::uint64_t{encode[(four >> 32) & 0xFFFF]} << 32 | std::uint64_t{encode[four >> 48]} << 48;
        };
        const auto lastTwo = static_cast<std::uint64_t>(_mm256_extract_epi64(packed, 2));
        const __m256i codes = _mm256_set_epi64x(
            0, static_cast<long long>(std::uint64_t{encode[lastTwo & 0xFFFF]} | std::uint64_t{encode[(lastTwo >> 16) & 0xFFFF]} << 16),
            static_cast<long long>(fourCodes(static_cast<std::uint64_t>(_mm256_extract_epi64(packed, 1)))),
            static_cast<long long>(fourCodes(static_cast<std::uint64_t>(_mm256_extract_epi64(packed, 0)))));
        // A code below 0x100 (a single byte, or 0 for none) leaves the block to the general path.
        const auto characters = static_cast<__mmask16>((1u << __builtin_popcount(leads)) - 1);
        if (_mm256_mask_cmplt_epu16_mask(characters, codes, _mm256_set1_epi16(0x100)) != 0) break;

        const __m512i wide = _mm512_castsi256_si512(codes);
        const __m256i codeFirst = _mm512_cvtepi16_epi8(_mm512_srli_epi16(_mm512_maskz_expand_epi16(leads, wide), 8));
        const __m256i codeSecond = _mm512_cvtepi16_epi8(_mm512_maskz_expand_epi16(leads << 1, wide));
        __m256i written = _mm256_mask_blend_epi8(leads, bytes, codeFirst);
        written = _mm256_mask_blend_epi8(leads << 1, written, codeSecond);
        const std::uint32_t keep = ~(leads << 2) & within;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_maskz_compress_epi8(keep, written));
        o += __builtin_popcount(keep);
        pos += length;
    }
    out = o;
    return pos;
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

}  // namespace

// Invalid input and how much of it one U+FFFD stands for:
// - a byte that is neither a character nor a lead byte (0x80, 0xA0, 0xFD-0xFF): that byte;
// - a lead byte at the end of the input: that byte;
// - a lead byte whose next byte does not complete a character: if the next byte is ASCII,
//   only the lead byte, and the ASCII byte is read again as its own character (so a broken
//   character never swallows markup such as "<" or a quote); otherwise both bytes.
std::string DecodeCp932(std::string_view bytes)
{
    std::string out;
    DecodeCp932(bytes, out);
    return out;
}

void DecodeCp932(std::string_view bytes, std::string& out)
{
    const Cp932Tables& tables = Tables();
    const Utf8Unit* const pairs = tables.pairs.data();
    static const Utf8Unit replacement = MakeUnit(kReplacementCharacter);
    // No input byte yields more than 3 output bytes; one extra unit of room lets every
    // character be written with a single 4-byte copy. The output grows block by block, and
    // its first size fits Japanese text (2 bytes become 3) without growing.
    constexpr std::size_t kBlock = 16384;
    constexpr std::size_t kRoomPerBlock = 3 * (kBlock + 1) + sizeof(Utf8Unit);
    const std::size_t n = bytes.size();

    out.resize(std::min(3 * n, n + n / 2 + kRoomPerBlock) + sizeof(Utf8Unit));
    char* dst = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + n;
    while (p < end) {
        const auto* const blockEnd = end - p > static_cast<std::ptrdiff_t>(kBlock) ? p + kBlock : end;
        const auto written = static_cast<std::size_t>(dst - out.data());
        const std::size_t room = 3 * static_cast<std::size_t>(blockEnd - p + 1) + sizeof(Utf8Unit);
        if (out.size() - written < room) {
            out.resize(std::max(out.size() + out.size() / 2, written + room));
            dst = out.data() + written;
        }
        while (p < blockEnd) {
            if (*p < 0x80) {
                const auto* const runStart = p;
                while (blockEnd - p >= 8 && AllAscii(p)) p += 8;
                while (p < blockEnd && *p < 0x80) ++p;
                std::memcpy(dst, runStart, static_cast<std::size_t>(p - runStart));
                dst += p - runStart;
                continue;
            }
            // Kana and kanji come in runs. Within one, each character starts two bytes after
            // the one before, so the processor reads ahead while the look-ups are on their
            // way; the run ends at the first two bytes that are not a character.
            Utf8Unit pair;
            while (end - p >= 2 && (pair = pairs[p[0] << 8 | p[1]]).length != 0) {
                std::memcpy(dst, &pair, sizeof pair);
                dst += pair.length;
                p += 2;
                if (p >= blockEnd) break;
            }
            if (p >= blockEnd || *p < 0x80) continue;
            Utf8Unit unit = tables.single[*p];
            std::size_t consumed = 1;
            if (unit.length == 0) {  // a lead byte
                if (p + 1 == end) {
                    unit = replacement;
                } else {
                    unit = pairs[p[0] << 8 | p[1]];
                    if (unit.length != 0) {
                        consumed = 2;
                    } else {
                        unit = replacement;
                        consumed = p[1] < 0x80 ? 1 : 2;
                    }
                }
            }
            std::memcpy(dst, &unit, sizeof unit);
            dst += unit.length;
            p += consumed;
        }
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
}

Cp932Encoded EncodeCp932(std::string_view utf8)
{
    Cp932Encoded result;
    result.unmappable = EncodeCp932(utf8, result.bytes);
    return result;
}

std::size_t EncodeCp932(std::string_view utf8, std::string& bytes)
{
    // CP932 never needs more bytes than UTF-8 for the same character, nor "?" more than
    // the malformed bytes it replaces; kCp932EncodeSlack bytes of room beyond that let
    // characters be written a word at a time.
    const std::size_t start = bytes.size();
    bytes.resize(start + utf8.size() + kCp932EncodeSlack);
    std::size_t unmappable = 0;
    char* const end = EncodeCp932(utf8, bytes.data() + start, unmappable);
    bytes.resize(static_cast<std::size_t>(end - bytes.data()));
    return unmappable;
}

char* EncodeCp932(std::string_view utf8, char* out, std::size_t& unmappable)
{
    // A plain pointer: through the vector the table's address would be loaded again after
    // every store to the output, which might alias it.
    const std::uint16_t* const encode = Tables().encode.data();
    std::size_t pos = 0;
#ifdef VELMORA_CP932_AVX512
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    static const bool vectors = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
                                __builtin_cpu_supports("popcnt");
    if (vectors) {
        // Blocks of ASCII and of kana and kanji go 32 bytes at a time; after a block holding
        // anything else is written character by character, the blocks go on.
        for (;;) {
            pos = EncodeBlocksAvx512(encode, data, pos, utf8.size(), out);
            if (utf8.size() - pos < kBlockReach) break;
            pos = EncodeCharacters(encode, utf8, pos, pos + 32, out, unmappable);
        }
    }
#endif
    EncodeCharacters(encode, utf8, pos, utf8.size(), out, unmappable);
    return out;
}

std::size_t CountCp932Unmappable(std::string_view utf8)
{
    std::size_t unmappable = 0;
    ForEachCp932Code(
        utf8, [](std::string_view) {}, [&](std::uint16_t code) { unmappable += code == 0; });
    return unmappable;
}

namespace detail {

bool IsCp932DoubleByteBeyondAscii(char32_t codePoint)
{
    return codePoint < kBmpSize && ((Tables().doubleByte[codePoint / 64] >> (codePoint % 64)) & 1) != 0;
}

}  // namespace detail

}  // namespace platform
