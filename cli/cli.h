// The command-line front end: the arguments, the main window driven headless as a user
// would, and the results on standard output.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// What the standard streams lead to.
struct Terminal {
    bool errIsTerminal = false;  // the progress line is shown only on a terminal
    bool outIsTerminal = false;  // result lines then take the progress line's place first
    int columns = 80;
};

// Runs one command line (without the program's name) and returns the exit status: 0 no
// difference, 1 differences, 2 not compared or a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Terminal& terminal);

// Makes a box or dialog that nobody scripted end the program with status 2, after a
// message on err, instead of aborting.
void ExitOnHeadlessFailure(std::ostream& err);

}  // namespace cli
