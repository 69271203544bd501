// A failed operating-system call, carried as a value: the code, the call and the path.
#pragma once

#include <string>

namespace platform {

struct Error {
    int code = 0;      // errno on POSIX, GetLastError() on Windows; 0 when nothing failed
    std::string call;  // the system call that failed, e.g. "open"
    std::string path;  // the path it was given, as the caller named it

    bool failed() const { return code != 0; }
};

// "call path: reason", for messages to a person.
std::string Describe(const Error& error);
// The system's own text for an error code.
std::string Reason(int code);
// Whether a failed open with this code means that no file is there: nothing at all, a
// directory missing on the way, or something else than a file (a directory, a FIFO).
bool NotThere(int code);

}  // namespace platform
