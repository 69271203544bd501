// The audit of a medium against a checksum list: the list read and checked whole, the engine's
// audit run over the files it names, its lines printed.
#include "cli/audit.h"

#include <algorithm>
#include <unordered_map>

#include "cli/manifest.h"
#include "cli/status.h"
#include "engine/audit.h"
#include "platform/dirs.h"

namespace cli {

namespace {

std::string WithSeparator(std::string path) {
    if (!path.empty() && path.back() != platform::kSeparator && path.back() != '/')
        path += platform::kSeparator;
    return path;
}

// The directory of a path, separator included; empty for a bare name.
std::string DirectoryOf(const std::string& path) {
    size_t cut = path.find_last_of(platform::kSeparator == '\\' ? "\\/" : "/");
    return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// A listed path with this system's separators and without its "." names: below an
// extended-length root the system does not drop them. ".." was refused with the list.
std::string SystemPath(std::string_view listed) {
    std::string path;
    const char* separators = platform::kSeparator == '\\' ? "/\\" : "/";
    for (size_t at = 0; at <= listed.size();) {
        size_t end = std::min(listed.find_first_of(separators, at), listed.size());
        if (std::string_view name = listed.substr(at, end - at); name != ".") {
            if (!path.empty())
                path += platform::kSeparator;
            path += name;
        }
        at = end + 1;
    }
    return path;
}

// Each listed file's entry, from one listing of each directory; no entry when its directory
// does not list it (it is missing, or its name is spelled otherwise).
void FindEntries(platform::FileSystem& fs, std::vector<engine::AuditTarget>& targets) {
    std::unordered_map<std::string, std::unordered_map<std::string, platform::DirEntry>> dirs;
    for (engine::AuditTarget& target : targets) {
        size_t cut = target.io.rfind(platform::kSeparator) + 1;
        std::string dir = target.io.substr(0, cut);
        auto [listing, added] = dirs.try_emplace(dir);
        if (added) {
            std::vector<platform::DirEntry> entries;
            platform::Error error;
            if (fs.List(dir, entries, error))
                for (platform::DirEntry& entry : entries)
                    listing->second.emplace(entry.name, std::move(entry));
        }
        auto found = listing->second.find(target.io.substr(cut));
        if (found != listing->second.end())
            target.entry = found->second;
    }
}

// Prints the audit's lines, names escaped, and keeps the progress line on a terminal.
class Printer : public engine::Listener {
public:
    Printer(std::ostream& out, std::ostream& err, const Environment& env, bool quiet,
            JsonEvents* json)
        : out_(out), env_(env), quiet_(quiet), json_(json) {
        if (env.errIsTerminal && !json)
            progress_.emplace(err, env.columns);
    }

    void Line(const std::string& text, const engine::LineInfo& info) override {
        std::string line;
        size_t at = 0;
        for (const engine::PathSpan& span : info.paths) {
            line.append(text, at, span.offset - at);
            line += Escaped(std::string_view(text).substr(span.offset, span.length));
            at = span.offset + span.length;
        }
        line.append(text, at);
        if (info.kind == engine::LineKind::kFile)
            shown_ = text.substr(info.paths[0].offset, info.paths[0].length);
        if (json_)
            json_->Line(text, info);
        else if (!quiet_ || info.kind != engine::LineKind::kFile)
            Say(line);
    }

    void SetMeter(engine::Meter meter, uint64_t percent) override {
        (meter == engine::Meter::kTotal ? total_ : file_) = static_cast<unsigned>(percent);
        if (progress_)
            progress_->Update(total_, file_, shown_);
    }

    void Say(const std::string& line) {
        if (json_)
            return;
        if (progress_ && env_.outIsTerminal)
            progress_->Erase();
        out_ << line << '\n' << std::flush;
    }

    void Erase() {
        if (progress_)
            progress_->Erase();
    }

private:
    std::ostream& out_;
    const Environment& env_;
    const bool quiet_;
    JsonEvents* json_;
    std::optional<ProgressLine> progress_;
    std::string shown_;  // the file being read
    unsigned total_ = 0, file_ = 0;
};

}  // namespace

int Audit(const AuditRequest& request, std::ostream& out, std::ostream& err,
          const Environment& env) {
    platform::FileSystem& fs = env.fs ? *env.fs : platform::RealFileSystem();
    // Refused whole before anything is read: an audit of part of a list proves little.
    ManifestParser list;
    platform::Error error;
    if (!ReadManifest(fs, request.manifest, list, error)) {
        if (error.failed())
            err << "copycheck-cli: the list cannot be read: " << platform::Describe(error) << '\n';
        else
            err << "copycheck-cli: " << request.manifest << ", line " << list.line() << ": "
                << list.why() << '\n';
        err << std::flush;
        return 2;
    }
    if (list.files().empty()) {
        err << "copycheck-cli: " << request.manifest << " lists no files\n" << std::flush;
        return 2;
    }

    std::string shownDir = WithSeparator(request.dir.value_or(DirectoryOf(request.manifest)));
    std::string ioDir =
        platform::RunRoot(shownDir.empty() ? std::string(".") + platform::kSeparator : shownDir);
    engine::AuditSettings settings{{}, request.block, env.stop};
    for (const Listed& file : list.files()) {
        std::string path = SystemPath(file.path);
        settings.targets.push_back({shownDir + path, ioDir + path, file.digest, std::nullopt});
    }
    FindEntries(fs, settings.targets);

    Printer printer(out, err, env, request.quiet, request.json);
    engine::Audit audit(std::move(settings), fs, printer);
    if (!audit.TakeBuffers()) {
        err << "copycheck-cli: no memory for the audit\n" << std::flush;
        return 2;
    }
    printer.Say("チェックサム一覧：" + Escaped(request.manifest));
    printer.Say("ディレクトリ：" + Escaped(shownDir.empty() ? "." : shownDir));
    if (request.json)
        request.json->StartAudit(request.manifest, shownDir.empty() ? "." : shownDir,
                                 request.block);
    engine::Outcome outcome = audit.Run();
    printer.Erase();
    int status = outcome.interrupted ? 2 : outcome.differences > 0 ? 1 : 0;
    if (!(out << std::flush)) {
        err << "copycheck-cli: standard output could not be written\n" << std::flush;
        status = 2;
    }
    return request.json ? request.json->End(outcome, false, status) : status;
}

}  // namespace cli
