// The log of a run: each line in code page 932 ended by CR LF, written through a buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/check.h"
#include "platform/error.h"
#include "platform/fs.h"

class CLogFile {
public:
    // Makes the file new under a name beside path and gives it path at once, so that no
    // existing file is written: what had the name loses it, a link there is replaced and not
    // followed. Refused when path would lie in one of trees (misplaced), or when that cannot
    // be told, and when what is there is not a regular file or a link. False when not opened.
    bool Open(platform::FileSystem& fs, const std::string& path,
              const std::vector<std::string>& trees, bool& misplaced);
    // Writes text and a line end; each line feed is stored as CR LF, as a text-mode stream
    // does, so an embedded CR LF becomes CR CR LF. A failed write is remembered.
    void WriteLine(const std::string& text);
    // Writes what is buffered and closes; false when any write since Open, or the close
    // itself, failed.
    bool Close();
    // Writes out what is buffered.
    void Flush();
    const platform::Error& FirstError() const { return m_error; }

private:
    std::unique_ptr<platform::OutputFile> m_file;
    std::string m_buffer;
    platform::Error m_error;
};

// The log of a check as both front ends keep it: opened outside both trees, every line
// written, written out after the header and at least once a second, and closed with a line
// when writing failed. How a log that cannot be opened is told is each front end's own.
class CheckLog {
public:
    static constexpr const char* kOpenFailed = "ログファイルのオープンに失敗しました。";

    // False when the log could not be opened; a log that would lie in one of the trees (the
    // source and its copies) is then told to lines once the front end has said that it failed.
    bool Open(platform::FileSystem& fs, const std::string& path,
              const std::vector<std::string>& trees);
    void TellMisplaced(engine::Listener& lines) const;
    void WriteLine(const std::string& text);
    // A check cut short from here on keeps at least what it set out to do.
    void HeaderDone();
    // Writes out what is buffered when a second has passed since it last did.
    void Pulse();
    // Closes the log and, when writing failed, says so to lines, which then no longer reach
    // it. False when it failed.
    bool Close(engine::Listener& lines);
    bool IsOpen() const { return m_open; }
    const platform::Error& FirstError() const { return m_file.FirstError(); }

private:
    CLogFile m_file;
    std::string m_path;
    bool m_open = false;
    bool m_misplaced = false;
    int64_t m_lastFlushMs = 0;
};
