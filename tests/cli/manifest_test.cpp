// The checksum list: its lines, sha256sum's reading of them and theirs of ours, and audits.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "cli/manifest.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"
#include "tests/support/tempdir.h"

namespace cli {
namespace {

using platform::Sha256;

Sha256::Digest Digest(const std::string& bytes) {
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    Sha256::Digest digest;
    EXPECT_TRUE(sha.Final(digest));
    return digest;
}

void Both(test::FakeFileSystem& fs, const std::string& rel, const std::string& bytes) {
    fs.AddFile("src/" + rel, bytes);
    fs.AddFile("dst/" + rel, bytes);
}

// The longest name a line holds: with the digest and two spaces, the line is at the limit.
const std::string kLongest(kMaxManifestLine - 66, 'a');

TEST(Manifest, LinesAsSha256sumWritesThemReadBackInAnyOfItsForms) {
    std::string hex = platform::ToHex(Digest("x")), upper = hex;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(c));
    using Row = std::pair<std::string, std::string>;  // path, its line
    for (const auto& [path, line] :
         std::initializer_list<Row>{{"sub/報告書 2026.txt", hex + "  sub/報告書 2026.txt\n"},
                                    {"back\\slash", "\\" + hex + "  back\\\\slash\n"},
                                    {"line\nfeed\r", "\\" + hex + "  line\\nfeed\\r\n"},
                                    {"-", hex + "  ./-\n"},
                                    {"C:x", hex + "  ./C:x\n"},
                                    {"\\\\s\\-", "\\" + hex + "  ./\\\\\\\\s\\\\-\n"},
                                    {kLongest, hex + "  " + kLongest + "\n"}}) {
        EXPECT_EQ(ManifestLine(path, Digest("x")), line);
        // In two pieces, the line cut inside its digest.
        ManifestParser parsed;
        ASSERT_TRUE(parsed.Add(line.substr(0, 9)) && parsed.Add(line.substr(9)) && parsed.End())
            << parsed.why();
        EXPECT_EQ(parsed.files().at(0).path, path);
        EXPECT_EQ(parsed.files().at(0).digest, Digest("x"));
    }
    EXPECT_EQ(ManifestLine(kLongest + "a", Digest("x")), "");
    // Binary form, upper case, CR LF, an empty line and no line feed at the end.
    ManifestParser parsed;
    ASSERT_TRUE(parsed.Add(upper + " *a\r\n\n" + hex + "  b c") && parsed.End());
    ASSERT_EQ(parsed.files().size(), 2u);
    EXPECT_EQ(parsed.files()[0].path + parsed.files()[1].path, "ab c");
    EXPECT_EQ(parsed.files()[0].digest, parsed.files()[1].digest);
}

TEST(Manifest, AMalformedLineIsNamedByItsNumber) {
    std::string hex = platform::ToHex(Digest("x")), good = hex + "  a\n";
    const char* digits = "not 64 hexadecimal digits";
    const char* separator = "no \"  \" or \" *\" between the digest and the name";
    const char* escape = "a backslash before neither \\, n nor r";
    const char* absolute = "an absolute path";
    const char* up = "\"..\" among the names";
    using Row = std::tuple<std::string, size_t, const char*>;
    for (const auto& [text, line, why] : std::initializer_list<Row>{
             {good + hex.substr(1) + "  a", 2, digits},
             {good + "\n" + hex.substr(0, 63) + "g  a", 3, digits},
             {hex + " a", 1, separator},
             {hex + "\ta", 1, separator},
             {hex + "  ", 1, separator},
             {good + "\\" + hex + "  a\\tb", 2, escape},
             {"\\" + hex + "  a\\", 1, escape},
             {good + hex + "  /m/a", 2, absolute},
             {hex + " *//server/a", 1, absolute},
             {"\\" + hex + "  \\\\\\\\server\\\\a", 1, absolute},
             {hex + "  c:a", 1, "a drive prefix"},
             {hex + "  ..", 1, up},
             {good + good + hex + "  sub/../../a", 3, up},
             {hex + "  a" + std::string(1, '\0') + good, 1, "a NUL byte"},
             {good + hex + "  " + kLongest + "a\n" + good, 2, "longer than 131072 bytes"}}) {
        ManifestParser parsed;
        EXPECT_FALSE(parsed.Add(text) && parsed.End());
        EXPECT_EQ(std::pair(parsed.line(), parsed.why()), std::pair(line, std::string(why)))
            << text;
    }
}

// A list that cannot be written, or flushed to its medium, leaves nothing; one that cannot be
// given its name stays under its temporary name, and standard error says where. A file whose
// line would be too long is said, and the list holds the rest; so is a log not written.
TEST(Manifest, AListNotWrittenOrNotNamedIsSaid) {
    using Op = test::FakeFileSystem::Op;
    const std::string temp = "out/m.copycheck-tmp", line = ManifestLine("a", Digest("x"));
    const std::string notWritten = "the manifest could not be written: ";
    const std::string tooLong = kLongest + "a";
    // The fault, a file in both trees, status, standard error, the list named and the one left.
    using Row = std::tuple<std::optional<std::pair<Op, std::string>>, std::string, int,
                           std::string, std::string, std::string>;
    for (const auto& [fault, also, status, err, named, left] : std::initializer_list<Row>{
             {std::nullopt, "", 0, "", line, ""},
             {std::pair(Op::Write, temp), "", 2,
              notWritten + "write " + temp + ": No space left on device", "", ""},
             {std::pair(Op::Flush, temp), "", 2,
              notWritten + "fsync " + temp + ": Input/output error", "", ""},
             {std::pair(Op::Flush, "out/m"), "", 2, notWritten + "fsync out/m: Input/output error",
              "", ""},
             {std::pair(Op::Rename, temp), "", 2,
              "the manifest could not be given its name: rename out/m: Permission denied; it is "
              "left at " +
                  temp,
              "", line},
             {std::nullopt, tooLong, 2, "too long a path for the manifest: " + tooLong, line, ""},
             {std::pair(Op::Write, "L.copycheck-tmp"), "", 2,
              "the log could not be written: write L.copycheck-tmp: No space left on device", line,
              ""}}) {
        test::FakeFileSystem fs;
        Both(fs, "a", "x");
        if (!also.empty())
            Both(fs, also, "y");
        fs.AddDir("out");
        if (fault)
            fs.Fail(fault->first, fault->second);
        std::ostringstream out, gotErr;
        EXPECT_EQ(
            RunCli({"--manifest", "out/m", "-l", "L", "src", "dst"}, out, gotErr, {.fs = &fs}),
            status);
        EXPECT_EQ(gotErr.str(), err.empty() ? "" : "copycheck-cli: " + err + "\n");
        EXPECT_EQ(std::pair(fs.Exists("out/m"), fs.Content("out/m")),
                  std::pair(!named.empty(), named));
        EXPECT_EQ(std::pair(fs.Exists(temp), fs.Content(temp)), std::pair(!left.empty(), left));
    }
    // In the copy, a list that cannot be given its name leaves nothing behind.
    test::FakeFileSystem fs;
    Both(fs, "a", "x");
    fs.Fail(Op::Rename, "dst/m.copycheck-tmp");
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"--manifest", "dst/m", "src", "dst"}, out, err, {.fs = &fs}), 2);
    EXPECT_FALSE(fs.Exists("dst/m.copycheck-tmp") || fs.Exists("dst/m")) << err.str();
}

// A log that is, or may become, the manifest or a temporary file of either is refused before
// anything is made: its directory found by identity, its name in any letter case.
TEST(Manifest, ALogThatMayShareItsFileIsRefused) {
    using Row = std::tuple<std::string, std::string, bool>;  // manifest, log, refused
    for (const auto& [manifest, log, refused] :
         std::initializer_list<Row>{{"out/m", "alias/M", true},
                                    {"out/m", "out/m.copycheck-tmp", true},
                                    {"out/m", "out/m.COPYCHECK-TMP12", true},
                                    {"out/m.copycheck-tmp3", "out/M", true},
                                    {"out/m", "out/m.copycheck-tmp1x", false},
                                    {"out/m", "logs/m", false}}) {
        SCOPED_TRACE(log);
        test::FakeFileSystem fs;
        Both(fs, "a", "x");
        fs.AddDir("out");
        fs.AddDir("logs");
        fs.AddLink("alias", "out");
        std::ostringstream out, err;
        EXPECT_EQ(RunCli({"--manifest", manifest, "-l", log, "src", "dst"}, out, err, {.fs = &fs}),
                  refused ? 2 : 0);
        EXPECT_EQ(
            err.str(),
            refused ? "copycheck-cli: --manifest and --log name the same file: " + log + "\n" : "");
        EXPECT_EQ(fs.Calls("Create").empty(), refused);
    }
}

// A listed file damaged in each way an audit must find; what it reports and its status. Paths
// listed with "." among their names are found, and shown without them.
TEST(Audit, FindsEveryDamageAndReadsAllTheRest) {
    enum Damage { kNone, kFlipped, kShort, kDotted, kMissing, kUnopenable, kBadSector, kStopped };
    std::string big = Bytes(size_t{3} << 20), small = Bytes(100, 1), three = Bytes(3000, 2);
    std::string list = ManifestLine("big", Digest(big)) + ManifestLine("a", Digest(small)) +
                       ManifestLine("sub/c d", Digest(three));
    std::string dotted = ManifestLine("big", Digest(big)) + ManifestLine("./a", Digest(small)) +
                         ManifestLine("sub/./c d", Digest(three));
    const char* differ = "ファイルの内容が異なっています";
    const char* unread = "ファイルの読み込みに失敗しました";
    using Row = std::tuple<Damage, std::string, int, const char*>;
    for (const auto& [damage, finding, status, counts] : std::initializer_list<Row>{
             {kNone, "", 0, "file:3  error:0"},
             {kFlipped, std::string("[m/big]：") + differ, 1, "file:3  error:1"},
             {kShort, std::string("[m/a]：") + differ, 1, "file:3  error:1"},
             {kDotted, std::string("[m/a]：") + differ, 1, "file:3  error:1"},
             {kMissing, "[m/sub/c d]：コピー先に存在しません", 1, "file:3  error:1"},
             {kUnopenable, std::string("[m/a]：") + unread, 1, "file:3  error:1"},
             {kBadSector, std::string("[m/big]：") + unread, 1, "file:3  error:1"},
             {kStopped, "＜チェックは中断されました＞", 2, "file:1  error:0"}}) {
        test::FakeFileSystem fs;
        fs.AddFile("m/SUMS", damage == kDotted ? dotted : list);
        fs.AddFile("m/big", damage == kFlipped ? Flip(big, 2 << 20) : big);
        fs.AddFile("m/a", damage == kShort || damage == kDotted ? small.substr(0, 99) : small);
        if (damage != kMissing)
            fs.AddFile("m/sub/c d", three);
        if (damage == kUnopenable)
            fs.Fail(test::FakeFileSystem::Op::Open, "m/a");
        if (damage == kBadSector)
            fs.Put("m/big").badAt = (size_t{1} << 20) + 5;
        std::atomic<bool> stop{false};
        fs.onCall = [&](const std::string& call) {
            stop = stop || (damage == kStopped && call == "Read m/big");
        };
        std::ostringstream out, err;
        Environment env{.errIsTerminal = true, .columns = 60, .stop = &stop, .fs = &fs};
        EXPECT_EQ(RunCli({"-q", "--audit", "m/SUMS"}, out, err, env), status) << out.str();
        std::string findings;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            if (line.find("]：") != std::string::npos || line.starts_with("＜チェックは中断"))
                findings += line;
        EXPECT_EQ(findings, finding);
        EXPECT_TRUE(out.str().ends_with(std::string(counts) + "\n")) << out.str();
        // On a terminal, the progress line from the first file on, and nothing else.
        EXPECT_TRUE(
            err.str().starts_with("\rtotal [----------]   0%  file [----------]   0%  m/big"))
            << testing::PrintToString(err.str());
        EXPECT_EQ(err.str().find("copycheck-cli"), std::string::npos);
    }
}

// A list that names nothing, or that is malformed anywhere, is refused before any file is read.
TEST(Audit, AnEmptyOrMalformedListIsRefusedWhole) {
    std::string good = ManifestLine("a", Digest("x"));
    using Row = std::pair<std::string, std::string>;
    for (const auto& [list, why] : std::initializer_list<Row>{
             {"", "m/SUMS lists no files"},
             {"\n\r\n", "m/SUMS lists no files"},
             {good + good + "x" + good, "m/SUMS, line 3: not 64 hexadecimal digits"},
             {good + std::string(size_t{1} << 20, 'a'),
              "m/SUMS, line 2: longer than 131072 bytes"}}) {
        test::FakeFileSystem fs;
        fs.AddFile("m/SUMS", list);
        fs.AddFile("m/a", "x");
        std::ostringstream out, err;
        EXPECT_EQ(RunCli({"--audit", "m/SUMS"}, out, err, {.fs = &fs}), 2);
        EXPECT_EQ(std::pair(out.str(), err.str()),
                  std::pair(std::string(), "copycheck-cli: " + why + "\n"));
        EXPECT_EQ(fs.Calls("OpenRead"), std::vector<std::string>{"OpenRead m/SUMS"});
        // A long line is read only as far as the limit: three pieces of 64 KiB.
        EXPECT_LE(fs.Calls("Read").size(), 3u);
    }
}

// sha256sum reads every list a check writes, escaped names and "-" included (standard input
// does not match), and an audit reads sha256sum's in its binary form, without a line feed at
// the end.
TEST(Audit, ListsGoBothWaysWithSha256sum) {
    TempDir root;
    for (std::string name :
         {"報告書 2026.txt", "back\\slash", "line\nfeed", "sub/big", "-", "sub/-"})
        for (std::string tree : {"src/", "dst/"})
            root.WriteFile(tree + name, name == "sub/big" ? Bytes(size_t{3} << 20) : name);
    std::string src = root.Path("src"), dst = root.Path("dst"), sums = root.Path("dst/SUMS");
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"-q", "--manifest", sums, src, dst}, out, err, {}), 0) << err.str();
    EXPECT_EQ(
        std::system(("cd '" + dst + "' && sha256sum --strict --quiet -c SUMS < SUMS").c_str()), 0);
    EXPECT_EQ(RunCli({"-q", "--audit", sums}, out, err, {}), 0) << out.str();
    std::string theirs = root.Path("theirs");
    ASSERT_EQ(
        std::system(("cd '" + src + "' && sha256sum -b 'back\\slash' sub/big | head -c -1 > '" +
                     theirs + "'")
                        .c_str()),
        0);
    EXPECT_EQ(RunCli({"-q", "--audit", theirs, dst}, out, err, {}), 0) << out.str();
    EXPECT_NE(out.str().rfind("file:2  error:0"), std::string::npos);
}

// Where the system offers no SHA-256 (an OpenSSL configuration without the algorithm), a file
// that compared equal is said instead of listed, and a listed file is a finding.
TEST(Audit, AFileTheSystemCannotHashIsSaidOrFound) {
    TempDir root;
    root.WriteFile("ssl.cnf",
                   "openssl_conf = a\n[a]\nproviders = b\n[b]\nnull = c\n[c]\nactivate = 1\n");
    for (std::string tree : {"src/", "dst/"})
        root.WriteFile(tree + "a", "x");
    root.WriteFile("dst/SUMS", ManifestLine("a", Digest("x")));
    std::string run = "cd '" + root.Path("") + "' && OPENSSL_CONF=ssl.cnf " COPYCHECK_CLI " -q ";
    using Row = std::tuple<const char*, int, std::string>;  // arguments, status, what it says
    for (const auto& [args, status, says] : std::initializer_list<Row>{
             {"--manifest m src dst", 2,
              "copycheck-cli: no file could be listed: no manifest was written\n"
              "copycheck-cli: no SHA-256 could be computed for the manifest: a\n"},
             {"--audit dst/SUMS", 1, "[dst/a]：ファイルの読み込みに失敗しました\n"}}) {
        SCOPED_TRACE(args);
        int got = std::system((run + args + " > said 2>&1").c_str());
        EXPECT_TRUE(WIFEXITED(got) && WEXITSTATUS(got) == status) << got;
        EXPECT_NE(root.ReadFile("said").find(says), std::string::npos) << root.ReadFile("said");
    }
}

}  // namespace
}  // namespace cli
