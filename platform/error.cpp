// Error text common to both sides.
#include "platform/error.h"

namespace platform {

std::string Describe(const Error& error) {
    std::string head = error.call;
    if (!error.path.empty())
        head += " " + error.path;
    return head + ": " + Reason(error.code);
}

}  // namespace platform
