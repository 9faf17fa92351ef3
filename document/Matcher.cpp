#include "document/Matcher.h"

#include <re2/re2.h>

#include <string.h>

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <utility>

namespace document {

namespace {

// ---- UTF-8 ---------------------------------------------------------------------------------

// A byte that does not start a well-formed sequence stands for itself, outside Unicode, so
// that it matches only the same byte.
constexpr char32_t kStrayByte = 0x110000;

struct Decoded {
    char32_t cp;
    std::size_t bytes;
};

Decoded DecodeAt(std::string_view s, std::size_t i) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    const unsigned char b = p[i];
    if (b < 0x80) return {b, 1};
    std::size_t len;
    char32_t cp;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; cp = b & 0x07; min = 0x10000; }
    else return {kStrayByte + b, 1};
    if (i + len > n) return {kStrayByte + b, 1};
    for (std::size_t k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return {kStrayByte + b, 1};
        cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {kStrayByte + b, 1};
    return {cp, len};
}

// The character that ends at end (end > 0), read backwards: the same one DecodeAt reads
// forwards from its start when the text is well formed.
Decoded DecodeBefore(std::string_view s, std::size_t end) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 && (p[start] & 0xC0) == 0x80) --start;
    const Decoded d = DecodeAt(s, start);
    if (start + d.bytes == end) return d;
    return {kStrayByte + p[end - 1], 1};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp >= kStrayByte) {
        out.push_back(static_cast<char>(cp - kStrayByte));
    } else if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Utf8(char32_t cp) {
    std::string s;
    AppendUtf8(s, cp);
    return s;
}

// ---- Folding -------------------------------------------------------------------------------

constexpr char32_t kHalfVoicedMark = 0xFF9E;      // ﾞ
constexpr char32_t kHalfSemiVoicedMark = 0xFF9F;  // ﾟ

// Half-width katakana and punctuation U+FF61..U+FF9F as their full-width forms.
constexpr std::array<char16_t, 0x3F> kHalfWidthKana = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3,  // ｡｢｣､･ｦｧｨ
    0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC,  // ｩｪｫｬｭｮｯｰ
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF,  // ｱｲｳｴｵｶｷｸ
    0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF,  // ｹｺｻｼｽｾｿﾀ
    0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD,  // ﾁﾂﾃﾄﾅﾆﾇﾈ
    0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF,  // ﾉﾊﾋﾌﾍﾎﾏﾐ
    0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, 0x30EA,  // ﾑﾒﾓﾔﾕﾖﾗﾘ
    0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,          // ﾙﾚﾛﾜﾝﾞﾟ
};

// The full-width katakana with the sound mark, or 0 when the letter takes none.
char32_t WithMark(char32_t katakana, char32_t mark) {
    const bool haRow = katakana >= 0x30CF && katakana <= 0x30DB && (katakana - 0x30CF) % 3 == 0;
    if (mark == kHalfSemiVoicedMark) return haRow ? katakana + 2 : 0;
    if (haRow) return katakana + 1;
    if (katakana >= 0x30AB && katakana <= 0x30C1 && (katakana - 0x30AB) % 2 == 0) return katakana + 1;
    if (katakana == 0x30C4 || katakana == 0x30C6 || katakana == 0x30C8) return katakana + 1;
    if (katakana == 0x30A6) return 0x30F4;  // ヴ
    if (katakana == 0x30EF) return 0x30F7;  // ヷ
    if (katakana == 0x30F2) return 0x30FA;  // ヺ
    return 0;
}

bool IsHalfWidthLetter(char32_t cp) { return cp >= 0xFF66 && cp <= 0xFF9D; }

// The width fold of one character alone.
char32_t FoldWidth(char32_t cp) {
    if (cp >= 0xFF01 && cp <= 0xFF5E) return cp - 0xFEE0;
    if (cp == 0x3000) return U' ';
    if (cp >= 0xFF61 && cp <= 0xFF9F) return kHalfWidthKana[cp - 0xFF61];
    return cp;
}

// An upper-case letter of a block where upper and lower case alternate (U+0100 Ā, U+0101 ā,
// ...): first is the first upper-case one.
bool PairedUpper(char32_t cp, char32_t first, char32_t last) { return cp >= first && cp <= last && (cp - first) % 2 == 0; }

// The letter a character's case folds to: its small letter, or for the letters with more than
// two forms (ς σ Σ, ſ s S, K k K, µ μ Μ) the one small letter that all of them fold to. These
// are the simple case foldings of Unicode for Latin, Greek and Cyrillic, the same that RE2
// applies with case ignored, so that a plain and a regular-expression search find the same.
char32_t FoldCase(char32_t cp) {
    if (cp < 0x80) return cp >= U'A' && cp <= U'Z' ? cp + 0x20 : cp;
    // Kana and kanji, the most of a Japanese text, take the fewest comparisons.
    if (cp >= 0x530) {
        if (cp >= 0xFF21 && cp <= 0xFF3A) return cp + 0x20;  // Ａ to Ｚ
        if (cp >= 0x3000) return cp;
        switch (cp) {
        case 0x1E9E: return 0xDF;   // ẞ
        case 0x2126: return 0x3C9;  // Ω
        case 0x212A: return U'k';   // K
        case 0x212B: return 0xE5;   // Å
        default: return cp;
        }
    }
    if (cp < 0x100) {
        if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
        return cp == 0xB5 ? 0x3BC : cp;  // µ is μ
    }
    if (cp < 0x180) {
        if (cp == 0x130 || cp == 0x131 || cp == 0x138 || cp == 0x149) return cp;  // İ ı ĸ ŉ fold to nothing
        if (cp == 0x178) return 0xFF;   // Ÿ
        if (cp == 0x17F) return U's';   // ſ
        if (PairedUpper(cp, 0x139, 0x147) || PairedUpper(cp, 0x179, 0x17D)) return cp + 1;
        if (PairedUpper(cp, 0x100, 0x136) || PairedUpper(cp, 0x14A, 0x176)) return cp + 1;
        return cp;
    }
    if (cp >= 0x370 && cp < 0x400) {
        if (PairedUpper(cp, 0x370, 0x372) || cp == 0x376 || PairedUpper(cp, 0x3D8, 0x3EE) || cp == 0x3F7 || cp == 0x3FA)
            return cp + 1;
        if ((cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2)) return cp + 0x20;
        if (cp >= 0x388 && cp <= 0x38A) return cp + 0x25;
        if (cp >= 0x3FD) return cp - 0x82;  // Ͻ Ͼ Ͽ
        switch (cp) {
        case 0x37F: return 0x3F3;
        case 0x386: return 0x3AC;
        case 0x38C: return 0x3CC;
        case 0x38E: return 0x3CD;
        case 0x38F: return 0x3CE;
        case 0x3C2: return 0x3C3;  // ς
        case 0x3CF: return 0x3D7;
        case 0x3D0: return 0x3B2;  // ϐ
        case 0x3D1: return 0x3B8;  // ϑ
        case 0x3D5: return 0x3C6;  // ϕ
        case 0x3D6: return 0x3C0;  // ϖ
        case 0x3F0: return 0x3BA;  // ϰ
        case 0x3F1: return 0x3C1;  // ϱ
        case 0x3F4: return 0x3B8;  // ϴ
        case 0x3F5: return 0x3B5;  // ϵ
        case 0x3F9: return 0x3F2;  // Ϲ
        default: return cp;
        }
    }
    if (cp >= 0x400 && cp < 0x530) {
        if (cp < 0x410) return cp + 0x50;
        if (cp < 0x430) return cp + 0x20;
        if (cp == 0x4C0) return 0x4CF;  // Ӏ
        if (PairedUpper(cp, 0x460, 0x480) || PairedUpper(cp, 0x48A, 0x4BE) || PairedUpper(cp, 0x4C1, 0x4CD) ||
            PairedUpper(cp, 0x4D0, 0x52E))
            return cp + 1;
        return cp;
    }
    return cp;
}

char32_t FoldRest(char32_t cp, const FindOptions& options) {
    if (!options.matchCase) cp = FoldCase(cp);
    if (options.foldKana && ((cp >= 0x30A1 && cp <= 0x30F6) || cp == 0x30FD || cp == 0x30FE)) return cp - 0x60;
    return cp;
}

// The half-width letter before a sound mark, when the two make one letter.
char32_t Combined(char32_t letter, char32_t mark) {
    if (!IsHalfWidthLetter(letter) || (mark != kHalfVoicedMark && mark != kHalfSemiVoicedMark)) return 0;
    return WithMark(kHalfWidthKana[letter - 0xFF61], mark);
}

FoldedUnit UnitAt(std::string_view s, std::size_t i, const FindOptions& options) {
    const Decoded d = DecodeAt(s, i);
    if (!options.foldWidth) return {FoldRest(d.cp, options), d.bytes};
    if (IsHalfWidthLetter(d.cp) && i + d.bytes < s.size()) {
        const Decoded mark = DecodeAt(s, i + d.bytes);
        if (const char32_t both = Combined(d.cp, mark.cp)) return {FoldRest(both, options), d.bytes + mark.bytes};
    }
    return {FoldRest(FoldWidth(d.cp), options), d.bytes};
}

FoldedUnit UnitBefore(std::string_view s, std::size_t end, const FindOptions& options) {
    const Decoded d = DecodeBefore(s, end);
    if (options.foldWidth && (d.cp == kHalfVoicedMark || d.cp == kHalfSemiVoicedMark) && end > d.bytes) {
        const Decoded letter = DecodeBefore(s, end - d.bytes);
        if (const char32_t both = Combined(letter.cp, d.cp))
            return {FoldRest(both, options), d.bytes + letter.bytes};
    }
    return {FoldRest(options.foldWidth ? FoldWidth(d.cp) : d.cp, options), d.bytes};
}

// True when a sound mark at i belongs to the letter before it: no hit starts there.
bool InsideUnit(std::string_view s, std::size_t i, const FindOptions& options) {
    if (!options.foldWidth || i == 0 || i >= s.size()) return false;
    const Decoded d = DecodeAt(s, i);
    if (d.cp != kHalfVoicedMark && d.cp != kHalfSemiVoicedMark) return false;
    return Combined(DecodeBefore(s, i).cp, d.cp) != 0;
}

// Every character (or half-width letter with its mark) that folds to something other than
// itself, with what it folds to; a unit's spellings are itself and those folding to it.
std::multimap<char32_t, std::string> Spellings(const FindOptions& options) {
    std::multimap<char32_t, std::string> out;
    auto add = [&](const std::string& spelling) {
        const FoldedUnit u = UnitAt(spelling, 0, options);
        if (u.bytes == spelling.size() && spelling != Utf8(u.folded)) out.emplace(u.folded, spelling);
    };
    for (char32_t cp = 0x20; cp < 0x530; ++cp) add(Utf8(cp));
    for (char32_t cp : {0x1E9E, 0x2126, 0x212A, 0x212B}) add(Utf8(cp));
    for (char32_t cp = 0x3000; cp < 0x3100; ++cp) add(Utf8(cp));
    for (char32_t cp = 0xFF01; cp < 0xFFA0; ++cp) add(Utf8(cp));
    for (char32_t letter = 0xFF66; letter <= 0xFF9D; ++letter)
        for (char32_t mark : {kHalfVoicedMark, kHalfSemiVoicedMark})
            if (Combined(letter, mark)) add(Utf8(letter) + Utf8(mark));
    return out;
}

// Lead bytes that are rare in Japanese text: ASCII and 0xEF (full- and half-width forms).
// A needle starting with one is found fastest by memchr on it; any other (the lead bytes of
// kana and kanji, met every few bytes) by glibc's memmem, which skips by pairs of bytes.
bool RareLead(char c) { return static_cast<unsigned char>(c) < 0x80 || static_cast<unsigned char>(c) == 0xEF; }

std::size_t FindFrom(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (RareLead(needle[0])) return needle.size() == 1 ? text.find(needle[0], from) : text.find(needle, from);
    const void* at = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text.data()) : std::string_view::npos;
}

// What a unit looked for first costs: a pass of memchr for each rare lead byte its spellings
// start with (the verification reads the rest), a dearer pass of memmem for each other.
std::vector<std::string> Needles(const std::vector<std::string>& spellings) {
    std::vector<std::string> needles;
    for (const std::string& s : spellings) {
        std::string needle = RareLead(s[0]) ? s.substr(0, 1) : s;
        if (std::find(needles.begin(), needles.end(), needle) == needles.end()) needles.push_back(std::move(needle));
    }
    return needles;
}

int Cost(const std::vector<std::string>& needles) {
    int cost = 0;
    for (const std::string& n : needles) cost += n.size() == 1 ? 1 : 3;
    return cost;
}

std::string_view EditorPart(std::string_view text) {
    if (text.size() >= 2 && text[text.size() - 2] == '\r' && text.back() == '\n') text.remove_suffix(2);
    return text;
}

// Rough rarity of a letter in English text, higher for rarer: picks which unit of an
// all-ASCII pattern to look for first.
int Rarity(const std::vector<std::string>& spellings) {
    static constexpr std::string_view kCommonFirst = "etaoinshrdlcumwfgypbvkjxqz";
    int worst = 100;
    for (const std::string& s : spellings) {
        if (s.size() != 1) continue;
        const char c = static_cast<char>(s[0] | 0x20);
        const std::size_t at = kCommonFirst.find(c);
        if (at != std::string_view::npos) worst = std::min(worst, static_cast<int>(at));
        else if (s[0] == ' ') worst = -1;
        else worst = std::min(worst, 50);
    }
    return worst;
}

}  // namespace

FoldedUnit FoldAt(std::string_view text, std::size_t pos, const FindOptions& options) {
    return UnitAt(text, pos, options);
}

// ---- The matcher ---------------------------------------------------------------------------

struct Matcher::Impl {
    FindOptions options;
    std::string error;
    bool valid = false;

    // Plain patterns: the folded units, and the run of them looked for first.
    std::vector<char32_t> units;
    std::size_t anchorFirst = 0;  // index of the first unit of the anchor
    std::size_t anchorUnits = 0;  // units the anchor covers
    std::vector<std::string> anchorSpellings;  // the needles looked for
    bool singleRun = false;

    std::unique_ptr<RE2> re;

    void CompilePlain(std::string_view pattern);
    void CompileRegex(std::string_view pattern);
    void FindPlain(std::string_view text, const std::function<bool(ByteRange)>& onHit) const;
    // Groups: [0] the hit, then the groups (length npos when a group took no part).
    void FindRegex(std::string_view text, std::size_t groups,
                   const std::function<bool(const std::vector<ByteRange>&)>& onHit) const;
};

void Matcher::Impl::CompilePlain(std::string_view pattern) {
    // A line break in the pattern is the stored CR LF.
    std::string normal;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\r' || pattern[i] == '\n') {
            normal += "\r\n";
            if (pattern[i] == '\r' && i + 1 < pattern.size() && pattern[i + 1] == '\n') ++i;
        } else {
            normal += pattern[i];
        }
    }
    for (std::size_t i = 0; i < normal.size();) {
        const FoldedUnit u = UnitAt(normal, i, options);
        units.push_back(u.folded);
        i += u.bytes;
    }
    const auto spellings = Spellings(options);
    std::vector<std::vector<std::string>> unitSpellings;
    for (char32_t u : units) {
        std::vector<std::string> list{Utf8(u)};
        const auto [first, last] = spellings.equal_range(u);
        for (auto it = first; it != last; ++it) list.push_back(it->second);
        unitSpellings.push_back(std::move(list));
    }
    // The longest run of units spelled one way only is looked for as it is; with none, the
    // unit with the fewest and rarest spellings, each spelling looked for in turn.
    std::size_t bestFirst = 0, bestLength = 0;
    for (std::size_t i = 0; i < units.size();) {
        if (unitSpellings[i].size() != 1) { ++i; continue; }
        std::size_t j = i;
        while (j < units.size() && unitSpellings[j].size() == 1) ++j;
        if (j - i > bestLength) { bestFirst = i; bestLength = j - i; }
        i = j;
    }
    if (bestLength > 0) {
        std::string run;
        for (std::size_t k = bestFirst; k < bestFirst + bestLength; ++k) run += unitSpellings[k][0];
        anchorFirst = bestFirst;
        anchorUnits = bestLength;
        anchorSpellings = {run};
        singleRun = true;
    } else {
        std::size_t best = 0;
        for (std::size_t k = 1; k < units.size(); ++k) {
            const int a = Cost(Needles(unitSpellings[k]));
            const int b = Cost(Needles(unitSpellings[best]));
            if (a < b || (a == b && Rarity(unitSpellings[k]) > Rarity(unitSpellings[best]))) best = k;
        }
        anchorFirst = best;
        anchorUnits = 1;
        anchorSpellings = Needles(unitSpellings[best]);
    }
    valid = true;
}

void Matcher::Impl::FindPlain(std::string_view text, const std::function<bool(ByteRange)>& onHit) const {
    const std::size_t count = anchorSpellings.size();
    std::vector<std::size_t> next(count);
    for (std::size_t k = 0; k < count; ++k) next[k] = FindFrom(text, anchorSpellings[k], 0);
    std::size_t lastEnd = 0;
    // A run spelled one way only needs no second look; a needle may be a lead byte alone.
    const bool runVerified = anchorSpellings.size() == 1 && anchorUnits > 0 && singleRun;
    while (true) {
        std::size_t which = 0;
        for (std::size_t k = 1; k < count; ++k)
            if (next[k] < next[which]) which = k;
        const std::size_t at = next[which];
        if (at == std::string_view::npos) return;
        bool hit = !InsideUnit(text, at, options);
        std::size_t end = at;
        std::size_t unit = anchorFirst;
        if (hit && runVerified) {
            end = at + anchorSpellings[0].size();
            unit = anchorFirst + anchorUnits;
        }
        for (; hit && unit < units.size(); ++unit) {
            if (end >= text.size()) { hit = false; break; }
            const FoldedUnit u = UnitAt(text, end, options);
            if (u.folded != units[unit]) hit = false;
            end += u.bytes;
        }
        std::size_t start = at;
        for (std::size_t k = anchorFirst; hit && k-- > 0;) {
            if (start <= lastEnd) { hit = false; break; }
            const FoldedUnit u = UnitBefore(text, start, options);
            if (u.folded != units[k]) hit = false;
            start -= u.bytes;
        }
        if (hit && start < lastEnd) hit = false;
        if (hit) {
            if (!onHit({start, end - start})) return;
            lastEnd = end;
            for (std::size_t k = 0; k < count; ++k)
                if (next[k] < end) next[k] = FindFrom(text, anchorSpellings[k], end);
        } else {
            next[which] = FindFrom(text, anchorSpellings[which], at + 1);
        }
    }
}

void Matcher::Impl::CompileRegex(std::string_view pattern) {
    // The texts are searched folded for width and kana (case is RE2's own option), so the
    // pattern's letters are folded the same way; a letter that folds to an ASCII sign is
    // escaped so that "＊" still means the sign and not a repetition.
    std::string folded;
    const FindOptions foldOnly{true, options.foldWidth, options.foldKana, false};
    for (std::size_t i = 0; i < pattern.size();) {
        const FoldedUnit u = UnitAt(pattern, i, foldOnly);
        if (static_cast<unsigned char>(pattern[i]) >= 0x80 && u.folded < 0x80) {
            const char c = static_cast<char>(u.folded);
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) folded += '\\';
        }
        AppendUtf8(folded, u.folded);
        i += u.bytes;
    }
    RE2::Options reOptions;
    reOptions.set_encoding(RE2::Options::EncodingUTF8);
    reOptions.set_case_sensitive(options.matchCase);
    reOptions.set_log_errors(false);
    reOptions.set_max_mem(std::int64_t{256} << 20);
    // Checked as written first, so that a refusal quotes the user's pattern alone.
    {
        const RE2 check(folded, reOptions);
        if (!check.ok()) {
            error = check.error();
            return;
        }
    }
    // (?m): ^ and $ at each line, as a reader of the editor expects.
    re = std::make_unique<RE2>("(?m)" + folded, reOptions);
    if (!re->ok()) {
        error = re->error();
        re.reset();
        return;
    }
    valid = true;
}

namespace {

// A node text as the regular expression reads it: the editor text (lines separated by LF,
// none after the last), folded when the options fold a character the text holds, with the
// stored offset of each of its bytes.
class RegexText {
public:
    // keepMap: the offsets of every byte are kept (for groups, which go back within a hit).
    RegexText(std::string_view stored, const FindOptions& options, bool keepMap) : stored_(EditorPart(stored)) {
        const bool mayFold = keepMap || (options.foldWidth && stored_.find('\xEF') != std::string_view::npos) ||
                             (options.foldKana && stored_.find('\xE3') != std::string_view::npos);
        const bool hasBreak = stored_.find('\r') != std::string_view::npos;
        if (!mayFold && !hasBreak) {
            view_ = stored_;
            return;
        }
        if (!mayFold) {
            // Only the CRs go: an offset is mapped back by counting the LFs before it.
            work_.reserve(stored_.size());
            std::size_t from = 0;
            for (std::size_t cr = stored_.find('\r'); cr != std::string_view::npos; cr = stored_.find('\r', cr + 1)) {
                work_.append(stored_, from, cr - from);
                from = cr + 1;
            }
            work_.append(stored_, from);
            view_ = work_;
            countBreaks_ = true;
            return;
        }
        const FindOptions foldOnly{true, options.foldWidth, options.foldKana, false};
        work_.reserve(stored_.size());
        map_.reserve(stored_.size() + 1);
        for (std::size_t i = 0; i < stored_.size();) {
            if (stored_[i] == '\r' && i + 1 < stored_.size() && stored_[i + 1] == '\n') {
                work_.push_back('\n');
                map_.push_back(static_cast<std::uint32_t>(i));
                i += 2;
                continue;
            }
            const FoldedUnit u = UnitAt(stored_, i, foldOnly);
            const std::size_t before = work_.size();
            AppendUtf8(work_, u.folded);
            map_.insert(map_.end(), work_.size() - before, static_cast<std::uint32_t>(i));
            i += u.bytes;
        }
        map_.push_back(static_cast<std::uint32_t>(stored_.size()));
        view_ = work_;
    }

    std::string_view Text() const { return view_; }

    // The stored offset of a work offset; offsets asked in increasing order are cheapest.
    std::size_t ToStored(std::size_t offset) {
        if (!map_.empty()) return map_[offset];
        if (!countBreaks_) return offset;
        if (offset < cursor_) { cursor_ = 0; breaks_ = 0; }
        for (std::size_t lf = view_.find('\n', cursor_); lf != std::string_view::npos && lf < offset;
             lf = view_.find('\n', lf + 1))
            ++breaks_;
        cursor_ = offset;
        return offset + breaks_;
    }

private:
    std::string_view stored_;
    std::string work_;
    std::string_view view_;
    std::vector<std::uint32_t> map_;
    bool countBreaks_ = false;
    std::size_t cursor_ = 0;
    std::size_t breaks_ = 0;
};

}  // namespace

void Matcher::Impl::FindRegex(std::string_view stored, std::size_t groups,
                              const std::function<bool(const std::vector<ByteRange>&)>& onHit) const {
    RegexText text(stored, options, groups > 0);
    const std::string_view work = text.Text();
    std::vector<re2::StringPiece> match(groups + 1);
    std::vector<ByteRange> ranges(groups + 1);
    std::size_t pos = 0;
    while (pos <= work.size() &&
           re->Match(re2::StringPiece(work.data(), work.size()), pos, work.size(), RE2::UNANCHORED, match.data(), static_cast<int>(match.size()))) {
        const std::size_t start = static_cast<std::size_t>(match[0].data() - work.data());
        const std::size_t end = start + match[0].size();
        if (end == start) {
            // An empty match is no hit: go on after the character there.
            if (start >= work.size()) break;
            pos = start + DecodeAt(work, start).bytes;
            continue;
        }
        const std::size_t storedStart = text.ToStored(start);
        const std::size_t storedEnd = text.ToStored(end);
        ranges[0] = {storedStart, storedEnd - storedStart};
        for (std::size_t g = 1; g <= groups; ++g) {
            if (match[g].data() == nullptr) {
                ranges[g] = {0, std::string_view::npos};
                continue;
            }
            const std::size_t gs = static_cast<std::size_t>(match[g].data() - work.data());
            const std::size_t a = text.ToStored(gs);
            const std::size_t b = text.ToStored(gs + match[g].size());
            ranges[g] = {a, b - a};
        }
        if (!onHit(ranges)) return;
        pos = end;
    }
}

Matcher::Matcher(std::string_view pattern, const FindOptions& options) : impl_(std::make_unique<Impl>()) {
    impl_->options = options;
    if (pattern.empty()) return;
    if (options.regex)
        impl_->CompileRegex(pattern);
    else
        impl_->CompilePlain(pattern);
}

Matcher::~Matcher() = default;

bool Matcher::Valid() const noexcept { return impl_->valid; }
const std::string& Matcher::Error() const noexcept { return impl_->error; }

void Matcher::FindAll(std::string_view text, const std::function<bool(ByteRange)>& onHit) const {
    if (!impl_->valid) return;
    if (impl_->re) {
        impl_->FindRegex(text, 0, [&](const std::vector<ByteRange>& g) { return onHit(g[0]); });
        return;
    }
    impl_->FindPlain(EditorPart(text), onHit);
}

std::vector<ByteRange> Matcher::FindAll(std::string_view text) const {
    std::vector<ByteRange> hits;
    FindAll(text, [&](ByteRange r) {
        hits.push_back(r);
        return true;
    });
    return hits;
}

std::size_t Matcher::Count(std::string_view text) const {
    std::size_t n = 0;
    FindAll(text, [&](ByteRange) {
        ++n;
        return true;
    });
    return n;
}

namespace {

std::string Rewrite(std::string_view text, const std::vector<ByteRange>& groups, std::string_view replacement) {
    std::string out;
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        if (c == '\\' && i + 1 < replacement.size()) {
            const char d = replacement[i + 1];
            if (d >= '0' && d <= '9') {
                const std::size_t g = static_cast<std::size_t>(d - '0');
                if (g < groups.size() && groups[g].length != std::string_view::npos)
                    out.append(text.substr(groups[g].start, groups[g].length));
                ++i;
                continue;
            }
            if (d == '\\') {
                out += '\\';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string Matcher::Replacement(std::string_view text, ByteRange hit, std::string_view replacement) const {
    if (!impl_->re) return std::string(replacement);
    std::string out(replacement);
    const std::size_t groups = static_cast<std::size_t>(impl_->re->NumberOfCapturingGroups());
    impl_->FindRegex(text, groups, [&](const std::vector<ByteRange>& g) {
        if (g[0].start < hit.start) return true;
        if (g[0].start == hit.start && g[0].length == hit.length) out = Rewrite(text, g, replacement);
        return false;
    });
    return out;
}

std::string Matcher::ReplaceAll(std::string_view text, std::string_view replacement, std::size_t* count) const {
    std::string out;
    std::size_t n = 0;
    std::size_t from = 0;
    auto take = [&](ByteRange hit, const std::string& with) {
        out.append(text, from, hit.start - from);
        out += with;
        from = hit.start + hit.length;
        ++n;
    };
    if (impl_->re) {
        const std::size_t groups = static_cast<std::size_t>(impl_->re->NumberOfCapturingGroups());
        impl_->FindRegex(text, groups, [&](const std::vector<ByteRange>& g) {
            take(g[0], Rewrite(text, g, replacement));
            return true;
        });
    } else if (impl_->valid) {
        const std::string with(replacement);
        impl_->FindPlain(EditorPart(text), [&](ByteRange hit) {
            take(hit, with);
            return true;
        });
    }
    out.append(text, from);
    if (count) *count = n;
    return out;
}

// ---- Places in the editor ------------------------------------------------------------------

namespace {

// UTF-16 units of stored text [from, to), a CR LF counting one; lines counts the breaks.
std::int64_t EditorUnits(std::string_view s, std::size_t from, std::size_t to, std::size_t* lastLineStart,
                         std::int32_t* lines) {
    std::int64_t units = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t i = from; i < to; ++i) {
        const unsigned char b = p[i];
        if (b == '\n') {
            if (lines) ++*lines;
            if (lastLineStart) *lastLineStart = i + 1;
            if (i > 0 && p[i - 1] == '\r') continue;  // the CR counted for the pair
            ++units;
        } else if ((b & 0xC0) != 0x80) {
            units += b >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

}  // namespace

HitPlace PlaceOfHit(std::string_view nodeText, ByteRange hit) {
    HitPlace place;
    std::size_t lineStart = 0;
    std::int32_t breaks = 0;
    place.editorStart = static_cast<std::int32_t>(EditorUnits(nodeText, 0, hit.start, &lineStart, &breaks));
    place.editorLength = static_cast<std::int32_t>(EditorUnits(nodeText, hit.start, hit.start + hit.length, nullptr, nullptr));
    place.line = breaks + 1;
    std::size_t lineEnd = nodeText.find('\r', hit.start);
    if (lineEnd == std::string_view::npos) lineEnd = nodeText.size();
    place.lineText = std::string(nodeText.substr(lineStart, lineEnd - lineStart));
    place.hitInLine = hit.start - lineStart;
    return place;
}

std::size_t StoredOffsetOfEditorPosition(std::string_view nodeText, std::int32_t editorPosition) {
    const std::string_view text = EditorPart(nodeText);
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::int64_t units = 0;
    std::size_t i = 0;
    while (i < text.size() && units < editorPosition) {
        if (p[i] == '\r' && i + 1 < text.size() && p[i + 1] == '\n') {
            i += 2;
            ++units;
            continue;
        }
        const std::size_t bytes = DecodeAt(text, i).bytes;
        units += p[i] >= 0xF0 ? 2 : 1;
        i += bytes;
    }
    return i;
}

// ---- Over the tree -------------------------------------------------------------------------

namespace {

template <typename Node, typename Visit>
void Preorder(Node& top, Visit visit) {
    std::vector<Node*> stack{&top};
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        visit(*node);
        for (std::size_t i = node->ChildCount(); i-- > 0;) stack.push_back(node->Child(i));
    }
}

template <typename Tree, typename Node>
Node* ScopeTop(Tree& tree, Node* selected, FindScope scope) {
    if (scope == FindScope::allNodes || !selected) return &tree.Root();
    return selected;
}

std::string PathOf(const TreeNode& node) {
    std::vector<const TreeNode*> chain;
    for (const TreeNode* n = &node; n; n = n->Parent()) chain.push_back(n);
    std::string path;
    for (std::size_t i = chain.size(); i-- > 0;) {
        path += chain[i]->Name();
        if (i > 0) path += " > ";
    }
    return path;
}

}  // namespace

std::vector<FindSource> SourcesInScope(const DocumentTree& tree, const TreeNode* selected, FindScope scope) {
    std::vector<FindSource> sources;
    const TreeNode* top = ScopeTop(tree, selected, scope);
    if (scope == FindScope::thisNode) {
        sources.push_back({top, top->Name(), top->Data().SharedText(), FindSource::kNoParent, PathOf(*top)});
        return sources;
    }
    sources.reserve(scope == FindScope::allNodes ? tree.NodeCount() : SubtreeSize(*top));
    // The open ancestors of the node being visited, with their indices.
    std::vector<std::pair<const TreeNode*, std::uint32_t>> stack;
    Preorder(*top, [&](const TreeNode& node) {
        while (!stack.empty() && stack.back().first != node.Parent()) stack.pop_back();
        const auto index = static_cast<std::uint32_t>(sources.size());
        if (stack.empty())
            sources.push_back({&node, node.Name(), node.Data().SharedText(), FindSource::kNoParent, PathOf(node)});
        else
            sources.push_back({&node, node.Name(), node.Data().SharedText(), stack.back().second, {}});
        if (node.HasChildren()) stack.emplace_back(&node, index);
    });
    return sources;
}

std::string SourcePath(const std::vector<FindSource>& sources, std::size_t index) {
    std::vector<const std::string*> names;
    while (sources[index].parent != FindSource::kNoParent) {
        names.push_back(&sources[index].name);
        index = sources[index].parent;
    }
    std::string path = sources[index].path;
    for (std::size_t i = names.size(); i-- > 0;) {
        path += " > ";
        path += *names[i];
    }
    return path;
}

void FindInSources(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                   std::size_t from, std::size_t to, FindResult& result, const std::atomic<bool>* cancel) {
    if (!matcher.Valid()) return;
    to = std::min(to, sources.size());
    for (std::size_t i = from; i < to; ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            return;
        }
        const std::size_t before = result.hits.size();
        const auto source = static_cast<std::uint32_t>(i);
        if (target != FindTarget::text)
            matcher.FindAll(sources[i].name, [&](ByteRange r) {
                result.hits.push_back({source, HitField::name, r});
                return true;
            });
        if (target != FindTarget::names && sources[i].text)
            matcher.FindAll(*sources[i].text, [&](ByteRange r) {
                result.hits.push_back({source, HitField::text, r});
                return true;
            });
        if (result.hits.size() > before) ++result.nodes;
    }
}

std::pair<std::size_t, std::size_t> FindHits::Locate(std::size_t index) const {
    if (pieces_.size() == 1) return {0, index};
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), index);
    const auto piece = static_cast<std::size_t>(after - starts_.begin()) - 1;
    return {piece, index - starts_[piece]};
}

FindHit& FindHits::operator[](std::size_t index) {
    const auto [piece, at] = Locate(index);
    return pieces_[piece][at];
}

const FindHit& FindHits::operator[](std::size_t index) const {
    const auto [piece, at] = Locate(index);
    return pieces_[piece][at];
}

void FindHits::NewPiece() {
    pieces_.emplace_back();
    starts_.push_back(size_);
}

void FindHits::Append(FindHits&& other) {
    for (std::vector<FindHit>& piece : other.pieces_) {
        if (piece.empty()) continue;
        starts_.push_back(size_);
        size_ += piece.size();
        pieces_.push_back(std::move(piece));
    }
    other = {};
}

FindHits::iterator FindHits::erase(iterator at) {
    const std::size_t index = at.Index();
    const auto [piece, offset] = Locate(index);
    std::vector<FindHit>& hits = pieces_[piece];
    hits.erase(hits.begin() + static_cast<std::ptrdiff_t>(offset));
    for (std::size_t later = piece + 1; later < starts_.size(); ++later) --starts_[later];
    if (hits.empty()) {
        pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(piece));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(piece));
    }
    --size_;
    return {this, index};
}

FindResult FindInSources(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                         const std::atomic<bool>* cancel) {
    FindResult result;
    FindInSources(matcher, sources, target, 0, sources.size(), result, cancel);
    return result;
}

bool FindInBatches(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                   std::chrono::milliseconds interval, const std::function<void(FindResult batch, bool last)>& onBatch,
                   const std::atomic<bool>* cancel) {
    using Clock = std::chrono::steady_clock;
    // About a quarter of a megabyte of text on the benchmark document: the clock is read
    // rarely, and the first hits are never long in coming.
    constexpr std::size_t kBlock = 256;
    FindResult batch;
    bool first = true;
    Clock::time_point last = Clock::now();
    for (std::size_t from = 0; from < sources.size(); from += kBlock) {
        FindInSources(matcher, sources, target, from, from + kBlock, batch, cancel);
        if (batch.cancelled) return false;
        if (batch.hits.empty()) continue;
        const Clock::time_point now = Clock::now();
        if (first || now - last >= interval) {
            first = false;
            last = now;
            onBatch(std::exchange(batch, {}), false);
        }
    }
    if (cancel && cancel->load(std::memory_order_relaxed)) return false;
    onBatch(std::move(batch), true);
    return true;
}

std::string CountText(const FindResult& result) {
    return std::to_string(result.hits.size()) + " 件 (" + std::to_string(result.nodes) + " ノード)";
}

namespace {

// A name holds no line break: what replaces a hit in one is taken up to its first break, and
// the rest of the name is kept as it was.
std::string FirstLine(std::string replacement) {
    const std::size_t br = replacement.find_first_of("\r\n");
    if (br != std::string::npos) replacement.resize(br);
    return replacement;
}

std::string ReplaceAllInName(const Matcher& matcher, const std::string& name, std::string_view replacement,
                             std::size_t& count) {
    std::string out;
    std::size_t from = 0;
    for (const ByteRange hit : matcher.FindAll(name)) {
        out.append(name, from, hit.start - from);
        out += FirstLine(matcher.Replacement(name, hit, replacement));
        from = hit.start + hit.length;
        ++count;
    }
    out.append(name, from);
    return out;
}

}  // namespace

std::size_t ReplaceAllInTree(DocumentTree& tree, const TreeNode* selected, FindScope scope, FindTarget target,
                             const Matcher& matcher, std::string_view replacement) {
    if (!matcher.Valid()) return 0;
    TreeNode* top = ScopeTop(tree, const_cast<TreeNode*>(selected), scope);
    std::size_t total = 0;
    auto replaceIn = [&](TreeNode& node) {
        if (target != FindTarget::text) {
            std::size_t n = 0;
            std::string name = ReplaceAllInName(matcher, node.Name(), replacement, n);
            if (n > 0) {
                node.SetName(std::move(name));
                total += n;
            }
        }
        if (target != FindTarget::names && !node.Data().Empty()) {
            std::size_t n = 0;
            std::string text = matcher.ReplaceAll(node.Data().Text(), replacement, &n);
            if (n > 0) {
                node.Data().SetText(std::move(text));
                total += n;
            }
        }
    };
    if (scope == FindScope::thisNode)
        replaceIn(*top);
    else
        Preorder(*top, replaceIn);
    return total;
}

bool ReplaceHit(TreeNode& node, HitField field, ByteRange hit, const Matcher& matcher, std::string_view replacement) {
    const std::string& text = field == HitField::name ? node.Name() : node.Data().Text();
    bool found = false;
    matcher.FindAll(text, [&](ByteRange r) {
        if (r.start == hit.start && r.length == hit.length) found = true;
        return r.start < hit.start;
    });
    if (!found) return false;
    std::string out = text.substr(0, hit.start);
    std::string with = matcher.Replacement(text, hit, replacement);
    out += field == HitField::name ? FirstLine(std::move(with)) : with;
    out.append(text, hit.start + hit.length);
    if (field == HitField::name)
        node.SetName(std::move(out));
    else
        node.Data().SetText(std::move(out));
    return true;
}

}  // namespace document
