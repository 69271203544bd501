// The command-line front end: a view of the check, as the window is another.
#include "cli/cli.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <utility>

#include <CLI.hpp>

#include "cli/audit.h"
#include "cli/json.h"
#include "cli/manifest.h"
#include "cli/status.h"
#include "engine/check.h"
#include "log/log.h"

namespace cli {

namespace {

enum ExitStatus { kSame = 0, kDifferent = 1, kNotDone = 2 };

struct Options {
    std::string source;
    std::vector<std::string> copies;  // DESTINATION, one or more
    bool namesOnly = false;
    std::optional<std::string> blockKB;
    std::optional<std::string> diffLimit;
    size_t blockBytes = size_t{1024} * 1024;  // from blockKB, once it is read
    unsigned differenceLimit = 1;             // from diffLimit
    std::optional<std::string> log;
    bool quiet = false;
    bool cached = false;
    std::vector<std::string> manifests;  // none, or one for each copy
    std::optional<std::string> audit;
    bool extra = false;  // entries only in the copy are findings
    bool all = false;    // no difference limit
    bool json = false;   // JSON Lines on standard output instead of the text lines
};

// A numeric option: plain decimal digits within [1, upper], nothing else.
struct Number {
    const char* name;
    unsigned upper;
};
constexpr Number kBlockKB{"-b/--block-kb", 10240};
constexpr Number kDiffLimit{"-d/--diff-limit", 999};

std::optional<unsigned> Parse(const std::string& text, unsigned upper) {
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > upper)
            return std::nullopt;
    }
    if (text.empty() || value == 0)
        return std::nullopt;
    return value;
}

// A line's own text, with its CR LF as one line feed.
std::string WithLineFeeds(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

// A result line as standard output shows it: its paths escaped, the rest with line feeds.
std::string Printable(const std::string& line, const engine::LineInfo& info) {
    std::string out;
    size_t at = 0;
    for (const engine::PathSpan& span : info.paths) {
        out += WithLineFeeds(std::string_view(line).substr(at, span.offset - at));
        out += Escaped(std::string_view(line).substr(span.offset, span.length));
        at = span.offset + span.length;
    }
    return out + WithLineFeeds(std::string_view(line).substr(at));
}

// Whether all that was written to out reached it; says so on err when not.
bool Delivered(std::ostream& out, std::ostream& err) {
    if (out << std::flush)
        return true;
    err << "copycheck-cli: standard output could not be written\n" << std::flush;
    return false;
}

// path's directory, as path names it, and its last name.
std::pair<std::string, std::string> Split(const std::string& path) {
    size_t cut = path.find_last_of(std::string("/") + platform::kSeparator);
    if (cut == std::string::npos)
        return {".", path};
    return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

// Whether name is other's, or a temporary name made from it, letter case aside: a medium
// that ignores case takes them for one.
bool NameOf(std::string name, std::string other) {
    for (std::string* text : {&name, &other})
        for (char& c : *text)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    std::string temporary = other + ".copycheck-tmp";
    return name == other ||
           (name.starts_with(temporary) &&
            name.find_first_not_of("0123456789", temporary.size()) == std::string::npos);
}

// Whether two files the run writes (the log, a manifest), or the temporary file of either, may
// be one file: the same file already, or alike names in one directory.
bool MayBeOneFile(platform::FileSystem& fs, const std::string& manifest, const std::string& log) {
    platform::FileId logId, manifestId;
    platform::Error error;
    if (fs.Identify(log, logId, error) && fs.Identify(manifest, manifestId, error) &&
        logId == manifestId)
        return true;
    auto [manifestDir, manifestName] = Split(manifest);
    auto [logDir, logName] = Split(log);
    return fs.Identify(manifestDir, manifestId, error) && fs.Identify(logDir, logId, error) &&
           logId == manifestId && (NameOf(logName, manifestName) || NameOf(manifestName, logName));
}

// Why the manifest `index` cannot be where it is asked for, or nothing. It never lies in the
// source tree, and never replaces a file of a copy: there it must be a new file. Elsewhere it
// replaces only a regular file, or a link as a name.
std::string ManifestRefusal(platform::FileSystem& fs, const Options& options, size_t index,
                            bool& replace) {
    const std::string& path = options.manifests[index];
    platform::Error error;
    platform::PathKind kind;
    // Where it lies is where the directory that receives the name lies, whatever the name
    // holds now (a link into a tree or out of one).
    bool inSource = false, inCopy = false;
    if (!fs.KindAt(path, kind, error) ||
        !platform::FileWithin(fs, path, options.source, inSource, error))
        return "the manifest cannot be written: " + platform::Describe(error);
    for (const std::string& copy : options.copies) {
        bool inThis = false;
        if (!platform::FileWithin(fs, path, copy, inThis, error))
            return "the manifest cannot be written: " + platform::Describe(error);
        inCopy = inCopy || inThis;
    }
    if (inSource)
        return "the manifest must lie outside SOURCE: " + path;
    if (inCopy && kind != platform::PathKind::kNothing)
        return "a manifest inside DESTINATION must be a new file: " + path;
    // Found now, not when the whole check is done and the list cannot be given its name.
    if (kind == platform::PathKind::kOther)
        return "the manifest can replace only a regular file: " + path;
    if (options.log && MayBeOneFile(fs, path, *options.log))
        return "--manifest and --log name the same file: " + *options.log;
    for (size_t other = 0; other < index; ++other)
        if (MayBeOneFile(fs, path, options.manifests[other]))
            return "two manifests name the same file: " + path;
    replace = !inCopy;
    return "";
}

// Gives the manifest its name when the check was done to the end; says why not otherwise,
// after `copy` (the copy's path and ": " when there are several, else nothing).
bool FinishManifest(ManifestWriter& manifest, const engine::Outcome& run, const std::string& copy,
                    std::ostream& err) {
    platform::Error error;
    if (manifest.Lines() > 0 && run.walked && !run.interrupted && !run.namesOnlyFallback &&
        manifest.Finish(error))
        return true;
    err << "copycheck-cli: " << copy;
    if (!run.walked || run.interrupted || run.namesOnlyFallback)
        err << "the check was not done to the end: no manifest was written\n";
    else if (manifest.Lines() == 0 && manifest.Unlisted().empty())
        err << "no file compared equal: no manifest was written\n";
    else if (manifest.Lines() == 0)
        err << "no file could be listed: no manifest was written\n";
    else if (manifest.temporary().empty())
        err << "the manifest could not be written: " << platform::Describe(error) << '\n';
    else
        err << "the manifest could not be given its name: " << platform::Describe(error)
            << "; it is left at " << manifest.temporary() << '\n';
    err << std::flush;
    return false;
}

// A manifest for each copy, or none.
using Manifests = std::vector<std::unique_ptr<ManifestWriter>>;

// What a check tells the command line: each line on standard output and in the log, the
// progress line on a terminal, and the files that compared equal for the manifest.
class View : public engine::Listener {
public:
    View(const Options& options, std::ostream& out, std::ostream& err, const Environment& env,
         const Manifests& manifests, JsonEvents* json)
        : options_(options),
          out_(out),
          err_(err),
          outIsTerminal_(env.outIsTerminal),
          manifests_(manifests),
          json_(json) {
        if (env.errIsTerminal && !json)
            progress_.emplace(err, env.columns);
    }

    // Opens the log, as the window does; false when it could not be.
    bool OpenLog(platform::FileSystem& fs) {
        std::vector<std::string> trees = options_.copies;
        trees.insert(trees.begin(), options_.source);
        if (log_.Open(fs, *options_.log, trees))
            return true;
        EraseProgress();
        err_ << "Notice: " << CheckLog::kOpenFailed << '\n' << std::flush;
        log_.TellMisplaced(*this);
        return false;
    }
    bool CloseLog() { return log_.Close(*this); }
    const CheckLog& log() const { return log_; }
    void EraseProgress() {
        if (progress_)
            progress_->Erase();
    }

    void Line(const std::string& text, const engine::LineInfo& info) override {
        log_.WriteLine(text);
        if (info.kind == engine::LineKind::kFile && !info.paths.empty()) {
            currentFile_ = text.substr(info.paths[0].offset, info.paths[0].length);
            meters_[1] = 0;
        }
        if (json_) {
            json_->Line(text, info);
        } else if (!(options_.quiet && info.kind != engine::LineKind::kOther)) {
            if (outIsTerminal_)
                EraseProgress();
            out_ << Printable(text, info) << '\n' << std::flush;
        }
        ShowProgress();
    }
    void HeaderDone() override { log_.HeaderDone(); }
    void SetMeter(engine::Meter meter, uint64_t percent) override {
        meters_[meter == engine::Meter::kTotal ? 0 : 1] = std::min<uint64_t>(percent, 100);
        ShowProgress();
    }
    void Verified(size_t copy, const std::string& relative,
                  const platform::Sha256::Digest* digest) override {
        std::string path = relative;
        std::replace(path.begin(), path.end(), platform::kSeparator, '/');
        manifests_[copy]->Add(path, digest);
    }
    void Pulse() override { log_.Pulse(); }

private:
    // The line shows once the walk has reached a file: before, there is nothing to show.
    void ShowProgress() {
        if (progress_ && !currentFile_.empty())
            progress_->Update(static_cast<unsigned>(meters_[0]), static_cast<unsigned>(meters_[1]),
                              currentFile_);
    }

    const Options& options_;
    std::ostream& out_;
    std::ostream& err_;
    bool outIsTerminal_;
    const Manifests& manifests_;
    JsonEvents* json_;  // null without --json
    std::optional<ProgressLine> progress_;
    std::string currentFile_;
    uint64_t meters_[2] = {0, 0};  // total, file
    CheckLog log_;
};

engine::Settings SettingsOf(const Options& options, const Environment& env, bool digests) {
    engine::Settings settings;
    settings.source = options.source;
    settings.copies = options.copies;
    settings.blockBytes = options.blockBytes;
    settings.differenceLimit = options.all ? 0 : options.differenceLimit;
    settings.extras = options.extra;
    settings.namesOnly = options.namesOnly;
    settings.cached = options.cached;
    // For measuring what the reads in flight gain.
    const char* ahead = std::getenv("COPYCHECK_READAHEAD");
    settings.readAhead = !(ahead && std::string(ahead) == "0");
    settings.digests = digests;
    settings.keepLog = options.log.has_value();
    settings.logPath = options.log.value_or("");
    settings.stop = env.stop;
    if (env.allocate)
        settings.allocate = env.allocate;
    return settings;
}

// Opens the manifests asked for, if any; false, having said why, when one cannot be written.
bool OpenManifests(platform::FileSystem& fs, const Options& options, Manifests& manifests,
                   std::ostream& err) {
    for (size_t i = 0; i < options.manifests.size(); ++i) {
        bool replace = false;
        std::string refusal = ManifestRefusal(fs, options, i, replace);
        platform::Error error;
        if (refusal.empty()) {
            manifests.push_back(
                std::make_unique<ManifestWriter>(fs, options.manifests[i], replace));
            if (!manifests.back()->Open(error))
                refusal = "the manifest cannot be written: " + platform::Describe(error);
        }
        if (!refusal.empty()) {
            err << "copycheck-cli: " << refusal << '\n' << std::flush;
            return false;
        }
    }
    return true;
}

// The exit status of a check that ran, with what was not done said on err.
int StatusOf(const engine::Outcome& run, const View& view, bool logFailed, const Options& options,
             const Manifests& manifests, std::ostream& out, std::ostream& err) {
    int status = run.differences > 0 ? kDifferent : kSame;
    if (!run.walked || run.interrupted)
        status = kNotDone;
    if (run.namesOnlyFallback) {
        err << "copycheck-cli: no memory for the comparison: only the names were checked\n"
            << std::flush;
        status = kNotDone;
    }
    if (logFailed) {
        err << "copycheck-cli: the log could not be written: "
            << platform::Describe(view.log().FirstError()) << '\n'
            << std::flush;
        status = kNotDone;
    }
    for (size_t i = 0; i < manifests.size(); ++i) {
        const ManifestWriter& manifest = *manifests[i];
        std::string copy = manifests.size() > 1 ? Escaped(options.copies[i]) + ": " : "";
        if (!FinishManifest(*manifests[i], run, copy, err))
            status = kNotDone;
        // Files that compared equal but that the list cannot hold: an audit would not read
        // them.
        for (const auto& [path, why] : manifest.Unlisted()) {
            err << "copycheck-cli: " << copy << why << ": " << Escaped(path) << '\n' << std::flush;
            status = kNotDone;
        }
    }
    if (!Delivered(out, err))
        status = kNotDone;
    return status;
}

int Check(const Options& options, std::ostream& out, std::ostream& err, const Environment& env,
          JsonEvents* json) {
    platform::FileSystem& fs = env.fs ? *env.fs : platform::RealFileSystem();
    Manifests manifests;
    if (!OpenManifests(fs, options, manifests, err))
        return kNotDone;
    View view(options, out, err, env, manifests, json);
    bool logFailed = options.log && !view.OpenLog(fs);
    engine::Settings settings = SettingsOf(options, env, !manifests.empty());
    // The manifests' temporary files are the run's own, never files only in a copy.
    for (const auto& manifest : manifests)
        settings.ownFiles.push_back(manifest->temporary());
    if (json)
        json->StartCheck(settings, options.manifests);
    engine::Check check(std::move(settings), fs, view);
    engine::Outcome run = check.Run();
    logFailed = !view.CloseLog() || logFailed;
    view.EraseProgress();
    int status = StatusOf(run, view, logFailed, options, manifests, out, err);
    return json ? json->End(run, logFailed, status) : status;
}

// The options and arguments of the command line; returns SOURCE's and DESTINATION's.
std::pair<CLI::Option*, CLI::Option*> AddOptions(CLI::App& app, Options& options) {
    app.add_flag("-n,--names-only", options.namesOnly,
                 "Check only that each file exists in DESTINATION, not its contents");
    app.add_option("-b,--block-kb", options.blockKB,
                   "Compare N KiB at a time, N from 1 to 10240 (default 1024)")
        ->type_name("N");
    app.add_option("-d,--diff-limit", options.diffLimit,
                   "Stop after N differences, N from 1 to 999 (default 1)")
        ->type_name("N");
    app.add_option("-l,--log", options.log,
                   "Also write the results to FILE (code page 932, CR LF line ends)")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", options.quiet,
                 "Leave the line for each directory and file out of standard output");
    app.add_flag("--cached", options.cached,
                 "Read DESTINATION through the system's cache, as SOURCE is (by default it is "
                 "read from its medium: a copy just written is still in memory)");
    app.add_option("--manifest", options.manifests,
                   "Write the SHA-256 of each file that compared equal to FILE, in the form of "
                   "sha256sum, paths relative to the trees (FILE may be a new file in "
                   "DESTINATION, never in SOURCE; not with -n); with several copies, once for "
                   "each, in their order")
        ->type_name("FILE")
        ->allow_extra_args(false);
    app.add_option("--audit", options.audit,
                   "Instead of a check: read every file that the list FILE names from its "
                   "medium, below DIR (FILE's own directory by default), and compare its "
                   "SHA-256 with the listed one; -q and -b apply, nothing else")
        ->type_name("FILE");
    app.add_flag("--extra", options.extra,
                 "Also report each file or directory of DESTINATION that SOURCE does not have "
                 "(a difference; those that file systems make at its root are passed over)");
    app.add_flag("--all", options.all, "Report every difference: no limit (not with -d)");
    app.add_flag("--json", options.json,
                 "Write JSON Lines to standard output instead of the text lines: a start "
                 "event, one for each finding, and an end event; or one error event when the "
                 "run cannot start. A name that is not UTF-8 is also given in hex");
    app.set_version_flag("-V,--version", std::string("copycheck-cli ") + COPYCHECK_VERSION,
                         "Print the version and exit");
    CLI::Option* source = app.add_option("SOURCE", options.source,
                                         "The directory that was copied (with --audit: DIR)")
                              ->type_name("");
    CLI::Option* destination =
        app.add_option("DESTINATION", options.copies, "Where it was copied to: one copy or more")
            ->type_name("");

    return {source, destination};
}

// Reads the numeric options into options; the usage error when one is wrong, else nothing.
std::string TakeNumbers(Options& options) {
    unsigned blockKB = 1024;
    for (auto [text, number, value] :
         {std::tuple{&options.blockKB, kBlockKB, &blockKB},
          std::tuple{&options.diffLimit, kDiffLimit, &options.differenceLimit}}) {
        if (!*text)
            continue;
        std::optional<unsigned> parsed = Parse(**text, number.upper);
        if (!parsed)
            return std::string(number.name) + " takes a whole number from 1 to " +
                   std::to_string(number.upper) + ", not \"" + **text + "\"";
        *value = *parsed;
    }
    options.blockBytes = size_t{blockKB} * 1024;
    return "";
}

// The usage error of an audit's command line, or nothing.
std::string AuditMisuse(const Options& options, const CLI::Option& destination) {
    if (options.namesOnly || options.diffLimit || options.log || options.cached ||
        !options.manifests.empty() || options.extra || options.all)
        return "--audit takes no -n, -d, -l, --cached, --manifest, --extra or --all";
    if (destination.count() > 0)
        return "--audit takes one directory at most";
    return "";
}

// Whether the directory dir is root or lies below it, by what they are. When that cannot be
// told (a directory missing, or one above it not to be listed), only the same identity is.
bool LiesIn(platform::FileSystem& fs, const std::string& dir, const std::string& root) {
    bool within = false;
    platform::Error error;
    if (fs.Within(dir, root, within, error))
        return within;
    platform::FileId a, b;
    return fs.Identify(dir, a, error) && fs.Identify(root, b, error) && a == b;
}

// The usage error of several copies that are not apart from each other and from the source,
// or nothing. One copy that is the source is the check's own finding, as it always was.
std::string CopiesMisuse(platform::FileSystem& fs, const Options& options) {
    const std::vector<std::string>& copies = options.copies;
    if (copies.size() < 2)
        return "";
    for (size_t i = 0; i < copies.size(); ++i) {
        if (LiesIn(fs, copies[i], options.source) && LiesIn(fs, options.source, copies[i]))
            return "DESTINATION " + Escaped(copies[i]) + " is SOURCE";
        for (size_t j = 0; j < i; ++j) {
            bool iInJ = LiesIn(fs, copies[i], copies[j]), jInI = LiesIn(fs, copies[j], copies[i]);
            if (iInJ && jInI)
                return "DESTINATION " + Escaped(copies[i]) + " is given twice";
            if (iInJ || jInI)
                return "DESTINATION " + Escaped(copies[iInJ ? i : j]) + " lies inside " +
                       Escaped(copies[iInJ ? j : i]);
        }
    }
    return "";
}

// The usage error of a check's command line, or nothing.
std::string CheckMisuse(const Options& options, const CLI::Option& source,
                        const CLI::Option& destination) {
    for (const CLI::Option* needed : {&source, &destination})
        if (needed->count() == 0)
            return needed->get_name() + " is required";
    if (options.diffLimit && options.all)
        return "-d/--diff-limit and --all do not go together";
    if (!options.manifests.empty() && options.namesOnly)
        return "--manifest needs the contents compared: not with -n/--names-only";
    if (!options.manifests.empty() && options.manifests.size() != options.copies.size())
        return "--manifest must be given once for each DESTINATION, or not at all";
    for (const std::string& manifest : options.manifests)
        if (manifest.empty())
            return "--manifest must not be empty";
    // An empty path would make the walk start at the root of the file system.
    if (options.source.empty() ||
        std::find(options.copies.begin(), options.copies.end(), "") != options.copies.end())
        return "SOURCE and DESTINATION must not be empty";
    if (options.log && options.log->empty())
        return "-l/--log must not be empty";
    return "";
}

// What --help says besides the options.
void Describe(CLI::App& app) {
    app.description(
        "Checks that DESTINATION holds a correct copy of the directory tree SOURCE: every file\n"
        "of SOURCE must exist at the same place in DESTINATION, with the same contents.\n"
        "Each finding, and a closing verdict with the counts, goes to standard output.\n"
        "Several DESTINATIONs are checked in one pass that reads SOURCE once; each copy gets\n"
        "its own findings, difference limit, count and verdict (and --manifest, if given).\n"
        "With --manifest, the check also writes the SHA-256 of every file that compared equal\n"
        "as a list that sha256sum -c reads; copycheck-cli --audit FILE [DIR] later reads the\n"
        "files it lists from the medium again, without SOURCE, and compares their SHA-256.\n");
    app.footer(
        "Exit status:\n"
        "  0  all that was asked for was done, and no difference was found in any copy\n"
        "  1  differences were found, and all else that was asked for was done\n"
        "  2  not all was done: the trees were not walked (the same path twice, no files,\n"
        "     SOURCE unreadable), memory allowed names only, the log, the manifest or\n"
        "     standard output could not be written, a file could not be listed in the\n"
        "     manifest (a path too long for it, or no SHA-256), the list to audit was\n"
        "     unreadable or malformed, or the run was interrupted (Ctrl-C; a second one\n"
        "     ends the program at once); or the command line was wrong");

    app.get_formatter()->column_width(24);
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Environment& environment, JsonEvents* json) {
    CLI::App app("", "copycheck-cli");
    Describe(app);
    Options options;
    auto [source, destination] = AddOptions(app, options);
    auto usageError = [&](const std::string& message) {
        err << "copycheck-cli: " << message << " (see --help)\n" << std::flush;
        return kNotDone;
    };
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return Delivered(out, err) ? kSame : kNotDone;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return Delivered(out, err) ? kSame : kNotDone;
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    if (std::string misuse = TakeNumbers(options); !misuse.empty())
        return usageError(misuse);
    if (options.audit) {
        if (std::string misuse = AuditMisuse(options, *destination); !misuse.empty())
            return usageError(misuse);
        AuditRequest request{*options.audit, std::nullopt, options.blockBytes, options.quiet, json};
        if (source->count() > 0)
            request.dir = options.source;
        return Audit(request, out, err, environment);
    }
    if (std::string misuse = CheckMisuse(options, *source, *destination); !misuse.empty())
        return usageError(misuse);
    platform::FileSystem& fs = environment.fs ? *environment.fs : platform::RealFileSystem();
    if (std::string misuse = CopiesMisuse(fs, options); !misuse.empty())
        return usageError(misuse);
    return Check(options, out, err, environment, json);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Environment& environment) {
    // Known before the arguments are parsed: a usage error is an event too.
    if (!WantsJson(args))
        return Run(args, out, err, environment, nullptr);
    JsonEvents json(out, err);
    return json.Finish(Run(args, out, json.err(), environment, &json));
}

}  // namespace cli
