#include "xml/stream_writer.h"

#include "xml/markup_characters.h"
#include "xml/markup_file.h"
#include "xml/tokenizer.h"

#include <stdexcept>

namespace nanxml {

namespace {

// Appends text to markup with "<", ">" and "&" as the references AddText makes of them.
void AppendEscaped(std::string& markup, std::string_view text)
{
    SplitAtMarkupCharacters(
        text, [&markup](std::string_view run) { markup += run; },
        [&markup](std::string_view name) {
            markup += '&';
            markup += name;
            markup += ';';
        });
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
