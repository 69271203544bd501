// The checks of trees and faults written out as literals, driven directly: every finding,
// count and meter position, and the files told as verified.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "engine/check.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"

namespace test {
namespace {

using Lines = std::vector<std::string>;
using Bar = std::vector<uint64_t>;
using Tree = std::function<void(FakeFileSystem&)>;

constexpr uint64_t k4G = uint64_t{1} << 32;
constexpr uint64_t k5G = uint64_t{5} << 30;
const std::string kDenied = "]にアクセスできませんでした\r\nこのディレクトリは無視されます";
const std::string kAncestor = "]は上位のディレクトリと同じため、無視されます";
const std::string kScanning = "コピー元のトータルサイズを取得中...";
const std::string kSep = "-------------------------------------------";
const std::string kFound = "差違が発見されました。",
                  kNone = "双方のパスの内容に差違はありませんでした。",
                  kNotRun = "比較は実行されませんでした。";
std::atomic<bool> stop = false;  // a tree's hooks may raise it

struct Settings {
    unsigned blockKB = 1;
    unsigned limit = 999;
    bool namesOnly = false;
    bool readAhead = true;
    std::string destination = "dst";
    std::string stopAt = "";  // the line on which a stop is requested
    engine::Allocator allocate = engine::AllocateBuffer;
    bool extras = false;
    std::vector<std::string> ownFiles = {};
    std::vector<std::string> moreCopies = {};
};

// What the closing lines say, the files told as verified with a digest and the total meter.
struct Counts {
    uint64_t dirs, files, diffs, total, verified, lastPercent;
    std::string verdict;
    bool operator==(const Counts&) const = default;
};

struct Outcome {
    Lines all;    // the time lines' digits masked
    Lines lines;  // after the header, up to the verdict: findings, decisions and notices
    Counts counts;
    Bar fileBar, totalBar;
    bool fallback;
    Lines verified;  // "copy path" of each file verified
    bool operator==(const Outcome&) const = default;
};

class Recorder : public engine::Listener {
public:
    void Line(const std::string& text, const engine::LineInfo&) override {
        out.all.push_back(text);
        stop = stop || text == stopAt;
        for (const char* timed : {"チェック開始時刻：", "チェック終了時刻：", "所用時間："})
            if (text.starts_with(timed))
                for (char& c : out.all.back())
                    c = c >= '0' && c <= '9' ? '#' : c;
    }
    void SetMeter(engine::Meter meter, uint64_t percent) override {
        (meter == engine::Meter::kTotal ? out.totalBar : out.fileBar).push_back(percent);
    }
    void Verified(size_t copy, const std::string& relative,
                  const platform::Sha256::Digest* digest) override {
        out.counts.verified += digest != nullptr;
        out.verified.push_back(std::to_string(copy) + " " + relative);
    }
    std::string stopAt;
    Outcome out{};
};

uint64_t After(const std::string& line, const std::string& label) {
    size_t at = line.find(label);
    return at == line.npos ? ~uint64_t{0} : std::stoull(line.substr(at + label.size()));
}

Outcome Check(FakeFileSystem& fs, const Settings& s = {}) {
    stop = false;
    Recorder rec;
    rec.stopAt = s.stopAt;
    engine::Settings settings;
    settings.source = "src";
    settings.copies = {s.destination};
    settings.copies.insert(settings.copies.end(), s.moreCopies.begin(), s.moreCopies.end());
    settings.blockBytes = size_t{s.blockKB} * 1024;
    settings.differenceLimit = s.limit;
    settings.namesOnly = s.namesOnly;
    settings.readAhead = s.readAhead;
    settings.digests = true;
    settings.stop = &stop;
    settings.allocate = s.allocate;
    settings.extras = s.extras;
    settings.ownFiles = s.ownFiles;
    bool fallback = engine::Check(settings, fs, rec).Run().namesOnlyFallback;
    Outcome out = std::move(rec.out);
    out.fallback = fallback;
    const Lines& all = out.all;
    // From the header's last line to the verdict, without the lines every check has.
    for (auto it = std::find(all.begin(), all.end(), kScanning) + 1; it < all.end() - 5; ++it)
        if (!it->starts_with("トータルサイズ：") && *it != "＜チェックを開始します＞" &&
            *it != kSep && *it != "チェック終了")
            out.lines.push_back(*it);
    out.counts.verdict = all.end()[-5];
    const std::string& counts = all.back();
    out.counts.dirs = After(counts, "dir:");
    out.counts.files = After(counts, "file:");
    out.counts.diffs = After(counts, "error:");
    out.counts.total = After(all.end()[-2], "File total size：");
    out.counts.lastPercent = out.totalBar.empty() ? 0 : out.totalBar.back();
    return out;
}

void Both(FakeFileSystem& fs, const std::string& rel, const std::string& bytes) {
    fs.AddFile("src/" + rel, bytes);
    fs.AddFile("dst/" + rel, bytes);
}

// The lines of a walk over the root alone: each file's line, then its finding if any.
Lines Walked(std::initializer_list<std::pair<const char*, const char*>> files) {
    Lines lines = {"Diredtory [ src/ ]"};
    for (auto [name, finding] : files) {
        lines.push_back(std::string("File [src/") + name + "]");
        if (*finding)
            lines.push_back(finding);
    }
    return lines;
}

struct Case {
    const char* name;
    Tree tree;
    Settings settings;
    Lines lines;
    Counts counts;
};

const Case kCases[] = {
    {"every kind of finding once, named by the side it concerns",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/missing", "x");
         fs.AddFile("src/longer", Bytes(1024));
         fs.AddFile("dst/longer", Bytes(1025));
         fs.AddFile("src/shorter", Bytes(2048));
         fs.AddFile("dst/shorter", Bytes(2047));
         fs.AddFile("src/cut", Bytes(3000));  // shorter, and differing before it ends
         fs.AddFile("dst/cut", Flip(Bytes(1500), 100));
         fs.AddFile("src/edge", Bytes(3000));
         fs.AddFile("dst/edge", Flip(Bytes(3000), 1023));
         fs.AddFile("src/next", Bytes(3000));
         fs.AddFile("dst/next", Flip(Bytes(3000), 1024));
         fs.AddFile("src/last", Bytes(2048));
         fs.AddFile("dst/last", Flip(Bytes(2048), 2047));
         fs.AddFile("src/isdir", "x");
         fs.AddFile("dst/isdir/inside", "x");
         Both(fs, "nosrc", "abc");
         fs.Fail(FakeFileSystem::Op::Open, "src/nosrc");
         Both(fs, "neither", "abc");  // the copy's failure is named: it is opened first
         fs.Fail(FakeFileSystem::Op::Open, "dst/neither");
         fs.Fail(FakeFileSystem::Op::Open, "src/neither");
         fs.AddSpecial("src/fifo");
         fs.AddSpecial("dst/fifo");
         fs.AddSpecial("src/gone");
         fs.AddFile("src/unknown", "abc");
         fs.Put("src/unknown").unreadable = true;
         fs.AddDir("src/dark");
         fs.Put("src/dark").unreadable = true;
     },
     {},
     Walked({{"missing", "[dst/missing]：コピー先に存在しません"},
             {"longer", "[src/longer]：ファイルのサイズが異なっています"},
             {"shorter", "[src/shorter]：ファイルのサイズが異なっています"},
             {"cut", "[src/cut]：ファイルの内容が異なっています"},
             {"edge", "[src/edge]：ファイルの内容が異なっています"},
             {"next", "[src/next]：ファイルの内容が異なっています"},
             {"last", "[src/last]：ファイルの内容が異なっています"},
             {"isdir", "[dst/isdir]：コピー先に存在しません"},
             {"nosrc", "なぜかコピー元のファイル[src/nosrc]が開けませんでした"},
             {"neither", "[dst/neither]：ファイルの読み込みに失敗しました"},
             {"fifo", ""},
             {"gone", "[dst/gone]：コピー先に存在しません"},
             {"unknown", "[src/unknown]：ファイルの読み込みに失敗しました"},
             {"dark", "[src/dark]：ファイルの読み込みに失敗しました"}}),
     {0, 14, 13, 14128, 0, 100, kFound}},
    {"read errors on either side, on any block, name the side that failed",
     [](FakeFileSystem& fs) {
         for (const char* name : {"b", "c", "d", "e"})
             Both(fs, name, Bytes(3000));
         Both(fs, "a", Bytes(500));  // small: read ahead, and failing there
         Both(fs, "empty", "");
         fs.Put("src/a").badAt = 100;
         fs.Put("dst/b").badAt = 0;
         fs.Put("src/c").badAt = 2048;  // the third block, on both sides
         fs.Put("dst/c").badAt = 2999;
         fs.Put("dst/d").badAt = 3000;  // where it ends: nothing is read there
         fs.Put("src/empty").badAt = 0;
         fs.Put("dst/empty").badAt = 0;
     },
     {},
     Walked({{"b", "[dst/b]：ファイルの読み込みに失敗しました"},
             {"c", "[src/c]：ファイルの読み込みに失敗しました"},
             {"d", ""},
             {"e", ""},
             {"a", "[src/a]：ファイルの読み込みに失敗しました"},
             {"empty", "[src/empty]：ファイルの読み込みに失敗しました"}}),
     {0, 6, 4, 12500, 2, 100, kFound}},
    {"the limit reached mid-directory finishes every open listing without comparing",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/x/a", Bytes(95));  // missing at the destination
         Both(fs, "x/b", "b");
         Both(fs, "x/sub/c", "c");
         Both(fs, "x/d", "d");
         Both(fs, "y/e", "e");
         Both(fs, "z", "z");
     },
     {.limit = 1},
     {"Diredtory [ src/ ]", "Diredtory [ src/x/ ]", "File [src/x/a]",
      "[dst/x/a]：コピー先に存在しません", "File [src/x/b]", "File [src/x/d]", "File [src/z]"},
     {3, 4, 1, 100, 0, 95, kFound}},
    {"a root that cannot be listed leaves nothing to compare",
     [](FakeFileSystem& fs) {
         Both(fs, "f", "abc");
         fs.Fail(FakeFileSystem::Op::List, "src/");
     },
     {},
     {"CheckTotalSize:ディレクトリ[src/" + kDenied,
      "ファイルが存在しないため、比較の必要がありません。"},
     {0, 0, 0, 0, 0, 0, kNotRun}},
    {"a subdirectory that cannot be listed is reported by both, counted by the walk",
     [](FakeFileSystem& fs) {
         Both(fs, "a", "a");
         Both(fs, "bad/x", "x");
         Both(fs, "c", "c");
         fs.Fail(FakeFileSystem::Op::List, "src/bad/");
     },
     {},
     {"CheckTotalSize:ディレクトリ[src/bad/" + kDenied, "Diredtory [ src/ ]", "File [src/a]",
      "Diredtory [ src/bad/ ]", "ディレクトリ[src/bad/" + kDenied, "File [src/c]"},
     {1, 2, 1, 2, 2, 100, kFound}},
    {"a listing that fails only during the size scan is walked, its files outside the total",
     [](FakeFileSystem& fs) {
         Both(fs, "a", "a");
         Both(fs, "bad/x", "x");
         fs.Fail(FakeFileSystem::Op::List, "src/bad/", 1);
     },
     {},
     {"CheckTotalSize:ディレクトリ[src/bad/" + kDenied, "Diredtory [ src/ ]", "File [src/a]",
      "Diredtory [ src/bad/ ]", "File [src/bad/x]"},
     {1, 2, 0, 1, 2, 100, kNone}},
    {"a directory on the path is not entered again; a sibling reached twice is",
     [](FakeFileSystem& fs) {
         Both(fs, "f", "f");
         Both(fs, "a/g", "g");
         fs.AddLink("src/a/up", "src");
         fs.AddLink("src/a/me", "src/a");
         fs.AddLink("src/b", "src/a");
     },
     {},
     {"Diredtory [ src/ ]", "File [src/f]", "Diredtory [ src/a/ ]", "File [src/a/g]",
      "ディレクトリ[src/a/up/" + kAncestor, "ディレクトリ[src/a/me/" + kAncestor,
      "Diredtory [ src/b/ ]", "File [src/b/g]", "[dst/b/g]：コピー先に存在しません",
      "ディレクトリ[src/b/up/" + kAncestor, "ディレクトリ[src/b/me/" + kAncestor},
     {6, 3, 1, 3, 2, 100, kFound}},
    {"identities alone do not make a loop: the resolved path decides",
     [](FakeFileSystem& fs) {
         Both(fs, "twin/f", "f");  // shares the root's identity, but is not the root
         fs.Put("src/twin").id = fs.Put("src").id;
         fs.AddLink("src/back", "src");  // no identity, yet it leads back to the root
         fs.Put("src/back").hideId = true;
         Both(fs, "plain/g", "g");  // no identity and no loop
         fs.Put("src/plain").hideId = true;
     },
     {},
     {"Diredtory [ src/ ]", "Diredtory [ src/twin/ ]", "File [src/twin/f]",
      "ディレクトリ[src/back/" + kAncestor, "Diredtory [ src/plain/ ]", "File [src/plain/g]"},
     {3, 2, 0, 2, 2, 100, kNone}},
    {"the copy is never the source: a file, FIFO or directory leading to it; a clone is another",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/f", "f");
         fs.AddLink("dst/f", "src/f");
         fs.AddFile("src/n", "n");  // no identity once open: not a guess that it is the source
         fs.AddLink("dst/n", "src/n");
         fs.Put("src/n").hideId = true;
         fs.AddSpecial("src/p");
         fs.AddLink("dst/p", "src/p");
         fs.AddFile("src/d/g", "g");
         fs.AddLink("dst/d", "src/d");
         Both(fs, "clone/h", "h");  // the same ids, on another volume
         fs.Put("dst/clone").id = fs.Put("src/clone").id;
         fs.Put("dst/clone/h").id = fs.Put("src/clone/h").id;
         fs.Put("dst/clone/h").volume = 2;
     },
     {},
     {"Diredtory [ src/ ]", "File [src/f]", "[dst/f]：コピー元と同じファイルです", "File [src/n]",
      "File [src/p]", "[dst/p]：コピー元と同じファイルです", "Diredtory [ src/d/ ]",
      "[dst/d/]：コピー元と同じディレクトリです", "Diredtory [ src/clone/ ]", "File [src/clone/h]"},
     {2, 4, 3, 4, 2, 100, kFound}},
    {"a copy inside the source is passed over, by the size scan too",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/f", "f");
         fs.AddFile("src/usb/f", "f");
         fs.AddLink("dst", "src/usb");
     },
     {},
     {"Diredtory [ src/ ]", "File [src/f]", "ディレクトリ[src/usb/]はコピー先のため、無視されます"},
     {1, 1, 0, 1, 1, 100, kNone}},
    {"names only: the copy is opened, never read, and is never the source; sizes pass 4 GiB",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/a", "abc");
         fs.AddFile("dst/a", "other contents");
         fs.AddFile("src/b", "");
         fs.Put("src/b").listedSize = 3 * (k4G / 4);
         fs.AddFile("src/d/c", "");
         fs.Put("src/d/c").listedSize = k5G - 3 * (k4G / 4) - 3;
         fs.AddLink("src/d/loop", "src/d");
         fs.AddDir("src/empty");
         fs.AddFile("dst/b", "x");
         fs.AddFile("dst/d/c", "y");
         fs.AddFile("src/f", "");
         fs.AddLink("dst/f", "src/f");
     },
     {.namesOnly = true},
     {"Diredtory [ src/ ]", "File [src/a]", "File [src/b]", "Diredtory [ src/d/ ]",
      "File [src/d/c]", "ディレクトリ[src/d/loop/" + kAncestor, "Diredtory [ src/empty/ ]",
      "File [src/f]", "[dst/f]：コピー元と同じファイルです"},
     {3, 4, 1, k5G, 0, 100, kFound}},
    {"listings, made ahead while the caller is slow or not: one fails, one runs out of memory",
     [](FakeFileSystem& fs) {
         Both(fs, "a/x", "a");
         Both(fs, "b/x", "b");
         Both(fs, "c/x", "c");  // not counted, nor walked: its listing runs out of memory
         fs.AddDir("src/d");
         fs.Fail(FakeFileSystem::Op::List, "src/d/");
         fs.onCall = [](const std::string& call) {
             if (call == "List src/a/")
                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
             if (call == "List src/c/")
                 throw std::bad_alloc();
         };
     },
     {},
     {"CheckTotalSize:ディレクトリ[src/c/" + kDenied,
      "CheckTotalSize:ディレクトリ[src/d/" + kDenied, "Diredtory [ src/ ]", "Diredtory [ src/a/ ]",
      "File [src/a/x]", "Diredtory [ src/b/ ]", "File [src/b/x]", "Diredtory [ src/c/ ]",
      "ディレクトリ[src/c/" + kDenied, "Diredtory [ src/d/ ]", "ディレクトリ[src/d/" + kDenied},
     {4, 2, 2, 2, 2, 100, kFound}},
    {"a difference early in a file listed past 4 GiB steps the whole rest",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/f", Bytes(10));
         fs.AddFile("dst/f", Flip(Bytes(10), 0));
         fs.Put("src/f").listedSize = k5G;
     },
     {},
     {"Diredtory [ src/ ]", "File [src/f]", "[src/f]：ファイルの内容が異なっています"},
     {0, 1, 1, k5G, 0, 100, kFound}},
    {"a file that grew since it was listed: the rest is not stepped backwards",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/grew", Bytes(5000));
         fs.AddFile("dst/grew", Flip(Bytes(5000), 4500));
         fs.Put("src/grew").listedSize = 100;
     },
     {},
     {"Diredtory [ src/ ]", "File [src/grew]", "[src/grew]：ファイルの内容が異なっています"},
     {0, 1, 1, 100, 0, 4501, kFound}},
    {"a stop inside a file compares no more of it, nor the files after it: not compared",
     [](FakeFileSystem& fs) {
         Both(fs, "big", Bytes(5000));
         Both(fs, "z", "z");
         fs.onCall = [](const std::string& call) { stop = stop || call == "Read src/big"; };
     },
     {},
     {"Diredtory [ src/ ]", "File [src/big]", "＜チェックは中断されました＞"},
     {0, 1, 0, 5001, 0, 20, kNotRun}},
    {"a copy read over the network, and a file fetched to be read: one notice each",
     [](FakeFileSystem& fs) {
         for (std::string name : {"a", "b"}) {
             Both(fs, name, "1");
             fs.Put("src/" + name).notLocal = true;
         }
         fs.remote = true;
     },
     {},
     {"Diredtory [ src/ ]", "File [src/a]", "File [src/b]",
      "Notice>コピー先はネットワーク経由で読み込まれたため、サーバーのキャッシュから読み込まれた"
      "可能性があります",
      "Notice>一部のファイルはローカルディスクになく、読み込むために取得されました"
      "（取得できなかったファイルは読み込みの失敗として報告されます）"},
     {0, 2, 0, 2, 2, 100, kNone}},
    {"extras: one finding each after its directory's entries; no false one by case or own file",
     [](FakeFileSystem& fs) {
         Both(fs, "a", "a");
         Both(fs, "d/b", "b");
         fs.AddFile("dst/d/x", "x");
         fs.AddDir("dst/d/lost+found");  // made by a system at the root only
         fs.AddFile("dst/only/f", "f");  // not walked
         for (std::string made : {"System Volume Information", "$Recycle.Bin", "lost+found",
                                  ".Trash-1000", "m.copycheck-tmp"})
             fs.AddDir("dst/" + made);
         fs.AddFile("dst/m.copycheck-tmp1", "");  // not this run's
         fs.AddFile("src/Name", "n");             // a copy that ignores letter case
         fs.AddFile("dst/name", "n");
         fs.AddFile("dst/Name", "n");
         fs.Put("dst/Name").id = fs.Put("dst/name").id;
         auto& listed = fs.Put("dst").children;
         listed.erase(std::find(listed.begin(), listed.end(), "Name"));
         Both(fs, "dark/f", "f");
         fs.Fail(FakeFileSystem::Op::List, "dst/dark/");
         fs.AddFile("src/gone/g", "g");  // the copy lacks the directory: no extra to look for
     },
     {.extras = true, .ownFiles = {"dst/m.copycheck-tmp"}},
     {"Diredtory [ src/ ]", "File [src/a]", "Diredtory [ src/d/ ]", "File [src/d/b]",
      "[dst/d/x]：コピー元に存在しません", "[dst/d/lost+found/]：コピー元に存在しません",
      "File [src/Name]", "Diredtory [ src/dark/ ]", "File [src/dark/f]",
      "ディレクトリ[dst/dark/" + kDenied, "Diredtory [ src/gone/ ]", "File [src/gone/g]",
      "[dst/gone/g]：コピー先に存在しません", "[dst/only/]：コピー元に存在しません",
      "[dst/m.copycheck-tmp1]：コピー元に存在しません"},
     {3, 5, 6, 5, 4, 100, kFound}},
    {"the same directory spelled another way, or through a link",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/a", "x");
         fs.AddLink("dst", "src");
     },
     {},
     {"コピー元とコピー先のパスが同じです。"},
     {0, 0, 0, 1, 0, 0, kNotRun}},
    {"stopped during the size scan",
     [](FakeFileSystem& fs) { fs.AddFile("src/a", "x"); },
     {.stopAt = kScanning},
     {"＜チェックは中断されました＞"},
     {0, 0, 0, 0, 0, 0, kNotRun}},
    {"stopped after a difference: differences found",
     [](FakeFileSystem& fs) {
         fs.AddFile("src/a", "1");
         Both(fs, "b", Bytes(5000));
     },
     {.stopAt = "File [src/b]"},
     {"Diredtory [ src/ ]", "File [src/a]", "[dst/a]：コピー先に存在しません", "File [src/b]",
      "＜チェックは中断されました＞"},
     {0, 2, 1, 5001, 0, 0, kFound}},
    {"a failure mid-walk still ends with the closing lines",
     [](FakeFileSystem& fs) {
         Both(fs, "a", "1");
         fs.AddFile("src/sub/b", "2");
         fs.onCall = [](const std::string& call) {
             if (call == "OpenReadFromMedium dst/sub/b")
                 throw std::runtime_error("the unexpected");
         };
     },
     {},
     {"Diredtory [ src/ ]", "File [src/a]", "Diredtory [ src/sub/ ]", "File [src/sub/b]",
      "＜エラーのためチェックを中断しました＞"},
     {1, 2, 0, 2, 1, 100, kNotRun}},
};

class CheckTest : public ::testing::TestWithParam<Case> {};

TEST_P(CheckTest, GivesTheseLinesAndCounts) {
    const Case& c = GetParam();
    FakeFileSystem fs;
    c.tree(fs);
    fs.openTakes = std::chrono::microseconds(500);  // a device's time: files go to the threads
    Outcome out = Check(fs, c.settings);
    EXPECT_EQ(out.lines, c.lines);
    EXPECT_EQ(out.counts, c.counts);
    EXPECT_EQ(fs.Calls("Create"), Lines{});
    EXPECT_EQ(fs.Calls("OpenRead dst/"), Lines{});  // the copy is read from the medium only
    // Reads in flight change nothing that shows.
    FakeFileSystem single;
    c.tree(single);
    Settings one = c.settings;
    one.readAhead = false;
    EXPECT_EQ(Check(single, one), out);
}

INSTANTIATE_TEST_SUITE_P(Trees, CheckTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

// The file bar at entry, once open, before each block and at the end; full on a difference.
TEST(CheckTest, BarPositionsSent) {
    FakeFileSystem equal, differ;
    Both(equal, "f", Bytes(2048));
    differ.AddFile("src/f", Bytes(3000));
    differ.AddFile("dst/f", Flip(Bytes(3000), 0));
    Outcome twoBlocks = Check(equal), atFirstByte = Check(differ);
    EXPECT_EQ(twoBlocks.fileBar, (Bar{0, 0, 0, 51, 102, 102}));
    EXPECT_EQ(twoBlocks.totalBar, Bar{102});
    EXPECT_EQ(atFirstByte.fileBar, (Bar{0, 0, 0, 100}));
    EXPECT_EQ(atFirstByte.totalBar, (Bar{100, 100}));
}

TEST(SpanText, HoursWithinADay) {
    EXPECT_EQ(engine::SpanText(25 * 3600 + 60 + 2), "01時01分02秒");
}

TEST(CalcPercent, TwoRulesWithoutClampingOrWrapping) {
    // Under 100 bytes a total is empty or full; from 100 on, done / (total / 100).
    const uint64_t cases[][3] = {
        {0, 0, 0},       {5, 50, 100},        {0, 99, 0},      {1, 99, 100},       {99, 100, 99},
        {100, 100, 100}, {500, 999, 55},      {999, 999, 111}, {250, 250, 125},    {199, 199, 199},
        {1, k4G, 0},     {k4G - 1, k4G, 100}, {k4G, k5G, 80},  {k4G, k4G + 99, 99}};
    for (const auto& c : cases)
        EXPECT_EQ(engine::CalcPercent(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
}

// The differing byte counts as compared: with one percent exactly offset + 1 bytes, the
// step after the finding moves the total bar only if fewer bytes were counted.
TEST(CheckTest, BytesUpToAndIncludingTheDifferenceAreDone) {
    for (size_t offset : {0, 1023, 1024, 2047, 4095, 4096, 8191}) {
        SCOPED_TRACE(offset);
        unsigned blockKB = offset < 4095 ? 1 : 8;  // the edges of 1 KiB blocks, then of 8 KiB
        uint64_t percent = offset + 1, listed = percent + offset / 2;
        FakeFileSystem fs;
        fs.AddFile("src/f", Bytes(offset + 5000));
        fs.AddFile("dst/f", Flip(Bytes(offset + 5000), offset));
        fs.Put("src/f").listedSize = listed;
        fs.AddFile("src/z", "");  // missing at the destination: it fills the total
        fs.Put("src/z").listedSize = percent * 100 - listed;
        Outcome out = Check(fs, {.blockKB = blockKB});
        EXPECT_EQ(out.lines[2], "[src/f]：ファイルの内容が異なっています");
        EXPECT_EQ(out.totalBar, (Bar{1, 100, 100}));
    }
}

TEST(CheckTest, NoLimitReportsEveryFindingPast999) {
    FakeFileSystem fs;
    for (int i = 0; i < 1000; ++i)
        fs.AddFile("src/" + std::to_string(i), "x");
    Outcome out = Check(fs, {.limit = 0});
    EXPECT_EQ(out.counts.diffs, 1000u);
    EXPECT_EQ(out.all[7], "差違がいくつ発見されても中断しません");
}

platform::AlignedBuffer NoMemory(size_t) {
    return nullptr;
}

platform::AlignedBuffer SecondFails(size_t n) {
    static int calls = 0;
    return ++calls % 2 == 0 ? nullptr : platform::AllocateAligned(n);
}

TEST(CheckTest, NoMemoryForTheBuffersComparesNamesOnly) {
    for (auto allocate : {&NoMemory, &SecondFails}) {
        FakeFileSystem fs;
        fs.AddFile("src/a", "hello");
        fs.AddFile("dst/a", "HELLO");
        Outcome out = Check(fs, {.allocate = allocate});
        EXPECT_EQ(Lines(out.all.begin(), out.all.begin() + 8),
                  (Lines{"チェック用のバッファの確保ができませんでした",
                         "名前のみのチェックに切り替えます", "チェック開始時刻：##時##分##秒", kSep,
                         "コピー元パス：src", "コピー先パス：dst", "結果ログファイルは作成しません",
                         "ファイル名のみの比較を行います。"}));
        EXPECT_EQ(Lines(out.all.end() - 5, out.all.end() - 2),
                  (Lines{kNone, "チェック終了時刻：##時##分##秒", "所用時間：##時##分##秒"}));
        EXPECT_TRUE(out.fallback);
        EXPECT_EQ(fs.Calls("Read "), Lines{});
    }
}

// The walk takes the scan's listings: a directory is listed once a check, and again the next.
TEST(CheckTest, EachDirectoryIsListedOnceACheck) {
    FakeFileSystem fs;
    Both(fs, "sub/a", "1");
    Check(fs);
    fs.AddFile("src/sub/b", "2");
    Lines second = Check(fs).lines;
    EXPECT_EQ(fs.Calls("List"),
              (Lines{"List src/", "List src/sub/", "List src/", "List src/sub/"}));
    EXPECT_NE(std::find(second.begin(), second.end(), "[dst/sub/b]：コピー先に存在しません"),
              second.end());
}

// Several copies against one reading of the source: each finding names its copy and counts
// for it, a source's finding for each copy still compared, each copy stops at its own limit.
TEST(CheckTest, SeveralCopiesReadTheSourceOnce) {
    struct Row {
        const char* name;
        Tree tree;
        unsigned limit;
        Lines findings, closing, verified;
        size_t sourceReads;
        unsigned blockKB = 1;
        bool extras = false;
    } rows[] = {
        {"damage of each kind in either copy",
         [](FakeFileSystem& fs) {
             fs.AddFile("src/a", Bytes(3000));
             fs.AddFile("dst/a", Flip(Bytes(3000), 1500));
             fs.AddFile("dst2/a", Bytes(3000));
             for (const char* copy : {"src/", "dst/", "dst2/"})
                 fs.AddFile(std::string(copy) + "b", "bbb");
             fs.AddFile("dst2/b", "bbbb");
             fs.AddFile("src/c", "c");
             fs.AddFile("dst2/c", "c");
             fs.AddFile("src/d", "d");
             fs.Put("src/d").unreadable = true;
         },
         999,
         {"Diredtory [ src/ ]", "File [src/a]", "[dst/a]：ファイルの内容が異なっています",
          "File [src/b]", "[dst2/b]：ファイルのサイズが異なっています", "File [src/c]",
          "[dst/c]：コピー先に存在しません", "File [src/d]",
          "[src/d]：ファイルの読み込みに失敗しました"},
         {"コピー先パス：dst", kFound, "error:3", "コピー先パス：dst2", kFound, "error:2"},
         {"1 a", "0 b", "1 c"},
         3 + 1 + 1},
        {"a copy at its limit is left while the other goes on",
         [](FakeFileSystem& fs) {
             for (const char* name : {"x", "y", "z"})
                 fs.AddFile(std::string("src/") + name, name);
             for (const std::string copy : {"dst/", "dst2/"})
                 for (const char* name : {"x", "y", "z"})
                     fs.AddFile(copy + name, name);
             fs.AddFile("dst/x", "");
             fs.AddFile("dst2/z", "?");
         },
         1,
         {"Diredtory [ src/ ]", "File [src/x]", "[dst/x]：ファイルのサイズが異なっています",
          "File [src/y]", "File [src/z]", "[dst2/z]：ファイルの内容が異なっています"},
         {"コピー先パス：dst", kFound, "error:1", "コピー先パス：dst2", kFound, "error:1"},
         {"1 x", "1 y"},
         3},
        {"a source finding counts for the copies still compared only",
         [](FakeFileSystem& fs) {
             fs.AddFile("src/m", "m");
             fs.AddFile("dst2/m", "m");
             Both(fs, "n", "n");
             fs.AddFile("dst2/n", "n");
             fs.Fail(FakeFileSystem::Op::Open, "src/n");
         },
         1,
         {"Diredtory [ src/ ]", "File [src/m]", "[dst/m]：コピー先に存在しません", "File [src/n]",
          "なぜかコピー元のファイル[src/n]が開けませんでした"},
         {"コピー先パス：dst", kFound, "error:1", "コピー先パス：dst2", kFound, "error:1"},
         {"1 m"},
         1},
        {"two good copies",
         [](FakeFileSystem& fs) {
             Both(fs, "e", "e");
             fs.AddFile("dst2/e", "e");
         },
         1,
         {"Diredtory [ src/ ]", "File [src/e]"},
         {"コピー先パス：dst", kNone, "error:0", "コピー先パス：dst2", kNone, "error:0"},
         {"0 e", "1 e"},
         1},
        {"an extra in the second copy, and its subdirectory that is the source's",
         [](FakeFileSystem& fs) {
             Both(fs, "sub/f", "f");
             fs.AddFile("dst2/x", "x");
             fs.AddLink("dst2/sub", "src/sub");
         },
         9,
         {"Diredtory [ src/ ]", "Diredtory [ src/sub/ ]",
          "[dst2/sub/]：コピー元と同じディレクトリです", "File [src/sub/f]",
          "[dst2/x]：コピー元に存在しません"},
         {"コピー先パス：dst", kNone, "error:0", "コピー先パス：dst2", kFound, "error:2"},
         {"0 sub/f"},
         1,
         1,
         true},
        {"large blocks, read side by side",
         [](FakeFileSystem& fs) {
             fs.AddFile("src/big", Bytes(700 << 10));
             fs.AddFile("dst/big", Flip(Bytes(700 << 10), 600000));
             fs.AddFile("dst2/big", Bytes(700 << 10));
         },
         1,
         {"Diredtory [ src/ ]", "File [src/big]", "[dst/big]：ファイルの内容が異なっています"},
         {"コピー先パス：dst", kFound, "error:1", "コピー先パス：dst2", kNone, "error:0"},
         {"1 big"},
         3,
         256},
        {"a large block read ahead, then side by side",
         [](FakeFileSystem& fs) {
             fs.AddFile("src/one", Bytes(300 << 10));
             fs.AddFile("dst/one", Bytes(300 << 10));
             fs.AddFile("dst2/one", Flip(Bytes(300 << 10), 299999));
         },
         1,
         {"Diredtory [ src/ ]", "File [src/one]", "[dst2/one]：ファイルの内容が異なっています"},
         {"コピー先パス：dst", kNone, "error:0", "コピー先パス：dst2", kFound, "error:1"},
         {"0 one"},
         1,
         512},
        {"a failure on a helper ends the check on its own thread",
         [](FakeFileSystem& fs) {
             for (const char* tree : {"src/", "dst/", "dst2/"})
                 fs.AddFile(std::string(tree) + "big", Bytes(700 << 10));
             fs.onCall = [](const std::string& call) {
                 if (call == "Read dst2/big")
                     throw std::runtime_error("the unexpected");
             };
         },
         1,
         {"Diredtory [ src/ ]", "File [src/big]", "＜エラーのためチェックを中断しました＞"},
         {"コピー先パス：dst", kNotRun, "error:0", "コピー先パス：dst2", kNotRun, "error:0"},
         {},
         1,
         256},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFileSystem fs;
        row.tree(fs);
        Outcome out = Check(fs, {.blockKB = row.blockKB,
                                 .limit = row.limit,
                                 .extras = row.extras,
                                 .moreCopies = {"dst2"}});
        const Lines& all = out.all;
        EXPECT_EQ(Lines(all.begin() + 3, all.begin() + 5),
                  (Lines{"コピー先パス：dst", "コピー先パス：dst2"}));
        auto walk = std::find(all.begin(), all.end(), "＜チェックを開始します＞") + 1;
        EXPECT_EQ(Lines(walk, walk + row.findings.size()), row.findings);
        EXPECT_EQ(Lines(all.end() - 10, all.end() - 4), row.closing);
        std::sort(out.verified.begin(), out.verified.end(),
                  [](auto& a, auto& b) { return a.substr(2) + a[0] < b.substr(2) + b[0]; });
        EXPECT_EQ(out.verified, row.verified);
        EXPECT_EQ(fs.Calls("Read src/").size(), row.sourceReads);
    }
}

}  // namespace
}  // namespace test
