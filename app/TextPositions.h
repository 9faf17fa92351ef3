// Caret and selection positions of a node's text in the two ways they are counted.
//
// Stored (SelStart/SelLength in files): UTF-16 code units, each line break (CR LF) counting
// two. Editor: UTF-16 code units, each line break counting one, over the text the editor
// shows (TVLNodeData::EditorText: no break after the last line). So a stored position is the
// editor position plus the number of line breaks before it; a caller that knows the line of
// the caret can use that instead of walking the text.
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
// a position inside a CR LF pair or a surrogate pair goes to the position before it, and the
// length is cut so that the selection ends inside the text.
TextSelection EditorSelectionFromStored(std::string_view nodeText, std::int32_t selStart,
                                        std::int32_t selLength);
TextSelection StoredSelectionFromEditor(std::string_view nodeText, std::int32_t start,
                                        std::int32_t length);

// The length of the editor text in UTF-16 code units.
std::int32_t EditorTextLength(std::string_view nodeText);

}  // namespace document
