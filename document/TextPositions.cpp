#include "document/TextPositions.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace document {

namespace {

// How far a walk over the editor text has come: bytes of the node text, and both counts.
struct Walk {
    std::size_t offset = 0;
    std::int64_t stored = 0;
    std::int64_t editor = 0;
};

enum class CountBy { stored, editor };

// The node text without its final line break: the part the editor shows.
std::string_view EditorPart(std::string_view nodeText) {
    std::size_t n = nodeText.size();
    if (n >= 2 && nodeText[n - 2] == '\r' && nodeText[n - 1] == '\n') n -= 2;
    return nodeText.substr(0, n);
}

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Eight bytes that are ASCII and hold no CR: each counts one in both ways.
bool PlainAscii(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    const std::uint64_t cr = word ^ (kOnes * '\r');
    return ((word | ((cr - kOnes) & ~cr)) & kHighBits) == 0;
}

// The CP932 bytes of the character of `bytes` bytes (its sequence well formed or not) at p.
// Only two- and three-byte UTF-8 sequences can be characters CP932 holds in two bytes;
// anything else, malformed sequences included, is one byte ("?" or a single-byte code).
int Cp932Bytes(const unsigned char* p, std::size_t bytes) {
    char32_t codePoint;
    if (bytes == 2 && p[0] >= 0xC2 && p[0] <= 0xDF) {
        codePoint = (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
    } else if (bytes == 3 && p[0] >= 0xE0 && p[0] <= 0xEF) {
        codePoint = (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
        if (codePoint < 0x800) return 1;  // overlong: not a character
    } else {
        return 1;
    }
    return platform::IsCp932DoubleByte(codePoint) ? 2 : 1;
}

// Goes on over the characters of text (the editor part) as long as the chosen count stays
// within limit. A character that would cross the limit (a double-byte character or CR LF in
// the stored count, a surrogate pair in the editor's) is not taken: a position inside one
// goes to its start. One pass, no allocation: it runs on every node switch.
void WalkTo(std::string_view text, CountBy by, std::int64_t limit, Walk& walk) {
    const auto* const data = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = walk.offset;
    std::int64_t stored = walk.stored;
    std::int64_t editor = walk.editor;
    std::int64_t& counted = by == CountBy::stored ? stored : editor;
    while (i < n) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            // Runs of plain ASCII, the bulk of most texts, go eight bytes at a time.
            while (n - i >= 8 && limit - counted >= 8 && PlainAscii(text.data() + i)) {
                i += 8;
                stored += 8;
                editor += 8;
            }
            if (i >= n) break;
            if (data[i] >= 0x80) continue;
            const bool lineBreak = data[i] == '\r' && i + 1 < n && data[i + 1] == '\n';
            if (counted + (lineBreak && by == CountBy::stored ? 2 : 1) > limit) break;
            stored += lineBreak ? 2 : 1;
            editor += 1;
            i += lineBreak ? 2 : 1;
            continue;
        }
        std::size_t bytes = 1;
        while (i + bytes < n && (data[i + bytes] & 0xC0) == 0x80) ++bytes;
        // Four-byte UTF-8 sequences are the characters UTF-16 holds as a surrogate pair.
        const int storedUnits = Cp932Bytes(data + i, bytes);
        const int editorUnits = lead >= 0xF0 ? 2 : 1;
        if (counted + (by == CountBy::stored ? storedUnits : editorUnits) > limit) break;
        stored += storedUnits;
        editor += editorUnits;
        i += bytes;
    }
    walk = {i, stored, editor};
}

std::int32_t ToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

TextSelection Convert(std::string_view nodeText, CountBy from, std::int32_t start, std::int32_t length) {
    const std::string_view text = EditorPart(nodeText);
    const std::int64_t end = std::int64_t{start} + std::max<std::int32_t>(length, 0);
    Walk startWalk;
    WalkTo(text, from, start, startWalk);
    // The end continues from the start: the text before the caret is walked once.
    Walk endWalk = startWalk;
    WalkTo(text, from, std::max<std::int64_t>(end, start), endWalk);
    if (from == CountBy::stored)
        return {ToInt32(startWalk.editor), ToInt32(endWalk.editor - startWalk.editor)};
    return {ToInt32(startWalk.stored), ToInt32(endWalk.stored - startWalk.stored)};
}

}  // namespace

TextSelection EditorSelectionFromStored(std::string_view nodeText, std::int32_t selStart, std::int32_t selLength) {
    return Convert(nodeText, CountBy::stored, selStart, selLength);
}

TextSelection StoredSelectionFromEditor(std::string_view nodeText, std::int32_t start, std::int32_t length) {
    return Convert(nodeText, CountBy::editor, start, length);
}

std::int32_t EditorTextLength(std::string_view nodeText) {
    Walk walk;
    WalkTo(EditorPart(nodeText), CountBy::editor, std::numeric_limits<std::int64_t>::max(), walk);
    return ToInt32(walk.editor);
}

}  // namespace document
