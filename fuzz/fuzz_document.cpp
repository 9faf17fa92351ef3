#include "fuzz/harnesses.h"

#include "document/TrmFormat.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace fuzz {

void FuzzDocument(std::string_view input)
{
    static const std::string path = ScratchFolder() + "/input.trm";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(input.data(), static_cast<std::streamsize>(input.size()));
    try {
        const document::OpenedDocument opened = document::OpenDocument(path);
        if (!document::IsInSubtree(opened.selected, &opened.tree.Root())) Fail("the selected node is not in the tree");
        if (opened.tree.NodeCount() != document::SubtreeSize(opened.tree.Root())) Fail("node count is off");
        for (const document::TreeNode* above = opened.selected->Parent(); above != nullptr; above = above->Parent())
            if (!above->Expanded()) Fail("the way down to the selected node is not open");
    } catch (const std::runtime_error&) {
        // a refusal is a fine answer to bad bytes
    }
}

}  // namespace fuzz
