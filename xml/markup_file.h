// The bytes of a document file made from its markup as the markup is produced: encoded
// (Shift_JIS: CP932 with CR LF after every line; UTF-8 as it stands), NUL characters left
// out, and written piece by piece through a safe replacement of the file. The whole file is
// never held in memory.
#pragma once

#include "platform/file_io.h"
#include "xml/nanxml.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace nanxml {

// Line breaks of a Shift_JIS file, for text that arrives in pieces: NUL characters are left
// out and every line break (CR LF, a lone CR, a lone LF) becomes CR LF, also when a CR ends
// one piece and its LF starts the next. Together the pieces give NormalisedLines of the
// whole text.
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

class TMarkupFile {
public:
    // Markup is encoded and written in pieces of about this size, small enough to stay in
    // the cache while it is encoded.
    static constexpr std::size_t kPiece = 64 << 10;

    // Creates the temporary file (platform::FileError when it cannot be) and, when asked,
    // starts with the XML declaration for the encoding.
    TMarkupFile(const std::string& FileName, TDocumentEncoding Encoding, bool WithDeclaration);

    // Where the markup is appended, as UTF-8. It may be cut anywhere: a character split
    // between two pieces is encoded whole.
    std::string& Markup() { return markup_; }
    // Encodes and writes the markup gathered so far once it holds a piece.
    void WriteWhenFull()
    {
        if (markup_.size() >= kPiece) WritePiece(false);
    }
    // Writes the rest of the markup (once; a second call does nothing); nothing may be
    // appended after it.
    void Finish();
    // Finishes, and puts the file in place of the old one.
    void Commit();
    // How many characters have become "?" in Shift_JIS so far (0 in UTF-8); after Finish,
    // in the whole file.
    std::size_t Unmappable() const { return unmappable_; }

private:
    void WritePiece(bool last);

    platform::SafeFileWriter file_;
    TDocumentEncoding encoding_;
    std::string markup_;
    std::string encoded_;
    std::string linesRoom_;
    TCrLfLines lines_;
    std::size_t unmappable_ = 0;
    bool finished_ = false;
};

}  // namespace nanxml
