// Find and replace over a document: the matcher of one search text and the walk over the
// nodes of a scope.
//
// Texts are searched in the form they are stored (UTF-8, CR LF after each line) and hits are
// byte ranges of that form; PlaceOfHit turns one into the editor's units when it is shown.
// Matching is made for Japanese: besides case, full- and half-width forms (Ａ/A, ０/0, ｶﾞ/ガ
// with the half-width sound mark as part of its letter) and hiragana/katakana can be folded.
// Regular expressions go through RE2, which takes time linear in the text for any pattern.
#pragma once

#include "document/DocumentTree.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <compare>
#include <cstdint>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace document {

struct FindOptions {
    bool matchCase = false;
    bool foldWidth = true;   // Ａ = A, ０ = 0, ｶﾞ = ガ, "　" = " "
    bool foldKana = false;   // か = カ
    bool regex = false;
};

struct ByteRange {
    std::size_t start = 0;
    std::size_t length = 0;
};

class Matcher {
public:
    Matcher(std::string_view pattern, const FindOptions& options);
    ~Matcher();
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    // False for an empty pattern (which finds nothing) and for a pattern RE2 refuses.
    bool Valid() const noexcept;
    // RE2's reason for refusing the pattern; empty otherwise.
    const std::string& Error() const noexcept;

    // Calls onHit for each hit in text, left to right, hits not overlapping; stops early when
    // onHit returns false. An empty match of a regular expression is not a hit.
    void FindAll(std::string_view text, const std::function<bool(ByteRange)>& onHit) const;
    std::vector<ByteRange> FindAll(std::string_view text) const;
    std::size_t Count(std::string_view text) const;

    // What a hit is replaced by: the replacement itself, or for a regular expression the
    // replacement with \0 to \9 standing for the hit and its groups (\\ for a backslash).
    std::string Replacement(std::string_view text, ByteRange hit, std::string_view replacement) const;
    // The text with every hit replaced; count (when given) receives the number of hits.
    std::string ReplaceAll(std::string_view text, std::string_view replacement, std::size_t* count = nullptr) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The unit a character folds to under the options, as the matcher compares them: the code
// point and how many bytes of text it took (2 characters for a half-width letter with its
// sound mark). Exposed for the tests of the folding tables.
struct FoldedUnit {
    char32_t folded;
    std::size_t bytes;
};
FoldedUnit FoldAt(std::string_view text, std::size_t pos, const FindOptions& options);

// Where a hit is in the editor: UTF-16 units with each line break one (TVLNodeData::
// EditorText), the line (1 for the first) and that line as the editor shows it.
struct HitPlace {
    std::int32_t editorStart = 0;
    std::int32_t editorLength = 0;
    std::int32_t line = 1;
    std::string lineText;
    std::size_t hitInLine = 0;  // bytes of lineText before the hit
};
HitPlace PlaceOfHit(std::string_view nodeText, ByteRange hit);

// The stored byte offset of an editor position (the inverse of PlaceOfHit's editorStart).
std::size_t StoredOffsetOfEditorPosition(std::string_view nodeText, std::int32_t editorPosition);

enum class FindScope { thisNode, allNodes, subtree };
enum class FindTarget { text, names, both };
enum class HitField : std::uint8_t { name, text };

// What a search reads of one node: a copy that another thread can search while the tree
// changes (the text is shared, not copied). node identifies it and is not read through.
struct FindSource {
    static constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
    const TreeNode* node = nullptr;
    std::string name;
    std::shared_ptr<const std::string> text;
    // The parent's index among the sources; the first source of a scope has none and holds
    // its whole path instead (paths are made when shown: 100,000 of them cost megabytes).
    std::uint32_t parent = kNoParent;
    std::string path;
};

// The nodes of a scope in tree order. selected is the node shown (thisNode, subtree).
std::vector<FindSource> SourcesInScope(const DocumentTree& tree, const TreeNode* selected, FindScope scope);
// "ルート > … > name" of sources[index].
std::string SourcePath(const std::vector<FindSource>& sources, std::size_t index);

struct FindHit {
    std::uint32_t source = 0;  // index into the sources searched
    HitField field = HitField::text;
    ByteRange range;
};

// The hits of a search in order, kept in the pieces they were found in: a list of a million
// hits grows by whole pieces (Append), its earlier hits never moved or copied, so a window
// adding hits to the list it shows never stalls for the ones it already has.
class FindHits {
public:
    template <typename List, typename Hit>
    class Iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = FindHit;
        using difference_type = std::ptrdiff_t;
        using pointer = Hit*;
        using reference = Hit&;
        Iterator() = default;
        Iterator(List* list, std::size_t index) : list_(list), index_(index) {}
        reference operator*() const { return (*list_)[index_]; }
        pointer operator->() const { return &(*list_)[index_]; }
        reference operator[](difference_type n) const { return (*list_)[Moved(n)]; }
        Iterator& operator++() { ++index_; return *this; }
        Iterator operator++(int) { Iterator was = *this; ++index_; return was; }
        Iterator& operator--() { --index_; return *this; }
        Iterator operator--(int) { Iterator was = *this; --index_; return was; }
        Iterator& operator+=(difference_type n) { index_ = Moved(n); return *this; }
        Iterator& operator-=(difference_type n) { index_ = Moved(-n); return *this; }
        friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
        friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const Iterator& a, const Iterator& b) {
            return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }
        friend auto operator<=>(const Iterator& a, const Iterator& b) { return a.index_ <=> b.index_; }
        std::size_t Index() const { return index_; }

    private:
        std::size_t Moved(difference_type n) const {
            return static_cast<std::size_t>(static_cast<difference_type>(index_) + n);
        }
        List* list_ = nullptr;
        std::size_t index_ = 0;
    };
    using iterator = Iterator<FindHits, FindHit>;
    using const_iterator = Iterator<const FindHits, const FindHit>;

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    FindHit& operator[](std::size_t index);
    const FindHit& operator[](std::size_t index) const;
    FindHit& front() { return (*this)[0]; }
    const FindHit& front() const { return (*this)[0]; }
    FindHit& back() { return (*this)[size_ - 1]; }
    const FindHit& back() const { return (*this)[size_ - 1]; }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, size_}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

    void push_back(const FindHit& hit) {
        if (pieces_.empty()) NewPiece();
        pieces_.back().push_back(hit);
        ++size_;
    }
    // Moves all of other's hits to the end, as the pieces they are in.
    void Append(FindHits&& other);
    iterator erase(iterator at);

private:
    // The piece holding hit index, and the hit's place in it.
    std::pair<std::size_t, std::size_t> Locate(std::size_t index) const;
    void NewPiece();

    std::vector<std::vector<FindHit>> pieces_;
    std::vector<std::size_t> starts_;  // the index of each piece's first hit
    std::size_t size_ = 0;
};

struct FindResult {
    FindHits hits;
    std::size_t nodes = 0;  // nodes with at least one hit
    bool cancelled = false;
};

// Every hit in tree order: per node, its name's hits before its text's. cancel (may be null)
// is polled between nodes: a search that is no longer wanted stops early, marked cancelled.
FindResult FindInSources(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                         const std::atomic<bool>* cancel = nullptr);

// The same over sources [from, to) only, the hits added to result: a search can be done in
// parts, each showing what it found so far.
void FindInSources(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                   std::size_t from, std::size_t to, FindResult& result, const std::atomic<bool>* cancel = nullptr);

// Searches all of sources in tree order and hands the hits on as they are found, so that a
// list can grow while the search runs: a first batch as soon as a block of nodes held hits,
// then at most one batch per interval, and a last one (perhaps empty) at the end. A node's
// hits are never split between batches and each batch counts its own nodes, so the batches
// put together are FindInSources' result. False when cancelled: no last batch then.
bool FindInBatches(const Matcher& matcher, const std::vector<FindSource>& sources, FindTarget target,
                   std::chrono::milliseconds interval, const std::function<void(FindResult batch, bool last)>& onBatch,
                   const std::atomic<bool>* cancel = nullptr);

// "N 件 (M ノード)"
std::string CountText(const FindResult& result);

// Replaces every hit of the scope in the tree and returns how many there were. Names keep to
// one line: what replaces a hit in a name is taken up to its first line break (the rest of
// the name stays).
std::size_t ReplaceAllInTree(DocumentTree& tree, const TreeNode* selected, FindScope scope, FindTarget target,
                             const Matcher& matcher, std::string_view replacement);

// Replaces one hit of node (its name or its text) if the matcher still finds it at that
// place; false (nothing changed) when it does not.
bool ReplaceHit(TreeNode& node, HitField field, ByteRange hit, const Matcher& matcher, std::string_view replacement);

}  // namespace document
