// Write then read gives the same tree, for generated trees of many shapes and contents.
#include "document/TrmFormat.h"
#include "document/TreeRules.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace document;
using nanxml::TDocumentEncoding;

namespace {

// Pieces that stress the format: markup characters, the delimiters of every token kind,
// references, all line breaks, Japanese, half-width katakana.
const std::vector<std::string> kCommonPieces = {
    "a", "Z", "0", " ", "\t", "<", ">", "&", "\"", "'", "=", "/", "?", "!", ";", "&amp;", "&lt;",
    "&quot;", "&#60;", "<!--", "-->", "<?", "?>", "<![CDATA[", "]]>", "</node>", "日", "本", "語",
    "あ", "ア", "ｱ", "ー", "＆", "①", "―"};
const std::vector<std::string> kBreaks = {"\r\n", "\r", "\n"};
// Characters Shift_JIS cannot hold: only in UTF-8 documents.
const std::vector<std::string> kUtf8OnlyPieces = {"🎌", "é", "한", "\u00A0", "€"};

class Generator {
public:
    Generator(unsigned seed, bool shiftJisOnly) : rng_(seed), shiftJisOnly_(shiftJisOnly) {}

    std::string Piece(bool allowBreaks) {
        const std::size_t extra = shiftJisOnly_ ? 0 : kUtf8OnlyPieces.size();
        const std::size_t breaks = allowBreaks ? kBreaks.size() : 0;
        std::size_t pick = Uniform(kCommonPieces.size() + extra + breaks);
        if (pick < kCommonPieces.size()) return kCommonPieces[pick];
        pick -= kCommonPieces.size();
        if (pick < breaks) return kBreaks[pick];
        return kUtf8OnlyPieces[pick - breaks];
    }

    // Names are single-line captions.
    std::string Name() {
        std::string name;
        for (std::size_t n = Uniform(6); n > 0; --n) name += Piece(false);
        return name;
    }

    std::string Text() {
        if (Uniform(4) == 0) return {};
        std::string text;
        for (std::size_t n = Uniform(40); n > 0; --n) text += Piece(true);
        return text;
    }

    void Fill(TreeNode& node) {
        node.SetName(Name());
        node.Data().SetText(Text());
        node.Data().SelStart = static_cast<std::int32_t>(rng_()) % 1000;
        node.Data().SelLength = static_cast<std::int32_t>(rng_()) % 50;
    }

    // shape 0: random, 1: a deep chain, 2: wide under the root
    DocumentTree Tree(int shape, std::size_t nodes, const TreeNode*& selected) {
        DocumentTree tree;
        Fill(tree.Root());
        std::vector<TreeNode*> all{&tree.Root()};
        for (std::size_t i = 1; i < nodes; ++i) {
            TreeNode* parent = shape == 1 ? all.back() : shape == 2 ? all.front() : all[Uniform(all.size())];
            TreeNode& node = tree.AppendNode(*parent, "");
            Fill(node);
            all.push_back(&node);
        }
        for (TreeNode* node : all) node->SetExpanded(Uniform(2) == 0);
        TreeNode* pick = all[Uniform(all.size())];
        ExpandAncestors(*pick);  // reading makes the selected node visible
        selected = pick;
        return tree;
    }

private:
    std::size_t Uniform(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    std::mt19937 rng_;
    bool shiftJisOnly_;
};

std::tm Stamp() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mday = 1;
    return t;
}

// A readable dump of everything a file keeps.
std::string Dump(const DocumentTree& tree, const TreeNode* selected) {
    std::ostringstream out;
    std::vector<std::pair<const TreeNode*, int>> pending{{&tree.Root(), 1}};
    while (!pending.empty()) {
        const auto [node, level] = pending.back();
        pending.pop_back();
        out << level << " [" << node->Name() << "] " << node->Expanded() << ' ' << node->Data().SelStart
            << ' ' << node->Data().SelLength << (node == selected ? " *" : "") << " {" << node->Data().Text() << "}\n";
        for (std::size_t i = node->ChildCount(); i > 0; --i) pending.emplace_back(node->Child(i - 1), level + 1);
    }
    return out.str();
}

TEST(TrmRoundTrip, GeneratedTreesComeBackUnchangedInBothEncodings) {
    TempFolder folder;
    const std::string path = folder.File("round.trm");
    for (TDocumentEncoding encoding : {TDocumentEncoding::deShiftJIS, TDocumentEncoding::deUTF8}) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            Generator generate(seed, encoding == TDocumentEncoding::deShiftJIS);
            const int shape = static_cast<int>(seed % 3);
            const std::size_t nodes = shape == 0 ? 1 + seed * 3 : 300;
            const TreeNode* selected = nullptr;
            DocumentTree tree = generate.Tree(shape, nodes, selected);
            WriteDocument(path, tree, selected, encoding, Stamp());
            OpenedDocument doc = OpenDocument(path);
            ASSERT_EQ(doc.encoding, encoding);
            ASSERT_EQ(Dump(doc.tree, doc.selected), Dump(tree, selected))
                << "seed " << seed << " encoding " << static_cast<int>(encoding);

            // A snapshot writes the same bytes, also after the tree changed under it.
            const std::string written = ReadBytes(path);
            const DocumentSnapshot snapshot = TakeSnapshot(tree, selected);
            tree.Root().Data().SetText("changed\r\n");
            tree.Root().SetName("changed");
            tree.RemoveNode(*tree.Root().Child(0));
            WriteSnapshot(folder.File("snapshot.trm"), snapshot, encoding, Stamp());
            ASSERT_EQ(ReadBytes(folder.File("snapshot.trm")), written) << "seed " << seed;
        }
    }
}

TEST(TrmRoundTrip, VeryDeepAndVeryWideTrees) {
    TempFolder folder;
    const std::string path = folder.File("shape.trm");
    for (int shape : {1, 2}) {
        Generator generate(7, true);
        const TreeNode* selected = nullptr;
        DocumentTree tree = generate.Tree(shape, 20000, selected);
        WriteDocument(path, tree, selected, TDocumentEncoding::deShiftJIS);
        OpenedDocument doc = OpenDocument(path);
        ASSERT_EQ(Dump(doc.tree, doc.selected), Dump(tree, selected)) << "shape " << shape;
    }
}

}  // namespace
