// The checksum list of a check, in the form GNU sha256sum writes and reads: written while
// the check runs, read back by an audit.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"
#include "platform/interrupt.h"
#include "platform/sha256.h"

namespace cli {

// The longest line of a list, its line feed left out, for the writer and the reader alike.
// Every path Windows can have fits: 32,767 UTF-16 units, at most three bytes each in UTF-8
// (98,301 bytes), never escaped there (its names hold no backslash or line end), with the
// digest. Linux sets no limit on a tree's depth: a path that does not fit is not listed.
constexpr size_t kMaxManifestLine = size_t{128} << 10;

// One line: the digest, two spaces and the path with '/' between its names; empty when it
// would be longer than kMaxManifestLine. A path that holds a backslash, a line feed or a
// carriage return is escaped as sha256sum escapes it. A path that sha256sum or another
// system would read as something else ("-", standard input; a drive or a leading backslash)
// is written after "./".
std::string ManifestLine(std::string_view path, const platform::Sha256::Digest& digest);

struct Listed {
    std::string path;  // unescaped, '/' between names, without the "./" the writer added
    platform::Sha256::Digest digest;
};

// Reads a list in sha256sum's text ("  ") and binary (" *") forms, a last line without its
// line feed and CR LF line ends included; empty lines are passed over. It is given the list
// in pieces of any size and holds one line at a time. A line is malformed that is too long,
// holds a NUL byte, or names a path that is not below the list's directory: absolute, with a
// drive or UNC prefix, or with ".." among its names (split at this system's separators).
class ManifestParser {
public:
    // The next bytes of the list; false from the first malformed line on.
    bool Add(std::string_view bytes);
    // The end of the list; false when a line was malformed.
    bool End();
    std::vector<Listed>& files() { return files_; }
    // The malformed line's number (from 1) and what is wrong with it.
    size_t line() const { return line_; }
    const std::string& why() const { return why_; }

private:
    void LineDone();

    std::string pending_;  // the line so far
    std::vector<Listed> files_;
    size_t line_ = 1;
    std::string why_;
};

// Reads the list at path into parser, through the cache (it is what the medium is checked
// against). False when it cannot be read, with error, or when it is malformed.
bool ReadManifest(platform::FileSystem& fs, const std::string& path, ManifestParser& parser,
                  platform::Error& error);

// The manifest being written: without a name during the run where the file system allows it,
// else under a new temporary name beside its place; written through to its medium and given
// its name when the run ends well, and gone when it does not.
class ManifestWriter {
public:
    // replace: an existing file at path may be replaced (it lies outside both trees).
    ManifestWriter(platform::FileSystem& fs, std::string path, bool replace);
    ~ManifestWriter();
    ManifestWriter(const ManifestWriter&) = delete;
    ManifestWriter& operator=(const ManifestWriter&) = delete;

    bool Open(platform::Error& error);
    // A path without a digest (the system's hash failed) or whose line would be too long is
    // not listed, but kept in Unlisted() with why.
    void Add(std::string_view path, const platform::Sha256::Digest* digest);
    const std::vector<std::pair<std::string, const char*>>& Unlisted() const { return unlisted_; }
    size_t Lines() const { return lines_; }
    // Writes the rest through to the medium, gives the file its name and closes it. When the
    // name cannot be given, the file stays under its temporary one, which temporary() tells.
    bool Finish(platform::Error& error);
    const std::string& temporary() const { return temporary_; }

private:
    bool WriteOut();
    std::string Temporary(int attempt) const;
    bool NameUnnamed(platform::Error& error);

    platform::FileSystem& fs_;
    std::string path_;
    bool replace_;
    std::string temporary_;
    platform::Leftover* leftover_ = nullptr;  // the temporary, while registered for removal
    std::unique_ptr<platform::OutputFile> file_;
    platform::UnnamedFile* unnamed_ = nullptr;  // file_, when it has no name
    std::string pending_;
    size_t lines_ = 0;
    std::vector<std::pair<std::string, const char*>> unlisted_;
    platform::Error error_;  // the first write that failed
};

}  // namespace cli
