// The checksum list: its lines, its parsing, and its writing under a temporary name.
#include "cli/manifest.h"

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
    if (file_) {
        file_.reset();
        platform::Error ignored;
        fs_.Remove(temporary_, ignored);
    }
}

// A name nothing has, beside the manifest's own: nothing is ever replaced to make it.
bool ManifestWriter::Open(platform::Error& error) {
    for (int attempt = 0; attempt < 100 && !file_; ++attempt) {
        temporary_ = path_ + ".copycheck-tmp" + (attempt ? std::to_string(attempt) : "");
        file_ = fs_.CreateNew(temporary_, error);
    }
    if (!file_)
        error.path = path_;
    return file_ != nullptr;
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

bool ManifestWriter::Finish(platform::Error& error) {
    bool written = WriteOut() && file_->Close(error_);
    file_.reset();
    if (!written) {
        error = error_;
        fs_.Remove(temporary_, error_);
        temporary_.clear();
        return false;
    }
    return fs_.Rename(temporary_, path_, replace_, error);
}

}  // namespace cli
