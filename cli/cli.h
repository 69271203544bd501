// The command-line front end: the arguments, the check run as the window runs it, and the
// results on standard output.
#pragma once

#include <atomic>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"

namespace cli {

// What the process gives a run besides its arguments and streams.
struct Environment {
    bool errIsTerminal = false;  // the progress line is shown only on a terminal
    bool outIsTerminal = false;  // result lines then take the progress line's place first
    int columns = 80;
    // Raised from outside (Ctrl-C): the run ends at the next file or block, exit status 2.
    const std::atomic<bool>* stop = nullptr;
    // Where the run's two buffers come from; null for the engine's own.
    platform::AlignedBuffer (*allocate)(size_t bytes) = nullptr;
    // Where the trees and the files an audit lists are read from; null for the system's own.
    platform::FileSystem* fs = nullptr;
};

// Runs one command line (without the program's name) and returns the exit status: 0 all
// done and no difference, 1 differences and all else done, 2 anything asked for not done
// (standard output unwritable included) or a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Environment& environment);

}  // namespace cli
