// The markup of nodes and the writing of a document file.
#include "xml/nanxml.h"

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "xml/line_breaks.h"
#include "xml/tree_walk.h"

namespace nanxml {

namespace {

// Markup is encoded to Shift_JIS in pieces of about this size: the whole markup and its
// encoded copy are never held at once, and a piece stays in the cache while it is encoded
// and checked.
constexpr std::size_t kEncodingChunk = 32 << 10;

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

std::string Declaration(TDocumentEncoding encoding)
{
    TNanXMLProcessingInstruction declaration;
    declaration.SetTarget("xml");
    declaration.SetData(std::string("version=\"1.0\" encoding=\"") +
                        (encoding == deUTF8 ? "UTF-8" : "Shift_JIS") + "\"");
    return declaration.GetXML();
}

// The bytes of a Shift_JIS file: the markup in CP932, every line followed by CR LF.
std::string ShiftJisFile(const TNanXMLParentNode& root, const std::string& declaration)
{
    std::string file;
    file.reserve(declaration.size() + MarkupLengthBelow(root) + 2);  // CP932 is never longer
    // Line breaks are checked piece by piece while the piece is at hand; a piece that is not
    // plain CR LF by itself sends the whole file through the normaliser.
    bool onlyCrLf = true;
    const auto encode = [&](std::string& piece) {
        const std::size_t encodedStart = file.size();
        platform::EncodeCp932(piece, file);
        onlyCrLf = onlyCrLf && HasOnlyCrLfBreaks(std::string_view(file).substr(encodedStart));
        piece.clear();
    };
    std::string piece = declaration;
    piece.reserve(kEncodingChunk + 4096);
    WriteMarkupBelow(root, piece, kEncodingChunk, encode);
    encode(piece);
    if (!onlyCrLf) return NormalisedLines(file);
    if (!file.empty() && !file.ends_with("\r\n")) file += "\r\n";
    return file;
}

// The bytes of a UTF-8 file: the markup as it stands, without NUL characters.
std::string Utf8File(const TNanXMLParentNode& root, const std::string& declaration)
{
    std::string file;
    file.reserve(declaration.size() + MarkupLengthBelow(root));
    file += declaration;
    WriteMarkupBelow(root, file, std::string::npos, [](std::string&) {});
    RemoveNuls(file);
    return file;
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
    for (const TNanXMLAttribute& attribute : attributes_) {
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
    for (const TNanXMLAttribute& attribute : attributes_) {
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
    const std::string declaration = WithDeclaration ? Declaration(encoding_) : std::string();
    const std::string file = encoding_ == deUTF8 ? Utf8File(*root_, declaration) : ShiftJisFile(*root_, declaration);
    platform::SafeReplaceFile(FileName, file);
}

std::size_t TNanXML::CountUnmappable() const
{
    std::size_t unmappable = 0;
    const auto count = [&unmappable](std::string& piece) {
        unmappable += platform::CountCp932Unmappable(piece);
        piece.clear();
    };
    std::string piece;
    WriteMarkupBelow(*root_, piece, kEncodingChunk, count);
    count(piece);
    return unmappable;
}

}  // namespace nanxml
