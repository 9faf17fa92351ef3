// A tree 100,000 levels deep is written, read, exported and freed on an ordinary stack, and a
// file of a gigabyte is read without a crash.
#include "fault_support.h"

#include "document/TrmFormat.h"
#include "cli/ExportCommand.h"
#include "interchange/TreeExport.h"
#include "xml/nanxml.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fault {
namespace {

constexpr int kDepth = 100000;

std::size_t DepthOf(const document::TreeNode& root)
{
    std::size_t depth = 1;
    for (const document::TreeNode* node = &root; node->HasChildren(); node = node->FirstChild()) ++depth;
    return depth;
}

TEST(DeepTree, HundredThousandLevelsAreWrittenReadAndFreed)
{
    TempFolder folder;
    const std::string path = folder.Path() + "/deep.trm";
    for (const nanxml::TDocumentEncoding encoding : {nanxml::deUTF8, nanxml::deShiftJIS}) {
        {
            document::DocumentTree tree;
            document::TreeNode* node = &tree.Root();
            for (int level = 1; level < kDepth; ++level) node = &tree.AppendNode(*node, "段");
            node->Data().SetText("底");
            document::WriteDocument(path, tree, node, encoding);
        }
        const document::OpenedDocument opened = document::OpenDocument(path);
        EXPECT_EQ(opened.tree.NodeCount(), static_cast<std::size_t>(kDepth));
        EXPECT_EQ(DepthOf(opened.tree.Root()), static_cast<std::size_t>(kDepth));
        EXPECT_EQ(opened.selected->Level(), static_cast<std::size_t>(kDepth));
        EXPECT_EQ(opened.selected->Data().Lines(), std::vector<std::string>{"底"});
        EXPECT_TRUE(opened.tree.Root().Expanded());  // the way down to the selected node is open
    }
}

// The outlines of such a tree would be gigabytes (numbers and indentation grow with the
// depth): they are refused with a message instead of exhausting the memory.
TEST(DeepTree, HundredThousandLevelsAreRefusedForExport)
{
    TempFolder folder;
    const std::string path = folder.Path() + "/deep.trm";
    {
        document::DocumentTree tree;
        document::TreeNode* node = &tree.Root();
        for (int level = 1; level < kDepth; ++level) node = &tree.AppendNode(*node, "段");
        EXPECT_THROW(interchange::MakeTextOutline(tree.Root()), interchange::EOutlineTooLarge);
        EXPECT_THROW(interchange::MakeHtmlOutline(tree.Root()), interchange::EOutlineTooLarge);
        // A few hundred levels are nothing special.
        const std::vector<std::string> lines = interchange::MakeTextOutline(*node->Parent()->Parent()->Parent());
        EXPECT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[6], "1-1 段");  // heading, empty line, no text lines, empty line
        EXPECT_EQ(lines[9], "1-1-1 段");
        document::WriteDocument(path, tree, node, nanxml::deUTF8);
    }
    for (const char* style : {"--text", "--html"}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(cli::RunExportCommand({"export", style, path, folder.Path() + "/outline"}, out, err), 1);
        EXPECT_EQ(err.str(), "エクスポートする内容が大きすぎます\n");
        EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/outline"));
    }
}

// Hand-made nesting: node elements 100,000 deep in the older layout, closed and unclosed.
TEST(DeepTree, HundredThousandNestedNodeElementsAreRead)
{
    TempFolder folder;
    const std::string path = folder.Path() + "/nested.trm";
    std::string open;
    for (int level = 0; level < kDepth; ++level) open += "<node name=\"n\">";
    std::string close;
    for (int level = 0; level < kDepth; ++level) close += "</node>";
    for (const std::string& bytes : {open + close, open}) {
        {
            std::ofstream(path, std::ios::binary) << bytes;
        }
        const document::OpenedDocument opened = document::OpenDocument(path);
        EXPECT_EQ(opened.tree.NodeCount(), static_cast<std::size_t>(kDepth));
        EXPECT_EQ(DepthOf(opened.tree.Root()), static_cast<std::size_t>(kDepth));
    }
}

// A gigabyte file, most of it NUL bytes (a sparse file costs no disk): reading drops the
// NULs and keeps what stands around them.
TEST(HugeFile, GigabyteDocumentIsReadWithoutACrash)
{
    TempFolder folder;
    const std::string path = folder.Path() + "/huge.trm";
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><file version=\"2\"/>"
                             "<node name=\"大\" selected=\"yes\"><text>始";
    const std::string tail = "終</text></node></velmora>";
    constexpr off_t kSize = off_t{1} << 30;
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), kSize - static_cast<off_t>(tail.size())),
                  static_cast<ssize_t>(tail.size()));
        ASSERT_EQ(::close(fd), 0);
    }
    const document::OpenedDocument opened = document::OpenDocument(path);
    EXPECT_EQ(opened.tree.Root().Name(), "大");
    EXPECT_EQ(opened.tree.Root().Data().Lines(), std::vector<std::string>{"始終"});
}

// A tag made long by one quoted value of 64 MiB is read in an address space of 400 MiB: the
// room made for the tag's attributes must not grow with its length (at 16 bytes for every
// two characters it asked for 512 MiB and ran out where the file otherwise fits), neither
// for one long word nor for a value of short words, each of which could start a name.
TEST(HugeFile, TagWithOneHugeValueIsReadInALimitedAddressSpace)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's shadow memory needs an unlimited address space";
#endif
    TempFolder folder;
    const std::string path = folder.Path() + "/long_tag.xml";
    constexpr std::size_t kValueSize = std::size_t{64} << 20;
    // The file is written piece by piece: the child inherits this process's memory.
    for (const std::string_view piece : {std::string_view("vvvvvvvvvvvvvvvv"), std::string_view("v v v v v v v v ")}) {
        {
            std::ofstream file(path, std::ios::binary);
            file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><big value=\"";
            for (std::size_t written = 0; written < kValueSize; written += piece.size())
                file << piece;
            file << "\"/>";
            ASSERT_TRUE(file.good());
        }
        const int result = WithAddressSpaceLimit(400ul << 20, [&] {
            try {
                nanxml::TNanXML xml;
                xml.LoadFromFile(path);
                const auto* element = dynamic_cast<const nanxml::TNanXMLElement*>(xml.Root().GetChild(0));
                if (element == nullptr)
                    return 1;
                const std::string_view value = element->GetAttributeValue(0);
                return value.size() == kValueSize && value.ends_with(piece) ? 0 : 1;
            } catch (const std::bad_alloc&) {
                return 2;
            } catch (...) {
                return 3;
            }
        });
        EXPECT_EQ(result, 0) << piece;  // 2: out of memory
    }
}

}  // namespace
}  // namespace fault
