// The 100,000-node, 100 MB benchmark document: the same tree for opening, saving and
// searching, so that their rows speak of one document.
#pragma once

#include "document/DocumentTree.h"
#include "document/TreeRules.h"

#include <random>
#include <string>
#include <vector>

namespace benchdoc {

constexpr std::size_t kNodes = 100000;
constexpr std::size_t kTextBytes = 90u << 20;  // of UTF-8 text in all: with the markup, a 100 MiB file

// Text like notes: Japanese and ASCII words in lines of varied length, now and then a
// markup character ("<", ">", "&" each become a reference of their own in the XML tree).
inline std::string GenerateText(std::mt19937& rng, std::size_t bytes) {
    static const std::vector<std::string> words = {
        "メモ", "日本語の文章", "ツリー", "ノード", "テキスト", "です。", "ます、", "東京", "会議", "予定",
        "note", "tree", "value", "\"quoted\"", "2024/01/02", "  ", "\t", "(1)", "-", "abc"};
    static const std::vector<std::string> markup = {"x < y", "a & b", "c > d"};
    std::string text;
    text.reserve(bytes + 64);
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    while (text.size() < bytes) {
        const int p = percent(rng);
        text += p == 0 ? markup[pick(rng) % markup.size()] : words[pick(rng)];
        if (p < 8) text += "\r\n";
    }
    return text;
}

// Each node's parent is one of the 64 nodes before it, which gives long runs of siblings and
// a depth that grows along the document: about 3,000 levels at most, 1,500 on average, far
// deeper than outlines people write, so the reader, the writer and the window are measured
// on depth too.
inline document::DocumentTree GenerateTree(std::size_t nodes, std::size_t textBytes) {
    std::mt19937 rng(12345);
    document::DocumentTree tree;
    std::vector<document::TreeNode*> all{&tree.Root()};
    all.reserve(nodes);
    std::uniform_int_distribution<std::size_t> textSize(0, 2 * textBytes / nodes);
    for (std::size_t i = 1; i < nodes; ++i) {
        std::uniform_int_distribution<std::size_t> recent(all.size() > 64 ? all.size() - 64 : 0, all.size() - 1);
        document::TreeNode& node = tree.AppendNode(*all[recent(rng)], "ノード " + std::to_string(i) + (i % 97 == 0 ? " <&>\"" : ""));
        node.Data().SetText(GenerateText(rng, textSize(rng)));
        node.Data().SelStart = static_cast<std::int32_t>(i % 1000);
        node.SetExpanded(i % 3 == 0);
        all.push_back(&node);
    }
    document::ExpandAll(*tree.Root().Child(0));
    return tree;
}

}  // namespace benchdoc
