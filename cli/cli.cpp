// The command-line front end: the main window driven headless, as a person would.
#include "cli/cli.h"

#include <chrono>
#include <cstdlib>
#include <optional>

#include <CLI.hpp>

#include "app/CopyCheckDlg.h"
#include "cli/status.h"
#include "framework/headless/headless.h"

namespace cli {

namespace {

const char kConfirmation[] = "ファイルの比較を開始するんですね？";
const char kNoDifference[] = "双方のパスの内容に差違はありませんでした。";
const char kDifferences[] = "差違が発見されました。";
const char kDirectoryLine[] = "Diredtory [ ";
const char kFileLine[] = "File [";

enum ExitStatus { kSame = 0, kDifferent = 1, kTrouble = 2 };

struct Options {
    std::string source;
    std::string destination;
    bool namesOnly = false;
    std::optional<std::string> blockKB;  // as typed: the window corrects what it cannot take
    std::optional<std::string> diffLimit;
    std::optional<std::string> log;
    bool quiet = false;
    bool cached = false;
};

std::string WithLineFeeds(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

// The two bars and the current file on one terminal line, redrawn at most every 100 ms.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, int columns) : m_err(err), m_columns(columns) {}

    void Update(unsigned totalPercent, unsigned filePercent, const std::string& name) {
        auto now = std::chrono::steady_clock::now();
        if (m_everDrawn && now - m_lastDrawn < std::chrono::milliseconds(100))
            return;
        m_everDrawn = true;
        m_lastDrawn = now;
        std::string text = StatusText(totalPercent, filePercent, name, m_columns);
        int width = DisplayWidth(text);
        // Blanks over whatever of the previous line the new one does not cover.
        m_err << '\r' << text << std::string(std::max(m_shownWidth - width, 0), ' ') << std::flush;
        m_shownWidth = width;
        m_shown = true;
    }

    void Erase() {
        if (!m_shown)
            return;
        m_err << '\r' << std::string(m_shownWidth, ' ') << '\r' << std::flush;
        m_shown = false;
        m_shownWidth = 0;
    }

private:
    std::ostream& m_err;
    int m_columns;
    bool m_shown = false;
    int m_shownWidth = 0;
    bool m_everDrawn = false;
    std::chrono::steady_clock::time_point m_lastDrawn;
};

// The handlers the run is given live on this function's stack: they go when it returns.
struct ScriptScope {
    ~ScriptScope() {
        fw::headless::SetMessageBoxHandler(nullptr);
        fw::headless::SetPaintHook(nullptr);
    }
};

int Check(const Options& options, std::ostream& out, std::ostream& err, const Terminal& terminal) {
    CCopyCheckDlg dlg;
    if (!dlg.Create()) {
        err << "copycheck-cli: the main window could not be made\n";
        return kTrouble;
    }
    fw::headless::User user(dlg);
    ScriptScope scope;

    std::optional<ProgressLine> progress;
    if (terminal.errIsTerminal)
        progress.emplace(err, terminal.columns);
    std::string currentFile;
    // When the line naming a file arrives, the file bar still shows the file before it: the
    // new one is at 0 until the window paints again without a line in between.
    bool fileStarting = false;
    int linesSincePaint = 0;
    auto showProgress = [&] {
        if (progress)
            progress->Update(user.Pos(IDC_TOTAL_PROGRESS),
                             fileStarting ? 0 : user.Pos(IDC_FILE_PROGRESS), currentFile);
    };

    int status = kTrouble;
    dlg.SetResultListener([&](const std::string& line, const CCopyCheckDlg::LineInfo&) {
        bool isFile = line.starts_with(kFileLine);
        if (isFile)
            currentFile = line.substr(sizeof kFileLine - 1, line.size() - sizeof kFileLine);
        fileStarting = isFile;
        ++linesSincePaint;
        if (line == kNoDifference)
            status = kSame;
        if (line == kDifferences)
            status = kDifferent;
        if (!(options.quiet && (isFile || line.starts_with(kDirectoryLine)))) {
            if (progress && terminal.outIsTerminal)
                progress->Erase();
            out << WithLineFeeds(line) << '\n' << std::flush;
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
        if (box.text == kConfirmation)
            return static_cast<int>(IDOK);
        if (progress)
            progress->Erase();
        if (!box.caption.empty())
            err << box.caption << ": ";
        err << WithLineFeeds(box.text) << '\n' << std::flush;
        return static_cast<int>(IDOK);
    });

    dlg.m_bCached = options.cached;
    // For measuring what the reads in flight gain.
    if (const char* ahead = std::getenv("COPYCHECK_READAHEAD"); ahead && std::string(ahead) == "0")
        dlg.m_bReadAhead = false;
    user.Type(IDC_SRC_PATH, options.source);
    user.Type(IDC_DST_PATH, options.destination);
    if (options.namesOnly)
        user.Click(IDC_NAMES_ONLY);
    // Leaving a numeric field is what corrects it, with the window's notice.
    if (options.blockKB) {
        user.Type(IDC_BLOCK_KB, *options.blockKB);
        user.Focus(IDC_SRC_PATH);
    }
    if (options.diffLimit) {
        user.Type(IDC_DIFF_LIMIT, *options.diffLimit);
        user.Focus(IDC_SRC_PATH);
    }
    if (options.log) {
        user.Click(IDC_KEEP_LOG);
        user.Type(IDC_LOG_PATH, *options.log);
    }
    user.Click(IDOK);

    if (progress)
        progress->Erase();
    dlg.SetResultListener(nullptr);
    dlg.DestroyWindow();
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Terminal& terminal) {
    CLI::App app(
        "Checks that DESTINATION holds a correct copy of the directory tree SOURCE: every file\n"
        "of SOURCE must exist at the same place in DESTINATION, with the same contents.\n"
        "Each finding, and a closing verdict with the counts, goes to standard output.\n",
        "copycheck-cli");
    app.footer(
        "Exit status:\n"
        "  0  the trees were compared and no difference was found\n"
        "  1  differences were found\n"
        "  2  nothing was compared (the same path twice, no files, SOURCE unreadable),\n"
        "     or the command line was wrong");
    app.get_formatter()->column_width(24);

    Options options;
    app.add_flag("-n,--names-only", options.namesOnly,
                 "Check only that each file exists in DESTINATION, not its contents");
    app.add_option("-b,--block-kb", options.blockKB,
                   "Compare N KiB at a time (1 to 10240; default 1024)")
        ->type_name("N");
    app.add_option("-d,--diff-limit", options.diffLimit,
                   "Stop after N differences (1 to 999; default 1)")
        ->type_name("N");
    app.add_option("-l,--log", options.log,
                   "Also write the results to FILE (code page 932, CR LF line ends)")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", options.quiet,
                 "Leave the line for each directory and file out of standard output");
    app.add_flag("--cached", options.cached,
                 "Read DESTINATION through the system's cache, as SOURCE is (by default it is "
                 "read from its medium: a copy just written is still in memory)");
    app.set_version_flag("-V,--version", std::string("copycheck-cli ") + COPYCHECK_VERSION,
                         "Print the version and exit");
    app.add_option("SOURCE", options.source, "The directory that was copied")
        ->required()
        ->type_name("");
    app.add_option("DESTINATION", options.destination, "Where it was copied to")
        ->required()
        ->type_name("");

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kSame;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return kSame;
    } catch (const CLI::ParseError& error) {
        err << "copycheck-cli: " << error.what() << "\n\n" << app.help();
        return kTrouble;
    }
    // An empty field would make the walk start at the root of the file system.
    if (options.source.empty() || options.destination.empty()) {
        err << "copycheck-cli: SOURCE and DESTINATION must not be empty\n\n" << app.help();
        return kTrouble;
    }
    return Check(options, out, err, terminal);
}

void ExitOnHeadlessFailure(std::ostream& err) {
    fw::headless::SetFailureHandler([&err](const std::string& message) {
        err << "copycheck-cli: " << message << '\n' << std::flush;
        std::exit(kTrouble);
    });
}

}  // namespace cli
