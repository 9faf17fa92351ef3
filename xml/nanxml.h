// nanxml: the program's own small XML library. It keeps one XML document in memory as a
// tree of nodes, reads it from a file (Shift_JIS or UTF-8, chosen by the declaration) and
// writes it back. It is deliberately tolerant and not a conforming XML processor: no
// namespaces, no document type, no numeric character references, attribute values stored
// as they stand.
//
// Strings are UTF-8. A parent owns its children; a node's Parent() is never dangling.
// Trees of any depth are built, walked, written and destroyed without recursion.
#pragma once

#include "xml/tokenizer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nanxml {

enum TDocumentEncoding : std::uint8_t { deShiftJIS = 0, deUTF8 = 1 };

class ENanXMLException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A name, value, text, target or data refused by the node model. what() is the message,
// one CR and the refused string.
class ENanXMLInvalidStringException : public ENanXMLException {
public:
    ENanXMLInvalidStringException(const std::string& Message, std::string_view Rejected);
};

class TNanXMLParentNode;
class TNanXMLElement;

class TNanXMLNode {
public:
    TNanXMLNode() = default;
    TNanXMLNode(const TNanXMLNode&) = delete;
    TNanXMLNode& operator=(const TNanXMLNode&) = delete;
    // Destroying a node takes it out of its parent first.
    virtual ~TNanXMLNode();

    TNanXMLParentNode* Parent() const { return parent_; }

    // The character content: text, CDATA and the characters of known entity references.
    std::string GetText() const;
    virtual void AppendText(std::string& Out) const;
    // Replaces the content of a text node; other nodes ignore it.
    virtual void SetText(std::string_view Text);

    // The node's markup.
    std::string GetXML() const;
    virtual void AppendXML(std::string& Out) const = 0;
    virtual std::size_t XMLLength() const = 0;

    // Fills the node from its markup; true when the markup was accepted.
    virtual bool Parse(std::string_view Source);

    // Moves this node (which must be in a tree) to the end of NewParent's children; its own
    // parent included. Ownership moves with it.
    void SetParent(TNanXMLParentNode& NewParent);
    // Places this node (which must be in a tree) immediately before Target among Target's
    // siblings.
    void MoveBefore(TNanXMLNode* Target);
    // Takes the node out of its parent and hands it to the caller; empty when it had none.
    std::unique_ptr<TNanXMLNode> Detach();

    virtual TNanXMLParentNode* AsParent() { return nullptr; }
    virtual const TNanXMLParentNode* AsParent() const { return nullptr; }
    virtual TNanXMLElement* AsElement() { return nullptr; }
    virtual const TNanXMLElement* AsElement() const { return nullptr; }

private:
    friend class TNanXMLParentNode;

    TNanXMLParentNode* parent_ = nullptr;
    mutable std::uint32_t indexHint_ = 0;  // where the node stood among its siblings last time
};

// A read-only view of a parent's children; it never owns or destroys them.
class TNanXMLNodeList {
public:
    using Storage = std::vector<std::unique_ptr<TNanXMLNode>>;

    explicit TNanXMLNodeList(const Storage& items) : items_(&items) {}
    TNanXMLNode* Items(int Index) const;
    int Count() const { return static_cast<int>(items_->size()); }
    Storage::const_iterator begin() const { return items_->begin(); }
    Storage::const_iterator end() const { return items_->end(); }

private:
    const Storage* items_;
};

class TNanXMLCDATA;
class TNanXMLComment;
class TNanXMLEntityReference;
class TNanXMLText;

// A node with children. The document node is a plain TNanXMLParentNode.
class TNanXMLParentNode : public TNanXMLNode {
public:
    TNanXMLParentNode() = default;
    ~TNanXMLParentNode() override;

    TNanXMLNodeList Children() const { return TNanXMLNodeList(children_); }
    int ChildCount() const { return static_cast<int>(children_.size()); }
    TNanXMLNode* GetChild(int Index) const;
    // Index of Node among the children; -1 when it is not one of them.
    int IndexOfChild(const TNanXMLNode* Node) const;

    // First child element named Name (exactly, letter case included), from StartIndex on.
    TNanXMLElement* FindElement(std::string_view Name) const { return FindElementFrom(0, Name); }
    TNanXMLElement* FindElementFrom(int StartIndex, std::string_view Name) const;

    TNanXMLElement* AddElement(std::string_view Name);
    // Appends Text as text nodes, with "<", ">" and "&" as the entity references lt, gt, amp.
    void AddText(std::string_view Text);
    TNanXMLCDATA* AddCDATA(std::string_view Text);
    TNanXMLComment* AddComment(std::string_view Text);
    TNanXMLEntityReference* AddEntityReference(std::string_view Name);
    void ClearChildren();

    // Puts a detached node at Index, or at the end when Index is negative; returns it.
    // A refused node stays with the caller.
    TNanXMLNode* InsertChild(std::unique_ptr<TNanXMLNode>&& Node, int Index);
    // Takes Node out of the children and hands it over; empty when it is not a child.
    std::unique_ptr<TNanXMLNode> RemoveChild(TNanXMLNode* Node);

    std::string GetInnerXML() const;
    virtual std::string GetStartTag() const { return {}; }
    virtual std::string GetEndTag() const { return {}; }

    void AppendText(std::string& Out) const override;
    void AppendXML(std::string& Out) const override;
    std::size_t XMLLength() const override;

    TNanXMLParentNode* AsParent() override { return this; }
    const TNanXMLParentNode* AsParent() const override { return this; }

private:
    friend class TNanXMLNode;
    friend class DocumentBuilder;

    // Appends a node just made, without the checks of InsertChild.
    template <class Node>
    Node* Adopt(std::unique_ptr<Node> node)
    {
        Node* raw = node.get();
        raw->parent_ = this;
        raw->indexHint_ = static_cast<std::uint32_t>(children_.size());
        children_.push_back(std::move(node));
        return raw;
    }

    // Appends nodes made and gathered elsewhere, all at once; nodes is left empty.
    void AdoptAll(TNanXMLNodeList::Storage& nodes);

    void CheckNotAncestorOf(const TNanXMLNode& node) const;

    TNanXMLNodeList::Storage children_;
};

// One attribute of an element: its name and its value, stored as they stand. Both share one
// piece of memory, held in the attribute itself when short (as most are), since documents hold
// several attributes for every node and a tag may hold millions.
class TNanXMLAttribute {
public:
    // Inline for the short ones: a tag may hold millions.
    TNanXMLAttribute(std::string_view Name, std::string_view Value)
    {
        if (Name.size() + Value.size() > kInline) {
            Store(Name, Value);
            return;
        }
        head_ = kInlineFlag | static_cast<std::uint32_t>(Name.size()) | static_cast<std::uint32_t>(Value.size()) << 8;
        if (!Name.empty()) std::memcpy(data_, Name.data(), Name.size());
        if (!Value.empty()) std::memcpy(data_ + Name.size(), Value.data(), Value.size());
    }
    TNanXMLAttribute(const TNanXMLAttribute& Other) : TNanXMLAttribute(Other.Name(), Other.Value()) {}
    TNanXMLAttribute(TNanXMLAttribute&& Other) noexcept : head_(Other.head_)
    {
        std::memcpy(data_, Other.data_, sizeof data_);
        Other.head_ = kInlineFlag;  // empty; the memory, if any, is this one's now
    }
    TNanXMLAttribute& operator=(const TNanXMLAttribute& Other);
    TNanXMLAttribute& operator=(TNanXMLAttribute&& Other) noexcept;
    ~TNanXMLAttribute() { Free(); }

    std::string_view Name() const { return {Chars(), NameLength()}; }
    std::string_view Value() const { return {Chars() + NameLength(), ValueLength()}; }
    void SetValue(std::string_view Value);

    // Throws std::length_error for a name or value longer than the length fields hold
    // (a name of 2 GiB would read as inline, a value of 4 GiB would be cut short).
    static void CheckLengths(std::size_t NameLength, std::size_t ValueLength);

private:
    static constexpr std::size_t kInline = 12;
    static constexpr std::uint32_t kInlineFlag = 0x80000000u;

    bool IsInline() const { return (head_ & kInlineFlag) != 0; }
    std::size_t NameLength() const { return IsInline() ? (head_ & 0xFF) : head_; }
    std::size_t ValueLength() const
    {
        if (IsInline()) return (head_ >> 8) & 0xFF;
        std::uint32_t length;
        std::memcpy(&length, data_, sizeof length);
        return length;
    }
    const char* Chars() const
    {
        if (IsInline()) return data_;
        const char* chars;
        std::memcpy(&chars, data_ + sizeof(std::uint32_t), sizeof chars);
        return chars;
    }
    void Store(std::string_view Name, std::string_view Value);
    void Free()
    {
        if (!IsInline()) delete[] Chars();
        head_ = kInlineFlag;
    }

    // Inline: the flag, the name's length in bits 0-7 and the value's in bits 8-15, and
    // the name and value in data_. Otherwise: the name's length, then data_ holds the value's
    // length and the address of the memory holding both.
    std::uint32_t head_ = kInlineFlag;
    char data_[kInline];
};

class TNanXMLElement : public TNanXMLParentNode {
public:
    const std::string& Name() const { return name_; }
    void SetName(std::string_view Name);

    // The attributes in the order added.
    const std::vector<TNanXMLAttribute>& Attributes() const { return ReadAttributes(); }
    int AttributeCount() const { return static_cast<int>(ReadAttributes().size()); }
    // Appends an attribute (a name may occur twice) and returns its index.
    int AddAttribute(std::string_view Name, std::string_view Value = {});
    // Index of the first attribute whose name matches Name without regard to letter case
    // (names hold ASCII, half-width katakana and characters Shift_JIS lacks; of these only
    // the ASCII letters have a case).
    int IndexOfAttribute(std::string_view Name) const;
    std::string_view GetAttributeValue(int Index) const;
    void SetAttributeValue(int Index, std::string_view Value);
    // Value of the first attribute matching Name; empty when there is none.
    std::string GetAttribute(std::string_view Name) const;
    bool FindAttribute(std::string_view Name, std::string& Value) const;
    void ClearAttributes();

    // The next element named Name among the siblings after this one.
    TNanXMLElement* NextSibling(std::string_view Name) const;

    bool Parse(std::string_view Source) override;
    std::string GetStartTag() const override;
    std::string GetEndTag() const override;
    void AppendStartTag(std::string& Out) const;
    void AppendEndTag(std::string& Out) const;
    std::size_t StartTagLength() const;
    std::size_t EndTagLength() const;

    TNanXMLElement* AsElement() override { return this; }
    const TNanXMLElement* AsElement() const override { return this; }

private:
    // The attributes, read first from the markup a long tag left unread.
    const std::vector<TNanXMLAttribute>& ReadAttributes() const
    {
        if (unreadAttributes_) ReadUnreadAttributes();
        return attributes_;
    }
    void ReadUnreadAttributes() const;

    std::string name_;
    // A long tag's attributes (a tag may hold millions) are read when first asked for: until
    // then unreadAttributes_ holds the markup after the name, already checked, and
    // attributes_ is empty. Every name, value and their order are as if read at once.
    mutable std::vector<TNanXMLAttribute> attributes_;
    mutable std::unique_ptr<std::string> unreadAttributes_;
};

class TNanXMLText : public TNanXMLNode {
public:
    TNanXMLText() = default;
    explicit TNanXMLText(std::string Text) : text_(std::move(Text)) {}

    const std::string& Text() const { return text_; }
    void SetText(std::string_view Text) override { text_ = Text; }
    void Append(std::string_view More) { text_ += More; }
    // Hands the content over and leaves the node empty: a reader keeping the text saves a copy.
    std::string TakeText() { return std::move(text_); }

    void AppendText(std::string& Out) const override { Out += text_; }
    void AppendXML(std::string& Out) const override { Out += text_; }
    std::size_t XMLLength() const override { return text_.size(); }

private:
    std::string text_;
};

class TNanXMLCDATA : public TNanXMLNode {
public:
    const std::string& Text() const { return text_; }
    // Refuses a text holding "]]>".
    void SetContent(std::string_view Text);

    bool Parse(std::string_view Source) override;
    void AppendText(std::string& Out) const override { Out += text_; }
    void AppendXML(std::string& Out) const override;
    std::size_t XMLLength() const override;

private:
    std::string text_;
};

class TNanXMLComment : public TNanXMLNode {
public:
    const std::string& Text() const { return text_; }
    // Refuses a text holding "-->".
    void SetContent(std::string_view Text);

    bool Parse(std::string_view Source) override;
    void AppendXML(std::string& Out) const override;
    std::size_t XMLLength() const override;

private:
    std::string text_;
};

class TNanXMLProcessingInstruction : public TNanXMLNode {
public:
    const std::string& Target() const { return target_; }
    const std::string& Data() const { return data_; }
    void SetTarget(std::string_view Target);
    // Refuses data holding "?>".
    void SetData(std::string_view Data);

    bool Parse(std::string_view Source) override;
    void AppendXML(std::string& Out) const override;
    std::size_t XMLLength() const override;

private:
    std::string target_;
    std::string data_;
};

class TNanXMLEntityReference : public TNanXMLNode {
public:
    const std::string& Name() const { return name_; }
    // Stores the name; a leading "&" with a trailing ";" are removed first.
    void SetName(std::string_view Name);

    // The character the entity stands for: amp, lt, gt, nbsp (a plain space) and quot;
    // nothing for any other name.
    void AppendText(std::string& Out) const override;
    void AppendXML(std::string& Out) const override;
    std::size_t XMLLength() const override { return name_.size() + 2; }

private:
    std::string name_;
};

class TNanXMLFileText;

class TNanXML {
public:
    TNanXML();

    TNanXMLParentNode& Root() const { return *root_; }
    TDocumentEncoding Encoding() const { return encoding_; }
    void SetEncoding(TDocumentEncoding Encoding) { encoding_ = Encoding; }

    // Destroys the tree and starts an empty one; the encoding stays.
    void Clear();

    // Reads a file: NUL bytes are dropped, every line ends with CR LF, then LoadFromString.
    void LoadFromFile(const std::string& FileName);
    // LoadFromFile on a file's text already read; the pages of Text are given back as read.
    void LoadFromFileText(TNanXMLFileText& Text);
    // Reads a document from the bytes of a file; NUL bytes are dropped. A leading UTF-8
    // byte-order mark (skipped) or a declaration naming UTF-8 in any letter case makes the
    // text UTF-8 (malformed UTF-8 is refused with the offset of the first bad byte);
    // otherwise the bytes are CP932.
    void LoadFromString(std::string_view Text);

    // Writes the document, with the declaration for its encoding first when asked:
    // Shift_JIS with CR LF after every line, or UTF-8 as it stands; NUL characters are
    // left out. The file is replaced through a temporary one, so a failed save leaves the
    // old file as it was.
    void SaveToFile(const std::string& FileName, bool WithDeclaration);
    // How many characters a Shift_JIS save would write as "?".
    std::size_t CountUnmappable() const;

    // The top-level element that the last load left open because the text ended inside it
    // (a file cut short), or null. Cleared with the tree.
    TNanXMLElement* UnclosedElement() const { return unclosed_; }
    void SetUnclosedElement(TNanXMLElement* Element) { unclosed_ = Element; }

private:
    std::unique_ptr<TNanXMLParentNode> root_;
    TDocumentEncoding encoding_ = deShiftJIS;
    TNanXMLElement* unclosed_ = nullptr;
};

// Default when Element is none or lacks the attribute; otherwise whether the value is
// exactly "true".
bool GetBoolAttribute(const TNanXMLElement* Element, std::string_view Name, bool Default);
// Default when Element is none, lacks the attribute or its value is no 32-bit integer.
int GetIntAttribute(const TNanXMLElement* Element, std::string_view Name, int Default);
// The value as GetIntAttribute reads it: a 32-bit integer, perhaps with a leading "+";
// Default for anything else.
int ParseIntValue(std::string_view Value, int Default);
// The characters the entity reference Name stands for in text (see
// TNanXMLEntityReference::AppendText): one character, or none for an unknown name.
std::string_view EntityCharacter(std::string_view Name);
// GetText of the first child element named Name, or Default when there is none.
std::string GetChildText(const TNanXMLParentNode& Parent, std::string_view Name, std::string_view Default);

}  // namespace nanxml
