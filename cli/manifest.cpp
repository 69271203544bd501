// The checksum list: its lines, its parsing, and its writing, unnamed or under a temporary name.
#include "cli/manifest.h"

#include <algorithm>

#include "platform/dirs.h"
#include "platform/interrupt.h"

namespace cli {

namespace {

// Written out, and read, in pieces of this size, so that a long list does not wait in memory.
constexpr size_t kWriteEvery = size_t{64} << 10;
constexpr size_t kReadEvery = size_t{64} << 10;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HasDrive(std::string_view path) {
    return path.size() > 1 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// Read as something other than the file below the tree: "-" by sha256sum (standard input),
// a leading backslash or a drive on Windows. The writer puts "./" before them.
bool ReadOtherwise(std::string_view path) {
    return path == "-" || path.starts_with('\\') || HasDrive(path);
}

// Why a listed path may lead out of the directory it is taken below, or nothing. A root,
// a drive and a UNC prefix ("//server", "\\server") are refused wherever the list is read,
// so that a list means the same on every system; ".." as this system separates names.
const char* LeavesTree(std::string_view path) {
    if (path.starts_with('/') || path.starts_with('\\'))
        return "an absolute path";
    if (HasDrive(path))
        return "a drive prefix";
    const char* separators = platform::kSeparator == '\\' ? "/\\" : "/";
    for (size_t at = 0; at <= path.size();) {
        size_t end = std::min(path.find_first_of(separators, at), path.size());
        if (path.substr(at, end - at) == "..")
            return "\"..\" among the names";
        at = end + 1;
    }
    return nullptr;
}

// One line's parts after its digest, or what is wrong with it.
bool ParseLine(std::string_view line, Listed& listed, std::string& why) {
    // A NUL would end the path where the system is given it (sha256sum -z ends lines so).
    if (line.find('\0') != std::string_view::npos) {
        why = "a NUL byte";
        return false;
    }
    bool escaped = line.starts_with('\\');
    if (escaped)
        line.remove_prefix(1);
    const size_t hexDigits = listed.digest.size() * 2;
    for (size_t i = 0; i < hexDigits; ++i) {
        if (i >= line.size() || HexValue(line[i]) < 0) {
            why = "not 64 hexadecimal digits";
            return false;
        }
    }
    for (size_t i = 0; i < listed.digest.size(); ++i)
        listed.digest[i] =
            static_cast<unsigned char>(HexValue(line[2 * i]) * 16 + HexValue(line[2 * i + 1]));
    line.remove_prefix(hexDigits);
    if (line.size() < 3 || line[0] != ' ' || (line[1] != ' ' && line[1] != '*')) {
        why = "no \"  \" or \" *\" between the digest and the name";
        return false;
    }
    line.remove_prefix(2);
    listed.path.clear();
    for (size_t i = 0; i < line.size(); ++i) {
        if (!escaped || line[i] != '\\') {
            listed.path += line[i];
            continue;
        }
        char next = i + 1 < line.size() ? line[++i] : '\0';
        if (next != '\\' && next != 'n' && next != 'r') {
            why = "a backslash before neither \\, n nor r";
            return false;
        }
        listed.path += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
    }
    // Checked unescaped: that is the path the file system is given.
    if (const char* leaves = LeavesTree(listed.path)) {
        why = leaves;
        return false;
    }
    if (listed.path.starts_with("./") && ReadOtherwise(std::string_view(listed.path).substr(2)))
        listed.path.erase(0, 2);
    return true;
}

}  // namespace

std::string ManifestLine(std::string_view path, const platform::Sha256::Digest& digest) {
    bool escape = path.find_first_of("\\\n\r") != std::string_view::npos;
    std::string line = escape ? "\\" : "";
    line += platform::ToHex(digest) + "  ";
    if (ReadOtherwise(path))
        line += "./";
    for (char c : path) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else
            line += c;
    }
    return line.size() > kMaxManifestLine ? "" : line + '\n';
}

bool ManifestParser::Add(std::string_view bytes) {
    while (why_.empty() && !bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view part = bytes.substr(0, end);
        if (pending_.size() + part.size() > kMaxManifestLine) {
            why_ = "longer than " + std::to_string(kMaxManifestLine) + " bytes";
            return false;
        }
        pending_.append(part);
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
        LineDone();
    }
    return why_.empty();
}

bool ManifestParser::End() {
    if (why_.empty() && !pending_.empty())
        LineDone();
    return why_.empty();
}

void ManifestParser::LineDone() {
    std::string_view line = pending_;
    // A raw carriage return at the end is a CR LF line end: sha256sum escapes one in a name.
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    Listed listed;
    if (!line.empty() && ParseLine(line, listed, why_))
        files_.push_back(std::move(listed));
    pending_.clear();
    if (why_.empty())
        ++line_;
}

bool ReadManifest(platform::FileSystem& fs, const std::string& path, ManifestParser& parser,
                  platform::Error& error) {
    std::unique_ptr<platform::InputFile> file = fs.OpenRead(path, error);
    if (!file)
        return false;
    std::string chunk(kReadEvery, '\0');
    size_t got = 0;
    do {
        if (!file->Read(chunk.data(), chunk.size(), got, error) ||
            !parser.Add(std::string_view(chunk.data(), got)))
            return false;
    } while (got == chunk.size());
    return parser.End();
}

ManifestWriter::ManifestWriter(platform::FileSystem& fs, std::string path, bool replace)
    : fs_(fs), path_(std::move(path)), replace_(replace) {}

ManifestWriter::~ManifestWriter() {
    if (!file_)
        return;
    file_.reset();
    platform::Error ignored;
    if (!temporary_.empty())
        fs_.Remove(temporary_, ignored);
    platform::UnregisterLeftover(leftover_);
}

// A name beside the manifest's own.
std::string ManifestWriter::Temporary(int attempt) const {
    return path_ + ".copycheck-tmp" + (attempt ? std::to_string(attempt) : "");
}

// Without a name, so that nothing is left however the process ends; where the file system
// cannot, under a name nothing has (nothing is ever replaced to make it), which a request
// that ends the process removes first.
bool ManifestWriter::Open(platform::Error& error) {
    std::unique_ptr<platform::UnnamedFile> unnamed = fs_.CreateUnnamed(path_, error);
    unnamed_ = unnamed.get();
    file_ = std::move(unnamed);
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temporary_ = Temporary(attempt);
        file_ = fs_.CreateNew(temporary_, error);
    }
    if (!file_) {
        temporary_.clear();
        error.path = path_;
        return false;
    }
    if (!unnamed_)
        leftover_ = platform::RegisterLeftover(temporary_);
    return true;
}

void ManifestWriter::Add(std::string_view path, const platform::Sha256::Digest* digest) {
    if (!digest) {
        unlisted_.emplace_back(path, "no SHA-256 could be computed for the manifest");
        return;
    }
    std::string line = ManifestLine(path, *digest);
    if (line.empty()) {
        unlisted_.emplace_back(path, "too long a path for the manifest");
        return;
    }
    pending_ += line;
    ++lines_;
    if (pending_.size() >= kWriteEvery)
        WriteOut();
}

bool ManifestWriter::WriteOut() {
    if (!error_.failed() && !file_->Write(pending_.data(), pending_.size(), error_))
        return false;
    pending_.clear();
    return !error_.failed();
}

// A link never replaces: a file to replace is first given a name nothing has, then renamed.
bool ManifestWriter::NameUnnamed(platform::Error& error) {
    if (!replace_)
        return unnamed_->Name(path_, error);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = Temporary(attempt);
        if (unnamed_->Name(temporary_, error)) {
            leftover_ = platform::RegisterLeftover(temporary_);
            return true;
        }
    }
    temporary_.clear();
    return false;
}

bool ManifestWriter::Finish(platform::Error& error) {
    bool whole = WriteOut() && file_->Flush(error_) && (!unnamed_ || NameUnnamed(error_));
    platform::Error ignored;
    whole = file_->Close(whole ? error_ : ignored) && whole;
    file_.reset();
    if (!whole) {
        error = error_;
        if (!temporary_.empty())
            fs_.Remove(temporary_, ignored);
        temporary_.clear();
    }
    bool named = whole && (temporary_.empty() || fs_.Rename(temporary_, path_, replace_, error));
    // Renamed, but the name not written through to the medium: not to be trusted. In the
    // copy, a list that has no name is not left either: nothing of the program's stays there.
    if (whole && !named && (!replace_ || !fs_.Exists(temporary_))) {
        fs_.Remove(fs_.Exists(temporary_) ? temporary_ : path_, ignored);
        temporary_.clear();
    }
    platform::UnregisterLeftover(leftover_);
    return named;
}

}  // namespace cli
