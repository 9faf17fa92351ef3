// Every file the program writes, saved under faults: a full disk, a kill in the middle of
// the save, read-only files and folders, symlinks and hard links. A save either replaces
// the file whole or leaves it as it was, and a refusal carries the user's message.
#include "fault_support.h"
#include "savers.h"

#include "platform/file_io.h"
#include "platform/file_io_testing.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fault {
namespace {

namespace fs = std::filesystem;

class SaveUnderFaults : public ::testing::TestWithParam<Saver> {
protected:
    void SetUp() override
    {
        saver_ = GetParam();
        saver_.prepare(Folder());
        target_ = saver_.target(Folder());
    }

    const std::string& Folder() const { return folder_.Path(); }
    std::string TargetFolder() const { return FolderOf(target_); }

    // The bytes a save of that generation writes, made in a folder of their own.
    std::string BytesOfGeneration(int generation) const
    {
        TempFolder elsewhere;
        saver_.prepare(elsewhere.Path());
        EXPECT_EQ(saver_.save(elsewhere.Path(), generation), kSaved);
        return ReadBytes(saver_.target(elsewhere.Path()));
    }

    // Saves generation 1 and returns its bytes.
    std::string SaveFirst()
    {
        EXPECT_EQ(saver_.save(Folder(), 1), kSaved);
        return ReadBytes(target_);
    }

    TempFolder folder_;
    Saver saver_{};
    std::string target_;
};

// ---- where a kill strikes ----

struct KillPoint {
    platform::SaveStep step;
    std::size_t afterBytes;
};
KillPoint killPoint;

void KillAtKillPoint(platform::SaveStep step, std::size_t bytesWritten)
{
    if (step == killPoint.step && bytesWritten >= killPoint.afterBytes) ::raise(SIGKILL);
}

int SaveKilledAt(const Saver& saver, const std::string& folder, KillPoint point)
{
    return InChild([&] {
        killPoint = point;
        platform::SetSaveObserver(KillAtKillPoint);
        saver.save(folder, 2);
        return 0;  // not killed: the kill point was never reached
    });
}

std::vector<KillPoint> KillPoints()
{
    using platform::SaveStep;
    return {{SaveStep::WriteTemporary, 0},
            {SaveStep::WriteTemporary, platform::kObservedWriteSize},
            {SaveStep::WriteTemporary, 8 * platform::kObservedWriteSize},
            {SaveStep::Commit, 0}};
}

// Names of the temporary files a killed save may leave: hidden, beside the target.
bool IsTemporaryOf(const std::string& name, const std::string& target)
{
    const std::string base = NameOf(target);
    return name.size() > base.size() + 1 && name[0] == '.' && name.compare(1, base.size(), base) == 0 &&
           name[base.size() + 1] == '.';
}

TEST_P(SaveUnderFaults, FullDiskReportsTheFailureAndKeepsTheOldFile)
{
    const std::string old = SaveFirst();
    ASSERT_GT(BytesOfGeneration(2).size(), 8u * 1024);
    const std::set<std::string> names = NamesIn(TargetFolder());
    EXPECT_EQ(WithFileSizeLimit(4096, [&] { return static_cast<int>(saver_.save(Folder(), 2)); }), kRefused);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(NamesIn(TargetFolder()), names);

    // The same with a second hard link to the file: both names keep the old contents.
    const std::string other = TargetFolder() + "/other-name";
    ASSERT_EQ(::link(target_.c_str(), other.c_str()), 0);
    EXPECT_EQ(WithFileSizeLimit(4096, [&] { return static_cast<int>(saver_.save(Folder(), 2)); }), kRefused);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(ReadBytes(other), old);
    EXPECT_EQ(NamesIn(TargetFolder()).size(), names.size() + 1);
}

TEST_P(SaveUnderFaults, KilledMidSaveLeavesTheOldFileWhole)
{
    const std::string old = SaveFirst();
    const std::string fresh = BytesOfGeneration(2);
    ASSERT_GT(fresh.size(), 8 * platform::kObservedWriteSize);
    for (const KillPoint point : KillPoints()) {
        SCOPED_TRACE(testing::Message() << "step " << static_cast<int>(point.step) << " after " << point.afterBytes);
        ASSERT_EQ(SaveKilledAt(saver_, Folder(), point), kKilled);
        EXPECT_EQ(ReadBytes(target_), old);
    }
    // Only the dead saves' temporary files are left beside it, and the next save works.
    for (const std::string& name : NamesIn(TargetFolder())) {
        if (name != NameOf(target_)) {
            EXPECT_TRUE(IsTemporaryOf(name, target_)) << name;
        }
    }
    EXPECT_EQ(saver_.save(Folder(), 2), kSaved);
    EXPECT_EQ(ReadBytes(target_), fresh);
}

// A file with several hard links is rewritten in place; until the rewrite starts, a kill
// leaves it as it was, and once it has started the backup beside it holds the old contents.
TEST_P(SaveUnderFaults, HardLinksAreKeptAndAKilledRewriteLeavesABackup)
{
    const std::string old = SaveFirst();
    const std::string other = TargetFolder() + "/other-name";
    ASSERT_EQ(::link(target_.c_str(), other.c_str()), 0);
    const mode_t mode = ModeOf(target_);
    const std::set<std::string> names = NamesIn(TargetFolder());

    EXPECT_EQ(saver_.save(Folder(), 2), kSaved);
    const std::string fresh = BytesOfGeneration(2);
    EXPECT_EQ(ReadBytes(target_), fresh);
    EXPECT_EQ(ReadBytes(other), fresh);
    struct stat status {};
    ASSERT_EQ(::stat(target_.c_str(), &status), 0);
    EXPECT_EQ(status.st_nlink, 2u);
    EXPECT_EQ(status.st_mode & 07777, mode);
    EXPECT_EQ(NamesIn(TargetFolder()), names);

    ASSERT_EQ(saver_.save(Folder(), 1), kSaved);
    for (const KillPoint point : KillPoints()) {
        ASSERT_EQ(SaveKilledAt(saver_, Folder(), point), kKilled);
        EXPECT_EQ(ReadBytes(other), old);
        // Whatever a kill leaves, the backup that opening would offer is whole.
        if (const auto backup = platform::InterruptedRewriteBackup(target_)) {
            EXPECT_EQ(ReadBytes(*backup), old);
        }
    }
    // Killed while the backup is written: the file is whole, and no partial backup is offered.
    for (const std::string& name : NamesIn(TargetFolder()))
        if (IsTemporaryOf(name, target_) && name.ends_with("~")) std::filesystem::remove(TargetFolder() + "/" + name);
    ASSERT_EQ(SaveKilledAt(saver_, Folder(), {platform::SaveStep::WriteBackup, 0}), kKilled);
    EXPECT_EQ(ReadBytes(other), old);
    EXPECT_FALSE(platform::InterruptedRewriteBackup(target_));
    ASSERT_EQ(SaveKilledAt(saver_, Folder(), {platform::SaveStep::RewriteInPlace, 4 * platform::kObservedWriteSize}),
              kKilled);
    std::vector<std::string> backups;
    for (const std::string& name : NamesIn(TargetFolder()))
        if (IsTemporaryOf(name, target_) && name.ends_with("~")) backups.push_back(name);
    ASSERT_FALSE(backups.empty());
    for (const std::string& backup : backups) EXPECT_EQ(ReadBytes(TargetFolder() + "/" + backup), old);
    ASSERT_TRUE(platform::InterruptedRewriteBackup(target_));
    EXPECT_EQ(ReadBytes(*platform::InterruptedRewriteBackup(target_)), old);
    EXPECT_NE(ReadBytes(other), old);  // the rewrite had begun
}

TEST_P(SaveUnderFaults, ReadOnlyFileOrFolderIsRefusedForAnOrdinaryUser)
{
    const std::string old = SaveFirst();
    const std::set<std::string> names = NamesIn(TargetFolder());
    HandToOrdinaryUser(Folder());
    const auto saveAsOrdinaryUser = [&] {
        return AsOrdinaryUser([&] { return static_cast<int>(saver_.save(Folder(), 2)); });
    };
    // The ordinary user can save at all.
    EXPECT_EQ(saveAsOrdinaryUser(), kSaved);
    ASSERT_EQ(saver_.save(Folder(), 1), kSaved);
    if (::geteuid() == 0) HandToOrdinaryUser(Folder());

    ASSERT_EQ(::chmod(target_.c_str(), 0444), 0);
    EXPECT_EQ(saveAsOrdinaryUser(), kRefused);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(ModeOf(target_), 0444u);
    EXPECT_EQ(NamesIn(TargetFolder()), names);

    ASSERT_EQ(::chmod(target_.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(TargetFolder().c_str(), 0555), 0);
    EXPECT_EQ(saveAsOrdinaryUser(), kRefused);
    EXPECT_EQ(ReadBytes(target_), old);
    EXPECT_EQ(NamesIn(TargetFolder()), names);
}

TEST_P(SaveUnderFaults, SymlinkedTargetIsWrittenThroughAndStaysALink)
{
    SaveFirst();
    const std::string real = Folder() + "/elsewhere/real-file";
    fs::create_directories(FolderOf(real));
    fs::rename(target_, real);
    fs::create_symlink(real, target_);
    EXPECT_EQ(saver_.save(Folder(), 2), kSaved);
    EXPECT_TRUE(fs::is_symlink(target_));
    EXPECT_EQ(fs::read_symlink(target_), real);
    EXPECT_EQ(ReadBytes(real), BytesOfGeneration(2));
    EXPECT_EQ(NamesIn(FolderOf(real)), std::set<std::string>{"real-file"});

    if (!saver_.pathChosenByUser) return;  // a settings file behind a broken link is missing settings
    // A dangling link gets the file it points to.
    fs::remove(real);
    EXPECT_EQ(saver_.save(Folder(), 3), kSaved);
    EXPECT_TRUE(fs::is_symlink(target_));
    EXPECT_EQ(ReadBytes(real), BytesOfGeneration(3));
    // A link loop is refused and creates nothing.
    fs::remove(target_);
    const std::string loop = TargetFolder() + "/loop";
    fs::create_symlink(loop, target_);
    fs::create_symlink(target_, loop);
    const std::set<std::string> names = NamesIn(TargetFolder());
    EXPECT_EQ(saver_.save(Folder(), 2), kRefused);
    EXPECT_EQ(NamesIn(TargetFolder()), names);
}

// Written while a test watches every step of a save.
std::string watchedFolder;
int temporaryFilesSeen = 0;
int openToOthers = 0;

void CheckTemporaryFilesArePrivate(platform::SaveStep step, std::size_t)
{
    if (step != platform::SaveStep::WriteTemporary) return;
    for (const fs::directory_entry& entry : fs::directory_iterator(watchedFolder)) {
        if (!entry.path().filename().string().starts_with(".")) continue;
        ++temporaryFilesSeen;
        if ((ModeOf(entry.path().string()) & 0077) != 0) ++openToOthers;
    }
}

TEST_P(SaveUnderFaults, PermissionsAreKeptAndTheTemporaryFileIsPrivateWhileWritten)
{
    SaveFirst();
    for (const mode_t mode : {0600u, 0640u, 0664u, 0604u}) {
        ASSERT_EQ(::chmod(target_.c_str(), mode), 0);
        watchedFolder = TargetFolder();
        temporaryFilesSeen = openToOthers = 0;
        platform::SetSaveObserver(CheckTemporaryFilesArePrivate);
        const SaveOutcome outcome = saver_.save(Folder(), 2);
        platform::SetSaveObserver(nullptr);
        EXPECT_EQ(outcome, kSaved);
        EXPECT_EQ(ModeOf(target_), mode);
        EXPECT_GT(temporaryFilesSeen, 0);
        EXPECT_EQ(openToOthers, 0);
    }
    if (!saver_.pathChosenByUser) return;
    // A new file gets what creating it gives.
    fs::remove(target_);
    const mode_t previous = ::umask(027);
    EXPECT_EQ(saver_.save(Folder(), 2), kSaved);
    ::umask(previous);
    EXPECT_EQ(ModeOf(target_), 0640u);
}

INSTANTIATE_TEST_SUITE_P(EveryFile, SaveUnderFaults, ::testing::ValuesIn(AllSavers()),
                         [](const ::testing::TestParamInfo<Saver>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fault
