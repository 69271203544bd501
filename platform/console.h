// The standard streams and the arguments of a command-line program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace platform {

enum class StdStream { kOutput, kError };

// The arguments after the program's name, in UTF-8. On Windows they come from the wide
// command line, so that names outside the ANSI code page arrive whole.
std::vector<std::string> Arguments(int argc, char** argv);

// Whether the stream leads to a terminal (on Windows, a console).
bool IsTerminal(StdStream stream);
// The width of the terminal the stream leads to, in columns; 0 when it does not say.
int TerminalColumns(StdStream stream);

// Writes all of the UTF-8 text. A console gets the characters whatever its code page; a
// file or pipe gets UTF-8 on POSIX and, on Windows, the bytes of RedirectedCodePage.
bool WriteStd(StdStream stream, std::string_view text, Error& error);

constexpr unsigned kUtf8CodePage = 65001;
// The code page for output redirected to a file or pipe on Windows, from the attached
// console's output code page (0 when there is no console): tools such as type and
// PowerShell read redirected output in that code page.
unsigned RedirectedCodePage(unsigned consoleOutputCodePage);

}  // namespace platform
