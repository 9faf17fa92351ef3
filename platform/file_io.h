// Whole-file reading and the safe replacement of a file: a failed or interrupted write
// never leaves a damaged target behind.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// A file could not be read or written. what() is the Japanese message shown to the user,
// e.g. "ファイル /tmp/a.trm を作成できません"; reason() is the system's cause (strerror).
class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, std::string reason);
    const std::string& reason() const noexcept { return reason_; }

private:
    std::string reason_;
};

// "ファイル %s は開けません" with the path.
std::string CannotOpenMessage(std::string_view path);
// "ファイル %s を作成できません" with the path.
std::string CannotCreateMessage(std::string_view path);

// Reads the whole file. Throws FileError with CannotOpenMessage on failure, and without
// reading or waiting when path names anything but a regular file (a FIFO, a device).
std::string ReadWholeFile(const std::string& path);

// Replaces the file at path with contents: writes a temporary file in the target's folder,
// checks every write, fsyncs, renames it over the target and fsyncs the folder. A symlink
// is written through (the link stays); the target's permissions are kept; a target the user
// made read-only is refused. On any failure the temporary file is removed, the target is
// unchanged, and FileError with CannotCreateMessage is thrown.
// A target with several hard links keeps them: it is rewritten in place once the new
// contents have been written beside it and the old ones copied to a backup, which stays
// (".NAME.XXXXXX~") only if the rewrite fails and cannot be undone.
void SafeReplaceFile(const std::string& path, std::string_view contents);

// SafeReplaceFile for contents made piece by piece, so that the caller need not hold a large
// file in memory whole: every property above holds. (Rewriting a target with several hard
// links in place reads its old and new contents in, as that case is rare.) The constructor checks the target and creates
// the temporary file; Write appends a piece to it; Commit puts it in place of the target.
// Until Commit succeeds the target is unchanged, and a writer destroyed without it removes
// its temporary file. Each step throws FileError with CannotCreateMessage; after a failure
// (or the commit) every further step fails too.
class SafeFileWriter {
public:
    explicit SafeFileWriter(const std::string& path);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    void Write(std::string_view piece);
    void Commit();

private:
    class Replacement;
    Replacement& Live();
    template <class Step>
    void Guarded(Step&& step);

    std::string path_;
    std::unique_ptr<Replacement> replacement_;
    int failure_ = 0;
};

// True when path names an existing file (following symlinks); a folder is not a file.
bool FileExists(const std::string& path);

// The backup that a cut-short in-place rewrite of the file at path left beside it
// (".NAME.XXXXXX~", see SafeFileWriter), the newest when there are several; none otherwise.
std::optional<std::string> InterruptedRewriteBackup(const std::string& path);

// What tells one version of a file from another: which file it is, its size and the time of
// its last change. Two stamps differ when another program wrote or replaced the file.
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path (following symlinks), or none when there is no such file.
std::optional<FileStamp> StampOf(const std::string& path);

}  // namespace platform
