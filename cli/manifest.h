// The checksum list of a check, in the form GNU sha256sum writes and reads: written while
// the check runs, read back by an audit.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs.h"
#include "platform/sha256.h"

namespace cli {

// One line: the digest, two spaces and the path with '/' between its names. A path that
// holds a backslash, a line feed or a carriage return is escaped as sha256sum escapes it.
std::string ManifestLine(std::string_view path, const platform::Sha256::Digest& digest);

struct Listed {
    std::string path;  // as listed, unescaped, '/' between names
    platform::Sha256::Digest digest;
};

// Reads every line of text, in sha256sum's text ("  ") and binary (" *") forms, a last line
// without its line feed and CR LF line ends included; empty lines are passed over. On the
// first malformed line: false, with its number (from 1) and what is wrong with it.
bool ParseManifest(std::string_view text, std::vector<Listed>& files, size_t& badLine,
                   std::string& why);

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
    void Add(std::string_view path, const platform::Sha256::Digest& digest);
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
    std::unique_ptr<platform::OutputFile> file_;
    platform::UnnamedFile* unnamed_ = nullptr;  // file_, when it has no name
    std::string pending_;
    size_t lines_ = 0;
    platform::Error error_;  // the first write that failed
};

}  // namespace cli
