// The events of --json, built with nlohmann's JSON; the fields are described in docs/json.md.
#include "cli/json.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/dirs.h"

namespace cli {

namespace {

using Json = nlohmann::ordered_json;  // the fields in the order they are put
constexpr int kVersion = 1;
constexpr std::string_view kOwn = "copycheck-cli: ";
// Windows writes redirected output in the console's code page (932 in Japan), which would
// turn UTF-8 JSON into something else: there, every character past ASCII is a \u escape.
constexpr bool kAsciiOnly = platform::kSeparator == '\\';

const char* KindName(engine::FindingKind kind) {
    using enum engine::FindingKind;
    switch (kind) {
        case kNone:
            break;
        case kMissing:
            return "missing";
        case kSize:
            return "size";
        case kContent:
            return "content";
        case kReadError:
            return "read_error";
        case kSourceUnopenable:
            return "source_unopenable";
        case kUnreadableEntry:
            return "unreadable_entry";
        case kInaccessibleDirectory:
            return "inaccessible_directory";
        case kLoop:
            return "loop";
        case kSameFile:
            return "same_file";
        case kSameDirectory:
            return "same_directory";
        case kExtra:
            return "extra";
        case kCopyInSource:
            return "copy_in_source";
    }
    return "";
}

// Whether the event can hold text as it is: otherwise its invalid bytes become U+FFFD.
bool ValidUtf8(const std::string& text) {
    try {
        Json(text).dump(-1, ' ', false, Json::error_handler_t::strict);
        return true;
    } catch (const Json::type_error&) {
        return false;
    }
}

std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

// A path at key; with its exact bytes in hex at key_hex when it is not valid UTF-8.
void PutPath(Json& object, const std::string& key, const std::optional<std::string>& path) {
    object[key] = path ? Json(*path) : Json(nullptr);
    if (path && !ValidUtf8(*path))
        object[key + "_hex"] = Hex(*path);
}

// Paths at key; key_hex, when one is not valid UTF-8, holds each one's hex or null.
void PutPaths(Json& object, const std::string& key, const std::vector<std::string>& paths) {
    object[key] = paths;
    Json hex = Json::array();
    for (const std::string& path : paths)
        hex.push_back(ValidUtf8(path) ? Json(nullptr) : Json(Hex(path)));
    if (std::any_of(hex.begin(), hex.end(), [](const Json& one) { return !one.is_null(); }))
        object[key + "_hex"] = std::move(hex);
}

void Write(std::ostream& out, const Json& event) {
    out << event.dump(-1, ' ', kAsciiOnly, Json::error_handler_t::replace) << '\n' << std::flush;
}

Json Opening(const char* mode) {
    return {{"event", "start"},
            {"version", kVersion},
            {"program", "copycheck-cli"},
            {"program_version", COPYCHECK_VERSION},
            {"mode", mode}};
}

// A verdict as the closing lines give it.
const char* Verdict(const engine::Outcome& run, std::optional<uint64_t> differences) {
    switch (differences ? engine::VerdictOf(run, *differences) : engine::Verdict::kNotCompared) {
        case engine::Verdict::kSame:
            return "same";
        case engine::Verdict::kDifferent:
            return "different";
        case engine::Verdict::kNotCompared:
            break;
    }
    return "not_compared";
}

// Why the trees were not walked, or null.
Json NotWalked(const engine::Outcome& run) {
    using enum engine::NotWalked;
    switch (run.why) {
        case kStopped:
            return "stopped";
        case kFailed:
            return "failed";
        case kSameDirectory:
            return "same_directory";
        case kSourceUnreadable:
            return "source_unreadable";
        case kNoFiles:
            return "no_files";
        case kWalked:
            break;
    }
    return nullptr;
}

std::vector<std::string> Notices(const engine::Outcome& run, bool logFailed) {
    std::vector<std::string> notices;
    for (auto [raised, name] : {std::pair{run.readThroughCache, "read_through_cache"},
                                {run.readRemote, "network_copy"},
                                {run.fetched, "fetched"},
                                {run.namesOnlyFallback, "names_only"},
                                {logFailed, "log_not_written"}})
        if (raised)
            notices.push_back(name);
    return notices;
}

}  // namespace

bool WantsJson(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--json") != args.end();
}

JsonEvents::JsonEvents(std::ostream& out, std::ostream& err)
    : out_(out), tee_(err.rdbuf()), err_(&tee_) {}

auto JsonEvents::Tee::overflow(int_type c) -> int_type {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    kept += traits_type::to_char_type(c);
    return to_->sputc(traits_type::to_char_type(c));
}

std::streamsize JsonEvents::Tee::xsputn(const char* s, std::streamsize n) {
    kept.append(s, static_cast<size_t>(n));
    return to_->sputn(s, n);
}

void JsonEvents::Started(const std::vector<std::string>& copies) {
    started_ = true;
    startTime_ = std::chrono::steady_clock::now();
    copies_ = copies;
}

void JsonEvents::StartCheck(const engine::Settings& settings,
                            const std::vector<std::string>& manifests) {
    Json given{{"names_only", settings.namesOnly},
               {"block_kib", settings.blockBytes / 1024},
               {"difference_limit",
                settings.differenceLimit != 0 ? Json(settings.differenceLimit) : Json(nullptr)},
               {"extra", settings.extras},
               {"cached", settings.cached}};
    PutPath(given, "log",
            settings.keepLog ? std::optional(settings.logPath) : std::optional<std::string>());
    if (manifests.empty())
        given["manifests"] = nullptr;
    else
        PutPaths(given, "manifests", manifests);
    Json event = Opening("check");
    event["settings"] = std::move(given);
    PutPath(event, "source", settings.source);
    PutPaths(event, "copies", settings.copies);
    Started(settings.copies);
    Write(out_, event);
}

void JsonEvents::StartAudit(const std::string& list, const std::string& directory,
                            size_t blockBytes) {
    Json event = Opening("audit");
    event["settings"] = {{"block_kib", blockBytes / 1024}};
    PutPath(event, "list", list);
    PutPath(event, "directory", directory);
    event["source"] = nullptr;
    // The audited directory is the one copy, so that findings name it as a check's do.
    PutPaths(event, "copies", {directory});
    Started({directory});
    Write(out_, event);
}

void JsonEvents::Line(const std::string& text, const engine::LineInfo& info) {
    if (info.finding == engine::FindingKind::kNone)
        return;
    Json event{{"event", "finding"}, {"kind", KindName(info.finding)}};
    std::optional<std::string> path;
    if (!info.paths.empty())
        path = text.substr(info.paths[0].offset, info.paths[0].length);
    PutPath(event, "path", path);
    event["copy"] = info.copy == engine::LineInfo::kSource ? Json(nullptr) : Json(info.copy);
    event["counted"] = info.counted;
    if (info.offset)
        event["offset"] = *info.offset;
    std::string message = text;  // a Windows line break is a line feed, as on the terminal
    for (size_t at; (at = message.find("\r\n")) != std::string::npos;)
        message.erase(at, 1);
    event["message"] = message;
    Write(out_, event);
}

int JsonEvents::End(const engine::Outcome& run, bool logFailed, int status) {
    Json copies = Json::array();
    for (size_t i = 0; i < copies_.size(); ++i) {
        std::optional<uint64_t> differences;
        if (i < run.copyDifferences.size())
            differences = run.copyDifferences[i];
        Json copy;
        PutPath(copy, "path", copies_[i]);
        copy["differences"] = differences ? Json(*differences) : Json(nullptr);
        copy["verdict"] = Verdict(run, differences);
        copies.push_back(std::move(copy));
    }
    std::chrono::duration<double> taken = std::chrono::steady_clock::now() - startTime_;
    Json event{{"event", "end"},
               {"dirs", run.dirs},
               {"files", run.files},
               {"total_bytes", run.totalBytes},
               {"differences", run.differences},
               {"copies", std::move(copies)},
               {"verdict", Verdict(run, run.differences)},
               {"not_walked", NotWalked(run)},
               {"notices", Notices(run, logFailed)},
               {"not_done", Messages()},
               {"interrupted", run.interrupted},
               {"status", status},
               {"elapsed_seconds", std::round(taken.count() * 1000) / 1000}};
    bool good = out_.good();
    Write(out_, event);
    if (!good || out_.good())
        return status;
    err_ << kOwn << "standard output could not be written\n" << std::flush;
    return 2;
}

int JsonEvents::Finish(int status) {
    if (started_ || status != 2)
        return status;
    std::string message;
    for (const std::string& line : Messages())
        message += (message.empty() ? "" : "\n") + line;
    Write(out_, Json{{"event", "error"}, {"message", message}, {"status", status}});
    return status;
}

std::vector<std::string> JsonEvents::Messages() const {
    std::vector<std::string> messages;
    for (size_t at = 0, end; at < tee_.kept.size(); at = end + 1) {
        end = std::min(tee_.kept.find('\n', at), tee_.kept.size());
        std::string_view line = std::string_view(tee_.kept).substr(at, end - at);
        if (line.starts_with(kOwn))
            messages.emplace_back(line.substr(kOwn.size()));
    }
    return messages;
}

}  // namespace cli
