// The system's text for an errno code.
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/error.h"

namespace platform {
namespace {

// strerror_r is the GNU one (returning the text) or the XSI one (returning a status),
// depending on the C library; overloads take whichever this one has.
[[maybe_unused]] std::string Text(const char* text, const char*) {
    return text;
}
[[maybe_unused]] std::string Text(int status, const char* buffer) {
    return status == 0 ? buffer : "";
}

}  // namespace

std::string Reason(int code) {
    char buffer[256] = {};
    std::string text = Text(strerror_r(code, buffer, sizeof buffer), buffer);
    return text.empty() ? "error " + std::to_string(code) : text;
}

// ELOOP: links that lead back to themselves; EISDIR and ENOTSUP: what the open functions say
// of a directory and of another non-file; ENXIO: a socket.
bool NotThere(int code) {
    return code == ENOENT || code == ENOTDIR || code == ELOOP || code == EISDIR ||
           code == ENOTSUP || code == ENXIO;
}

}  // namespace platform
