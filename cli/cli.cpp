// The command-line front end: the main window driven headless, as a person would.
#include "cli/cli.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>

#include <CLI.hpp>

#include "app/CopyCheckDlg.h"
#include "cli/audit.h"
#include "cli/manifest.h"
#include "cli/status.h"
#include "framework/headless/headless.h"

namespace cli {

namespace {

using LineKind = CCopyCheckDlg::LineKind;

enum ExitStatus { kSame = 0, kDifferent = 1, kNotDone = 2 };

struct Options {
    std::string source;
    std::string destination;
    bool namesOnly = false;
    std::optional<std::string> blockKB;
    std::optional<std::string> diffLimit;
    std::optional<std::string> log;
    bool quiet = false;
    bool cached = false;
    std::optional<std::string> manifest;
    std::optional<std::string> audit;
    bool extra = false;
    bool all = false;
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

// The window's own text, with its CR LF as one line feed.
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
std::string Printable(const std::string& line, const CCopyCheckDlg::LineInfo& info) {
    std::string out;
    size_t at = 0;
    for (const CCopyCheckDlg::PathSpan& span : info.paths) {
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

// The handlers the run is given live on this function's stack: they go when it returns.
struct ScriptScope {
    ~ScriptScope() {
        fw::headless::SetMessageBoxHandler(nullptr);
        fw::headless::SetPaintHook(nullptr);
    }
};

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

// Whether the log and the manifest, or the temporary file of either, may be one file: the
// same file already, or alike names in one directory.
bool SharedWithLog(platform::FileSystem& fs, const std::string& manifest, const std::string& log) {
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

// Why the manifest cannot be where it is asked for, or nothing. It never lies in the source
// tree, and never replaces a file of the copy: there it must be a new file. Elsewhere it
// replaces only a regular file, or a link as a name.
std::string ManifestRefusal(platform::FileSystem& fs, const Options& options, bool& replace) {
    const std::string& path = *options.manifest;
    platform::Error error;
    platform::PathKind kind;
    // Where it lies is where the directory that receives the name lies, whatever the name
    // holds now (a link into a tree or out of one).
    bool inSource = false, inCopy = false;
    if (!fs.KindAt(path, kind, error) ||
        !platform::FileWithin(fs, path, options.source, inSource, error) ||
        !platform::FileWithin(fs, path, options.destination, inCopy, error))
        return "the manifest cannot be written: " + platform::Describe(error);
    if (inSource)
        return "the manifest must lie outside SOURCE: " + path;
    if (inCopy && kind != platform::PathKind::kNothing)
        return "a manifest inside DESTINATION must be a new file: " + path;
    // Found now, not when the whole check is done and the list cannot be given its name.
    if (kind == platform::PathKind::kOther)
        return "the manifest can replace only a regular file: " + path;
    if (options.log && SharedWithLog(fs, path, *options.log))
        return "--manifest and --log name the same file: " + *options.log;
    replace = !inCopy;
    return "";
}

// Gives the manifest its name when the check was done to the end; says why not otherwise.
bool FinishManifest(ManifestWriter& manifest, const CCopyCheckDlg::RunOutcome& run,
                    std::ostream& err) {
    platform::Error error;
    if (!run.walked || run.interrupted || run.namesOnlyFallback)
        err << "copycheck-cli: the check was not done to the end: no manifest was written\n";
    else if (manifest.Lines() == 0 && manifest.Unlisted().empty())
        err << "copycheck-cli: no file compared equal: no manifest was written\n";
    else if (manifest.Lines() == 0)
        err << "copycheck-cli: no file could be listed: no manifest was written\n";
    else if (manifest.Finish(error))
        return true;
    else if (manifest.temporary().empty())
        err << "copycheck-cli: the manifest could not be written: " << platform::Describe(error)
            << '\n';
    else
        err << "copycheck-cli: the manifest could not be given its name: "
            << platform::Describe(error) << "; it is left at " << manifest.temporary() << '\n';
    err << std::flush;
    return false;
}

int Check(const Options& options, std::ostream& out, std::ostream& err, const Environment& env) {
    platform::FileSystem& fs = env.fs ? *env.fs : platform::RealFileSystem();
    std::optional<ManifestWriter> manifest;
    if (options.manifest) {
        bool replace = false;
        std::string refusal = ManifestRefusal(fs, options, replace);
        platform::Error error;
        if (refusal.empty() && !manifest.emplace(fs, *options.manifest, replace).Open(error))
            refusal = "the manifest cannot be written: " + platform::Describe(error);
        if (!refusal.empty()) {
            err << "copycheck-cli: " << refusal << '\n' << std::flush;
            return kNotDone;
        }
    }

    CCopyCheckDlg dlg;
    dlg.SetFileSystem(fs);
    if (!dlg.Create()) {
        err << "copycheck-cli: the main window could not be made\n";
        return kNotDone;
    }
    fw::headless::User user(dlg);
    ScriptScope scope;

    std::optional<ProgressLine> progress;
    if (env.errIsTerminal)
        progress.emplace(err, env.columns);
    // The line shows once the walk has reached a file: before, there is nothing to show.
    std::string currentFile;
    // When the line naming a file arrives, the file bar still shows the file before it: the
    // new one is at 0 until the window paints again without a line in between.
    bool fileStarting = false;
    int linesSincePaint = 0;
    auto showProgress = [&] {
        if (progress && !currentFile.empty())
            progress->Update(user.Pos(IDC_TOTAL_PROGRESS),
                             fileStarting ? 0 : user.Pos(IDC_FILE_PROGRESS), currentFile);
    };

    dlg.SetResultListener([&](const std::string& line, const CCopyCheckDlg::LineInfo& info) {
        fileStarting = info.kind == LineKind::kFile && !info.paths.empty();
        if (fileStarting)
            currentFile = line.substr(info.paths[0].offset, info.paths[0].length);
        ++linesSincePaint;
        if (!(options.quiet && info.kind != LineKind::kOther)) {
            if (progress && env.outIsTerminal)
                progress->Erase();
            out << Printable(line, info) << '\n' << std::flush;
        }
        showProgress();
    });
    fw::headless::SetPaintHook([&] {
        if (linesSincePaint == 0)
            fileStarting = false;
        linesSincePaint = 0;
        showProgress();
    });
    fw::headless::SetMessageBoxHandler([&](const fw::headless::MessageBoxCall& box) {
        // The one box with OK and Cancel asks whether to start.
        if ((box.type & 0xF) == MB_OKCANCEL)
            return static_cast<int>(IDOK);
        if (progress)
            progress->Erase();
        if (!box.caption.empty())
            err << box.caption << ": ";
        err << WithLineFeeds(box.text) << '\n' << std::flush;
        return static_cast<int>(IDOK);
    });

    if (manifest)
        dlg.SetVerifiedListener(
            [&](const std::string& relative, const platform::Sha256::Digest* digest) {
                std::string path = relative;
                std::replace(path.begin(), path.end(), platform::kSeparator, '/');
                manifest->Add(path, digest);
            });
    dlg.SetStopFlag(env.stop);
    if (env.allocate)
        dlg.SetAllocator(env.allocate);
    dlg.SetCached(options.cached);
    dlg.SetExtras(options.extra, {manifest ? manifest->temporary() : ""});
    dlg.SetNoDifferenceLimit(options.all);
    // For measuring what the reads in flight gain.
    if (const char* ahead = std::getenv("COPYCHECK_READAHEAD"); ahead && std::string(ahead) == "0")
        dlg.SetReadAhead(false);
    user.Type(IDC_SRC_PATH, options.source);
    user.Type(IDC_DST_PATH, options.destination);
    if (options.namesOnly)
        user.Click(IDC_NAMES_ONLY);
    if (options.blockKB)
        user.Type(IDC_BLOCK_KB, *options.blockKB);
    if (options.diffLimit)
        user.Type(IDC_DIFF_LIMIT, *options.diffLimit);
    if (options.log) {
        user.Click(IDC_KEEP_LOG);
        user.Type(IDC_LOG_PATH, *options.log);
    }
    user.Click(IDOK);

    if (progress)
        progress->Erase();
    const CCopyCheckDlg::RunOutcome& run = dlg.LastRun();
    int status = run.differences > 0 ? kDifferent : kSame;
    if (!run.walked || run.interrupted)
        status = kNotDone;
    if (run.namesOnlyFallback) {
        err << "copycheck-cli: no memory for the comparison: only the names were checked\n"
            << std::flush;
        status = kNotDone;
    }
    if (run.logFailed) {
        err << "copycheck-cli: the log could not be written: "
            << platform::Describe(dlg.m_fpLog.FirstError()) << '\n'
            << std::flush;
        status = kNotDone;
    }
    if (manifest && !FinishManifest(*manifest, run, err))
        status = kNotDone;
    // Files that compared equal but that the list cannot hold: an audit would not read them.
    if (manifest && !manifest->Unlisted().empty()) {
        for (const auto& [path, why] : manifest->Unlisted())
            err << "copycheck-cli: " << why << ": " << Escaped(path) << '\n';
        err << std::flush;
        status = kNotDone;
    }
    if (!Delivered(out, err))
        status = kNotDone;
    dlg.SetResultListener(nullptr);
    dlg.SetVerifiedListener(nullptr);
    dlg.DestroyWindow();
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Environment& environment) {
    CLI::App app(
        "Checks that DESTINATION holds a correct copy of the directory tree SOURCE: every file\n"
        "of SOURCE must exist at the same place in DESTINATION, with the same contents.\n"
        "Each finding, and a closing verdict with the counts, goes to standard output.\n"
        "With --manifest, the check also writes the SHA-256 of every file that compared equal\n"
        "as a list that sha256sum -c reads; copycheck-cli --audit FILE [DIR] later reads the\n"
        "files it lists from the medium again, without SOURCE, and compares their SHA-256.\n",
        "copycheck-cli");
    app.footer(
        "Exit status:\n"
        "  0  all that was asked for was done, and no difference was found\n"
        "  1  differences were found, and all else that was asked for was done\n"
        "  2  not all was done: the trees were not walked (the same path twice, no files,\n"
        "     SOURCE unreadable), memory allowed names only, the log, the manifest or\n"
        "     standard output could not be written, a file could not be listed in the\n"
        "     manifest (a path too long for it, or no SHA-256), the list to audit was\n"
        "     unreadable or malformed, or the run was interrupted (Ctrl-C; a second one\n"
        "     ends the program at once); or the command line was wrong");

    app.get_formatter()->column_width(24);

    Options options;
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
    app.add_option("--manifest", options.manifest,
                   "Write the SHA-256 of each file that compared equal to FILE, in the form of "
                   "sha256sum, paths relative to the trees (FILE may be a new file in "
                   "DESTINATION, never in SOURCE; not with -n)")
        ->type_name("FILE");
    app.add_option("--audit", options.audit,
                   "Instead of a check: read every file that the list FILE names from its "
                   "medium, below DIR (FILE's own directory by default), and compare its "
                   "SHA-256 with the listed one; -q and -b apply, nothing else")
        ->type_name("FILE");
    app.add_flag("--extra", options.extra,
                 "Also report each file or directory of DESTINATION that SOURCE does not have "
                 "(a difference; those that file systems make at its root are passed over)");
    app.add_flag("--all", options.all, "Report every difference: no limit (not with -d)");
    app.set_version_flag("-V,--version", std::string("copycheck-cli ") + COPYCHECK_VERSION,
                         "Print the version and exit");
    CLI::Option* source = app.add_option("SOURCE", options.source,
                                         "The directory that was copied (with --audit: DIR)")
                              ->type_name("");
    CLI::Option* destination =
        app.add_option("DESTINATION", options.destination, "Where it was copied to")->type_name("");

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
    for (auto [value, number] :
         {std::pair{&options.blockKB, kBlockKB}, std::pair{&options.diffLimit, kDiffLimit}}) {
        if (!*value)
            continue;
        std::optional<unsigned> parsed = Parse(**value, number.upper);
        if (!parsed)
            return usageError(std::string(number.name) + " takes a whole number from 1 to " +
                              std::to_string(number.upper) + ", not \"" + **value + "\"");
        **value = std::to_string(*parsed);
    }
    if (options.diffLimit && options.all)
        return usageError("-d/--diff-limit and --all do not go together");
    if (options.audit && (options.extra || options.all))
        return usageError("--audit takes no --extra or --all");
    if (options.audit) {
        if (options.namesOnly || options.diffLimit || options.log || options.cached ||
            options.manifest)
            return usageError("--audit takes no -n, -d, -l, --cached or --manifest");
        if (destination->count() > 0)
            return usageError("--audit takes one directory at most");
        AuditRequest request{*options.audit, std::nullopt, 0, options.quiet};
        if (source->count() > 0)
            request.dir = options.source;
        request.block = size_t{options.blockKB ? std::stoul(*options.blockKB) : 1024} * 1024;
        return Audit(request, out, err, environment);
    }
    for (CLI::Option* needed : {source, destination})
        if (needed->count() == 0)
            return usageError(needed->get_name() + " is required");
    if (options.manifest && options.namesOnly)
        return usageError("--manifest needs the contents compared: not with -n/--names-only");
    if (options.manifest && options.manifest->empty())
        return usageError("--manifest must not be empty");
    // An empty field would make the walk start at the root of the file system.
    if (options.source.empty() || options.destination.empty())
        return usageError("SOURCE and DESTINATION must not be empty");
    if (options.log && options.log->empty())
        return usageError("-l/--log must not be empty");
    return Check(options, out, err, environment);
}

void ExitOnHeadlessFailure(std::ostream& err) {
    fw::headless::SetFailureHandler([&err](const std::string& message) {
        err << "copycheck-cli: " << message << '\n' << std::flush;
        std::exit(kNotDone);
    });
}

}  // namespace cli
