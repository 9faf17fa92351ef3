#include "app/TextPositions.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace document {

namespace {

struct Counts {
    std::int64_t stored = 0;
    std::int64_t editor = 0;
};

enum class CountBy { stored, editor };

// Walks the characters of the editor text (the node text without its final line break) as
// long as the chosen count stays within limit, and returns both counts where it stopped. A
// character that would cross the limit (a CR LF pair, a surrogate pair) is not taken.
Counts WalkTo(std::string_view nodeText, CountBy by, std::int64_t limit) {
    std::size_t n = nodeText.size();
    if (n >= 2 && nodeText[n - 2] == '\r' && nodeText[n - 1] == '\n') n -= 2;
    Counts counts;
    std::size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(nodeText[i]);
        std::size_t bytes = 1;
        int storedUnits = 1;
        int editorUnits = 1;
        if (lead == '\r' && i + 1 < n && nodeText[i + 1] == '\n') {
            bytes = 2;
            storedUnits = 2;
        } else {
            // Four-byte UTF-8 sequences are the characters UTF-16 holds as a surrogate pair.
            if (lead >= 0xF0) storedUnits = editorUnits = 2;
            while (i + bytes < n && (static_cast<unsigned char>(nodeText[i + bytes]) & 0xC0) == 0x80) ++bytes;
        }
        const std::int64_t next = (by == CountBy::stored ? counts.stored + storedUnits : counts.editor + editorUnits);
        if (next > limit) break;
        counts.stored += storedUnits;
        counts.editor += editorUnits;
        i += bytes;
    }
    return counts;
}

std::int32_t ToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

TextSelection Convert(std::string_view nodeText, CountBy from, std::int32_t start, std::int32_t length) {
    const std::int64_t end = std::int64_t{start} + std::max<std::int32_t>(length, 0);
    const Counts startCounts = WalkTo(nodeText, from, start);
    const Counts endCounts = WalkTo(nodeText, from, std::max<std::int64_t>(end, start));
    if (from == CountBy::stored)
        return {ToInt32(startCounts.editor), ToInt32(endCounts.editor - startCounts.editor)};
    return {ToInt32(startCounts.stored), ToInt32(endCounts.stored - startCounts.stored)};
}

}  // namespace

TextSelection EditorSelectionFromStored(std::string_view nodeText, std::int32_t selStart, std::int32_t selLength) {
    return Convert(nodeText, CountBy::stored, selStart, selLength);
}

TextSelection StoredSelectionFromEditor(std::string_view nodeText, std::int32_t start, std::int32_t length) {
    return Convert(nodeText, CountBy::editor, start, length);
}

std::int32_t EditorTextLength(std::string_view nodeText) {
    return ToInt32(WalkTo(nodeText, CountBy::editor, std::numeric_limits<std::int64_t>::max()).editor);
}

}  // namespace document
