// The log of a run: each line in code page 932 ended by CR LF, written through a buffer.
#pragma once

#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/fs.h"

class CLogFile {
public:
    // Creates the file, or empties it; false when it cannot be opened.
    bool Open(platform::FileSystem& fs, const std::string& path);
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
