#include "platform/released_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

void PassedPages::Release(const char* passed)
{
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(released_) + pageSize - 1) & ~(pageSize - 1);
    const auto last = reinterpret_cast<std::uintptr_t>(passed) & ~(pageSize - 1);
    // Failing to release costs memory only, never correctness.
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    released_ = passed;
}

}  // namespace platform
