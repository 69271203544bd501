// An audit: the files a checksum list names read again from their medium, without the
// source, and each one's SHA-256 compared with the listed one.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"
#include "cli/json.h"

namespace cli {

struct AuditRequest {
    std::string manifest;
    std::optional<std::string> dir;  // the listed paths are below it; the list's own by default
    size_t block = 0;                // bytes read at a time
    bool quiet = false;              // no line for each file
    JsonEvents* json = nullptr;      // with --json: its events instead of the lines
};

// The exit status: 0 every listed file read and as listed, 1 some were not, 2 the list was
// unreadable or malformed, or the audit was cut short or could not report.
int Audit(const AuditRequest& request, std::ostream& out, std::ostream& err,
          const Environment& env);

}  // namespace cli
