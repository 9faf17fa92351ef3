#include "fuzz/harnesses.h"

#include "document/TrmFormat.h"
#include "tests/support/opened_dump.h"

#include <fstream>
#include <stdexcept>
#include <string>

namespace fuzz {

namespace {

// The dump of what read gives, or the message it refused the file with.
template <class Read>
std::string Outcome(Read&& read)
{
    try {
        return DumpOpened(read());
    } catch (const std::runtime_error& e) {
        // a refusal is a fine answer to bad bytes
        return std::string("refused: ") + e.what();
    }
}

}  // namespace

void FuzzDocument(std::string_view input)
{
    static const std::string path = ScratchFolder() + "/input.trm";
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(input.data(), static_cast<std::streamsize>(input.size()));
    const std::string opened = Outcome([] {
        document::OpenedDocument opened = document::OpenDocument(path);
        if (!document::IsInSubtree(opened.selected, &opened.tree.Root())) Fail("the selected node is not in the tree");
        if (opened.tree.NodeCount() != document::SubtreeSize(opened.tree.Root())) Fail("node count is off");
        for (const document::TreeNode* above = opened.selected->Parent(); above != nullptr; above = above->Parent())
            if (!above->Expanded()) Fail("the way down to the selected node is not open");
        return opened;
    });
    // OpenDocument reads a usual file without the XML node tree: it must read what the node
    // tree gives.
    const std::string throughNodes = Outcome([] {
        nanxml::TNanXML xml;
        xml.LoadFromFile(path);
        return document::LoadDocument(xml, path);
    });
    if (opened != throughNodes) Fail("OpenDocument and the XML node tree read the file differently");
}

}  // namespace fuzz
