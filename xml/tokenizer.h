// The tokeniser of nanxml: character classes, the token reader used on names, tags and
// attribute values, and the scanner that cuts a whole document into tokens.
//
// Texts are UTF-8. Character classes follow Shift_JIS: a character is xtMultiByte exactly
// when CP932 writes it in two bytes. Both readers remember where the next closing delimiter
// lies, so a text full of openers that are never closed is still read in linear time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace nanxml {

enum TNanXMLTokenKind : std::uint8_t {
    xtNone,
    xtTag,
    xtQuoted,
    xtSpace,
    xtEquals,
    xtEntity,
    xtInstruction,
    xtComment,
    xtCDATA,
    xtName,
    xtMultiByte,
};

struct TNanXMLToken {
    TNanXMLTokenKind Kind = xtNone;
    std::string_view Text;  // a prefix of the text the token was read from
};

namespace detail {
constexpr std::array<TNanXMLTokenKind, 128> MakeAsciiClasses()
{
    std::array<TNanXMLTokenKind, 128> classes{};
    for (std::size_t c = 0; c < classes.size(); ++c) {
        classes[c] = c <= 0x20 ? xtSpace : xtName;
    }
    classes['<'] = xtTag;
    classes['"'] = xtQuoted;
    classes['='] = xtEquals;
    classes['&'] = xtEntity;
    return classes;
}

inline constexpr std::array<TNanXMLTokenKind, 128> kAsciiClasses = MakeAsciiClasses();
}  // namespace detail

// Class of the first character of Text; xtNone when Text is empty.
TNanXMLTokenKind CharClass(std::string_view Text);

// Class of the character at Text[Position]; Length receives its length in bytes.
// A malformed UTF-8 byte counts as one character of class xtName.
TNanXMLTokenKind CharClassAt(std::string_view Text, std::size_t Position, std::size_t& Length);

// When S begins with Prefix and ends with Suffix: removes both and returns true.
// Otherwise S stays as it is and the result is false.
bool StripDelimiters(std::string_view& S, std::string_view Prefix, std::string_view Suffix);

// First occurrence of a delimiter at or after a position, remembered between calls: as long
// as the positions asked for do not decrease, the text is searched only once in total.
class DelimiterCursor {
public:
    explicit DelimiterCursor(std::string_view delimiter) : delimiter_(delimiter) {}
    std::size_t Find(std::string_view text, std::size_t from)
    {
        return Find(text, from, [](std::size_t) { return true; });
    }
    // The first occurrence that accept(position) takes.
    template <class Accept>
    std::size_t Find(std::string_view text, std::size_t from, Accept&& accept)
    {
        if (!Remembers(from)) {
            searched_ = true;
            searchedFrom_ = from;
            found_ = Search(text, from);
            while (found_ != std::string_view::npos && !accept(found_)) found_ = Search(text, found_ + 1);
        }
        return found_;
    }

private:
    bool Remembers(std::size_t from) const
    {
        return searched_ && from >= searchedFrom_ && (found_ == std::string_view::npos || found_ >= from);
    }
    // By the delimiter's last byte, which is rare in text ("?>", "-->", "]]>" all end in
    // ">"), rather than by its first, which a hostile text may repeat millions of times.
    std::size_t Search(std::string_view text, std::size_t from) const
    {
        const std::size_t last = delimiter_.size() - 1;
        for (std::size_t at = from + last; at < text.size(); ++at) {
            at = text.find(delimiter_[last], at);
            if (at == std::string_view::npos) break;
            std::size_t matched = 0;
            while (matched < last && text[at - last + matched] == delimiter_[matched]) ++matched;
            if (matched == last) return at - last;
        }
        return std::string_view::npos;
    }

    std::string_view delimiter_;
    bool searched_ = false;
    std::size_t searchedFrom_ = 0;
    std::size_t found_ = 0;
};

// Reads one text token by token: instructions, comments, tags, quoted strings, entity
// references, and runs of characters of one class. No CDATA sections.
class TNanXMLTokenizer {
public:
    explicit TNanXMLTokenizer(std::string_view Text) : text_(Text) {}

    bool AtEnd() const { return position_ >= text_.size(); }
    std::string_view Rest() const { return text_.substr(position_); }
    // The token at the current position; moves past it. Inline: a tag may hold millions of
    // tokens, most of them a byte or two long.
    TNanXMLToken Next();

private:
    // End of the token opened by the openingLength bytes at the position and closed by the
    // next closing delimiter; 0 when none follows.
    std::size_t DelimitedEnd(std::size_t openingLength, DelimiterCursor& closing, std::size_t closingLength);

    std::string_view text_;
    std::size_t position_ = 0;
    DelimiterCursor instructionEnd_{"?>"};
    DelimiterCursor commentEnd_{"-->"};
    DelimiterCursor tagEnd_{">"};
    DelimiterCursor quoteEnd_{"\""};
    DelimiterCursor entityEnd_{";"};
};

inline std::size_t TNanXMLTokenizer::DelimitedEnd(std::size_t openingLength, DelimiterCursor& closing,
                                                  std::size_t closingLength)
{
    const std::size_t found = closing.Find(text_, position_ + openingLength);
    return found == std::string_view::npos ? 0 : found + closingLength;
}

[[gnu::always_inline]] inline TNanXMLToken TNanXMLTokenizer::Next()
{
    if (AtEnd()) return {};
    const std::size_t start = position_;
    const auto take = [&](TNanXMLTokenKind kind, std::size_t end) {
        position_ = end;
        return TNanXMLToken{kind, std::string_view(text_.data() + start, end - start)};
    };
    // The openers are told apart by their bytes, without a string comparison each: a tag
    // full of openers that close nothing is read as many tokens.
    switch (text_[start]) {
    case '<': {
        // Instructions and comments end in ">" too: with no ">" left, nothing opens here.
        const std::size_t tagEnd = DelimitedEnd(1, tagEnd_, 1);
        if (tagEnd == 0) break;
        const char second = start + 1 < text_.size() ? text_[start + 1] : '\0';
        if (second == '?') {
            if (std::size_t end = DelimitedEnd(2, instructionEnd_, 2)) return take(xtInstruction, end);
        } else if (second == '!' && text_.compare(start, 4, "<!--") == 0) {
            if (std::size_t end = DelimitedEnd(4, commentEnd_, 3)) return take(xtComment, end);
        }
        return take(xtTag, tagEnd);
    }
    case '"':
        if (std::size_t end = DelimitedEnd(1, quoteEnd_, 1)) return take(xtQuoted, end);
        break;
    case '&':
        if (std::size_t end = DelimitedEnd(1, entityEnd_, 1)) return take(xtEntity, end);
        break;
    default:
        break;
    }

    std::size_t length = 1;
    const auto lead = static_cast<unsigned char>(text_[start]);
    const TNanXMLTokenKind kind = lead < 0x80 ? detail::kAsciiClasses[lead] : CharClassAt(text_, start, length);
    std::size_t end = start + length;
    while (end < text_.size()) {
        const auto byte = static_cast<unsigned char>(text_[end]);
        if (byte < 0x80) {
            if (detail::kAsciiClasses[byte] != kind) break;
            ++end;
        } else {
            if (CharClassAt(text_, end, length) != kind) break;
            end += length;
        }
    }
    return take(kind, end);
}

// The first token of Text.
TNanXMLToken NextToken(std::string_view Text);

struct TNanXMLScannedToken {
    TNanXMLTokenKind Kind = xtNone;
    std::size_t Length = 0;
};

// Cuts a document into instructions, comments, CDATA sections, tags, entity references and
// text runs (kind xtName). A double quote in content is plain text: a quote without a
// partner must not swallow the markup that follows it.
//
// The text is UTF-8, or CP932 bytes when Cp932 is true. All delimiters but "]]>" consist of
// bytes that never occur inside a CP932 character; "]]>" is taken only where it begins a
// character.
class TNanXMLScanner {
public:
    explicit TNanXMLScanner(std::string_view Text, bool Cp932 = false) : text_(Text), cp932_(Cp932) {}
    // Kind and length of the token at Position. Linear overall when Position never decreases.
    TNanXMLScannedToken Scan(std::size_t Position);
    // For Position the end of a text token (kind xtName): how far the text goes on, token by
    // token, from there. Every token from Position up to the result is text too: markup
    // opens only at a "<" with a ">" somewhere after it or an "&" with a ";" after it. So
    // text full of openers that close nothing is read as one run. Linear overall, with Scan,
    // when the positions asked for never decrease.
    std::size_t TextRunEnd(std::size_t Position);

private:
    // End of the token whose content starts at contentStart and is closed by the next closing
    // delimiter; 0 when none follows.
    std::size_t DelimitedEnd(std::size_t contentStart, DelimiterCursor& closing, std::size_t closingLength);
    // Whether the text holds opening at position; a fixed-size comparison the compiler inlines.
    template <std::size_t N>
    bool OpensAt(std::size_t position, const char (&opening)[N]) const
    {
        return text_.size() - position >= N - 1 && std::memcmp(text_.data() + position, opening, N - 1) == 0;
    }
    std::size_t CdataEnd(std::size_t position);
    bool StartsCp932Character(std::size_t position, std::size_t knownStart);

    std::string_view text_;
    bool cp932_;
    std::size_t characterStart_ = 0;  // a CP932 character start, only ever moved forward
    bool lastClosersFound_ = false;
    std::size_t lastGreater_ = 0;     // the last ">" of the text, or npos
    std::size_t lastSemicolon_ = 0;   // the last ";" of the text, or npos
    DelimiterCursor instructionEnd_{"?>"};
    DelimiterCursor commentEnd_{"-->"};
    DelimiterCursor cdataEnd_{"]]>"};
    DelimiterCursor tagEnd_{">"};
    DelimiterCursor entityEnd_{";"};
    DelimiterCursor nextTag_{"<"};
    DelimiterCursor nextEntity_{"&"};
};

// Kind and length of the document token at Position, for a single look.
TNanXMLScannedToken ScanToken(std::string_view Text, std::size_t Position);

// True when every character of Name is of class xtName (and there is at least one): the
// name is exactly one name token, so it reads back as written.
bool IsValidName(std::string_view Name);

// False when reading Value token by token meets a tag token: a "<" is allowed only inside
// an instruction, comment, quoted string or entity reference.
bool IsValidAttributeValue(std::string_view Value);

}  // namespace nanxml
