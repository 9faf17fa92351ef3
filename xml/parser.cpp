// Reading markup: the node readers (Parse) and the document loader.
#include "xml/nanxml.h"

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/released_pages.h"
#include "platform/utf8.h"
#include "platform/ascii_case.h"
#include "xml/file_text.h"
#include "xml/line_breaks.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace nanxml {

using platform::AsciiLower;
using platform::EqualsIgnoringAsciiCase;

// ---- node readers ----

namespace {
constexpr std::size_t kLongTag = 1 << 16;
// The most attributes room is made for at once (128 MiB); a list beyond this grows as read.
constexpr std::size_t kMostReservedAttributes = 1 << 23;
// Attributes of a tag up to this long cannot be refused for their length (see
// TNanXMLAttribute::CheckLengths), so they may be read later.
constexpr std::size_t kLongestLazyTag = std::size_t{1} << 31;

// Whether a byte may belong to a name token: neither a space nor one of the bytes that open
// another kind of token. Bytes of multi-byte characters count, whatever their class.
constexpr bool MayBeInName(unsigned char c) { return c > 0x20 && c != '<' && c != '"' && c != '=' && c != '&'; }

// How many runs of bytes that may belong to names a tag holds outside quoted values: every
// attribute begins one, so this is how many attributes the tag can give at most (a run
// holding characters of two classes gives more than one name, and a list then grows beyond
// it). A tag long because of a long value, quoted or of one word, gets little room; one
// packed with names gets what it will fill.
std::size_t CountNameRuns(std::string_view text)
{
    std::size_t runs = 0;
    std::size_t i = 0;
    std::uint32_t previous = 0;  // whether the byte before the block may belong to a name
    std::uint32_t quoted = 0;    // whether the block starts inside a quoted value
#ifdef __SSE2__
    // Sixteen bytes at a time, a bit for each: the name bytes not preceded by one start runs.
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i signBit = _mm_set1_epi8(static_cast<char>(0x80));
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        // Unsigned "above 0x20" through a signed compare with the sign bits flipped.
        const __m128i aboveSpace = _mm_cmpgt_epi8(_mm_xor_si128(bytes, signBit), _mm_xor_si128(space, signBit));
        const __m128i opener = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('<')),
                                                         _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))),
                                            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('=')),
                                                         _mm_cmpeq_epi8(bytes, _mm_set1_epi8('&'))));
        // Inside quotes: from an opening quote up to its closing one, by a running parity.
        std::uint32_t inside = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))));
        inside ^= inside << 1;
        inside ^= inside << 2;
        inside ^= inside << 4;
        inside ^= inside << 8;
        inside = (inside ^ (0u - quoted)) & 0xFFFF;
        quoted = inside >> 15;
        const auto name =
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_andnot_si128(opener, aboveSpace))) & ~inside;
        std::uint32_t starts = name & ~((name << 1) | previous) & 0xFFFF;
        // Counted by halving, as a popcount instruction may not be there to use.
        starts -= (starts >> 1) & 0x5555;
        starts = (starts & 0x3333) + ((starts >> 2) & 0x3333);
        starts = (starts + (starts >> 4)) & 0x0F0F;
        runs += (starts + (starts >> 8)) & 0x1F;
        previous = name >> 15;
    }
#endif
    for (; i < text.size(); ++i) {
        quoted ^= text[i] == '"';
        const std::uint32_t name = !quoted && MayBeInName(static_cast<unsigned char>(text[i]));
        runs += name & ~previous;
        previous = name;
    }
    return runs;
}

// Reads attributes from the markup after a tag's name, token by token: a name token starts
// an attribute, a quoted string after it (an equals sign between them or not) gives its
// value, until a later one replaces it, and any other token ends it. onName(name) for each
// attribute, onValue(value) for each value given to the last one started.
template <class OnName, class OnValue>
void ReadAttributeTokens(std::string_view markup, OnName&& onName, OnValue&& onValue)
{
    TNanXMLTokenizer tokens(markup);
    bool pending = false;
    while (!tokens.AtEnd()) {
        const TNanXMLToken token = tokens.Next();
        switch (token.Kind) {
        case xtName:
            onName(token.Text);
            pending = true;
            break;
        case xtQuoted:
            if (pending) {
                std::string_view value = token.Text;
                StripDelimiters(value, "\"", "\"");
                onValue(value);
            }
            break;
        case xtEquals:
            break;
        default:
            pending = false;
            break;
        }
    }
}

[[noreturn]] void ThrowInvalidValue(std::string_view value)
{
    throw ENanXMLInvalidStringException("値が不正です", value);
}

// Refuses the markup's first attribute whose value may hold a tag, as it reads, without
// keeping the attributes.
void CheckAttributeValues(std::string_view markup)
{
    // A value that holds no "<" passes, and one without quotes has no value at all.
    if (markup.find('<') == std::string_view::npos || markup.find('"') == std::string_view::npos) return;
    std::string_view value;
    const auto check = [&value] {
        if (value.find('<') != std::string_view::npos && !IsValidAttributeValue(value)) ThrowInvalidValue(value);
    };
    ReadAttributeTokens(
        markup,
        [&](std::string_view) {
            check();
            value = {};
        },
        [&](std::string_view given) { value = given; });
    check();
}

// The attributes of the markup after a tag's name, in order; true when a value may hold a
// tag (one that holds "<"), which the caller must then check.
bool ReadAttributesOf(std::string_view markup, std::vector<TNanXMLAttribute>& attributes)
{
    // The attributes are gathered in a list kept from tag to tag and then copied at their
    // exact number: one allocation per tag rather than one for each time the list grows.
    thread_local std::vector<TNanXMLAttribute> gathered;
    gathered.clear();
    // A long tag gets room for as many attributes as it can give at once, hands over the
    // list itself, and gives back what it did not use: a list grown step by step would be
    // copied at every step, and the memory of each copy touched anew.
    const bool longTag = markup.size() > kLongTag;
    if (longTag) gathered.reserve(std::min(CountNameRuns(markup), kMostReservedAttributes));
    bool mayHoldTag = false;
    ReadAttributeTokens(
        // A name token is a whole run of name characters: it passes the name rule.
        markup, [&](std::string_view name) { gathered.emplace_back(name, std::string_view()); },
        [&](std::string_view value) {
            gathered.back().SetValue(value);
            mayHoldTag = mayHoldTag || value.find('<') != std::string_view::npos;
        });
    if (longTag) {
        attributes.swap(gathered);
        if (attributes.capacity() > 2 * attributes.size()) attributes.shrink_to_fit();
    } else {
        attributes.assign(std::make_move_iterator(gathered.begin()), std::make_move_iterator(gathered.end()));
    }
    gathered.clear();
    if (gathered.capacity() > 256) gathered.shrink_to_fit();  // the room a long tag made
    return mayHoldTag;
}

}  // namespace

bool TNanXMLElement::Parse(std::string_view Source)
{
    std::string_view content = Source;
    if (!StripDelimiters(content, "<", ">") || content.empty()) return false;

    // Nothing changes until the name, the first name token, is found; from then on the tag
    // is accepted.
    TNanXMLTokenizer tokens(content);
    TNanXMLToken name;
    while (!tokens.AtEnd() && name.Kind != xtName) name = tokens.Next();
    if (name.Kind != xtName) return false;
    SetName(name.Text);
    ClearAttributes();
    // The tokens after the name are cut as they were in the whole tag: a token is found by
    // reading forwards only.
    const std::string_view markup = tokens.Rest();
    if (markup.size() > kLongTag && markup.size() < kLongestLazyTag) {
        // Checked now, read when asked for.
        CheckAttributeValues(markup);
        unreadAttributes_ = std::make_unique<std::string>(markup);
        return true;
    }
    // Values are checked once all are read, as a value may still be replaced by a later
    // quoted string.
    if (!ReadAttributesOf(markup, attributes_)) return true;
    for (const TNanXMLAttribute& attribute : attributes_) {
        if (!IsValidAttributeValue(attribute.Value())) ThrowInvalidValue(attribute.Value());
    }
    return true;
}

void TNanXMLElement::ReadUnreadAttributes() const
{
    const std::unique_ptr<std::string> markup = std::move(unreadAttributes_);
    ReadAttributesOf(*markup, attributes_);
}

bool TNanXMLProcessingInstruction::Parse(std::string_view Source)
{
    std::string_view content = Source;
    StripDelimiters(content, "<?", "?>");
    TNanXMLTokenizer tokens(content);
    const TNanXMLToken target = tokens.Next();
    if (target.Kind != xtName) return false;
    if (tokens.Next().Kind != xtSpace) return false;
    const std::string_view data = tokens.Rest();
    // Both are checked before either is stored, so a refused instruction stays as it was.
    if (!IsValidName(target.Text) || data.find("?>") != std::string_view::npos) return false;
    SetTarget(target.Text);
    SetData(data);
    return true;
}

bool TNanXMLComment::Parse(std::string_view Source)
{
    std::string_view content = Source;
    StripDelimiters(content, "<!--", "-->");
    if (content.find("-->") != std::string_view::npos) return false;
    SetContent(content);
    return true;
}

bool TNanXMLCDATA::Parse(std::string_view Source)
{
    std::string_view content = Source;
    StripDelimiters(content, "<![CDATA[", "]]>");
    if (content.find("]]>") != std::string_view::npos) return false;
    SetContent(content);
    return true;
}

// ---- the document loader ----

namespace {

void FoldAsciiCase(std::string_view name, std::string& folded)
{
    folded.assign(name);
    for (char& c : folded) c = AsciiLower(c);
}

std::string_view TrimControls(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
    return text;
}


}  // namespace

// Builds the tree from the document text, token by token. The text is UTF-8, or CP932
// bytes that are decoded piece by piece as nodes are made, so that no decoded copy of the
// whole text is ever held.
class DocumentBuilder {
public:
    DocumentBuilder(TNanXMLParentNode& root, bool cp932) : root_(root), cp932_(cp932) {}

    // With pages, the text lies in a buffer whose passed pages may be released. Returns the
    // top-level element that the text left open (a file cut short), or null.
    TNanXMLElement* Build(std::string_view text, bool addFinalLineBreak, platform::PassedPages* pages)
    {
        // Elements left open, also by a refused tag, get the children read so far.
        try {
            BuildNodes(text, addFinalLineBreak, pages);
        } catch (...) {
            while (!open_.empty()) PopOpen();
            throw;
        }
        TNanXMLElement* unclosed = open_.empty() ? nullptr : open_.front().element;
        while (!open_.empty()) PopOpen();
        return unclosed;
    }

private:
    void BuildNodes(std::string_view text, bool addFinalLineBreak, platform::PassedPages* pages)
    {
        TNanXMLScanner scanner(text, cp932_);
        std::size_t position = 0;
        while (position < text.size()) {
            if (pages != nullptr) pages->Passed(pendingText_.empty() ? text.data() + position : pendingText_.data());
            const TNanXMLScannedToken scanned = scanner.Scan(position);
            std::string_view token = text.substr(position, scanned.Length);
            position += scanned.Length;
            if (scanned.Kind == xtName) {
                // So is the text after it, up to where markup may open: taken at once.
                const std::size_t runEnd = scanner.TextRunEnd(position);
                token = std::string_view(token.data(), token.size() + (runEnd - position));
                position = runEnd;
                // Text tokens that follow one another lie side by side in the text.
                if (pendingText_.empty()) pendingText_ = token;
                else pendingText_ = std::string_view(pendingText_.data(), pendingText_.size() + token.size());
                continue;
            }
            FlushText({});
            switch (scanned.Kind) {
            case xtTag:
                HandleTag(token);
                break;
            case xtEntity:
                Add(MakeEntityReference(Decoded(token)));
                break;
            case xtInstruction: {
                auto instruction = std::make_unique<TNanXMLProcessingInstruction>();
                if (instruction->Parse(Decoded(token))) Add(std::move(instruction));
                break;
            }
            case xtComment: {
                std::string_view content = token;
                StripDelimiters(content, "<!--", "-->");
                auto comment = std::make_unique<TNanXMLComment>();
                comment->SetContent(Decoded(content));
                Add(std::move(comment));
                break;
            }
            case xtCDATA: {
                std::string_view content = token;
                StripDelimiters(content, "<![CDATA[", "]]>");
                auto section = std::make_unique<TNanXMLCDATA>();
                section->SetContent(Decoded(content));
                Add(std::move(section));
                break;
            }
            default:
                break;
            }
        }
        // The final line break is added here rather than to the text: a line break closes
        // no token, so it only ever extends the last text.
        FlushText(addFinalLineBreak ? "\r\n" : "");
    }

    struct OpenElement {
        TNanXMLElement* element;
        std::vector<std::size_t>* depthsOfName;  // in openByName_
    };

    // The children of an open element are gathered in a list kept for its depth and handed
    // over when it closes, at their exact number; the root takes its children at once.
    template <class Node>
    Node* Add(std::unique_ptr<Node> node)
    {
        if (open_.empty()) return root_.Adopt(std::move(node));
        Node* raw = node.get();
        gathered_[open_.size() - 1].push_back(std::move(node));
        return raw;
    }

    static std::unique_ptr<TNanXMLEntityReference> MakeEntityReference(std::string_view name)
    {
        auto reference = std::make_unique<TNanXMLEntityReference>();
        reference->SetName(name);
        return reference;
    }

    // A piece of the text as UTF-8; valid until the next call.
    std::string_view Decoded(std::string_view piece)
    {
        if (!cp932_) return piece;
        platform::DecodeCp932(piece, decoded_);
        return decoded_;
    }

    void FlushText(std::string_view more)
    {
        if (pendingText_.empty() && more.empty()) return;
        const std::string_view text = Decoded(pendingText_);
        std::string content;  // sized exactly: text nodes hold most of a document
        content.reserve(text.size() + more.size());
        content += text;
        content += more;
        Add(std::make_unique<TNanXMLText>(std::move(content)));
        pendingText_ = {};
    }

    void HandleTag(std::string_view tag)
    {
        if (tag.starts_with("</")) {
            Close(Decoded(TrimControls(tag.substr(2, tag.size() - 3))));
            return;
        }
        const bool empty = tag.ends_with("/>");
        tag = Decoded(tag);
        if (empty) {
            emptyTag_.assign(tag.substr(0, tag.size() - 2));
            emptyTag_ += '>';
            tag = emptyTag_;
        }
        auto element = std::make_unique<TNanXMLElement>();
        if (!element->Parse(tag)) return;
        TNanXMLElement* added = Add(std::move(element));
        if (!empty) Open(added);
    }

    void Open(TNanXMLElement* element)
    {
        FoldAsciiCase(element->Name(), key_);
        std::vector<std::size_t>& depths = openByName_[key_];
        depths.push_back(open_.size());
        open_.push_back({element, &depths});
        if (gathered_.size() < open_.size()) gathered_.emplace_back();
    }

    // Closes the innermost open element of that name with every element opened inside it;
    // an end tag that matches no open element changes nothing.
    void Close(std::string_view name)
    {
        if (!open_.empty() && EqualsIgnoringAsciiCase(open_.back().element->Name(), name)) {
            PopOpen();  // the usual case: the innermost element
            return;
        }
        FoldAsciiCase(name, key_);
        const auto found = openByName_.find(key_);
        if (found == openByName_.end() || found->second.empty()) return;
        const std::size_t depth = found->second.back();
        while (open_.size() > depth) PopOpen();
    }

    void PopOpen()
    {
        open_.back().element->AdoptAll(gathered_[open_.size() - 1]);
        open_.back().depthsOfName->pop_back();
        open_.pop_back();
    }

    TNanXMLParentNode& root_;
    const bool cp932_;
    std::vector<OpenElement> open_;
    std::vector<TNanXMLNodeList::Storage> gathered_;  // by depth in open_
    // Depths in open_ of the open elements, by name without ASCII letter case: an end tag
    // finds its element at once however deep the nesting.
    std::unordered_map<std::string, std::vector<std::size_t>> openByName_;
    std::string key_;
    std::string emptyTag_;
    std::string decoded_;
    std::string_view pendingText_;
};

namespace {

// Reads a document from text, the NUL-free form of source (the bytes given).
void LoadText(TNanXML& xml, std::string_view text, std::string_view source)
{
    xml.Clear();
    const detail::DocumentStart start = detail::FindDocumentStart(text);
    if (start.declared) xml.SetEncoding(*start.declared);
    const bool utf8 = start.declared == deUTF8;
    if (utf8) {
        std::size_t malformed = platform::FindInvalidUtf8(text);
        if (malformed != std::string_view::npos) {
            if (text.data() != source.data()) malformed = SourceOffset(source, malformed, false);
            detail::ThrowMalformedUtf8({}, malformed);
        }
    }
    xml.SetUnclosedElement(DocumentBuilder(xml.Root(), !utf8).Build(text.substr(start.bodyStart), false, nullptr));
}

}  // namespace

void TNanXML::LoadFromString(std::string_view Text)
{
    if (Text.find('\0') == std::string_view::npos) {
        LoadText(*this, Text, Text);
        return;
    }
    std::string withoutNuls(Text);
    RemoveNuls(withoutNuls);
    LoadText(*this, withoutNuls, Text);
}

void TNanXML::LoadFromFile(const std::string& FileName)
{
    TNanXMLFileText text(FileName);
    LoadFromFileText(text);
}

void TNanXML::LoadFromFileText(TNanXMLFileText& Text)
{
    Clear();
    if (const std::optional<TDocumentEncoding> declared = Text.Declared()) SetEncoding(*declared);
    Text.CheckUtf8();
    platform::PassedPages pages(Text.Buffer());
    SetUnclosedElement(DocumentBuilder(Root(), Text.Cp932()).Build(Text.Body(), Text.AddFinalLineBreak(), &pages));
}

}  // namespace nanxml
