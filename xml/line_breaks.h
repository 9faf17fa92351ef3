// Line breaks and NUL characters of document files: a file is read and, in Shift_JIS,
// written as lines that each end with CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nanxml {

// True when text holds no NUL, every LF follows a CR and every CR is followed by a LF.
bool HasOnlyCrLfBreaks(std::string_view text);

// Text without its NUL characters, cut into lines at CR LF, a lone CR or a lone LF, each
// line followed by CR LF, the last one included. An empty text stays empty.
std::string NormalisedLines(std::string_view text);

// Removes the NUL characters.
void RemoveNuls(std::string& text);

// NormalisedLines for text that arrives in pieces (a Shift_JIS file as it is written): NUL
// characters are left out and every line break (CR LF, a lone CR, a lone LF) becomes CR LF,
// also when a CR ends one piece and its LF starts the next.
class TCrLfLines {
public:
    // The piece with its line breaks made CR LF and its NULs left out: the piece itself when
    // it has only CR LF breaks and no NUL (the common case, checked a word at a time),
    // otherwise a copy in room.
    std::string_view Normalise(std::string_view piece, std::string& room);
    // The CR LF that ends the last line when it has none yet (empty at the end of a break or
    // when nothing was written).
    std::string_view Ending() const { return lineOpen_ ? std::string_view("\r\n") : std::string_view(); }

private:
    std::size_t NormaliseInto(std::string_view piece, char* out);

    bool afterCr_ = false;  // the last break was a CR, so an LF next belongs to it
    bool lineOpen_ = false;
};

// Offset in source of the byte found at offset in its NUL-free form (linesNormalised false)
// or in NormalisedLines(source) (linesNormalised true).
std::size_t SourceOffset(std::string_view source, std::size_t offset, bool linesNormalised);

}  // namespace nanxml
