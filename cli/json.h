// --json: the run told as JSON Lines on standard output, one event a line (docs/json.md), for
// scripts that should not have to read the Japanese lines.
#pragma once

#include <chrono>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "engine/check.h"
#include "engine/job.h"

namespace cli {

// Whether a command line asks for --json: known even when the rest cannot be parsed.
bool WantsJson(const std::vector<std::string>& args);

class JsonEvents {
public:
    // Lines written to err still reach it; those of the program's own messages are kept for
    // the end event, or for the error event of a run that could not start.
    JsonEvents(std::ostream& out, std::ostream& err);
    JsonEvents(const JsonEvents&) = delete;
    JsonEvents& operator=(const JsonEvents&) = delete;

    std::ostream& err() { return err_; }

    void StartCheck(const engine::Settings& settings, const std::vector<std::string>& manifests);
    void StartAudit(const std::string& list, const std::string& directory, size_t blockBytes);
    // A line of the run: a finding becomes its event, any other line is left out.
    void Line(const std::string& text, const engine::LineInfo& info);
    // The closing event; returns status, or 2 when the event could not be written.
    int End(const engine::Outcome& run, bool logFailed, int status);
    // After the run: the error event, with what was said on standard error, when the run
    // failed before it started; returns status.
    int Finish(int status);

private:
    // Forwards to err's buffer and keeps a copy of what went through.
    class Tee : public std::streambuf {
    public:
        explicit Tee(std::streambuf* to) : to_(to) {}
        std::string kept;

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override { return to_->pubsync(); }

    private:
        std::streambuf* to_;
    };

    void Started(const std::vector<std::string>& copies);
    // The program's own messages ("copycheck-cli: ...") said on standard error.
    std::vector<std::string> Messages() const;

    std::ostream& out_;
    Tee tee_;
    std::ostream err_;
    bool started_ = false;
    std::chrono::steady_clock::time_point startTime_;
    std::vector<std::string> copies_;
};

}  // namespace cli
