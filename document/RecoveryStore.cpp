#include "document/RecoveryStore.h"

#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>

namespace document {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "velmora recovery 1";

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

// Field 22 of /proc/PID/stat, the start time in clock ticks since boot; 0 when unknown.
std::uint64_t StartTimeOf(long pid) {
    std::string stat;
    try {
        stat = platform::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    } catch (const platform::FileError&) {
        return 0;
    }
    // The command name, in parentheses, may hold spaces: count from its end.
    std::size_t pos = stat.rfind(')');
    if (pos == std::string::npos) return 0;
    for (int field = 2; field < 22; ++field) {
        pos = stat.find(' ', pos + 1);
        if (pos == std::string::npos) return 0;
    }
    std::uint64_t started = 0;
    std::from_chars(stat.data() + pos + 1, stat.data() + stat.size(), started);
    return started;
}

// A value on one line of the record: "%", CR and LF as %25, %0D, %0A.
std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '%') out += "%25";
        else if (c == '\r') out += "%0D";
        else if (c == '\n') out += "%0A";
        else out += c;
    }
    return out;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view code = text.substr(i, 3);
        if (code == "%25" || code == "%0D" || code == "%0A") {
            out += code == "%25" ? '%' : code == "%0D" ? '\r' : '\n';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

template <class Number>
bool ParseNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "device inode size seconds nanoseconds".
std::string StampText(const platform::FileStamp& stamp) {
    return std::to_string(stamp.device) + " " + std::to_string(stamp.inode) + " " + std::to_string(stamp.size) + " " +
           std::to_string(stamp.modifiedSeconds) + " " + std::to_string(stamp.modifiedNanoseconds);
}

std::optional<platform::FileStamp> ParseStamp(std::string_view text) {
    platform::FileStamp stamp;
    std::string_view parts[5];
    for (std::string_view& part : parts) {
        const std::size_t space = text.find(' ');
        part = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    }
    if (!text.empty() || !ParseNumber(parts[0], stamp.device) || !ParseNumber(parts[1], stamp.inode) ||
        !ParseNumber(parts[2], stamp.size) || !ParseNumber(parts[3], stamp.modifiedSeconds) ||
        !ParseNumber(parts[4], stamp.modifiedNanoseconds))
        return std::nullopt;
    return stamp;
}

std::optional<TRecoveryRecord> ParseRecord(std::string_view text) {
    if (!text.starts_with(kMagic) || text.size() <= kMagic.size() || text[kMagic.size()] != '\n')
        return std::nullopt;
    TRecoveryRecord record;
    int seen = 0;
    std::size_t start = kMagic.size() + 1;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        bool ok = true;
        if (key == "path") record.path = Unescape(value);
        else if (key == "encoding") {
            ok = value == "UTF-8" || value == "Shift_JIS";
            record.encoding = value == "UTF-8" ? TDocumentEncoding::deUTF8 : TDocumentEncoding::deShiftJIS;
        } else if (key == "written") ok = ParseNumber(value, record.written);
        else if (key == "pid") ok = ParseNumber(value, record.writer.pid) && record.writer.pid > 0;
        else if (key == "host") record.writer.host = Unescape(value);
        else if (key == "started") ok = ParseNumber(value, record.writer.started);
        else if (key == "stamp") {
            record.stamp = ParseStamp(value);
            ok = record.stamp.has_value();
            continue;  // optional
        } else continue;  // a later version's addition
        if (!ok) return std::nullopt;
        ++seen;
    }
    if (seen != 6) return std::nullopt;
    return record;
}

void MakePrivateFolder(const fs::path& folder) {
    if (folder.empty() || fs::exists(folder)) return;
    MakePrivateFolder(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw platform::FileError(platform::CannotCreateMessage(folder.string()), std::strerror(errno));
}

void MakePrivate(const std::string& path) {
    if (::chmod(path.c_str(), 0600) != 0)
        throw platform::FileError(platform::CannotCreateMessage(path), std::strerror(errno));
}

}  // namespace

TProcessIdentity TProcessIdentity::Current() {
    TProcessIdentity self;
    self.pid = static_cast<long>(::getpid());
    self.host = HostName();
    self.started = StartTimeOf(self.pid);
    return self;
}

TRecoveryLock& TRecoveryLock::operator=(TRecoveryLock&& other) noexcept {
    std::swap(id_, other.id_);
    std::swap(path_, other.path_);
    std::swap(fd_, other.fd_);
    return *this;
}

TRecoveryLock::~TRecoveryLock() {
    if (fd_ < 0) return;
    // Removed while still held, so that nobody can take the name for a lock of its own first.
    ::unlink(path_.c_str());
    ::close(fd_);
}

std::string RecoveryStore::DefaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : "/tmp") + "/.local/state";
    }
    return base + "/velmora/recovery";
}

TRecoveryLock RecoveryStore::Claim(const TProcessIdentity& writer) const {
    std::string host;
    for (const char c : writer.host) host += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
    // Random, so that no later process can come by the same id (pids repeat, also at the
    // same tick after a reboot) and take a copy it did not write for its own.
    std::random_device random;
    char token[17];
    std::snprintf(token, sizeof token, "%08x%08x", random(), random());
    const std::string id = host + "-" + std::to_string(writer.pid) + "-" + token;
    try {
        MakeFolder();
    } catch (const platform::FileError&) {
        return TRecoveryLock(id, {}, -1);
    }
    const std::string path = LockPath(id);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return TRecoveryLock(id, {}, -1);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return TRecoveryLock(id, {}, -1);
    }
    return TRecoveryLock(id, path, fd);
}

bool RecoveryStore::IsClaimed(const std::string& id) const {
    const int fd = ::open(LockPath(id).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;  // no lock: its process has ended
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void RecoveryStore::MakeFolder() const { MakePrivateFolder(fs::path(folder_)); }

void RecoveryStore::WriteRecord(const std::string& id, const TRecoveryRecord& record) const {
    std::string text(kMagic);
    text += "\npath=" + Escape(record.path);
    text += std::string("\nencoding=") + (record.encoding == TDocumentEncoding::deUTF8 ? "UTF-8" : "Shift_JIS");
    text += "\nwritten=" + std::to_string(record.written);
    text += "\npid=" + std::to_string(record.writer.pid);
    text += "\nhost=" + Escape(record.writer.host);
    text += "\nstarted=" + std::to_string(record.writer.started) + "\n";
    if (record.stamp) text += "stamp=" + StampText(*record.stamp) + "\n";
    platform::SafeReplaceFile(RecordPath(id), text);
    MakePrivate(RecordPath(id));
}

void RecoveryStore::Write(const std::string& id, const DocumentSnapshot& snapshot,
                          const TRecoveryRecord& record) const {
    MakeFolder();
    // UTF-8 whatever the document's encoding: a copy must keep every character.
    WriteSnapshot(DocumentPath(id), snapshot, TDocumentEncoding::deUTF8);
    MakePrivate(DocumentPath(id));
    WriteRecord(id, record);
}

void RecoveryStore::Adopt(const TRecoveryCopy& from, const std::string& id, const TRecoveryRecord& record) const {
    if (from.id == id) {
        WriteRecord(id, record);
        return;
    }
    // The new record first: at every moment one record names a document that is there.
    WriteRecord(id, record);
    if (::rename(DocumentPath(from.id).c_str(), DocumentPath(id).c_str()) != 0) {
        const int error = errno;
        ::unlink(RecordPath(id).c_str());
        throw platform::FileError(platform::CannotCreateMessage(DocumentPath(id)), std::strerror(error));
    }
    ::unlink(RecordPath(from.id).c_str());
}

void RecoveryStore::Remove(const std::string& id) const {
    ::unlink(RecordPath(id).c_str());
    ::unlink(DocumentPath(id).c_str());
    // A lock left by a process that has ended.
    if (!IsClaimed(id)) ::unlink(LockPath(id).c_str());
}

RecoveryStore::Found RecoveryStore::FindStale() const {
    Found found;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string id = path.stem().string();
        // The lock of a process that ended without a copy (nothing unsaved) is litter.
        if (path.extension() == ".lock" && !fs::exists(RecordPath(id), error) && !IsClaimed(id)) {
            ::unlink(path.c_str());
            continue;
        }
        if (path.extension() != ".info" || !it->is_regular_file(error)) continue;
        std::optional<TRecoveryRecord> record;
        try {
            record = ParseRecord(platform::ReadWholeFile(path.string()));
        } catch (const platform::FileError&) {
        }
        if (IsClaimed(id)) continue;
        if (record && fs::is_regular_file(DocumentPath(id), error)) {
            found.stale.push_back({id, *record});
            continue;
        }
        SetAside(id);
        found.setAside.push_back(id);
    }
    std::sort(found.stale.begin(), found.stale.end(),
              [](const TRecoveryCopy& a, const TRecoveryCopy& b) { return a.record.written > b.record.written; });
    return found;
}

void RecoveryStore::SetAside(const std::string& id) const {
    const std::string aside = folder_ + "/broken";
    ::mkdir(aside.c_str(), 0700);
    for (const std::string& file : {RecordPath(id), DocumentPath(id)}) {
        const std::string name = fs::path(file).filename().string();
        // Never over an earlier one of the same name.
        std::string target = aside + "/" + name;
        for (int n = 1; fs::exists(target); ++n) target = aside + "/" + name + "." + std::to_string(n);
        ::rename(file.c_str(), target.c_str());
    }
}

OpenedDocument RecoveryStore::Read(const TRecoveryCopy& copy) const { return OpenDocument(DocumentPath(copy.id)); }

}  // namespace document
