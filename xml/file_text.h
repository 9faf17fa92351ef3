// The text of a document file as the loader reads it, before any node is made: NUL bytes
// dropped, every line ending with CR LF, the encoding its leading declaration (or a UTF-8
// byte-order mark) names, malformed UTF-8 refused. TNanXML::LoadFromFile builds its tree
// from it; a reader of its own (the document format's) may read the same text first.
#pragma once

#include "xml/nanxml.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nanxml {

class TNanXMLFileText {
public:
    // Reads the file (platform::FileError when it cannot be) and finds its declaration.
    explicit TNanXMLFileText(const std::string& FileName);
    TNanXMLFileText(const TNanXMLFileText&) = delete;
    TNanXMLFileText& operator=(const TNanXMLFileText&) = delete;

    // The encoding the file names; none when it names neither (then its bytes are CP932).
    std::optional<TDocumentEncoding> Declared() const { return declared_; }
    bool Cp932() const { return declared_ != deUTF8; }

    // Refuses malformed UTF-8 in a UTF-8 file with ENanXMLException (the file's name and the
    // offset of the first bad byte in the file), then lets go of the bytes as read, which the
    // message needed. Called before Body is read.
    void CheckUtf8();

    // The text after the byte-order mark and the leading instruction, if any.
    std::string_view Body() const { return std::string_view(text_).substr(bodyStart_); }
    // The whole text: its pages may be given back as the body is read (platform::PassedPages).
    std::string& Buffer() { return text_; }
    // Whether the last line lacks its CR LF, which the reader adds to the last text.
    bool AddFinalLineBreak() const { return addFinalLineBreak_; }

private:
    std::string fileName_;
    std::string bytes_;  // the file's own bytes, when the text differs from them
    std::string text_;
    std::size_t bodyStart_ = 0;
    std::optional<TDocumentEncoding> declared_;
    bool addFinalLineBreak_ = false;
    bool checked_ = false;
};

namespace detail {

// Where the body of a document text starts (after a UTF-8 byte-order mark and a leading
// instruction) and the encoding it names.
struct DocumentStart {
    std::size_t bodyStart = 0;
    std::optional<TDocumentEncoding> declared;
};
DocumentStart FindDocumentStart(std::string_view text);

// Refuses malformed UTF-8 at offset (of the bytes given) in the file named, or in a string.
[[noreturn]] void ThrowMalformedUtf8(std::string_view fileName, std::size_t offset);

}  // namespace detail

}  // namespace nanxml
