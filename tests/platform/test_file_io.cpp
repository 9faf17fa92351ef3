#include "platform/file_io.h"

#include "platform/file_io_testing.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <grp.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using platform::CannotCreateMessage;
using platform::CannotOpenMessage;
using platform::FileError;
using platform::FileExists;
using platform::ReadWholeFile;
using platform::SafeReplaceFile;

namespace fs = std::filesystem;

namespace {

class FileIo : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    void Write(const std::string& name, const std::string& contents, mode_t mode = 0644) const
    {
        SafeReplaceFile(Path(name), contents);
        ASSERT_EQ(::chmod(Path(name).c_str(), mode), 0);
    }

    // Every name in the folder, hidden ones included: no temporary file may stay behind.
    std::set<std::string> Names(const std::string& folder = {}) const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? dir_ : folder))
            names.insert(entry.path().filename().string());
        return names;
    }

    static mode_t ModeOf(const std::string& path)
    {
        struct stat status {};
        EXPECT_EQ(::stat(path.c_str(), &status), 0);
        return status.st_mode & 07777;
    }

    // Runs body in a child process and returns its exit code (body returns it).
    template <typename Body>
    static int InChild(Body body)
    {
        const pid_t pid = ::fork();
        if (pid == 0) ::_exit(body());
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, 0), pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // 0 when SafeReplaceFile threw the create message for path, 1 when it succeeded,
    // 2 for anything else. For child processes, which cannot use gtest's assertions.
    static int ReplaceOutcome(const std::string& path, std::string_view contents)
    {
        try {
            SafeReplaceFile(path, contents);
            return 1;
        } catch (const FileError& error) {
            return error.what() == CannotCreateMessage(path) && !error.reason().empty() ? 0 : 2;
        } catch (...) {
            return 2;
        }
    }

    test_support::TempFolder folder_;
    const std::string dir_ = folder_.Path();
};

void ExpectCreateError(const std::string& path, std::string_view contents, const std::string& reason = {})
{
    try {
        SafeReplaceFile(path, contents);
        ADD_FAILURE() << "replacing " << path << " succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "ファイル " + path + " を作成できません");
        EXPECT_FALSE(error.reason().empty());
        if (!reason.empty()) {
            EXPECT_EQ(error.reason(), reason);
        }
    }
}

}  // namespace

TEST_F(FileIo, MessagesNameThePath)
{
    EXPECT_EQ(CannotOpenMessage("/tmp/a.trm"), "ファイル /tmp/a.trm は開けません");
    EXPECT_EQ(CannotCreateMessage("/tmp/メモ.trm"), "ファイル /tmp/メモ.trm を作成できません");
    const FileError error("message", "reason");
    EXPECT_STREQ(error.what(), "message");
    EXPECT_EQ(error.reason(), "reason");
}

TEST_F(FileIo, ReadsWholeFilesByteForByteAndReportsWhatCannotBeRead)
{
    const std::string bytes("line 1\r\n\0\xFF\x82\xA0 end", 16);
    Write("data.bin", bytes);
    EXPECT_EQ(ReadWholeFile(Path("data.bin")), bytes);
    Write("empty", "");
    EXPECT_EQ(ReadWholeFile(Path("empty")), "");
    std::string large(3 * 1024 * 1024 + 7, 'x');
    large[12345] = '\0';
    Write("large", large);
    EXPECT_EQ(ReadWholeFile(Path("large")), large);
    // Files whose size is not known in advance are read to their end.
    EXPECT_NE(ReadWholeFile("/proc/self/status").find("Umask:"), std::string::npos);

    // Not regular files: refused at once, a FIFO without waiting for a writer, a device
    // without reading it forever.
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    for (const std::string& unreadable : {Path("missing.trm"), dir_, Path("fifo"), std::string("/dev/zero")}) {
        try {
            ReadWholeFile(unreadable);
            ADD_FAILURE() << unreadable;
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), "ファイル " + unreadable + " は開けません");
            EXPECT_FALSE(error.reason().empty());
        }
    }
}

TEST_F(FileIo, FileExistsOnlyForFiles)
{
    Write("a.trm", "x");
    EXPECT_TRUE(FileExists(Path("a.trm")));
    EXPECT_FALSE(FileExists(Path("b.trm")));
    EXPECT_FALSE(FileExists(dir_));
    ASSERT_EQ(::symlink("a.trm", Path("link").c_str()), 0);
    EXPECT_TRUE(FileExists(Path("link")));
}

TEST_F(FileIo, NewFileGetsContentsAndTheModeCreationGives)
{
    const mode_t previous = ::umask(027);
    SafeReplaceFile(Path("new.trm"), "<?xml version=\"1.0\"?>\r\n");
    ::umask(previous);
    EXPECT_EQ(ReadWholeFile(Path("new.trm")), "<?xml version=\"1.0\"?>\r\n");
    EXPECT_EQ(ModeOf(Path("new.trm")), 0640u);
    EXPECT_EQ(Names(), std::set<std::string>{"new.trm"});
}

TEST_F(FileIo, ReplacingKeepsModeAndLeavesNoTemporaryFile)
{
    Write("doc.trm", "old contents that are longer than the new ones", 0640);
    SafeReplaceFile(Path("doc.trm"), "new");
    EXPECT_EQ(ReadWholeFile(Path("doc.trm")), "new");
    EXPECT_EQ(ModeOf(Path("doc.trm")), 0640u);
    SafeReplaceFile(Path("doc.trm"), "");
    EXPECT_EQ(ReadWholeFile(Path("doc.trm")), "");
    EXPECT_EQ(Names(), std::set<std::string>{"doc.trm"});
}

TEST_F(FileIo, WritesThroughSymlinksWhichStayLinks)
{
    ASSERT_EQ(::mkdir(Path("real").c_str(), 0755), 0);
    Write("real/target.trm", "old", 0600);
    ASSERT_EQ(::symlink("real/target.trm", Path("link.trm").c_str()), 0);
    ASSERT_EQ(::symlink(Path("link.trm").c_str(), Path("link2.trm").c_str()), 0);  // a chain, absolute

    SafeReplaceFile(Path("link2.trm"), "new");
    EXPECT_EQ(fs::read_symlink(Path("link2.trm")), Path("link.trm"));
    EXPECT_EQ(fs::read_symlink(Path("link.trm")), "real/target.trm");
    EXPECT_EQ(ReadWholeFile(Path("real/target.trm")), "new");
    EXPECT_EQ(ModeOf(Path("real/target.trm")), 0600u);
    EXPECT_EQ(Names(Path("real")), std::set<std::string>{"target.trm"});

    // A dangling link gets the file it points to.
    ASSERT_EQ(::symlink("real/later.trm", Path("dangling.trm").c_str()), 0);
    SafeReplaceFile(Path("dangling.trm"), "created");
    EXPECT_TRUE(fs::is_symlink(Path("dangling.trm")));
    EXPECT_EQ(ReadWholeFile(Path("real/later.trm")), "created");
}

TEST_F(FileIo, SymlinkLoopIsRefused)
{
    ASSERT_EQ(::symlink("b", Path("a").c_str()), 0);
    ASSERT_EQ(::symlink("a", Path("b").c_str()), 0);
    ExpectCreateError(Path("a"), "text");
    EXPECT_EQ(Names(), (std::set<std::string>{"a", "b"}));
}

TEST_F(FileIo, ReadOnlyTargetIsRefusedAndKept)
{
    Write("locked.trm", "keep me", 0444);
    ExpectCreateError(Path("locked.trm"), "overwritten");
    EXPECT_EQ(ReadWholeFile(Path("locked.trm")), "keep me");
    EXPECT_EQ(ModeOf(Path("locked.trm")), 0444u);
    EXPECT_EQ(Names(), std::set<std::string>{"locked.trm"});

    // Also when reached through a symlink.
    ASSERT_EQ(::symlink("locked.trm", Path("link.trm").c_str()), 0);
    ExpectCreateError(Path("link.trm"), "overwritten");
    EXPECT_EQ(ReadWholeFile(Path("locked.trm")), "keep me");

    // A read-only folder alike, for root too: neither a new file nor a replaced one.
    ASSERT_EQ(::mkdir(Path("shut").c_str(), 0755), 0);
    Write("shut/doc.trm", "old", 0644);
    ASSERT_EQ(::chmod(Path("shut").c_str(), 0555), 0);
    ExpectCreateError(Path("shut/doc.trm"), "new");
    ExpectCreateError(Path("shut/new.trm"), "new");
    ASSERT_EQ(::chmod(Path("shut").c_str(), 0755), 0);
    EXPECT_EQ(ReadWholeFile(Path("shut/doc.trm")), "old");
    EXPECT_FALSE(FileExists(Path("shut/new.trm")));
}

TEST_F(FileIo, MissingFolderOrFolderTargetIsAnError)
{
    ExpectCreateError(Path("no-such-folder/doc.trm"), "x", "No such file or directory");
    ExpectCreateError(dir_, "x");
    ExpectCreateError("", "x");
    EXPECT_TRUE(Names().empty());
}

// A full disk: writes stop at the file size limit (SIGXFSZ ignored, so write fails with
// EFBIG instead of killing the process). The old file must survive untouched.
TEST_F(FileIo, FailingWriteKeepsTheOldFileAndRemovesTheTemporaryFile)
{
    const std::string old = "old contents\r\n";
    Write("doc.trm", old, 0640);
    const std::string path = Path("doc.trm");
    const int outcome = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        return ReplaceOutcome(path, std::string(1024 * 1024, 'n'));
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(Names(), std::set<std::string>{"doc.trm"});
}

TEST_F(FileIo, HardLinkedFileIsRewrittenForEveryName)
{
    Write("doc.trm", "old contents", 0640);
    ASSERT_EQ(::link(Path("doc.trm").c_str(), Path("other.trm").c_str()), 0);
    SafeReplaceFile(Path("doc.trm"), "new");
    EXPECT_EQ(ReadWholeFile(Path("doc.trm")), "new");
    EXPECT_EQ(ReadWholeFile(Path("other.trm")), "new");
    EXPECT_EQ(ModeOf(Path("doc.trm")), 0640u);
    struct stat status {};
    ASSERT_EQ(::stat(Path("doc.trm").c_str(), &status), 0);
    EXPECT_EQ(status.st_nlink, 2u);
    EXPECT_EQ(Names(), (std::set<std::string>{"doc.trm", "other.trm"}));

    // Failing to write the new contents beside it leaves both names with the old ones.
    const std::string path = Path("doc.trm");
    const int outcome = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        return ReplaceOutcome(path, std::string(1024 * 1024, 'n'));
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(ReadWholeFile(Path("other.trm")), "new");
    EXPECT_EQ(Names(), (std::set<std::string>{"doc.trm", "other.trm"}));
}

// Root ignores file modes, so these run only as root, the user is changed in a child.
TEST_F(FileIo, FileOfAnotherUserIsRefusedEvenInAWritableFolder)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    Write("root.trm", "root's", 0644);
    const std::string path = Path("root.trm");
    const int outcome = InChild([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return 3;
        return ReplaceOutcome(path, "someone else's");
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(ReadWholeFile(path), "root's");
    EXPECT_EQ(Names(), std::set<std::string>{"root.trm"});
}

TEST_F(FileIo, ReplacingAsRootKeepsOwnerAndGroup)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to own files of another user";
    Write("theirs.trm", "old", 0664);
    ASSERT_EQ(::chown(Path("theirs.trm").c_str(), 65534, 65534), 0);
    SafeReplaceFile(Path("theirs.trm"), "new");
    struct stat status {};
    ASSERT_EQ(::stat(Path("theirs.trm").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, 0664u);
    EXPECT_EQ(ReadWholeFile(Path("theirs.trm")), "new");
}

namespace {

std::vector<std::size_t> observedSizes;
void RecordSize(platform::SaveStep step, std::size_t bytesWritten)
{
    if (step == platform::SaveStep::WriteTemporary || step == platform::SaveStep::Commit)
        observedSizes.push_back(bytesWritten);
}

}  // namespace

// The file made in pieces: nothing changes until the commit, an abandoned writer leaves no
// trace, a failure ends the writer, and the observer counts the bytes of all the pieces.
TEST_F(FileIo, WriterInPiecesReplacesOnlyOnCommit)
{
    Write("doc.trm", "old", 0640);
    const std::string path = Path("doc.trm");
    {
        platform::SafeFileWriter writer(path);
        writer.Write("new ");
        EXPECT_EQ(Names().size(), 2u);  // the target and the temporary file beside it
        writer.Write("");
        writer.Write("contents");
        EXPECT_EQ(ReadWholeFile(path), "old");
        writer.Commit();
        EXPECT_THROW(writer.Write("more"), FileError);
    }
    EXPECT_EQ(ReadWholeFile(path), "new contents");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(Names(), std::set<std::string>{"doc.trm"});

    {
        platform::SafeFileWriter abandoned(path);
        abandoned.Write("never committed");
    }
    EXPECT_EQ(ReadWholeFile(path), "new contents");
    EXPECT_EQ(Names(), std::set<std::string>{"doc.trm"});

    // A hard-linked file gets the pieces in place, for both names.
    ASSERT_EQ(::link(path.c_str(), Path("other.trm").c_str()), 0);
    observedSizes.clear();
    platform::SetSaveObserver(RecordSize);
    {
        platform::SafeFileWriter writer(path);
        writer.Write(std::string(1500, 'a'));
        writer.Write(std::string(1000, 'b'));
        writer.Commit();
    }
    platform::SetSaveObserver(nullptr);
    EXPECT_EQ(ReadWholeFile(Path("other.trm")), std::string(1500, 'a') + std::string(1000, 'b'));
    EXPECT_EQ(observedSizes, (std::vector<std::size_t>{0, 1024, 1500, 2500}));
    EXPECT_EQ(Names(), (std::set<std::string>{"doc.trm", "other.trm"}));

    // A failed write is reported with the message, and so is every step after it.
    const int outcome = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        platform::SafeFileWriter writer(Path("third.trm"));
        const std::string piece(40 * 1024, 'n');
        writer.Write(piece);
        try {
            writer.Write(piece);
            return 4;
        } catch (const FileError& error) {
            if (error.what() != CannotCreateMessage(Path("third.trm"))) return 5;
        }
        try {
            writer.Commit();
            return 6;
        } catch (const FileError& error) {
            return error.what() == CannotCreateMessage(Path("third.trm")) ? 0 : 7;
        }
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"doc.trm", "other.trm"}));
}
