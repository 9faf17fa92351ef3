#include "platform/file_io.h"

#include "platform/file_io_testing.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace platform {

FileError::FileError(const std::string& message, std::string reason)
    : std::runtime_error(message), reason_(std::move(reason))
{
}

std::string CannotOpenMessage(std::string_view path)
{
    return "ファイル " + std::string(path) + " は開けません";
}

std::string CannotCreateMessage(std::string_view path)
{
    return "ファイル " + std::string(path) + " を作成できません";
}

namespace {

std::string ErrorText(int error) { return std::system_category().message(error); }

// A failed system call inside SafeReplaceFile, turned into FileError at its boundary.
struct SystemFailure {
    int error;
};

[[noreturn]] void Fail(int error) { throw SystemFailure{error}; }

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closing can report a write error (e.g. on network file systems), so it is checked.
    void CloseChecked()
    {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0 && errno != EINTR) Fail(errno);
    }

private:
    int fd_;
};

int OpenRetrying(const char* path, int flags)
{
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Linux writes at most this much in one call.
constexpr std::size_t kMaxWrite = 0x7ffff000;

// How much of a file made in pieces is written before it is sent on to the disk.
constexpr std::size_t kSendToDiskEvery = 8 << 20;

SaveObserver saveObserver = nullptr;

// Every write's length is checked: a short write (full disk, file size limit) is followed
// by another write that then reports the cause; a write that accepts nothing fails.
// alreadyWritten: how much of the contents went before data, for the observer.
void WriteAll(int fd, std::string_view data, SaveStep step, std::size_t alreadyWritten = 0)
{
    const std::size_t total = alreadyWritten + data.size();
    const std::size_t piece = saveObserver != nullptr ? kObservedWriteSize : kMaxWrite;
    while (!data.empty()) {
        if (saveObserver != nullptr) saveObserver(step, total - data.size());
        const ssize_t written = ::write(fd, data.data(), std::min(data.size(), piece));
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        if (written == 0) Fail(ENOSPC);
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Reads from the file's current position to its end; sizeHint is the expected length.
std::string ReadToEnd(int fd, off_t sizeHint)
{
    // One byte more than the size, so that reading an unchanged file ends without growing;
    // files whose size is not known in advance (st_size 0) grow as they are read.
    std::string data(static_cast<std::size_t>(std::max<off_t>(sizeHint, 0)) + 1, '\0');
    std::size_t length = 0;
    for (;;) {
        if (length == data.size()) data.resize(data.size() * 2 + 4096);
        const ssize_t got = ::read(fd, data.data() + length, data.size() - length);
        if (got < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        if (got == 0) break;
        length += static_cast<std::size_t>(got);
    }
    data.resize(length);
    return data;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string ReadLink(const std::string& path)
{
    std::string target(PATH_MAX, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) Fail(errno);
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The file that writing through path really changes: symlinks are followed to their final
// target, which need not exist yet (a dangling link gets the file it points to).
std::string ResolveSymlinks(std::string path)
{
    constexpr int kMaxHops = 40;  // the kernel's own limit; more means a loop
    for (int hops = 0;; ++hops) {
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0) {
            if (errno == ENOENT) return path;
            Fail(errno);
        }
        if (!S_ISLNK(status.st_mode)) return path;
        if (hops == kMaxHops) Fail(ELOOP);
        const std::string link = ReadLink(path);
        path = !link.empty() && link[0] == '/' ? link : DirectoryOf(path) + "/" + link;
    }
}

// umask() can only be read by changing it, which would race with other threads creating
// files, so the kernel's report is preferred.
mode_t CurrentUmask()
{
    try {
        const std::string status = ReadWholeFile("/proc/self/status");
        const std::size_t field = status.find("\nUmask:");
        if (field != std::string::npos) return static_cast<mode_t>(std::strtoul(status.c_str() + field + 7, nullptr, 8));
    } catch (const FileError&) {
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A target the user made read-only is not replaced. Root may write anything, so a file with
// no write permission for anyone counts as read-only as well.
void RefuseReadOnly(const std::string& target, const struct stat& status)
{
    if (!S_ISREG(status.st_mode)) Fail(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) Fail(EACCES);
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) Fail(errno);
}

// A folder with no write permission for anyone is read-only for root too, as a file is.
// A folder that cannot be looked at is left to the creation of the temporary file to refuse.
void RefuseReadOnlyFolder(const std::string& folder)
{
    struct stat status;
    if (::stat(folder.c_str(), &status) == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        Fail(EACCES);
}

// The new file gets the old one's owner (where the process may set it) and permissions;
// a file that did not exist gets what creating it would have given.
void ApplyPermissions(int fd, const struct stat* old)
{
    if (old == nullptr) {
        if (::fchmod(fd, 0666 & ~CurrentUmask()) != 0) Fail(errno);
        return;
    }
    if (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) {
        // Only root can give a file away; others may still keep the group they belong to.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old->st_gid);
    }
    if (::fchmod(fd, old->st_mode & 07777) != 0) Fail(errno);
}

// The rename is done; make it durable. A folder the process cannot read cannot be synced,
// and some file systems do not sync folders: neither makes the save fail.
void SyncFolder(const std::string& folder)
{
    UniqueFd fd(OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (!fd.valid()) return;
    if (::fsync(fd.get()) != 0 && errno != EINVAL) Fail(errno);
}

// A file created beside the target under a hidden unique name, mode 0600 while it is
// written, removed again unless kept.
class SideFile {
public:
    SideFile(const std::string& folder, const std::string& name, std::string_view suffix)
        // Cut short so that a long file name still leaves room for the random part.
        : path_(folder + "/." + name.substr(0, 200) + ".XXXXXX" + std::string(suffix)),
          fd_(::mkostemps(path_.data(), static_cast<int>(suffix.size()), O_CLOEXEC))  // O_EXCL
    {
        if (!fd_.valid()) Fail(errno);
    }
    ~SideFile()
    {
        if (!kept_) ::unlink(path_.c_str());
    }
    SideFile(const SideFile&) = delete;
    SideFile& operator=(const SideFile&) = delete;

    const std::string& Path() const { return path_; }
    int Fd() const { return fd_.get(); }
    void RenameTo(std::string path)
    {
        if (::rename(path_.c_str(), path.c_str()) != 0) Fail(errno);
        path_ = std::move(path);
    }
    void Write(std::string_view data, SaveStep step, std::size_t alreadyWritten = 0)
    {
        WriteAll(fd_.get(), data, step, alreadyWritten);
    }
    // Syncs the file and closes it.
    void Finish()
    {
        if (::fsync(fd_.get()) != 0) Fail(errno);
        fd_.CloseChecked();
    }
    // The file has been renamed, or must stay.
    void Keep() { kept_ = true; }

private:
    std::string path_;
    UniqueFd fd_;
    bool kept_ = false;
};

void Observe(SaveStep step, std::size_t bytesWritten)
{
    if (saveObserver != nullptr) saveObserver(step, bytesWritten);
}

// Puts data at the start of the open file, cuts the file to its length and syncs it.
void OverwriteFromStart(int fd, std::string_view data, SaveStep step)
{
    if (::lseek(fd, 0, SEEK_SET) != 0) Fail(errno);
    WriteAll(fd, data, step);
    if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0) Fail(errno);
    if (::fsync(fd) != 0) Fail(errno);
}

// The folder and the name of a resolved target.
std::pair<std::string, std::string> SplitTarget(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) Fail(target.empty() ? ENOENT : EISDIR);
    return {DirectoryOf(target), std::move(name)};
}

}  // namespace

// The new contents go to a hidden temporary file beside the target as they come. Commit
// renames it over the target, except for a target with several hard links: a file with
// several hard links is one file under several names, and renaming a new file over one of
// them would part it from the others. That file is rewritten in place, after two copies
// beside it: the temporary file of the new contents, which proves they fit on the disk and
// is removed just before the rewrite to make room for it, and a backup of the old contents
// (".NAME.XXXXXX~"), which is left behind only when the rewrite fails and the old contents
// cannot be put back.
class SafeFileWriter::Replacement {
public:
    explicit Replacement(const std::string& path) : target_(ResolveSymlinks(path))
    {
        std::tie(folder_, name_) = SplitTarget(target_);
        exists_ = ::stat(target_.c_str(), &oldStatus_) == 0;
        if (!exists_ && errno != ENOENT) Fail(errno);
        if (exists_) RefuseReadOnly(target_, oldStatus_);
        RefuseReadOnlyFolder(folder_);
        if (exists_ && oldStatus_.st_nlink > 1) {
            linked_.emplace(OpenRetrying(target_.c_str(), O_RDWR));
            if (!linked_->valid()) Fail(errno);
        }
        // Hidden, beside the target, so that the rename stays on one file system.
        temporary_.emplace(folder_, name_, "");
    }

    void Write(std::string_view piece)
    {
        temporary_->Write(piece, SaveStep::WriteTemporary, written_);
        written_ += piece.size();
        // A large file is sent on to the disk while the rest is still being made, so that
        // the fsync of the commit finds little left to wait for. Only a request: the fsync
        // reports any error.
        if (written_ - sentToDisk_ >= kSendToDiskEvery) {
            (void)::sync_file_range(temporary_->Fd(), static_cast<off_t>(sentToDisk_),
                                    static_cast<off_t>(written_ - sentToDisk_), SYNC_FILE_RANGE_WRITE);
            sentToDisk_ = written_;
        }
    }

    void Commit()
    {
        if (linked_) {
            CommitInPlace();
        } else {
            ApplyPermissions(temporary_->Fd(), exists_ ? &oldStatus_ : nullptr);
            temporary_->Finish();
            Observe(SaveStep::Commit, written_);
            if (::rename(temporary_->Path().c_str(), target_.c_str()) != 0) Fail(errno);
            temporary_->Keep();
        }
        SyncFolder(folder_);
    }

private:
    void CommitInPlace()
    {
        const int file = linked_->get();
        struct stat status;
        if (::fstat(file, &status) != 0) Fail(errno);
        const std::string old = ReadToEnd(file, status.st_size);
        // Named as a backup only once whole: a save killed while writing it leaves nothing
        // that opening the file would offer in its place.
        SideFile backup(folder_, name_, "~.part");
        backup.Write(old, SaveStep::WriteBackup);
        backup.Finish();
        backup.RenameTo(backup.Path().substr(0, backup.Path().size() - std::string_view(".part").size()));
        if (::lseek(temporary_->Fd(), 0, SEEK_SET) != 0) Fail(errno);
        const std::string contents = ReadToEnd(temporary_->Fd(), static_cast<off_t>(written_));
        temporary_->Finish();
        temporary_.reset();
        SyncFolder(folder_);  // the backup must be findable after a crash during the rewrite
        Observe(SaveStep::Commit, contents.size());
        try {
            OverwriteFromStart(file, contents, SaveStep::RewriteInPlace);
        } catch (const SystemFailure&) {
            try {
                OverwriteFromStart(file, old, SaveStep::RewriteInPlace);
            } catch (const SystemFailure&) {
                backup.Keep();
            }
            throw;
        }
        linked_->CloseChecked();
    }

    std::string target_;
    std::string folder_;
    std::string name_;
    struct stat oldStatus_ {};
    bool exists_ = false;
    std::optional<UniqueFd> linked_;  // the target, open while it has several hard links
    std::optional<SideFile> temporary_;
    std::size_t written_ = 0;
    std::size_t sentToDisk_ = 0;
};

SafeFileWriter::SafeFileWriter(const std::string& path) : path_(path)
{
    Guarded([&] { replacement_ = std::make_unique<Replacement>(path); });
}

SafeFileWriter::~SafeFileWriter() = default;

void SafeFileWriter::Write(std::string_view piece)
{
    Guarded([&] { Live().Write(piece); });
}

void SafeFileWriter::Commit()
{
    Guarded([&] {
        Live().Commit();
        replacement_.reset();
    });
}

SafeFileWriter::Replacement& SafeFileWriter::Live()
{
    // After a failure or the commit there is nothing left to write to.
    if (replacement_ == nullptr) Fail(failure_ != 0 ? failure_ : EBADF);
    return *replacement_;
}

template <class Step>
void SafeFileWriter::Guarded(Step&& step)
{
    try {
        step();
    } catch (const SystemFailure& failure) {
        failure_ = failure.error;
        replacement_.reset();  // removes the temporary file
        throw FileError(CannotCreateMessage(path_), ErrorText(failure.error));
    }
}

void SetSaveObserver(SaveObserver observer) { saveObserver = observer; }

std::string ReadWholeFile(const std::string& path)
{
    const auto fail = [&](int error) { throw FileError(CannotOpenMessage(path), ErrorText(error)); };
    // Not blocking: opening a FIFO for reading would wait for a writer forever. Only a
    // regular file is read; a device such as /dev/zero would never end.
    UniqueFd fd(OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) fail(errno);
    struct stat status;
    if (::fstat(fd.get(), &status) != 0) fail(errno);
    if (S_ISDIR(status.st_mode)) fail(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw FileError(CannotOpenMessage(path), "通常のファイルではありません");
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) fail(errno);
    try {
        return ReadToEnd(fd.get(), status.st_size);
    } catch (const SystemFailure& failure) {
        fail(failure.error);
    }
    return {};
}

void SafeReplaceFile(const std::string& path, std::string_view contents)
{
    SafeFileWriter file(path);
    file.Write(contents);
    file.Commit();
}

bool FileExists(const std::string& path)
{
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

std::optional<std::string> InterruptedRewriteBackup(const std::string& path)
{
    std::string target;
    try {
        target = ResolveSymlinks(path);
    } catch (const SystemFailure&) {
        return std::nullopt;
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : DirectoryOf(target);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string prefix = "." + name.substr(0, 200) + ".";
    std::optional<std::string> newest;
    struct timespec newestTime {};
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (entry.size() != prefix.size() + 7 || !entry.starts_with(prefix) || entry.back() != '~') continue;
        struct stat status;
        if (::stat(it->path().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
        if (!newest || status.st_mtim.tv_sec > newestTime.tv_sec ||
            (status.st_mtim.tv_sec == newestTime.tv_sec && status.st_mtim.tv_nsec > newestTime.tv_nsec)) {
            newest = it->path().string();
            newestTime = status.st_mtim;
        }
    }
    return newest;
}

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return std::nullopt;
    return FileStamp{static_cast<unsigned long long>(status.st_dev), static_cast<unsigned long long>(status.st_ino),
                     static_cast<long long>(status.st_size), static_cast<long long>(status.st_mtim.tv_sec),
                     static_cast<long long>(status.st_mtim.tv_nsec)};
}

}  // namespace platform
