// The log of a run: each line in code page 932 ended by CR LF, written through a buffer.
#pragma once

#include <memory>
#include <string>
#include <vector>

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
