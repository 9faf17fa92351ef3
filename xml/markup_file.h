// The bytes of a document file made from its markup as the markup is produced: encoded
// (Shift_JIS: CP932 with CR LF after every line; UTF-8 as it stands), NUL characters left
// out, and written piece by piece through a safe replacement of the file. The whole file is
// never held in memory.
#pragma once

#include "platform/file_io.h"
#include "xml/line_breaks.h"
#include "xml/nanxml.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace nanxml {

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
    std::unique_ptr<char[]> encoded_;  // the CP932 bytes of a piece
    std::size_t encodedRoom_ = 0;
    std::string linesRoom_;
    TCrLfLines lines_;
    std::size_t unmappable_ = 0;
    bool finished_ = false;
};

}  // namespace nanxml
