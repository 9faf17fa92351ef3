// Helpers shared by the settings tests: a temporary folder per test, an environment that
// points the store into it, and a way to run a step as an unprivileged user.
#pragma once

#include "settings/HxRegIni.h"
#include "settings/Preferences.h"
#include "tests/support/temp_folder.h"

#include <functional>
#include <string>
#include <vector>

namespace settings_test {

using test_support::TempFolder;

// An environment with the executable at <folder>/bin/velmora and the key store root at
// <folder>/config. Every first-start question is recorded and answered with answer.
struct TestEnvironment {
    explicit TestEnvironment(const TempFolder& folder, int answer = settings::kAnswerYes);
    // The question callback refers to this object.
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    std::string KeyFolder() const;  // the application key's folder
    std::string IniPath() const;

    settings::SettingsEnvironment environment;
    int answer;
    std::vector<settings::FirstStartQuestion> questions;
};

// What a freshly laid-out main window hands over as its current values.
settings::Preferences LaidOutPreferences();

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Runs step in a child process and returns its exit code (step's result); a disk that
// fills up after limitBytes more bytes of any one file is simulated.
int RunWithFileSizeLimit(unsigned long limitBytes, const std::function<int()>& step);

// Runs step in a child process as user nobody when the tests run as root, so that file
// modes are honoured, and returns its exit code (step's result). Files the child must
// reach have to be open to others (see OpenToOthers).
int RunUnprivileged(const std::function<int()>& step);
// Makes the folder and everything below it readable, writable and searchable by anyone.
void OpenToOthers(const std::string& folder);

}  // namespace settings_test
