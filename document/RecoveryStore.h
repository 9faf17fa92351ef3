// Recovery copies: the unsaved state of an open document, kept in a private folder of the
// user's so that a crash, a kill or a power cut loses nothing typed. A copy is never written
// beside or over the user's file; it is the whole document in the trm format (UTF-8) and a
// small record of where it came from and which process wrote it.
#pragma once

#include "document/TrmFormat.h"
#include "platform/file_io.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace document {

// Which process wrote a copy, for the record (whether it still runs is told by its lock).
struct TProcessIdentity {
    long pid = 0;
    std::string host;
    std::uint64_t started = 0;  // the process's start time in clock ticks since boot

    static TProcessIdentity Current();
    bool operator==(const TProcessIdentity&) const = default;
};

struct TRecoveryRecord {
    std::string path;  // the document's file; empty for a document never saved
    TDocumentEncoding encoding = TDocumentEncoding::deShiftJIS;
    std::int64_t written = 0;  // seconds since the epoch
    TProcessIdentity writer;
    // The file as the document last read or saved it: a restored document asks before a
    // save overwrites a file that changed since.
    std::optional<platform::FileStamp> stamp;
};

// A copy's claim: the lock on its id's lock file, held while the process that writes the
// copy runs. A process that ends, however it ends, lets go of it. Movable.
class TRecoveryLock {
public:
    TRecoveryLock() = default;
    TRecoveryLock(std::string id, std::string path, int fd) : id_(std::move(id)), path_(std::move(path)), fd_(fd) {}
    TRecoveryLock(TRecoveryLock&& other) noexcept { *this = std::move(other); }
    TRecoveryLock& operator=(TRecoveryLock&& other) noexcept;
    ~TRecoveryLock();
    const std::string& Id() const noexcept { return id_; }

private:
    std::string id_;
    std::string path_;
    int fd_ = -1;
};

struct TRecoveryCopy {
    std::string id;  // the name of its files without the extension
    TRecoveryRecord record;
};

class RecoveryStore {
public:
    // $XDG_STATE_HOME/velmora/recovery, by default ~/.local/state/velmora/recovery.
    static std::string DefaultFolder();

    explicit RecoveryStore(std::string folder) : folder_(std::move(folder)) {}
    const std::string& Folder() const noexcept { return folder_; }

    // A new id for a copy of this process's, claimed until the lock goes. A lock that cannot
    // be made (the folder cannot be written) still gives an id: its writes fail and say so.
    TRecoveryLock Claim(const TProcessIdentity& writer) const;

    // Writes (replaces) the copy id: the folder is made private (0700) if it is not there,
    // the files are 0600. Throws platform::FileError when it cannot be written.
    void Write(const std::string& id, const DocumentSnapshot& snapshot, const TRecoveryRecord& record) const;
    // Takes over the copy from for the process of record (its files renamed to id, its
    // record rewritten), so that the copy is never missing while it is taken over.
    void Adopt(const TRecoveryCopy& from, const std::string& id, const TRecoveryRecord& record) const;
    // Removes the copy's files; a copy that is not there is no error.
    void Remove(const std::string& id) const;

    // The copies whose process no longer runs (nobody holds their lock), newest first. A copy that cannot be read is
    // moved into the folder's "broken" subfolder (never deleted) and its name added to
    // setAside, so that it is reported once. Nothing in the folder makes this throw.
    struct Found {
        std::vector<TRecoveryCopy> stale;
        std::vector<std::string> setAside;
    };
    Found FindStale() const;
    // Reads a copy's document (as OpenDocument reads a file).
    OpenedDocument Read(const TRecoveryCopy& copy) const;
    // Moves a copy that cannot be used into the "broken" subfolder, beside earlier ones.
    void SetAside(const std::string& id) const;

private:
    std::string DocumentPath(const std::string& id) const { return folder_ + "/" + id + ".trm"; }
    std::string RecordPath(const std::string& id) const { return folder_ + "/" + id + ".info"; }
    std::string LockPath(const std::string& id) const { return folder_ + "/" + id + ".lock"; }
    bool IsClaimed(const std::string& id) const;
    void MakeFolder() const;
    void WriteRecord(const std::string& id, const TRecoveryRecord& record) const;

    std::string folder_;
};

}  // namespace document
