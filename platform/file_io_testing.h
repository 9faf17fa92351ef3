// For fault-injection tests only: an observer of SafeReplaceFile at the points where a crash
// would hurt most, so that a test can kill the process there. The program never sets one;
// unset, it costs one pointer test per write.
#pragma once

#include <cstddef>

namespace platform {

enum class SaveStep {
    WriteTemporary,  // before each write of the new contents to the temporary file
    WriteBackup,     // before each write of the backup copy of a file with several hard links
    Commit,          // the new contents are complete and synced; the target is still the old file
    RewriteInPlace,  // before each write of a file with several hard links, rewritten in place
};

// bytesWritten: how much of the new contents has been written at this step.
using SaveObserver = void (*)(SaveStep step, std::size_t bytesWritten);

// While an observer is set, the contents are written in pieces of this size, so that it
// sees the file grow.
inline constexpr std::size_t kObservedWriteSize = 1024;

// Sets the observer (null removes it).
void SetSaveObserver(SaveObserver observer);

}  // namespace platform
