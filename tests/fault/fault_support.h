// Helpers of the fault-injection tests: a temporary folder, child processes (killed, limited
// or unprivileged) and a look at files and folders.
#pragma once

#include "tests/support/temp_folder.h"

#include <functional>
#include <set>
#include <string>
#include <sys/types.h>

namespace fault {

using test_support::TempFolder;

// Runs step in a child process: its exit code (step's result), or 128 plus the number of
// the signal that ended it.
int InChild(const std::function<int()>& step);
constexpr int kKilled = 128 + 9;  // SIGKILL

// Runs step in a child whose files may not grow beyond limitBytes (SIGXFSZ ignored, so a
// write fails with EFBIG as on a full disk).
int WithFileSizeLimit(unsigned long limitBytes, const std::function<int()>& step);

// Runs step in a child whose address space may not grow beyond limitBytes, so that an
// allocation beyond it fails as under strict overcommit.
int WithAddressSpaceLimit(unsigned long limitBytes, const std::function<int()>& step);

// Runs step in a child as user and group 65534 (nobody) when the tests run as root, so that
// file modes count; otherwise as the user running the tests, for whom they count anyway.
int AsOrdinaryUser(const std::function<int()>& step);
// Gives the folder and everything below it to that user (when running as root) and lets
// others into the folders above it, so that the child can reach it.
void HandToOrdinaryUser(const std::string& folder);

std::string ReadBytes(const std::string& path);
// Every name in the folder, hidden ones included.
std::set<std::string> NamesIn(const std::string& folder);
mode_t ModeOf(const std::string& path);
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace fault
