#include "fault_support.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fault {

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

}  // namespace


int InChild(const std::function<int()>& step)
{
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(step());
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int WithFileSizeLimit(unsigned long limitBytes, const std::function<int()>& step)
{
    return InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 100;
        return step();
    });
}

int WithAddressSpaceLimit(unsigned long limitBytes, const std::function<int()>& step)
{
    return InChild([&] {
        const rlimit limit{limitBytes, limitBytes};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) return 100;
        return step();
    });
}

int AsOrdinaryUser(const std::function<int()>& step)
{
    return InChild([&] {
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                ::setresuid(kNobody, kNobody, kNobody) != 0)
                return 101;
        }
        return step();
    });
}

void HandToOrdinaryUser(const std::string& folder)
{
    if (::geteuid() != 0) return;
    for (fs::path above = fs::path(folder).parent_path(); above != above.root_path(); above = above.parent_path())
        if (::chmod(above.c_str(), ModeOf(above) | 0005) != 0) throw std::runtime_error("chmod " + above.string());
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown " + folder);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) throw std::runtime_error("chown " + entry.path().string());
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> NamesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) throw std::runtime_error("cannot stat " + path);
    return status.st_mode & 07777;
}

std::string FolderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string NameOf(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace fault
