// Giving the pages of a buffer back to the system while it is read from front to back, so
// that the bytes of a large file and what is made of them are not both held in full.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Only for a buffer its reader owns and frees unread afterwards: the reader never reads
// behind the point it reports. Released bytes of private memory read as zeros.
class PassedPages {
public:
    explicit PassedPages(const std::string& buffer) : released_(buffer.data()) {}

    // Nothing before passed is read again: the whole pages before it may go.
    void Passed(const char* passed)
    {
        if (passed - released_ >= kStep) Release(passed);
    }

private:
    static constexpr std::ptrdiff_t kStep = 1 << 20;  // few calls, yet little held back

    void Release(const char* passed);

    const char* released_;
};

}  // namespace platform
