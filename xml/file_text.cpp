#include "xml/file_text.h"

#include "platform/ascii_case.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/utf8.h"
#include "xml/line_breaks.h"

namespace nanxml {

namespace detail {

namespace {

// The encoding a declaration's data names: "encoding=" followed at once by a quoted name,
// exactly "Shift_JIS", or "UTF-8" in any letter case (as many tools write it).
std::optional<TDocumentEncoding> DeclaredEncoding(std::string_view data)
{
    const std::string_view key = "encoding=";
    const std::size_t at = data.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    const TNanXMLToken token = NextToken(data.substr(at + key.size()));
    if (token.Kind != xtQuoted) return std::nullopt;
    std::string_view name = token.Text;
    StripDelimiters(name, "\"", "\"");
    if (name == "Shift_JIS") return deShiftJIS;
    if (platform::EqualsIgnoringAsciiCase(name, "UTF-8")) return deUTF8;
    return std::nullopt;
}

}  // namespace

DocumentStart FindDocumentStart(std::string_view text)
{
    // A UTF-8 byte-order mark, as other tools write one, says UTF-8 whatever follows; it is
    // no part of the text.
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    const bool bom = text.starts_with(kUtf8Bom);
    DocumentStart start;
    start.bodyStart = bom ? kUtf8Bom.size() : 0;

    // A leading instruction is consumed whatever it is; only an "xml" one with a known
    // encoding name counts as the declaration. Its delimiters are ASCII in both encodings.
    const TNanXMLScannedToken first = ScanToken(text, start.bodyStart);
    if (first.Kind == xtInstruction) {
        const std::string_view declaration = text.substr(start.bodyStart, first.Length);
        start.bodyStart += first.Length;
        TNanXMLProcessingInstruction instruction;
        if (instruction.Parse(platform::DecodeCp932(declaration)) && instruction.Target() == "xml") {
            start.declared = DeclaredEncoding(instruction.Data());
        }
    }
    if (bom) start.declared = deUTF8;
    return start;
}

void ThrowMalformedUtf8(std::string_view fileName, std::size_t offset)
{
    const std::string where = "(オフセット " + std::to_string(offset) + ")";
    if (fileName.empty()) throw ENanXMLException("UTF-8 として正しくないバイト列があります " + where);
    throw ENanXMLException("ファイル " + std::string(fileName) + " に UTF-8 として正しくないバイト列があります " + where);
}

}  // namespace detail

TNanXMLFileText::TNanXMLFileText(const std::string& FileName) : fileName_(FileName)
{
    std::string bytes = platform::ReadWholeFile(FileName);
    if (HasOnlyCrLfBreaks(bytes)) {
        addFinalLineBreak_ = !bytes.empty() && !bytes.ends_with("\r\n");
        text_ = std::move(bytes);
    } else {
        text_ = NormalisedLines(bytes);
        bytes_ = std::move(bytes);
    }
    const detail::DocumentStart start = detail::FindDocumentStart(text_);
    bodyStart_ = start.bodyStart;
    declared_ = start.declared;
}

void TNanXMLFileText::CheckUtf8()
{
    if (declared_ == deUTF8 && !checked_) {
        std::size_t malformed = platform::FindInvalidUtf8(text_);
        if (malformed != std::string_view::npos) {
            if (!bytes_.empty()) malformed = SourceOffset(bytes_, malformed, true);
            detail::ThrowMalformedUtf8(fileName_, malformed);
        }
    }
    checked_ = true;
    bytes_.clear();
    bytes_.shrink_to_fit();
}

}  // namespace nanxml
