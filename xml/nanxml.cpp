// The node model: ownership, moving nodes, children, attributes and the validating setters.
#include "xml/nanxml.h"

#include "platform/utf8.h"
#include "platform/ascii_case.h"
#include "xml/markup_characters.h"
#include "xml/tree_walk.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace nanxml {

using platform::AsciiLower;
using platform::EqualsIgnoringAsciiCase;

namespace {

const char kMoveTargetMessage[] = "移動先は親を持つノードでなければなりません";
const char kDetachedMoveMessage[] = "移動するノードは親を持っていなければなりません";
const char kCycleMessage[] = "ノードをそれ自身の子孫の下へ移動することはできません";

[[noreturn]] void ThrowListIndexError(long long index)
{
    throw ENanXMLException("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}

// The rejected string as a message shows it: at most a line's worth, and only characters
// that print (a control character or a broken byte shows as "?"), for a refused value may be
// megabytes of a binary file.
std::string PrintableExcerpt(std::string_view text)
{
    constexpr std::size_t kMostCharacters = 40;
    std::string excerpt;
    std::size_t characters = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (characters == kMostCharacters) return excerpt + "…";
        const std::size_t start = pos;
        char32_t codePoint = 0;
        const bool valid = platform::TryNextCodePoint(text, pos, codePoint);
        if (!valid || codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0)) excerpt += '?';
        else excerpt.append(text.substr(start, pos - start));
        ++characters;
    }
    return excerpt;
}

}  // namespace

ENanXMLInvalidStringException::ENanXMLInvalidStringException(const std::string& Message,
                                                             std::string_view Rejected)
    : ENanXMLException(Message + "\r" + PrintableExcerpt(Rejected))
{
}

// ---- TNanXMLNode ----

TNanXMLNode::~TNanXMLNode()
{
    if (parent_ == nullptr) return;
    // Deleted while still listed: take the entry out without destroying this node twice.
    auto& siblings = parent_->children_;
    const int index = parent_->IndexOfChild(this);
    (void)siblings[index].release();
    siblings.erase(siblings.begin() + index);
}

std::string TNanXMLNode::GetText() const
{
    std::string text;
    AppendText(text);
    return text;
}

void TNanXMLNode::AppendText(std::string&) const {}

void TNanXMLNode::SetText(std::string_view) {}

std::string TNanXMLNode::GetXML() const
{
    std::string markup;
    markup.reserve(XMLLength());
    AppendXML(markup);
    return markup;
}

bool TNanXMLNode::Parse(std::string_view)
{
    return false;
}

void TNanXMLNode::SetParent(TNanXMLParentNode& NewParent)
{
    if (parent_ == nullptr) throw ENanXMLException(kDetachedMoveMessage);
    NewParent.CheckNotAncestorOf(*this);
    NewParent.Adopt(parent_->RemoveChild(this));
}

void TNanXMLNode::MoveBefore(TNanXMLNode* Target)
{
    if (Target == nullptr || Target->parent_ == nullptr) throw ENanXMLException(kMoveTargetMessage);
    if (Target == this) return;
    if (parent_ == nullptr) throw ENanXMLException(kDetachedMoveMessage);
    TNanXMLParentNode& newParent = *Target->parent_;
    newParent.CheckNotAncestorOf(*this);
    std::unique_ptr<TNanXMLNode> self = parent_->RemoveChild(this);
    const int index = newParent.IndexOfChild(Target);
    parent_ = &newParent;
    newParent.children_.insert(newParent.children_.begin() + index, std::move(self));
}

std::unique_ptr<TNanXMLNode> TNanXMLNode::Detach()
{
    if (parent_ == nullptr) return {};
    return parent_->RemoveChild(this);
}

TNanXMLNode* TNanXMLNodeList::Items(int Index) const
{
    if (Index < 0 || Index >= Count()) ThrowListIndexError(Index);
    return (*items_)[static_cast<std::size_t>(Index)].get();
}

// ---- TNanXMLParentNode ----

TNanXMLParentNode::~TNanXMLParentNode()
{
    ClearChildren();
}

void TNanXMLParentNode::ClearChildren()
{
    if (children_.empty()) return;
    // Depth first, without recursion, so that a tree of any depth is torn down on a small
    // stack: a leaf is destroyed at once, a parent once its own children are gone. The list
    // of parents being emptied is as long as the tree is deep, never as wide: a large list
    // made and freed here would make the allocator sort through every node just freed.
    struct Frame {
        TNanXMLParentNode* parent;
        std::size_t next;
    };
    std::vector<Frame> emptying{{this, 0}};
    while (!emptying.empty()) {
        Frame& frame = emptying.back();
        TNanXMLNodeList::Storage& children = frame.parent->children_;
        if (frame.next == children.size()) {
            children.clear();
            emptying.pop_back();
            // The parent, now childless, goes with its entry.
            if (!emptying.empty()) emptying.back().parent->children_[emptying.back().next - 1].reset();
            continue;
        }
        std::unique_ptr<TNanXMLNode>& child = children[frame.next++];
        child->parent_ = nullptr;  // so that its destructor leaves the list alone
        TNanXMLParentNode* parent = child->AsParent();
        if (parent != nullptr && !parent->children_.empty()) emptying.push_back({parent, 0});
        else child.reset();
    }
}

TNanXMLNode* TNanXMLParentNode::GetChild(int Index) const
{
    return Children().Items(Index);
}

int TNanXMLParentNode::IndexOfChild(const TNanXMLNode* Node) const
{
    if (Node == nullptr || Node->parent_ != this) return -1;
    const std::size_t hint = Node->indexHint_;
    if (hint < children_.size() && children_[hint].get() == Node) return static_cast<int>(hint);
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].get() == Node) {
            Node->indexHint_ = static_cast<std::uint32_t>(i);
            return static_cast<int>(i);
        }
    }
    return -1;
}

TNanXMLElement* TNanXMLParentNode::FindElementFrom(int StartIndex, std::string_view Name) const
{
    if (StartIndex < 0) ThrowListIndexError(StartIndex);
    for (std::size_t i = static_cast<std::size_t>(StartIndex); i < children_.size(); ++i) {
        TNanXMLElement* element = children_[i]->AsElement();
        if (element != nullptr && element->Name() == Name) {
            element->indexHint_ = static_cast<std::uint32_t>(i);
            return element;
        }
    }
    return nullptr;
}

TNanXMLElement* TNanXMLParentNode::AddElement(std::string_view Name)
{
    // Named before it is appended, so that a refused name leaves no nameless element behind.
    auto element = std::make_unique<TNanXMLElement>();
    element->SetName(Name);
    return Adopt(std::move(element));
}

void TNanXMLParentNode::AddText(std::string_view Text)
{
    SplitAtMarkupCharacters(
        Text, [this](std::string_view run) { Adopt(std::make_unique<TNanXMLText>(std::string(run))); },
        [this](std::string_view name) { AddEntityReference(name); });
}

TNanXMLCDATA* TNanXMLParentNode::AddCDATA(std::string_view Text)
{
    auto section = std::make_unique<TNanXMLCDATA>();
    section->SetContent(Text);
    return Adopt(std::move(section));
}

TNanXMLComment* TNanXMLParentNode::AddComment(std::string_view Text)
{
    auto comment = std::make_unique<TNanXMLComment>();
    comment->SetContent(Text);
    return Adopt(std::move(comment));
}

TNanXMLEntityReference* TNanXMLParentNode::AddEntityReference(std::string_view Name)
{
    auto reference = std::make_unique<TNanXMLEntityReference>();
    reference->SetName(Name);
    return Adopt(std::move(reference));
}

TNanXMLNode* TNanXMLParentNode::InsertChild(std::unique_ptr<TNanXMLNode>&& Node, int Index)
{
    if (Index > ChildCount()) ThrowListIndexError(Index);
    if (Node == nullptr) return nullptr;
    CheckNotAncestorOf(*Node);
    TNanXMLNode* raw = Node.get();
    raw->parent_ = this;
    if (Index < 0) {
        raw->indexHint_ = static_cast<std::uint32_t>(children_.size());
        children_.push_back(std::move(Node));
    } else {
        raw->indexHint_ = static_cast<std::uint32_t>(Index);
        children_.insert(children_.begin() + Index, std::move(Node));
    }
    return raw;
}

std::unique_ptr<TNanXMLNode> TNanXMLParentNode::RemoveChild(TNanXMLNode* Node)
{
    const int index = IndexOfChild(Node);
    if (index < 0) return {};
    std::unique_ptr<TNanXMLNode> removed = std::move(children_[static_cast<std::size_t>(index)]);
    children_.erase(children_.begin() + index);
    removed->parent_ = nullptr;
    return removed;
}

void TNanXMLParentNode::AdoptAll(TNanXMLNodeList::Storage& nodes)
{
    children_.reserve(children_.size() + nodes.size());
    for (auto& node : nodes) Adopt(std::move(node));
    nodes.clear();
}

void TNanXMLParentNode::CheckNotAncestorOf(const TNanXMLNode& node) const
{
    for (const TNanXMLNode* p = this; p != nullptr; p = p->parent_) {
        if (p == &node) throw ENanXMLException(kCycleMessage);
    }
}

void TNanXMLParentNode::AppendText(std::string& Out) const
{
    WalkBelow(
        *this, [](const TNanXMLParentNode&) {}, [](const TNanXMLParentNode&) {},
        [&Out](const TNanXMLNode& leaf) { leaf.AppendText(Out); });
}

// ---- TNanXMLElement ----

TNanXMLAttribute& TNanXMLAttribute::operator=(const TNanXMLAttribute& Other)
{
    if (this != &Other) *this = TNanXMLAttribute(Other);
    return *this;
}

TNanXMLAttribute& TNanXMLAttribute::operator=(TNanXMLAttribute&& Other) noexcept
{
    if (this != &Other) {
        Free();
        head_ = Other.head_;
        std::memcpy(data_, Other.data_, sizeof data_);
        Other.head_ = kInlineFlag;
    }
    return *this;
}

void TNanXMLAttribute::CheckLengths(std::size_t NameLength, std::size_t ValueLength)
{
    if (NameLength >= kInlineFlag || ValueLength > UINT32_MAX) throw std::length_error("属性が長すぎます");
}

void TNanXMLAttribute::Store(std::string_view Name, std::string_view Value)
{
    CheckLengths(Name.size(), Value.size());
    if (Name.size() + Value.size() <= kInline) {
        head_ = kInlineFlag | static_cast<std::uint32_t>(Name.size()) | static_cast<std::uint32_t>(Value.size()) << 8;
        if (!Name.empty()) std::memcpy(data_, Name.data(), Name.size());
        if (!Value.empty()) std::memcpy(data_ + Name.size(), Value.data(), Value.size());
        return;
    }
    char* chars = new char[Name.size() + Value.size()];
    if (!Name.empty()) std::memcpy(chars, Name.data(), Name.size());
    if (!Value.empty()) std::memcpy(chars + Name.size(), Value.data(), Value.size());
    head_ = static_cast<std::uint32_t>(Name.size());
    const auto valueLength = static_cast<std::uint32_t>(Value.size());
    std::memcpy(data_, &valueLength, sizeof valueLength);
    std::memcpy(data_ + sizeof valueLength, &chars, sizeof chars);
}

void TNanXMLAttribute::SetValue(std::string_view Value)
{
    // Built beside the old one, as Value may lie inside it.
    TNanXMLAttribute replaced(Name(), Value);
    *this = std::move(replaced);
}

void TNanXMLElement::SetName(std::string_view Name)
{
    if (!IsValidName(Name)) throw ENanXMLInvalidStringException("名前が不正です", Name);
    name_ = Name;
}

int TNanXMLElement::AddAttribute(std::string_view Name, std::string_view Value)
{
    if (!IsValidName(Name)) throw ENanXMLInvalidStringException("属性名が不正です", Name);
    // The double quote is checked here too, so that a refused value adds nothing.
    if (!IsValidAttributeValue(Value) || Value.find('"') != std::string_view::npos) {
        throw ENanXMLInvalidStringException("値が不正です", Value);
    }
    ReadAttributes();
    attributes_.emplace_back(Name, Value);
    return AttributeCount() - 1;
}

int TNanXMLElement::IndexOfAttribute(std::string_view Name) const
{
    const std::vector<TNanXMLAttribute>& attributes = ReadAttributes();
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        if (EqualsIgnoringAsciiCase(attributes[i].Name(), Name)) return static_cast<int>(i);
    }
    return -1;
}

std::string_view TNanXMLElement::GetAttributeValue(int Index) const
{
    if (Index < 0 || Index >= AttributeCount()) ThrowListIndexError(Index);
    return ReadAttributes()[static_cast<std::size_t>(Index)].Value();
}

void TNanXMLElement::SetAttributeValue(int Index, std::string_view Value)
{
    if (Index < 0 || Index >= AttributeCount()) ThrowListIndexError(Index);
    if (Value.find('"') != std::string_view::npos) throw ENanXMLInvalidStringException("値が不正です", Value);
    ReadAttributes();
    attributes_[static_cast<std::size_t>(Index)].SetValue(Value);
}

std::string TNanXMLElement::GetAttribute(std::string_view Name) const
{
    const int index = IndexOfAttribute(Name);
    return index < 0 ? std::string() : std::string(ReadAttributes()[static_cast<std::size_t>(index)].Value());
}

bool TNanXMLElement::FindAttribute(std::string_view Name, std::string& Value) const
{
    const int index = IndexOfAttribute(Name);
    if (index < 0) return false;
    Value = ReadAttributes()[static_cast<std::size_t>(index)].Value();
    return true;
}

void TNanXMLElement::ClearAttributes()
{
    unreadAttributes_.reset();
    attributes_.clear();
}

TNanXMLElement* TNanXMLElement::NextSibling(std::string_view Name) const
{
    const TNanXMLParentNode* parent = Parent();
    if (parent == nullptr) return nullptr;
    return parent->FindElementFrom(parent->IndexOfChild(this) + 1, Name);
}

// ---- leaves ----

void TNanXMLCDATA::SetContent(std::string_view Text)
{
    if (Text.find("]]>") != std::string_view::npos) throw ENanXMLInvalidStringException("テキストが不正です", Text);
    text_ = Text;
}

void TNanXMLComment::SetContent(std::string_view Text)
{
    if (Text.find("-->") != std::string_view::npos) throw ENanXMLInvalidStringException("コメントが不正です", Text);
    text_ = Text;
}

void TNanXMLProcessingInstruction::SetTarget(std::string_view Target)
{
    if (!IsValidName(Target)) throw ENanXMLInvalidStringException("処理命令ターゲットが不正です", Target);
    target_ = Target;
}

void TNanXMLProcessingInstruction::SetData(std::string_view Data)
{
    if (Data.find("?>") != std::string_view::npos) throw ENanXMLInvalidStringException("命令が不正です", Data);
    data_ = Data;
}

void TNanXMLEntityReference::SetName(std::string_view Name)
{
    if (Name.size() >= 2 && Name.front() == '&' && Name.back() == ';') Name = Name.substr(1, Name.size() - 2);
    name_ = Name;
}

void TNanXMLEntityReference::AppendText(std::string& Out) const
{
    Out += EntityCharacter(name_);
}

std::string_view EntityCharacter(std::string_view Name)
{
    if (Name == "amp") return "&";
    if (Name == "lt") return "<";
    if (Name == "gt") return ">";
    if (Name == "nbsp") return " ";
    if (Name == "quot") return "\"";
    return {};
}

// ---- TNanXML ----

TNanXML::TNanXML() : root_(std::make_unique<TNanXMLParentNode>()) {}

void TNanXML::Clear()
{
    root_ = std::make_unique<TNanXMLParentNode>();
    unclosed_ = nullptr;
}

// ---- library functions ----

bool GetBoolAttribute(const TNanXMLElement* Element, std::string_view Name, bool Default)
{
    std::string value;
    if (Element == nullptr || !Element->FindAttribute(Name, value)) return Default;
    return value == "true";
}

int GetIntAttribute(const TNanXMLElement* Element, std::string_view Name, int Default)
{
    std::string value;
    if (Element == nullptr || !Element->FindAttribute(Name, value)) return Default;
    return ParseIntValue(value, Default);
}

int ParseIntValue(std::string_view value, int Default)
{
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return Default;
    }
    int result = 0;
    const auto [end, error] = std::from_chars(first, last, result);
    return error == std::errc() && end == last ? result : Default;
}

std::string GetChildText(const TNanXMLParentNode& Parent, std::string_view Name, std::string_view Default)
{
    const TNanXMLElement* child = Parent.FindElement(Name);
    return child != nullptr ? child->GetText() : std::string(Default);
}

}  // namespace nanxml
