// trmtool: the document core without a window, for scripts and benchmarks.
#include "cli/TrmTool.h"
#include "cli/ExportCommand.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <streambuf>

namespace {

// Standard output written straight to its descriptor, keeping the error of the first write
// that failed: what a command prints to a full disk or a closed pipe must not end in a
// silent success, and the message says why.
class StandardOutput : public std::streambuf {
public:
    StandardOutput() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

    // Writes what is left and closes the descriptor. The errno of the first failure, or 0.
    int Close() {
        Drain();
        // A descriptor closed before the start only matters once something was written to it,
        // and that write has failed already.
        if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR && error_ == 0) error_ = errno;
        return error_;
    }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override {
        // A whole outline goes out in one piece instead of being copied through the buffer.
        if (n < static_cast<std::streamsize>(buffer_.size())) return std::streambuf::xsputn(s, n);
        return Drain() && WriteAll(s, static_cast<std::size_t>(n)) ? n : 0;
    }

    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const bool written = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return written;
    }

    bool WriteAll(const char* bytes, std::size_t size) {
        while (size > 0 && error_ == 0) {
            const ssize_t written = ::write(STDOUT_FILENO, bytes, size);
            if (written < 0) {
                if (errno != EINTR) error_ = errno;
                continue;
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return error_ == 0;
    }

    std::array<char, 65536> buffer_{};
    int error_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    StandardOutput outputBuffer;
    std::ostream out(&outputBuffer);
    int status = 0;
    if (!args.empty() && args[0] == "export") {
        status = cli::RunExportCommand(args, out, std::cerr);
    } else {
        // Never destroyed: the process ends at once and the system takes the memory back whole,
        // instead of a large tree being torn down node by node.
        auto* tool = new cli::TrmTool;
        status = tool->Run(args, out, std::cerr);
    }
    if (const int error = outputBuffer.Close()) {
        std::cerr << "出力を書き込めません: " << std::strerror(error) << '\n';
        if (status == 0) status = 1;
    }
    std::cerr.flush();
    std::_Exit(status);
}
