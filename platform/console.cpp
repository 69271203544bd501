// Console choices common to both sides.
#include "platform/console.h"

namespace platform {

unsigned RedirectedCodePage(unsigned consoleOutputCodePage) {
    return consoleOutputCodePage != 0 ? consoleOutputCodePage : kUtf8CodePage;
}

}  // namespace platform
