// Recovery copies: the unsaved state of an open document, kept in a private folder of the
// user's so that a crash, a kill or a power cut loses nothing typed. A copy is never written
// beside or over the user's file; it is the whole document in the trm format (UTF-8) and a
// small record of where it came from and which process wrote it.
#pragma once

#include "document/TrmFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace document {

// Which process wrote a copy: a copy whose process still runs belongs to another window.
struct TProcessIdentity {
    long pid = 0;
    std::string host;
    std::uint64_t started = 0;  // the process's start time, which tells a reused pid apart

    static TProcessIdentity Current();
    // True unless the process is known to be gone: on another host nothing is known.
    bool MayBeRunning() const;
    bool operator==(const TProcessIdentity&) const = default;
};

struct TRecoveryRecord {
    std::string path;  // the document's file; empty for a document never saved
    TDocumentEncoding encoding = TDocumentEncoding::deShiftJIS;
    std::int64_t written = 0;  // seconds since the epoch
    TProcessIdentity writer;
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

    // The id of this process's copy.
    static std::string IdOf(const TProcessIdentity& writer);

    // Writes (replaces) the copy id: the folder is made private (0700) if it is not there,
    // the files are 0600. Throws platform::FileError when it cannot be written.
    void Write(const std::string& id, const DocumentSnapshot& snapshot, const TRecoveryRecord& record) const;
    // Takes over the copy from for the process of record (its files renamed to id, its
    // record rewritten), so that the copy is never missing while it is taken over.
    void Adopt(const TRecoveryCopy& from, const std::string& id, const TRecoveryRecord& record) const;
    // Removes the copy's files; a copy that is not there is no error.
    void Remove(const std::string& id) const;

    // The copies whose process no longer runs, newest first. A copy that cannot be read is
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
    void MakeFolder() const;
    void WriteRecord(const std::string& id, const TRecoveryRecord& record) const;

    std::string folder_;
};

}  // namespace document
