#include "platform/codepage.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using platform::CountCp932Unmappable;
using platform::DecodeCp932;
using platform::EncodeCp932;
using platform::IsCp932DoubleByte;

namespace {

std::string Utf8(char32_t codePoint)
{
    std::string text;
    platform::AppendUtf8(text, codePoint);
    return text;
}

const std::string kReplacement = Utf8(U'\uFFFD');

// iconv, the reference the tables are filled from, for whole strings.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; false when iconv rejects any of it.
    bool Convert(std::string_view input, std::string& output)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        output.assign(input.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        const bool converted = iconv(cd_, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
        output.resize(output.size() - outLeft);
        return converted;
    }

private:
    iconv_t cd_;
};

bool IsLeadByte(unsigned byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

}  // namespace

TEST(Cp932, AsciiIsUnchangedBothWaysIncludingBackslashAndTilde)
{
    std::string ascii;
    for (int byte = 0; byte < 0x80; ++byte) ascii += static_cast<char>(byte);
    EXPECT_EQ(DecodeCp932(ascii), ascii);
    const auto encoded = EncodeCp932(ascii);
    EXPECT_EQ(encoded.bytes, ascii);
    EXPECT_EQ(encoded.unmappable, 0u);
    EXPECT_EQ(DecodeCp932("C:\\dir\\~"), "C:\\dir\\~");  // 0x5C is a backslash, not a yen sign
    EXPECT_EQ(DecodeCp932(""), "");
    EXPECT_EQ(EncodeCp932("").bytes, "");
}

TEST(Cp932, KanaKanjiAndHalfWidthKatakana)
{
    const std::string sjis = "\x8A\xBF\x8E\x9A\x82\xA0\x83\x41\xB1\xDF\x81\x40";
    const std::string utf8 = "漢字あアｱﾟ\u3000";
    EXPECT_EQ(DecodeCp932(sjis), utf8);
    EXPECT_EQ(EncodeCp932(utf8).bytes, sjis);

    std::string halfWidth;
    std::string expected;
    for (int byte = 0xA1; byte <= 0xDF; ++byte) {
        halfWidth += static_cast<char>(byte);
        expected += Utf8(static_cast<char32_t>(0xFF61 + byte - 0xA1));
    }
    EXPECT_EQ(DecodeCp932(halfWidth), expected);
    EXPECT_EQ(EncodeCp932(expected).bytes, halfWidth);
}

TEST(Cp932, OneWayMappingsFollowWindows)
{
    EXPECT_EQ(EncodeCp932("〜").bytes, "\x81\x60");  // U+301C WAVE DASH
    EXPECT_EQ(EncodeCp932("～").bytes, "\x81\x60");  // U+FF5E FULLWIDTH TILDE
    EXPECT_EQ(DecodeCp932("\x81\x60"), "～");
    EXPECT_EQ(EncodeCp932("\u2016").bytes, "\x81\x61");  // DOUBLE VERTICAL LINE
    EXPECT_EQ(DecodeCp932("\x81\x61"), "\u2225");         // PARALLEL TO
    EXPECT_EQ(EncodeCp932("\u2212").bytes, "\x81\x7C");  // MINUS SIGN
    EXPECT_EQ(DecodeCp932("\x81\x7C"), "\uFF0D");         // FULLWIDTH HYPHEN-MINUS
    EXPECT_EQ(EncodeCp932("\u00A5").bytes, "\\");        // YEN SIGN is written as 0x5C
    EXPECT_EQ(EncodeCp932("\u00A5").unmappable, 0u);
}

TEST(Cp932, NecAndIbmDuplicatesReadAsOneCharacterWrittenAsOneChosenPair)
{
    EXPECT_EQ(DecodeCp932("\x87\x90"), "≒");  // NEC row 13
    EXPECT_EQ(DecodeCp932("\x81\xE0"), "≒");
    EXPECT_EQ(EncodeCp932("≒").bytes, "\x81\xE0");

    EXPECT_EQ(DecodeCp932("\xED\x40"), "\u7E8A");  // NEC-selected IBM extension
    EXPECT_EQ(DecodeCp932("\xFA\x5C"), "\u7E8A");  // IBM extension
    EXPECT_EQ(EncodeCp932("\u7E8A").bytes, "\xFA\x5C");

    EXPECT_EQ(DecodeCp932("\xEE\xEF"), "ⅰ");
    EXPECT_EQ(DecodeCp932("\xFA\x40"), "ⅰ");
    EXPECT_EQ(EncodeCp932("ⅰ").bytes, "\xFA\x40");

    EXPECT_EQ(DecodeCp932("\xFA\x54"), "￢");
    EXPECT_EQ(EncodeCp932("￢").bytes, "\x81\xCA");
}

TEST(Cp932, UnmappableCharactersAndMalformedUtf8BecomeCountedQuestionMarks)
{
    const std::string text = "a😀é\u00A6b漢";
    const auto encoded = EncodeCp932(text);
    EXPECT_EQ(encoded.bytes, "a???b\x8A\xBF");
    EXPECT_EQ(encoded.unmappable, 3u);
    EXPECT_EQ(CountCp932Unmappable(text), 3u);

    // One "?" per broken character: a truncated sequence counts once, bytes that cannot
    // begin any character count one each.
    const std::string malformed = "x\xE3\x81" "y\xC0\xAF" "z\xED\xA0\x80";
    const auto fromMalformed = EncodeCp932(malformed);
    EXPECT_EQ(fromMalformed.bytes, "x?y??z???");
    EXPECT_EQ(fromMalformed.unmappable, 6u);
    EXPECT_EQ(CountCp932Unmappable(malformed), 6u);
    EXPECT_EQ(CountCp932Unmappable("漢字 and ASCII"), 0u);
}

TEST(Cp932, InvalidBytesDecodeToReplacementCharacters)
{
    const std::string r = kReplacement;
    // Bytes that are neither characters nor lead bytes.
    EXPECT_EQ(DecodeCp932("a\x80" "b\xA0" "c\xFD\xFE\xFF"), "a" + r + "b" + r + "c" + r + r + r);
    // A lead byte at the end.
    EXPECT_EQ(DecodeCp932("ab\x82"), "ab" + r);
    // A lead byte followed by ASCII that does not complete it: the ASCII byte is kept.
    EXPECT_EQ(DecodeCp932("\x81<a>"), r + "<a>");
    EXPECT_EQ(DecodeCp932("\x81\x20\x22"), r + " \"");
    EXPECT_EQ(DecodeCp932("\x85\x40"), r + "@");  // trail in range, pair unassigned
    // A lead byte followed by a non-ASCII byte that does not complete it: one U+FFFD for both.
    EXPECT_EQ(DecodeCp932("\x85\x9F" "a"), r + "a");
    EXPECT_EQ(DecodeCp932("\x81\xFF" "a"), r + "a");
    // A lead byte followed by a lead byte that does complete it is a character.
    EXPECT_EQ(DecodeCp932("\x81\x81"), "＝");
}

TEST(Cp932, LongInputsAcrossBlocksAndGrowingOutput)
{
    // Half-width katakana triple in size; a pair sits across every internal block boundary.
    const std::string katakana(100001, '\xB1');
    std::string expectedKatakana;
    for (std::size_t i = 0; i < katakana.size(); ++i) expectedKatakana += "ｱ";
    EXPECT_EQ(DecodeCp932(katakana), expectedKatakana);

    std::string mixed = "a";
    std::string expectedMixed = "a";
    for (int i = 0; i < 30000; ++i) {
        mixed += "\x82\xA0xyz0123456789";
        expectedMixed += "あxyz0123456789";
    }
    mixed += "\x82";
    expectedMixed += kReplacement;
    EXPECT_EQ(DecodeCp932(mixed), expectedMixed);
    EXPECT_EQ(EncodeCp932(expectedMixed.substr(0, expectedMixed.size() - kReplacement.size())).bytes,
              mixed.substr(0, mixed.size() - 1));
}

// Long text goes through the encoder's fast loop, short text through its general path: the
// same characters, malformed ones included, must come out the same in both, wherever they
// stand in a word.
TEST(Cp932, LongMixedTextEncodesAsItsCharactersOneByOne)
{
    const std::vector<std::string> units = {
        "a", "xyz01234", "あ", "漢字", "ｱ", "é", "🎌", "☃", std::string(1, '\0'), "\r\n", "〜",
        "\xE3",          // a lead byte cut short by the next unit
        "\xE3\x81",      // two bytes of a three-byte character
        "a\x80",         // a stray continuation byte
        "\xED\xA0\x80",  // a surrogate
        "\xE0\x80\x80",  // an overlong form
        "\xEF\xBF\xBF",  // U+FFFF, which CP932 lacks
        "\xF0"};
    std::string text;
    std::string expected;
    std::size_t expectedUnmappable = 0;
    for (std::size_t i = 0; text.size() < 50000; ++i) {
        const std::string& unit = units[(i * 7 + i / 5 + i / 31) % units.size()];
        const platform::Cp932Encoded alone = EncodeCp932(unit);
        text += unit;
        expected += alone.bytes;
        expectedUnmappable += alone.unmappable;
    }
    const platform::Cp932Encoded encoded = EncodeCp932(text);
    EXPECT_EQ(encoded.bytes, expected);
    EXPECT_EQ(encoded.unmappable, expectedUnmappable);
    EXPECT_EQ(CountCp932Unmappable(text), expectedUnmappable);
    EXPECT_GT(expectedUnmappable, 1000u);
    // Appending keeps what was there.
    std::string out = "kept";
    EXPECT_EQ(EncodeCp932(text, out), expectedUnmappable);
    EXPECT_EQ(out, "kept" + expected);
}

// The decoder reads whole runs of ASCII and of double-byte characters at once; a walk that
// hands it one character at a time (two bytes at most) is the reference. Random text of
// every kind of piece, malformed ones included, so that each piece meets the ends of the
// runs, the internal blocks and the input at many positions.
TEST(Cp932, LongRandomBytesDecodeAsTheirCharactersOneByOne)
{
    const std::vector<std::string> pieces = {
        "\x82\xA0", "\x8A\xBF", "\x83\x40", "\x81\x81", "\xFA\x5C", "\xB1", "\xDF", "<a>",
        std::string(1, '\0'), "\x80", "\xA0", "\xFD\xFF",
        "\x85",      // lead byte of no character: with the next piece's first byte, or alone
        "\x81",      // lead byte that the next piece may or may not complete
        "\x85\x40",  // unassigned pair with an ASCII trail
        "\x85\x9F"}; // unassigned pair with a non-ASCII trail
    std::mt19937 random(932);
    for (const std::size_t size : {std::size_t{1} << 10, std::size_t{70000}}) {
        std::string bytes;
        while (bytes.size() < size) {
            if (random() % 3 == 0) bytes += std::string(random() % 40, static_cast<char>('a' + random() % 26));
            bytes += pieces[random() % pieces.size()];
        }
        std::string expected;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t length =
                IsLeadByte(static_cast<unsigned char>(bytes[at])) && at + 1 < bytes.size() ? 2 : 1;
            const std::string one = DecodeCp932(std::string_view(bytes).substr(at, length));
            // An invalid lead byte before ASCII stands alone: the ASCII byte is read again.
            const bool leadAlone = length == 2 && one.starts_with(kReplacement) && one.size() > kReplacement.size();
            expected += leadAlone ? kReplacement : one;
            at += leadAlone ? 1 : length;
        }
        EXPECT_EQ(DecodeCp932(bytes), expected) << size;
        for (std::size_t cut = bytes.size() - 40; cut < bytes.size(); ++cut) {
            const std::string_view head = std::string_view(bytes).substr(0, cut);
            std::string out = "replaced";
            DecodeCp932(head, out);
            EXPECT_EQ(out, DecodeCp932(std::string(head))) << cut;
        }
    }
}

// The encoder copies ASCII sixteen bytes at a time and Japanese two characters a round,
// each only while enough text is left: runs of every length, ending at every distance from
// the end of the input, must come out as their characters one by one.
TEST(Cp932, AsciiAndJapaneseRunsOfEveryLengthEncodeAsTheirCharacters)
{
    const std::vector<std::string> japanese = {"あ", "漢", "ｱ", "〜", "😀", "\xE3\x81", "é"};
    std::mt19937 random(1252);
    std::string text;
    std::string expected;
    std::size_t expectedUnmappable = 0;
    for (std::size_t ascii = 0; ascii <= 48; ++ascii) {
        for (std::size_t count = 0; count < 3; ++count) {
            const std::string& piece = japanese[random() % japanese.size()];
            const platform::Cp932Encoded alone = EncodeCp932(piece);
            text += piece;
            expected += alone.bytes;
            expectedUnmappable += alone.unmappable;
        }
        text += std::string(ascii, 'x');
        expected += std::string(ascii, 'x');
        const std::string head = text.substr(0, text.size() - ascii / 2);
        const platform::Cp932Encoded encoded = EncodeCp932(text);
        EXPECT_EQ(encoded.bytes, expected) << ascii;
        EXPECT_EQ(encoded.unmappable, expectedUnmappable) << ascii;
        EXPECT_EQ(EncodeCp932(head).bytes, expected.substr(0, expected.size() - ascii / 2)) << ascii;
    }
}

// Text of ASCII and of three-byte characters with two-byte codes is encoded many bytes at a
// time; any other character sends a stretch to the general path. Shifted by every offset,
// characters fall across every block boundary, and the rarer characters sit at every place
// next to the blocks: all must come out as the characters one by one, through both forms.
TEST(Cp932, BlocksOfKanaKanjiAndAsciiEncodeAsTheirCharacters)
{
    const std::vector<std::string> common = {"a", "xy", " ", "<", "\r\n", "あ", "ア", "漢", "字", "。", "Ａ", "〜"};
    const std::vector<std::string> rare = {
        "ｱ",             // a three-byte character with a one-byte code
        "\xEF\xBF\xBF",  // U+FFFF, which CP932 lacks
        "\xE0\xA0\x80",  // E0 lead (U+0800)
        "\xED\x9F\xBF",  // ED lead (U+D7FF)
        "\xED\xA0\x80",  // a surrogate
        "é", "😀", "\xFF", std::string(1, '\0')};
    std::mt19937 random(932932);
    for (const unsigned rareOneIn : {0u, 300u, 40u, 4u}) {
        std::vector<std::string> units;
        for (int i = 0; i < 400; ++i) {
            const bool isRare = rareOneIn != 0 && random() % rareOneIn == 0;
            units.push_back(isRare ? rare[random() % rare.size()] : common[random() % common.size()]);
        }
        for (std::size_t shift = 0; shift <= 34; ++shift) {
            std::string text(shift, '-');
            std::string expected = text;
            std::size_t expectedUnmappable = 0;
            for (const std::string& unit : units) {
                const platform::Cp932Encoded alone = EncodeCp932(unit);
                text += unit;
                expected += alone.bytes;
                expectedUnmappable += alone.unmappable;
            }
            const platform::Cp932Encoded encoded = EncodeCp932(text);
            ASSERT_EQ(encoded.bytes, expected) << rareOneIn << " " << shift;
            EXPECT_EQ(encoded.unmappable, expectedUnmappable) << rareOneIn << " " << shift;

            // Into a buffer of exactly the room asked for, beyond which nothing is written.
            std::vector<char> room(text.size() + platform::kCp932EncodeSlack + 1, '#');
            std::size_t unmappable = 1;
            const char* const end = EncodeCp932(text, room.data(), unmappable);
            EXPECT_EQ(std::string(static_cast<const char*>(room.data()), end), expected) << rareOneIn << " " << shift;
            EXPECT_EQ(unmappable, expectedUnmappable + 1);
            EXPECT_EQ(room.back(), '#');
        }
    }
}

// Three bytes shaped like a kana or kanji that are not one: overlong forms and surrogates
// inside a run of kana, at every place in a block, come out as they do alone ("?" each,
// never the code of the character they would spell).
TEST(Cp932, OverlongFormsAndSurrogatesAmongKanaAreRefused)
{
    std::string kana;
    for (int i = 0; i < 24; ++i)
        kana += "あ";
    const std::string encodedKana = EncodeCp932(kana).bytes;
    for (const std::string bad : {"\xE0\x82\xA3", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF"}) {
        const platform::Cp932Encoded alone = EncodeCp932(bad);
        ASSERT_EQ(alone.bytes, std::string(alone.unmappable, '?'));
        for (std::size_t shift = 0; shift <= 33; ++shift) {
            const platform::Cp932Encoded encoded = EncodeCp932(std::string(shift, 'a') + kana + bad + kana);
            EXPECT_EQ(encoded.bytes, std::string(shift, 'a') + encodedKana + alone.bytes + encodedKana) << shift;
            EXPECT_EQ(encoded.unmappable, alone.unmappable) << shift;
        }
    }
}

TEST(Cp932, DoubleByteClass)
{
    EXPECT_TRUE(IsCp932DoubleByte(U'あ'));
    EXPECT_TRUE(IsCp932DoubleByte(U'漢'));
    EXPECT_TRUE(IsCp932DoubleByte(U'§'));       // 81 98
    EXPECT_TRUE(IsCp932DoubleByte(U'\u301C'));  // written as 81 60
    EXPECT_TRUE(IsCp932DoubleByte(U'\uE000'));  // user-defined area, F0 40
    EXPECT_FALSE(IsCp932DoubleByte(U'ｱ'));
    EXPECT_FALSE(IsCp932DoubleByte(U'A'));
    EXPECT_FALSE(IsCp932DoubleByte(U'\\'));
    EXPECT_FALSE(IsCp932DoubleByte(U'\u00A5'));  // one byte, 5C
    EXPECT_FALSE(IsCp932DoubleByte(U'é'));
    EXPECT_FALSE(IsCp932DoubleByte(U'😀'));
    EXPECT_FALSE(IsCp932DoubleByte(U'\uFFFD'));
    EXPECT_FALSE(IsCp932DoubleByte(0x110000));
}

// Every mapping agrees with iconv, character by character and in long runs.
TEST(Cp932, AgreesWithIconvOverTheWholeCodePage)
{
    Iconv decoder("UTF-8", "CP932");
    Iconv encoder("CP932", "UTF-8");
    ASSERT_TRUE(decoder.ok());
    ASSERT_TRUE(encoder.ok());

    std::string allPairs;
    std::size_t pairCount = 0;
    std::string reference;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(lead)) continue;
        for (unsigned trail = 0; trail < 0x100; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string decoded = DecodeCp932(pair);
            if (decoder.Convert(pair, reference)) {
                EXPECT_EQ(decoded, reference) << std::hex << lead << ' ' << trail;
                allPairs += pair;
                ++pairCount;
                // Reading and writing again gives the bytes Windows writes for that character.
                const std::string rewritten = EncodeCp932(decoded).bytes;
                EXPECT_EQ(rewritten.size(), 2u);
                EXPECT_EQ(DecodeCp932(rewritten), decoded);
            } else {
                EXPECT_EQ(decoded.substr(0, kReplacement.size()), kReplacement) << std::hex << lead << ' ' << trail;
            }
        }
    }
    EXPECT_GT(pairCount, 9000u);
    ASSERT_TRUE(decoder.Convert(allPairs, reference));
    EXPECT_EQ(DecodeCp932(allPairs), reference);

    std::string mappable;
    std::size_t unmappable = 0;
    std::size_t doubleByte = 0;
    for (char32_t codePoint = 0; codePoint < 0x10000; ++codePoint) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF) continue;
        const std::string utf8 = Utf8(codePoint);
        const auto encoded = EncodeCp932(utf8);
        if (encoder.Convert(utf8, reference)) {
            EXPECT_EQ(encoded.bytes, reference) << std::hex << static_cast<std::uint32_t>(codePoint);
            EXPECT_EQ(IsCp932DoubleByte(codePoint), reference.size() == 2) << std::hex << static_cast<std::uint32_t>(codePoint);
            mappable += utf8;
            doubleByte += reference.size() == 2;
        } else {
            EXPECT_EQ(encoded.bytes, "?") << std::hex << static_cast<std::uint32_t>(codePoint);
            EXPECT_EQ(encoded.unmappable, 1u);
            EXPECT_FALSE(IsCp932DoubleByte(codePoint)) << std::hex << static_cast<std::uint32_t>(codePoint);
            ++unmappable;
        }
    }
    EXPECT_GT(doubleByte, 7000u);
    ASSERT_TRUE(encoder.Convert(mappable, reference));
    EXPECT_EQ(EncodeCp932(mappable).bytes, reference);
    EXPECT_EQ(CountCp932Unmappable(mappable), 0u);
    EXPECT_GT(unmappable, 0u);
}
