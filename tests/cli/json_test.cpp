// --json: every line an object that parses back, with the fields a script reads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli.h"
#include "cli/manifest.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"
#include "tests/support/tempdir.h"

namespace {

using nlohmann::json;
using test::FakeFileSystem;

std::vector<json> Events(const std::string& out) {
    std::vector<json> events;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        events.push_back(json::parse(line));
    return events;
}

// A finding event without its message; offset and path_hex only when given.
json Finding(const char* kind, const std::string& path, json copy, bool counted = true,
             json offset = nullptr, const char* hex = nullptr) {
    json event{{"event", "finding"}, {"kind", kind}, {"path", path}};
    if (hex)
        event["path_hex"] = hex;
    event.update({{"copy", copy}, {"counted", counted}});
    if (!offset.is_null())
        event["offset"] = offset;
    return event;
}

TEST(Json, EachFindingItsEventBetweenStartAndEnd) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        void (*make)(FakeFileSystem&);
        std::vector<json> findings;  // without a start event: all the events
        int status, differences;
        json notWalked = nullptr;
    };
    for (const Row& row : std::initializer_list<Row>{
             {"every kind a check finds",
              {"--json", "--all", "--extra", "src", "dst"},
              [](FakeFileSystem& fs) {
                  for (const char* path : {"src/missing", "src/bad\xff", "src/long", "src/ebad",
                                           "dst/ebad", "src/rbad", "dst/rbad", "src/unknown",
                                           "src/f", "src/d/g", "dst/d/g", "src/shut/h", "dst/only"})
                      fs.AddFile(path, "x");
                  fs.AddFile("dst/long", "xy");
                  fs.AddFile("src/flip", Bytes(3000));
                  fs.AddFile("dst/flip", Flip(Bytes(3000), 2999));
                  fs.AddFile("src/closed", "x");
                  fs.AddFile("dst/closed", "x");
                  fs.Fail(FakeFileSystem::Op::Open, "src/closed");
                  fs.Put("src/ebad").badAt = 0;
                  fs.Put("dst/rbad").badAt = 0;
                  fs.Put("src/unknown").unreadable = true;
                  fs.AddLink("dst/f", "src/f");
                  fs.AddLink("src/d/loop", "src/d");
                  fs.Fail(FakeFileSystem::Op::List, "src/shut/");
              },
              {Finding("missing", "dst/missing", 0),
               Finding("missing", "dst/bad\uFFFD", 0, true, nullptr, "6473742f626164ff"),
               Finding("size", "src/long", 0), Finding("read_error", "src/ebad", nullptr),
               Finding("read_error", "dst/rbad", 0),
               Finding("unreadable_entry", "src/unknown", nullptr),
               Finding("same_file", "dst/f", 0), Finding("loop", "src/d/loop/", nullptr, false),
               Finding("inaccessible_directory", "src/shut/", nullptr),
               Finding("content", "src/flip", 0, true, 2999),
               Finding("source_unopenable", "src/closed", nullptr),
               Finding("extra", "dst/only", 0)},
              1,
              11},
             {"a copy inside the source",
              {"--json", "src", "src/in"},
              [](FakeFileSystem& fs) {
                  fs.AddFile("src/a", "a");
                  fs.AddFile("src/in/a", "a");
              },
              {Finding("copy_in_source", "src/in/", 0, false)},
              0,
              0},
             {"an audit",
              {"--json", "--audit", "m/SUMS"},
              [](FakeFileSystem& fs) {
                  fs.AddFile("m/SUMS", cli::ManifestLine("a", {}) + cli::ManifestLine("gone", {}));
                  fs.AddFile("m/a", "a");
              },
              {Finding("content", "m/a", 0), Finding("missing", "m/gone", 0)},
              1,
              2},
             {"a source that cannot be listed",
              {"--json", "src", "dst"},
              [](FakeFileSystem& fs) {
                  fs.AddFile("src/a", "a");
                  fs.Fail(FakeFileSystem::Op::List, "src/");
              },
              {},
              2,
              0,
              "source_unreadable"},
             {"a copy that is the source",
              {"--json", "src", "src/"},
              [](FakeFileSystem& fs) { fs.AddFile("src/a", "a"); },
              {},
              2,
              0,
              "same_directory"},
             {"a command line that cannot be parsed",
              {"-d", "2", "--all", "--json", "a", "b"},
              [](FakeFileSystem&) {},
              {{{"event", "error"},
                {"message", "-d/--diff-limit and --all do not go together (see --help)"},
                {"status", 2}}},
              2,
              0}}) {
        SCOPED_TRACE(row.name);
        FakeFileSystem fs;
        row.make(fs);
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(row.args, out, err, {.fs = &fs}), row.status);
        std::vector<json> events = Events(out.str()), findings;
        ASSERT_FALSE(events.empty());
        if (events.front()["event"] != "start") {
            EXPECT_EQ(events, row.findings);
            continue;
        }
        for (json event : events)
            if (event["event"] == "finding" && event.erase("message"))
                findings.push_back(event);
        EXPECT_EQ(findings, row.findings);
        EXPECT_EQ(events.back()["event"], "end");
        EXPECT_EQ(events.back()["status"], row.status);
        EXPECT_EQ(events.back()["differences"], row.differences);
        EXPECT_EQ(events.back().value("not_walked", json()), row.notWalked);
    }
}

// The program itself: every line of its standard output parses, the last the end event
// with the exit status and each copy's verdict.
TEST(Json, TheProgramsLinesParseAndEndWithItsStatus) {
    TempDir root;
    root.WriteFile("src/a", "a");
    root.WriteFile("dst/a", "b");
    root.WriteFile("dst2/a", "a");
    std::string command =
        "cd " + root.path() + " && exec " COPYCHECK_CLI " --json src dst dst2 2>err";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    for (char buffer[4096]; fgets(buffer, sizeof buffer, pipe);)
        out += buffer;
    int status = pclose(pipe);
    ASSERT_NE(out, "");
    json end = Events(out).back();
    EXPECT_TRUE(WIFEXITED(status) && end["event"] == "end") << out;
    EXPECT_EQ(end["status"], WEXITSTATUS(status));
    EXPECT_EQ(end["copies"][1], json({{"path", "dst2"}, {"differences", 0}, {"verdict", "same"}}));
}

}  // namespace
