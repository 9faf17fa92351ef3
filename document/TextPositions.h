// Caret and selection positions of a node's text in the two ways they are counted.
//
// Stored (SelStart/SelLength in files): bytes of the text in Shift_JIS (CP932), as the edit
// control of the Windows program that shares the format counts them, in both document
// encodings: ASCII and half-width katakana one, other characters CP932 holds in two bytes
// two, each line break (CR LF) two, and a character CP932 cannot hold one (it is "?" there).
// Editor: UTF-16 code units, each line break counting one, over the text the editor shows
// (TVLNodeData::EditorText: no break after the last line). The two differ wherever the text
// is not ASCII, so a conversion walks the text up to the position (one pass, no allocation).
#pragma once

#include <cstdint>
#include <string_view>

namespace document {

struct TextSelection {
    std::int32_t start = 0;
    std::int32_t length = 0;
};

// nodeText is the node's text in its stored form (TVLNodeData::Text). Both directions clamp:
// negative values and values past the end of the editor text are brought to the nearest end,
// a position inside a CR LF pair, a double-byte character or a surrogate pair goes to the
// position before it, and the length is cut so that the selection ends inside the text.
TextSelection EditorSelectionFromStored(std::string_view nodeText, std::int32_t selStart,
                                        std::int32_t selLength);
TextSelection StoredSelectionFromEditor(std::string_view nodeText, std::int32_t start,
                                        std::int32_t length);

// The length of the editor text in UTF-16 code units.
std::int32_t EditorTextLength(std::string_view nodeText);

}  // namespace document
