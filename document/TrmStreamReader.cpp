#include "document/TrmStreamReader.h"

#include "document/NodeNameEscaping.h"
#include "platform/codepage.h"
#include "xml/tokenizer.h"

#include <string>
#include <vector>

namespace document {

namespace {

using nanxml::TNanXMLScannedToken;

// The attributes of a node element that the document reads.
struct NodeTag {
    std::optional<std::string_view> name, expanded, selstart, sellength, selected;
    bool empty = false;  // "<node .../>"
};

// A start tag "<node" followed by attributes ' key="value"' and then ">" or "/>": keys of
// lower-case ASCII letters (so no letter case to fold), values holding neither a double
// quote nor "<". The XML reader reads such a tag into the same names and values, in order;
// false for any other tag. A key the document reads may occur only once.
bool ParseNodeTag(std::string_view tag, NodeTag& out) {
    constexpr std::string_view kStart = "<node";
    if (!tag.starts_with(kStart) || tag.size() >= (std::size_t{1} << 31)) return false;
    out.empty = tag.ends_with("/>");
    const std::size_t end = tag.size() - (out.empty ? 2 : 1);
    std::size_t i = kStart.size();
    while (i < end) {
        if (tag[i++] != ' ') return false;
        const std::size_t keyStart = i;
        while (i < end && tag[i] >= 'a' && tag[i] <= 'z') ++i;
        if (i == keyStart || i + 1 >= end || tag[i] != '=' || tag[i + 1] != '"') return false;
        const std::string_view key = tag.substr(keyStart, i - keyStart);
        i += 2;
        const std::size_t valueStart = i;
        while (i < end && tag[i] != '"') {
            if (tag[i++] == '<') return false;
        }
        if (i == end) return false;
        const std::string_view value = tag.substr(valueStart, i - valueStart);
        ++i;
        std::optional<std::string_view>* slot = key == "name"        ? &out.name
                                                : key == "expanded"  ? &out.expanded
                                                : key == "selstart"  ? &out.selstart
                                                : key == "sellength" ? &out.sellength
                                                : key == "selected"  ? &out.selected
                                                                     : nullptr;
        if (slot == nullptr) continue;
        if (slot->has_value()) return false;  // the first one would count: left to the XML reader
        *slot = value;
    }
    return i == end;
}

// An empty element "<file .../>" with no "<" inside: the XML reader accepts it and no value
// of it can hold a tag (nor be too long to hold). The document does not read it.
bool IsFileTag(std::string_view tag) {
    return (tag.starts_with("<file ") || tag == "<file/>") && tag.ends_with("/>") &&
           tag.size() < (std::size_t{1} << 31) && tag.find('<', 1) == std::string_view::npos;
}

class UsualDocumentReader {
public:
    UsualDocumentReader(std::string_view body, bool cp932, platform::PassedPages* pages)
        : body_(body), cp932_(cp932), pages_(pages), scanner_(body, cp932) {}

    bool Read(OpenedDocument& doc) {
        doc_ = &doc;
        doc.selected = &doc.tree.Root();
        std::size_t position = 0;
        while (position < body_.size()) {
            // Nothing before the text still being gathered is read again.
            if (pages_ != nullptr) pages_->Passed(pendingText_.empty() ? body_.data() + position : pendingText_.data());
            const TNanXMLScannedToken scanned = scanner_.Scan(position);
            const std::string_view token = body_.substr(position, scanned.Length);
            position += scanned.Length;
            switch (scanned.Kind) {
            case nanxml::xtName:
                if (where_ == Where::text) pendingText_ = Joined(pendingText_, token);
                break;  // text elsewhere is no part of the document
            case nanxml::xtEntity:
                if (where_ == Where::text) {
                    FlushText();
                    const std::string_view reference = Decoded(token);
                    content_ += nanxml::EntityCharacter(reference.substr(1, reference.size() - 2));
                }
                break;
            case nanxml::xtTag:
                if (!Tag(Decoded(token))) return false;
                break;
            default:
                return false;
            }
        }
        return where_ == Where::after;
    }

private:
    enum class Where { top, velmora, node, text, after };

    struct OpenNode {
        TreeNode* node;
        bool expanded;
        bool textRead;
    };

    bool Tag(std::string_view tag) {
        switch (where_) {
        case Where::top:
            if (tag != "<velmora>") return false;
            where_ = Where::velmora;
            return true;
        case Where::velmora:
            if (IsFileTag(tag)) return true;
            if (tag == "</velmora>") {
                where_ = Where::after;
                return true;
            }
            if (rootRead_) return false;  // a second top-level node: counted by the XML reader
            rootRead_ = true;
            return StartNode(tag, doc_->tree.Root(), false);
        case Where::node:
            if (tag == "</node>") {
                EndNode();
                return true;
            }
            if (tag == "<text>" || tag == "<text/>") {
                if (open_.back().textRead) return false;
                open_.back().textRead = true;
                if (tag == "<text>") where_ = Where::text;
                return true;
            }
            return StartNode(tag, doc_->tree.AppendNode(*open_.back().node, ""), true);
        case Where::text:
            if (tag != "</text>") return false;
            FlushText();
            // The loader's text has CR LF breaks only, and neither a reference nor decoding
            // makes a CR or an LF.
            open_.back().node->Data().SetTextOfCrLfLines(std::move(content_));
            content_.clear();
            where_ = Where::node;
            return true;
        case Where::after:
            return false;
        }
        return false;
    }

    // Reads a node element's start tag into node, as ReadNode and ReadChildNodes do.
    bool StartNode(std::string_view tag, TreeNode& node, bool mayBeSelected) {
        NodeTag attributes;
        if (!ParseNodeTag(tag, attributes)) return false;
        node.SetName(UnescapeNodeName(attributes.name.value_or("")));
        TVLNodeData& data = node.Data();
        if (attributes.selstart) data.SelStart = nanxml::ParseIntValue(*attributes.selstart, data.SelStart);
        if (attributes.sellength) data.SelLength = nanxml::ParseIntValue(*attributes.sellength, data.SelLength);
        if (mayBeSelected && attributes.selected && !attributes.selected->empty()) doc_->selected = &node;
        open_.push_back({&node, attributes.expanded == "yes", false});
        where_ = Where::node;
        if (attributes.empty) EndNode();
        return true;
    }

    // Its expanded state once its children are in place.
    void EndNode() {
        open_.back().node->SetExpanded(open_.back().expanded);
        open_.pop_back();
        where_ = open_.empty() ? Where::velmora : Where::node;
    }

    void FlushText() {
        if (pendingText_.empty()) return;
        content_ += Decoded(pendingText_);
        pendingText_ = {};
    }

    // Text tokens that follow one another lie side by side in the text.
    static std::string_view Joined(std::string_view first, std::string_view second) {
        return first.empty() ? second : std::string_view(first.data(), first.size() + second.size());
    }

    // A piece of the text as UTF-8, cut as the XML reader cuts it; valid until the next call.
    // CP932 leaves ASCII as it is: most tags need no decoding.
    std::string_view Decoded(std::string_view piece) {
        if (!cp932_ || IsAscii(piece)) return piece;
        platform::DecodeCp932(piece, decoded_);
        return decoded_;
    }

    static bool IsAscii(std::string_view piece) {
        for (const char c : piece)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    }

    std::string_view body_;
    bool cp932_;
    platform::PassedPages* pages_;
    nanxml::TNanXMLScanner scanner_;
    OpenedDocument* doc_ = nullptr;
    Where where_ = Where::top;
    bool rootRead_ = false;
    std::vector<OpenNode> open_;
    std::string_view pendingText_;
    std::string content_;
    std::string decoded_;
};

}  // namespace

std::optional<OpenedDocument> ReadUsualDocument(std::string_view body, bool cp932, TDocumentEncoding encoding,
                                                platform::PassedPages* pages) {
    std::optional<OpenedDocument> doc(std::in_place);
    doc->encoding = encoding;
    if (!UsualDocumentReader(body, cp932, pages).Read(*doc)) return std::nullopt;
    return doc;
}

}  // namespace document
