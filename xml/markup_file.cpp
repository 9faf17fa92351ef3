#include "xml/markup_file.h"

#include "platform/codepage.h"

namespace nanxml {

namespace {

std::string Declaration(TDocumentEncoding encoding)
{
    TNanXMLProcessingInstruction declaration;
    declaration.SetTarget("xml");
    declaration.SetData(std::string("version=\"1.0\" encoding=\"") +
                        (encoding == deUTF8 ? "UTF-8" : "Shift_JIS") + "\"");
    return declaration.GetXML();
}

// Where the last character of text starts, when it may be incomplete: the markup is cut
// there, so that the encoder sees every character whole. No UTF-8 sequence, well formed or
// not, runs across a byte that is not a continuation byte.
std::size_t StartOfLastCharacter(std::string_view text)
{
    if (text.empty() || static_cast<unsigned char>(text.back()) < 0x80) return text.size();
    std::size_t start = text.size();
    while (start > 0 && text.size() - start < 4) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) return start;
    }
    return text.size();
}

}  // namespace

TMarkupFile::TMarkupFile(const std::string& FileName, TDocumentEncoding Encoding, bool WithDeclaration)
    : file_(FileName), encoding_(Encoding)
{
    markup_.reserve(kPiece + (kPiece >> 4));
    if (WithDeclaration) markup_ = Declaration(encoding_);
}

void TMarkupFile::WritePiece(bool last)
{
    if (encoding_ == deUTF8) {
        RemoveNuls(markup_);
        file_.Write(markup_);
        markup_.clear();
        return;
    }
    const std::size_t cut = last ? markup_.size() : StartOfLastCharacter(markup_);
    // Room that is written before it is read, so never filled first; it grows only for a
    // piece larger than any before.
    const std::size_t room = cut + platform::kCp932EncodeSlack;
    if (encodedRoom_ < room) {
        encoded_ = std::make_unique_for_overwrite<char[]>(room);
        encodedRoom_ = room;
    }
    const char* const end = platform::EncodeCp932(std::string_view(markup_).substr(0, cut), encoded_.get(), unmappable_);
    markup_.erase(0, cut);
    file_.Write(lines_.Normalise(std::string_view(encoded_.get(), static_cast<std::size_t>(end - encoded_.get())), linesRoom_));
    if (last) file_.Write(lines_.Ending());
}

void TMarkupFile::Finish()
{
    if (finished_) return;
    WritePiece(true);
    finished_ = true;
}

void TMarkupFile::Commit()
{
    Finish();
    file_.Commit();
}

}  // namespace nanxml
