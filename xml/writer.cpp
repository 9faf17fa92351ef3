// The markup of nodes and the writing of a document file.
#include "xml/nanxml.h"

#include "platform/codepage.h"
#include "xml/markup_file.h"
#include "xml/tree_walk.h"

namespace nanxml {

namespace {

// Appends the markup of the nodes below top to buffer, calling flush(buffer) whenever the
// buffer has grown to chunk bytes. Pieces end between nodes, so they hold whole characters.
template <class Flush>
void WriteMarkupBelow(const TNanXMLParentNode& top, std::string& buffer, std::size_t chunk, Flush&& flush)
{
    const auto flushWhenFull = [&] {
        if (buffer.size() >= chunk) flush(buffer);
    };
    WalkBelow(
        top,
        [&](const TNanXMLParentNode& parent) {
            if (const TNanXMLElement* element = parent.AsElement()) element->AppendStartTag(buffer);
            flushWhenFull();
        },
        [&](const TNanXMLParentNode& parent) {
            if (const TNanXMLElement* element = parent.AsElement()) element->AppendEndTag(buffer);
            flushWhenFull();
        },
        [&](const TNanXMLNode& leaf) {
            leaf.AppendXML(buffer);
            flushWhenFull();
        });
}

std::size_t MarkupLengthBelow(const TNanXMLParentNode& top)
{
    std::size_t length = 0;
    WalkBelow(
        top,
        [&](const TNanXMLParentNode& parent) {
            if (const TNanXMLElement* element = parent.AsElement()) length += element->StartTagLength();
        },
        [&](const TNanXMLParentNode& parent) {
            if (const TNanXMLElement* element = parent.AsElement()) length += element->EndTagLength();
        },
        [&](const TNanXMLNode& leaf) { length += leaf.XMLLength(); });
    return length;
}

}  // namespace

// ---- markup of the node classes ----

void TNanXMLParentNode::AppendXML(std::string& Out) const
{
    const TNanXMLElement* element = AsElement();
    if (element != nullptr) element->AppendStartTag(Out);
    WriteMarkupBelow(*this, Out, std::string::npos, [](std::string&) {});
    if (element != nullptr) element->AppendEndTag(Out);
}

std::size_t TNanXMLParentNode::XMLLength() const
{
    const TNanXMLElement* element = AsElement();
    const std::size_t tags = element != nullptr ? element->StartTagLength() + element->EndTagLength() : 0;
    return tags + MarkupLengthBelow(*this);
}

std::string TNanXMLParentNode::GetInnerXML() const
{
    std::string markup;
    markup.reserve(MarkupLengthBelow(*this));
    WriteMarkupBelow(*this, markup, std::string::npos, [](std::string&) {});
    return markup;
}

void TNanXMLElement::AppendStartTag(std::string& Out) const
{
    Out += '<';
    Out += name_;
    for (const TNanXMLAttribute& attribute : Attributes()) {
        Out += ' ';
        Out += attribute.Name();
        Out += "=\"";
        Out += attribute.Value();
        Out += '"';
    }
    if (ChildCount() == 0) Out += '/';
    Out += '>';
}

void TNanXMLElement::AppendEndTag(std::string& Out) const
{
    if (ChildCount() == 0) return;
    Out += "</";
    Out += name_;
    Out += '>';
}

std::size_t TNanXMLElement::StartTagLength() const
{
    std::size_t length = 2 + name_.size() + (ChildCount() == 0 ? 1 : 0);
    for (const TNanXMLAttribute& attribute : Attributes()) {
        length += 4 + attribute.Name().size() + attribute.Value().size();
    }
    return length;
}

std::size_t TNanXMLElement::EndTagLength() const
{
    return ChildCount() == 0 ? 0 : 3 + name_.size();
}

std::string TNanXMLElement::GetStartTag() const
{
    std::string tag;
    tag.reserve(StartTagLength());
    AppendStartTag(tag);
    return tag;
}

std::string TNanXMLElement::GetEndTag() const
{
    std::string tag;
    AppendEndTag(tag);
    return tag;
}

void TNanXMLCDATA::AppendXML(std::string& Out) const
{
    Out += "<![CDATA[";
    Out += text_;
    Out += "]]>";
}

std::size_t TNanXMLCDATA::XMLLength() const
{
    return text_.size() + 12;
}

void TNanXMLComment::AppendXML(std::string& Out) const
{
    Out += "<!--";
    Out += text_;
    Out += "-->";
}

std::size_t TNanXMLComment::XMLLength() const
{
    return text_.size() + 7;
}

void TNanXMLProcessingInstruction::AppendXML(std::string& Out) const
{
    Out += "<?";
    Out += target_;
    Out += ' ';
    Out += data_;
    Out += "?>";
}

std::size_t TNanXMLProcessingInstruction::XMLLength() const
{
    return target_.size() + data_.size() + 5;
}

void TNanXMLEntityReference::AppendXML(std::string& Out) const
{
    Out += '&';
    Out += name_;
    Out += ';';
}

// ---- the document file ----

void TNanXML::SaveToFile(const std::string& FileName, bool WithDeclaration)
{
    // The declaration goes straight into the output instead of into the tree, so that
    // saving twice does not leave two declarations behind.
    TMarkupFile file(FileName, encoding_, WithDeclaration);
    WriteMarkupBelow(*root_, file.Markup(), TMarkupFile::kPiece, [&file](std::string&) { file.WriteWhenFull(); });
    file.Commit();
}

std::size_t TNanXML::CountUnmappable() const
{
    std::size_t unmappable = 0;
    const auto count = [&unmappable](std::string& piece) {
        unmappable += platform::CountCp932Unmappable(piece);
        piece.clear();
    };
    std::string piece;
    WriteMarkupBelow(*root_, piece, TMarkupFile::kPiece, count);
    count(piece);
    return unmappable;
}

}  // namespace nanxml
