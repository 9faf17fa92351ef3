#include "cli/TrmTool.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

using namespace document;
using cli::TrmTool;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunTool(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    TrmTool tool;
    const int status = tool.Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::string WithoutStamp(const std::string& bytes) {
    return std::regex_replace(bytes, std::regex("modified=\"[0-9/: ]*\""), "modified=\"\"");
}

const std::string kVersionOne =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
    "<node name=\"\x83\x8B\x81\x5B\x83\x67\" activenodeindex=\"0\"><text>a&lt;b</text>"
    "<node name=\"c\"><text>x\r\ny</text><node name=\"d\"/></node></node>\r\n";

TEST(TrmTool, ConvertWritesVersionTwoInTheEncodingAsked) {
    TempFolder folder;
    const std::string in = folder.File("in.trm");
    const std::string out = folder.File("out.trm");
    WriteBytes(in, kVersionOne);

    Result r = RunTool({"convert", in, out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string body =
        "<velmora><file version=\"2\" modified=\"\"/><node name=\"ルート\" expanded=\"yes\" selstart=\"0\" "
        "sellength=\"0\"><text>a&lt;b\r\n</text><node name=\"c\" expanded=\"yes\" selstart=\"0\" sellength=\"0\" "
        "selected=\"yes\"><text>x\r\ny\r\n</text><node name=\"d\" expanded=\"no\" selstart=\"0\" sellength=\"0\">"
        "<text/></node></node></node></velmora>";
    const std::string sjisBody = std::regex_replace(body, std::regex("ルート"), "\x83\x8B\x81\x5B\x83\x67");
    EXPECT_EQ(WithoutStamp(ReadBytes(out)), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + sjisBody + "\r\n");

    r = RunTool({"convert", in, out, "--encoding", "utf8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(WithoutStamp(ReadBytes(out)), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body);

    r = RunTool({"--encoding", "sjis", "convert", out, out});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(WithoutStamp(ReadBytes(out)), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + sjisBody + "\r\n");
}

TEST(TrmTool, InfoDescribesTheDocument) {
    TempFolder folder;
    const std::string in = folder.File("in.trm");
    WriteBytes(in, kVersionOne);
    const Result r = RunTool({"info", in});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "nodes: 3\ndepth: 3\nencoding: Shift_JIS\ntext bytes: 11\n");
}

TEST(TrmTool, FailuresGiveTheMessageAndNoOutput) {
    TempFolder folder;
    const std::string missing = folder.File("missing.trm");
    const std::string out = folder.File("out.trm");
    Result r = RunTool({"convert", missing, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ファイル " + missing + " は開けません\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    r = RunTool({"info", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ファイル " + missing + " は開けません\n");

    const std::string in = folder.File("in.trm");
    WriteBytes(in, kVersionOne);
    const std::string nowhere = folder.File("no/folder/out.trm");
    r = RunTool({"convert", in, nowhere});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ファイル " + nowhere + " を作成できません\n");

    // Characters Shift_JIS cannot hold are not turned into "?" behind the user's back.
    const std::string flag = folder.File("flag.trm");
    WriteBytes(flag, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><node name=\"🎌\"><text>é</text></node></velmora>");
    r = RunTool({"convert", flag, out, "--encoding", "sjis"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Shift_JIS で保存できない文字が 2 個あります。--encoding utf8 で保存してください\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(RunTool({"convert", flag, out}).status, 0);

    // A file that holds no document, or no regular file: refused, nothing written anywhere.
    const std::string text = folder.File("notes.txt");
    WriteBytes(text, "plain text\n");
    std::filesystem::remove(out);
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"info", text}, "ファイル " + text + " はツリーメモの文書ではありません\n"},
             {{"convert", text, out}, "ファイル " + text + " はツリーメモの文書ではありません\n"},
             {{"info", "/dev/zero"}, "ファイル /dev/zero は開けません\n"}}) {
        r = RunTool(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, message);
    }
    EXPECT_FALSE(std::filesystem::exists(out));

    // A document cut short is converted as far as it goes, and the user is told.
    const std::string cut = folder.File("cut.trm");
    WriteBytes(cut, kVersionOne.substr(0, kVersionOne.find("<node name=\"d\"")));
    r = RunTool({"convert", cut, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ファイル " + cut + " は途中で終わっています。文書の一部が欠けているおそれがあります。\n");
    EXPECT_TRUE(std::filesystem::exists(out));
}

TEST(TrmTool, AFailedWriteLeavesTheOldOutputIntact) {
    TempFolder folder;
    const std::string in = folder.File("big.trm");
    std::string big = "<velmora><node name=\"r\"><text>";
    big.append(200000, 'x');
    big += "</text></node></velmora>";
    WriteBytes(in, big);
    const std::string out = folder.File("out.trm");
    WriteBytes(out, "old contents");

    // A full disk, simulated: files may not grow past 64 KiB in the child.
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::ostringstream ignored;
        TrmTool tool;
        _exit(tool.Run({"convert", in, out}, ignored, ignored));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadBytes(out), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("")), {}), 2);  // no temporary left
}

// The real program, its standard output on a full device: what it printed never arrived.
TEST(TrmTool, AnOutputThatCannotBeWrittenFailsTheCommand) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempFolder folder;
    const std::string in = folder.File("in.trm");
    WriteBytes(in, kVersionOne);
    const std::string errPath = folder.File("err.txt");
    const auto run = [&](const std::string& args, const char* stdoutPath) {
        const std::string command =
            std::string(TRMTOOL_PATH) + " " + args + " >" + stdoutPath + " 2>'" + errPath + "'";
        const int status = std::system(command.c_str());
        return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", ReadBytes(errPath)};
    };
    const std::string refused = "出力を書き込めません: No space left on device\n";
    for (const std::string& args : {"info '" + in + "'", "export --text '" + in + "'", "export --html '" + in + "'"}) {
        const Result r = run(args, "/dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, refused) << args;
    }
    // Nothing goes to standard output: the full device does not matter.
    Result r = run("convert '" + in + "' '" + folder.File("out.trm") + "'", "/dev/full");
    EXPECT_EQ(r.status, 0) << r.err;
    // A command that failed keeps its status and its own message.
    r = run("info '" + folder.File("missing.trm") + "'", "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ファイル " + folder.File("missing.trm") + " は開けません\n");
    r = run("info '" + in + "'", "/dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(TrmTool, CommandLinesItDoesNotUnderstand) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"convert", "a"}, {"info"}, {"info", "a", "b"}, {"convert", "a", "b", "--encoding", "latin1"},
          {"convert", "a", "b", "--encoding"}, {"frobnicate", "a"}, {"info", "a", "--encoding", "utf8"}, {"convert", "a", "b", "--force"}}) {
        const Result r = RunTool(args);
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(r.err.rfind("使い方: trmtool", 0), 0u);
    }
}

}  // namespace
