#include "SettingsTestSupport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace settings_test {

namespace fs = std::filesystem;


TestEnvironment::TestEnvironment(const TempFolder& folder, int answerToGive) : answer(answerToGive) {
    fs::create_directories(folder / "bin");
    environment.executablePath = folder / "bin/velmora";
    environment.keyStoreRoot = folder / "config";
    environment.askFirstStart = [this](const settings::FirstStartQuestion& question) {
        questions.push_back(question);
        return answer;
    };
}

std::string TestEnvironment::KeyFolder() const { return environment.keyStoreRoot + "/Software/Quillworks/velmora"; }

std::string TestEnvironment::IniPath() const { return settings::THxIniFile2::IniFileName(environment); }

settings::Preferences LaidOutPreferences() {
    settings::Preferences preferences;
    preferences.Form = {{10, 20, 600, 400}, settings::wsNormal};
    preferences.LeftPaneWidth = 180;
    preferences.WordWrap = true;
    preferences.FontName = "Noto Sans Mono CJK JP";
    preferences.FontSize = 10;
    preferences.TreeFontName = "Noto Sans CJK JP";
    preferences.TreeFontSize = 9;
    return preferences;
}

void WriteFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

namespace {

// Runs prepare and then step in a child process and returns the child's exit code.
int RunInChild(const std::function<bool()>& prepare, const std::function<int()>& step) {
    const pid_t child = fork();
    if (child == 0) {
        if (!prepare()) _exit(125);
        int result = 126;
        try {
            result = step();
        } catch (...) {
            result = 127;
        }
        _exit(result);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

int RunWithFileSizeLimit(unsigned long limitBytes, const std::function<int()>& step) {
    return RunInChild(
        [limitBytes] {
            const rlimit limit{limitBytes, limitBytes};
            return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        step);
}

int RunUnprivileged(const std::function<int()>& step) {
    return RunInChild(
        [] {
            constexpr uid_t kNobody = 65534;
            return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setresgid(kNobody, kNobody, kNobody) == 0 &&
                                      setresuid(kNobody, kNobody, kNobody) == 0);
        },
        step);
}

void OpenToOthers(const std::string& folder) {
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    }
}

}  // namespace settings_test
