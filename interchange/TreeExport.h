// The two renderings of a subtree offered by the export dialog and trmtool: a numbered text
// outline and a nested HTML list. Both are pure functions of the tree.
#pragma once

#include "document/DocumentTree.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace interchange {

// Outlines are refused beyond this size (lines and their CR LF counted): the numbers and the
// indentation grow with the depth, so a tree tens of thousands of levels deep would render
// to gigabytes and exhaust the memory.
constexpr std::size_t kMaxOutlineBytes = std::size_t{512} << 20;

// The refusal of an outline past kMaxOutlineBytes.
class EOutlineTooLarge : public std::runtime_error {
public:
    EOutlineTooLarge();
};

// The text outline: for every node in pre-order, "<number> <name>" (the exported node has no
// number, its children are 1, 2, ..., theirs 1-1, 1-2, ...), an empty line, the node's text
// lines and an empty line. Throws EOutlineTooLarge past kMaxOutlineBytes (so does the HTML).
std::vector<std::string> MakeTextOutline(const document::TreeNode& exportNode);

// The HTML outline: <html>, <head> with the exported node's name as title, and <body> with
// one <ul> nesting every node as <li class="nodeN"> (N the level below the export, from 1),
// its text lines each followed by <br> in a <p class="text">, and a <ul> for its children.
// Lines are indented by tabs, one per open element. Nothing is escaped.
std::vector<std::string> MakeHtmlOutline(const document::TreeNode& exportNode);

// The text of a rendering as the preview, the clipboard and exported files hold it: every
// line followed by CR LF, the last one included.
std::string JoinOutlineLines(const std::vector<std::string>& lines);

}  // namespace interchange
