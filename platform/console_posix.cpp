// The standard streams on POSIX: file descriptors 1 and 2, which take UTF-8 as it is.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/console.h"

namespace platform {
namespace {

int Descriptor(StdStream stream) {
    return stream == StdStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool IsTerminal(StdStream stream) {
    return isatty(Descriptor(stream)) == 1;
}

int TerminalColumns(StdStream stream) {
    winsize size{};
    return ioctl(Descriptor(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool WriteStd(StdStream stream, std::string_view text, Error& error) {
    while (!text.empty()) {
        ssize_t written = write(Descriptor(stream), text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error.code = written < 0 ? errno : EIO;
            error.call = "write";
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace platform
