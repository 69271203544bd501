// The log writer.
#include "run/log.h"

#include "platform/text.h"

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

bool CLogFile::Open(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& trees, bool& misplaced) {
    m_error = {};
    m_buffer.clear();
    m_file.reset();
    misplaced = false;
    for (const std::string& tree : trees) {
        if (!platform::FileWithin(fs, path, tree, misplaced, m_error))
            return false;
        if (misplaced) {
            m_error = platform::Refused("open", path);
            return false;
        }
    }
    if (!platform::Replaceable(fs, path, m_error))
        return false;
    // A name nothing has, as the manifest's temporary name is found.
    std::string temporary;
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        temporary = path + ".copycheck-tmp" + (attempt ? std::to_string(attempt) : "");
        m_file = fs.CreateNew(temporary, m_error);
    }
    if (!m_file) {
        m_error.path = path;
        return false;
    }
    if (!fs.Rename(temporary, path, true, m_error)) {
        m_file.reset();
        platform::Error ignored;
        fs.Remove(temporary, ignored);
        return false;
    }
    m_error = {};
    return true;
}

void CLogFile::WriteLine(const std::string& text) {
    if (!m_file)
        return;
    // Code page 932 never uses 0x0A as the second byte of a character, so line feeds can
    // be found in the encoded bytes.
    for (char c : platform::Utf8ToCp932(text)) {
        if (c == '\n')
            m_buffer += '\r';
        m_buffer += c;
    }
    m_buffer += "\r\n";
    if (m_buffer.size() >= kBufferSize)
        Flush();
}

void CLogFile::Flush() {
    if (m_buffer.empty())
        return;
    platform::Error error;
    if (!m_file->Write(m_buffer.data(), m_buffer.size(), error) && !m_error.failed())
        m_error = error;
    m_buffer.clear();
}

bool CLogFile::Close() {
    if (!m_file)
        return false;
    Flush();
    // On its medium before the run is said to be over.
    platform::Error error;
    if (!m_file->Flush(error) && !m_error.failed())
        m_error = error;
    if (!m_file->Close(error) && !m_error.failed())
        m_error = error;
    m_file.reset();
    return !m_error.failed();
}
