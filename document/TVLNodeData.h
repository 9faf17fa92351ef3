// The payload of one tree node: its text and the caret and selection last used in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace document {

// The text is kept as one string in the form the file stores it: every line followed by
// CR LF, the last one included (no lines: the empty string). That form is what saving,
// export and the position conversions read, so it is held ready instead of a list of lines;
// Lines() gives the list when a caller wants one.
class TVLNodeData {
public:
    // The lines read as one string: CR LF after every line. Empty when there are no lines.
    const std::string& Text() const noexcept { return text_ ? *text_ : EmptyText(); }
    // The same string, shared: it never changes (a new text is a new string), so a copy of
    // the document for another thread costs a pointer a node.
    std::shared_ptr<const std::string> SharedText() const noexcept { return text_; }

    // Sets the text from any string. CR LF, a lone CR and a lone LF each end a line; a break
    // at the very end adds no empty last line; an empty string gives no lines.
    void SetText(std::string_view text);
    void SetText(std::string&& text);
    void SetText(const char* text) { SetText(std::string_view(text)); }
    // SetText for a text whose every line break is CR LF already, as a file read by the
    // loader holds them: only the last line's may be missing, so the text is not searched.
    void SetTextOfCrLfLines(std::string&& text);

    // The lines, without their line-break characters.
    std::vector<std::string> Lines() const;
    std::size_t LineCount() const;
    // Sets the lines; a line holding a line break is split there, as if read back from text.
    void SetLines(const std::vector<std::string>& lines);

    // The text as the editor shows it: the lines separated by LF, no break after the last.
    std::string EditorText() const;

    bool Empty() const noexcept { return Text().empty(); }

    // Caret and selection length, counted as stored in files (see TextPositions.h).
    std::int32_t SelStart = 0;
    std::int32_t SelLength = 0;

private:
    static const std::string& EmptyText() noexcept;
    void Adopt(std::string&& text);

    std::shared_ptr<const std::string> text_;  // null when empty
};

// The text of the node-data form for any string (see SetText).
std::string NormalizeNodeText(std::string_view text);

}  // namespace document
