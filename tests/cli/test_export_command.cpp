#include "cli/ExportCommand.h"

#include "document/TrmFormat.h"
#include "interchange/TreeExport.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using cli::RunExportCommand;

namespace {

using Folder = test_support::TempFolder;

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct CommandRun {
    int status;
    std::string out, err;
};

CommandRun Export(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = RunExportCommand(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace

TEST(ExportCommand, WritesBothRenderingsToStandardOutputOrAFile)
{
    Folder folder;
    document::DocumentTree tree;
    tree.Root().Data().SetText("本文\r\n");
    tree.AppendNode(tree.AppendNode(tree.Root(), "章 <1>"), "節 & 項").Data().SetText("a\r\n\r\n");
    const std::string doc = folder.File("doc.trm");
    document::WriteDocument(doc, tree, &tree.Root(), document::TDocumentEncoding::deShiftJIS);

    const std::string text = interchange::JoinOutlineLines(interchange::MakeTextOutline(tree.Root()));
    const std::string html = interchange::JoinOutlineLines(interchange::MakeHtmlOutline(tree.Root()));
    ASSERT_EQ(text, "ルート\r\n\r\n本文\r\n\r\n1 章 <1>\r\n\r\n\r\n1-1 節 & 項\r\n\r\na\r\n\r\n\r\n");

    const CommandRun toStdout = Export({"export", "--text", doc});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out, text);
    EXPECT_EQ(toStdout.err, "");

    const std::string target = folder.File("out.html");
    std::ofstream(target) << "an older and longer export that is replaced";
    const CommandRun toFile = Export({"export", "--html", doc, target});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(Bytes(target), html);
}

TEST(ExportCommand, RefusesBadCommandLinesAndReportsFileErrors)
{
    Folder folder;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"export"}, {"export", "--text"}, {"export", "--xml", "a.trm"}, {"export", "a.trm", "--html"},
             {"export", "--html", "a.trm", "b", "c"}}) {
        const CommandRun run = Export(args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_EQ(run.err, "使い方: trmtool export --text|--html IN [OUT]\n");
    }

    const std::string missing = folder.File("missing.trm");
    const std::string target = folder.File("kept.txt");
    std::ofstream(target) << "kept";
    const CommandRun run = Export({"export", "--text", missing, target});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_EQ(Bytes(target), "kept");

    document::WriteDocument(folder.File("doc.trm"), document::DocumentTree(), nullptr,
                            document::TDocumentEncoding::deUTF8);
    const std::string noFolder = folder.File("no/such/folder.txt");
    const CommandRun unwritable = Export({"export", "--text", folder.File("doc.trm"), noFolder});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err, "ファイル " + noFolder + " を作成できません\n");
}
