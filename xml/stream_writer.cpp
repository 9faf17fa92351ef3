#include "xml/stream_writer.h"

#include "xml/markup_file.h"
#include "xml/tokenizer.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace nanxml {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// The high bit set in each byte of word that may be zero (exact for the first zero byte,
// which is all a search needs).
std::uint64_t ZeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighBits; }

// True when one of the eight bytes of word is "<", ">" or "&". Setting bit 1 turns "<"
// (0x3C) into ">" (0x3E) and nothing else into it, so two tests cover the three.
bool HasMarkupCharacter(std::uint64_t word)
{
    return (ZeroBytes((word | kOnes * 0x02) ^ (kOnes * '>')) | ZeroBytes(word ^ (kOnes * '&'))) != 0;
}

// Position of the first "<", ">" or "&" in text from start on; text.size() when there is
// none. Sixteen bytes at a time while none of them is one.
std::size_t FindMarkupCharacter(std::string_view text, std::size_t start)
{
    for (std::uint64_t words[2]; start + 16 <= text.size(); start += 16) {
        std::memcpy(words, text.data() + start, sizeof words);
        if (HasMarkupCharacter(words[0]) || HasMarkupCharacter(words[1])) break;
    }
    while (start < text.size() && text[start] != '<' && text[start] != '>' && text[start] != '&') ++start;
    return start;
}

// Appends text to markup with "<", ">" and "&" as the references AddText makes of them.
void AppendEscaped(std::string& markup, std::string_view text)
{
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t special = FindMarkupCharacter(text, start);
        markup.append(text, start, special - start);
        if (special == text.size()) break;
        const char c = text[special];
        markup += c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
        start = special + 1;
    }
}

}  // namespace

TNanXMLStreamWriter::TNanXMLStreamWriter(const std::string& FileName, TDocumentEncoding Encoding, bool WithDeclaration)
    : file_(std::make_unique<TMarkupFile>(FileName, Encoding, WithDeclaration))
{
}

TNanXMLStreamWriter::~TNanXMLStreamWriter() = default;

void TNanXMLStreamWriter::StartElement(std::string_view Name)
{
    CheckNotFinished();
    if (!IsValidName(Name)) throw ENanXMLInvalidStringException("名前が不正です", Name);
    CloseStartTag();
    std::string& markup = file_->Markup();
    markup += '<';
    markup += Name;
    open_.emplace_back(Name);
    startTagOpen_ = true;
}

void TNanXMLStreamWriter::AddAttribute(std::string_view Name, std::string_view Value)
{
    CheckNotFinished();
    if (!startTagOpen_) throw std::logic_error("an attribute after the content of its element");
    if (!IsValidName(Name)) throw ENanXMLInvalidStringException("属性名が不正です", Name);
    if (!IsValidAttributeValue(Value) || Value.find('"') != std::string_view::npos) {
        throw ENanXMLInvalidStringException("値が不正です", Value);
    }
    std::string& markup = file_->Markup();
    markup += ' ';
    markup += Name;
    markup += "=\"";
    markup += Value;
    markup += '"';
}

void TNanXMLStreamWriter::AddText(std::string_view Text)
{
    CheckNotFinished();
    // Empty text adds no node, so the element may still be written empty.
    if (Text.empty()) return;
    CloseStartTag();
    // In slices, so that a long text never sits in the markup whole.
    while (!Text.empty()) {
        const std::string_view slice = Text.substr(0, TMarkupFile::kPiece);
        AppendEscaped(file_->Markup(), slice);
        Text.remove_prefix(slice.size());
        file_->WriteWhenFull();
    }
}

void TNanXMLStreamWriter::EndElement()
{
    if (open_.empty()) throw std::logic_error("no element to end");
    std::string& markup = file_->Markup();
    if (startTagOpen_) {
        markup += "/>";
        startTagOpen_ = false;
    } else {
        markup += "</";
        markup += open_.back();
        markup += '>';
    }
    open_.pop_back();
    file_->WriteWhenFull();
}

void TNanXMLStreamWriter::Finish()
{
    while (!open_.empty()) EndElement();
    file_->Finish();
    finished_ = true;
}

void TNanXMLStreamWriter::Commit()
{
    Finish();
    file_->Commit();
}

std::size_t TNanXMLStreamWriter::Unmappable() const { return file_->Unmappable(); }

void TNanXMLStreamWriter::CheckNotFinished() const
{
    // The file has been written to its end: what came now would be lost.
    if (finished_) throw std::logic_error("markup added after Finish");
}

void TNanXMLStreamWriter::CloseStartTag()
{
    if (!startTagOpen_) return;
    file_->Markup() += '>';
    startTagOpen_ = false;
}

}  // namespace nanxml
