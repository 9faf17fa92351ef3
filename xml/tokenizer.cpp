#include "xml/tokenizer.h"

#include "platform/codepage.h"
#include "platform/utf8.h"

#include <algorithm>
#include <array>

namespace nanxml {

namespace {

using detail::kAsciiClasses;

bool IsMarkupByte(char c) { return c == '<' || c == '&'; }

}  // namespace

TNanXMLTokenKind CharClassAt(std::string_view Text, std::size_t Position, std::size_t& Length)
{
    const auto lead = static_cast<unsigned char>(Text[Position]);
    if (lead < 0x80) {
        Length = 1;
        return kAsciiClasses[lead];
    }
    std::size_t next = Position;
    char32_t codePoint = 0;
    const bool valid = platform::TryNextCodePoint(Text, next, codePoint);
    if (!valid) {
        Length = 1;
        return xtName;
    }
    Length = next - Position;
    return platform::IsCp932DoubleByte(codePoint) ? xtMultiByte : xtName;
}

TNanXMLTokenKind CharClass(std::string_view Text)
{
    if (Text.empty()) return xtNone;
    std::size_t length = 0;
    return CharClassAt(Text, 0, length);
}

bool StripDelimiters(std::string_view& S, std::string_view Prefix, std::string_view Suffix)
{
    if (!S.starts_with(Prefix) || !S.ends_with(Suffix)) return false;
    S.remove_prefix(Prefix.size());
    // A lone double quote stripped of quotes on both sides is left empty.
    if (S.ends_with(Suffix)) S.remove_suffix(Suffix.size());
    return true;
}

TNanXMLToken NextToken(std::string_view Text)
{
    return TNanXMLTokenizer(Text).Next();
}

std::size_t TNanXMLScanner::DelimitedEnd(std::size_t contentStart, DelimiterCursor& closing, std::size_t closingLength)
{
    const std::size_t found = closing.Find(text_, contentStart);
    return found == std::string_view::npos ? 0 : found + closingLength;
}

TNanXMLScannedToken TNanXMLScanner::Scan(std::size_t Position)
{
    if (Position >= text_.size()) return {};
    const auto token = [&](TNanXMLTokenKind kind, std::size_t end) {
        return TNanXMLScannedToken{kind, end - Position};
    };
    // The openers are told apart by their bytes, without a string comparison each.
    const char first = text_[Position];
    if (first == '<') {
        const char second = Position + 1 < text_.size() ? text_[Position + 1] : '\0';
        if (second == '?') {
            if (std::size_t end = DelimitedEnd(Position + 2, instructionEnd_, 2)) return token(xtInstruction, end);
        } else if (second == '!') {
            if (OpensAt(Position, "<!--")) {
                if (std::size_t end = DelimitedEnd(Position + 4, commentEnd_, 3)) return token(xtComment, end);
            }
            if (std::size_t end = CdataEnd(Position)) return token(xtCDATA, end);
        }
        if (std::size_t end = DelimitedEnd(Position + 1, tagEnd_, 1)) return token(xtTag, end);
    } else if (first == '&') {
        if (std::size_t end = DelimitedEnd(Position + 1, entityEnd_, 1)) return token(xtEntity, end);
    }

    // A text run: either plain characters up to the next "<" or "&", or a run of "<" and
    // "&" that open nothing.
    std::size_t end = Position + 1;
    if (IsMarkupByte(first)) {
        while (end < text_.size() && IsMarkupByte(text_[end])) ++end;
    } else {
        end = std::min(nextTag_.Find(text_, end), nextEntity_.Find(text_, end));
        if (end == std::string_view::npos) end = text_.size();
    }
    return token(xtName, end);
}

std::size_t TNanXMLScanner::TextRunEnd(std::size_t Position)
{
    if (!lastClosersFound_) {
        lastGreater_ = text_.rfind('>');
        lastSemicolon_ = text_.rfind(';');
        lastClosersFound_ = true;
    }
    // The first "<" or "&" from Position on that opens markup: every token before it is text.
    std::size_t opener = text_.size();
    const std::size_t tag = nextTag_.Find(text_, Position);
    if (tag != std::string_view::npos && lastGreater_ != std::string_view::npos && tag < lastGreater_) opener = tag;
    const std::size_t entity = nextEntity_.Find(text_, Position);
    if (entity != std::string_view::npos && lastSemicolon_ != std::string_view::npos && entity < lastSemicolon_) {
        opener = std::min(opener, entity);
    }
    // A run of "<" and "&" just before it is one text token with it (an "&" that closes
    // nothing takes the "<" after it along): the run ends before them.
    std::size_t end = opener;
    while (end > Position && IsMarkupByte(text_[end - 1])) --end;
    return end;
}

std::size_t TNanXMLScanner::CdataEnd(std::size_t position)
{
    if (!OpensAt(position, "<![CDATA[")) return 0;
    const std::size_t contentStart = position + 9;
    const std::size_t found =
        cp932_ ? cdataEnd_.Find(text_, contentStart,
                                [&](std::size_t at) { return StartsCp932Character(at, contentStart); })
               : cdataEnd_.Find(text_, contentStart);
    return found == std::string_view::npos ? 0 : found + 3;
}

// Whether position begins a CP932 character, walking characters from knownStart (or from
// where the last walk ended) on. Characters are cut as DecodeCp932 cuts them.
bool TNanXMLScanner::StartsCp932Character(std::size_t position, std::size_t knownStart)
{
    if (characterStart_ < knownStart) characterStart_ = knownStart;
    while (characterStart_ < position) {
        const auto lead = static_cast<unsigned char>(text_[characterStart_]);
        const bool leadByte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        std::size_t length = 1;
        if (leadByte && characterStart_ + 1 < text_.size()) {
            const auto trail = static_cast<unsigned char>(text_[characterStart_ + 1]);
            // An unmapped pair with an ASCII second byte leaves that byte a character of its own.
            const bool pair = trail >= 0x80 ||
                              !platform::DecodeCp932(text_.substr(characterStart_, 2)).starts_with("\xEF\xBF\xBD");
            length = pair ? 2 : 1;
        }
        characterStart_ += length;
    }
    return characterStart_ == position;
}

TNanXMLScannedToken ScanToken(std::string_view Text, std::size_t Position)
{
    return TNanXMLScanner(Text).Scan(Position);
}

bool IsValidName(std::string_view Name)
{
    if (Name.empty()) return false;
    std::size_t position = 0;
    // ASCII, as most names are, by the table alone.
    while (position < Name.size() && static_cast<unsigned char>(Name[position]) < 0x80) {
        if (kAsciiClasses[static_cast<unsigned char>(Name[position])] != xtName) return false;
        ++position;
    }
    while (position < Name.size()) {
        std::size_t length = 0;
        if (CharClassAt(Name, position, length) != xtName) return false;
        position += length;
    }
    return true;
}

bool IsValidAttributeValue(std::string_view Value)
{
    if (Value.find('<') == std::string_view::npos) return true;
    TNanXMLTokenizer tokens(Value);
    while (!tokens.AtEnd()) {
        if (tokens.Next().Kind == xtTag) return false;
    }
    return true;
}

}  // namespace nanxml
