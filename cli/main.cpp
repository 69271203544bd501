// copycheck-cli on POSIX systems.
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    cli::ExitOnHeadlessFailure(std::cerr);
    cli::Terminal terminal;
    terminal.errIsTerminal = isatty(STDERR_FILENO) == 1;
    terminal.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        terminal.columns = size.ws_col;
    return cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                       terminal);
}
