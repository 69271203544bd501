// The checksum list: its lines, its parsing, and its writing, unnamed or under a temporary name.
#include "cli/manifest.h"

#include "platform/interrupt.h"

namespace cli {

namespace {

// Written out in pieces of this size, so that a long list does not wait in memory.
constexpr size_t kWriteEvery = size_t{64} << 10;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One line's parts after its digest, or what is wrong with it.
bool ParseLine(std::string_view line, Listed& listed, std::string& why) {
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
    return true;
}

}  // namespace

std::string ManifestLine(std::string_view path, const platform::Sha256::Digest& digest) {
    bool escape = path.find_first_of("\\\n\r") != std::string_view::npos;
    std::string line = escape ? "\\" : "";
    line += platform::ToHex(digest) + "  ";
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
    return line + '\n';
}

bool ParseManifest(std::string_view text, std::vector<Listed>& files, size_t& badLine,
                   std::string& why) {
    badLine = 0;
    while (!text.empty()) {
        ++badLine;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // A raw carriage return at the end is a CR LF line end: sha256sum escapes one in a name.
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        Listed listed;
        if (!ParseLine(line, listed, why))
            return false;
        files.push_back(std::move(listed));
    }
    return true;
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
    platform::UnregisterLeftover();
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
        platform::RegisterLeftover(temporary_);
    return true;
}

void ManifestWriter::Add(std::string_view path, const platform::Sha256::Digest& digest) {
    pending_ += ManifestLine(path, digest);
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
            platform::RegisterLeftover(temporary_);
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
    // Renamed, but the name not written through to the medium: not to be trusted.
    if (whole && !named && !fs_.Exists(temporary_)) {
        fs_.Remove(path_, ignored);
        temporary_.clear();
    }
    platform::UnregisterLeftover();
    return named;
}

}  // namespace cli
