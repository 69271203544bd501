// The log writer.
#include "log/log.h"

#include <chrono>

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

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr const char* kMisplaced =
    "Notice>結果ログファイルはコピー元とコピー先の外に作成してください：";
constexpr const char* kWriteFailed = "Notice>ログファイルの書き込みに失敗しました：";

void TellPath(engine::Listener& lines, const std::string& before, const std::string& path) {
    engine::LineInfo info;
    info.paths = {{before.size(), path.size()}};
    lines.Line(before + path, info);
}

}  // namespace

bool CheckLog::Open(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& trees) {
    m_path = path;
    m_open = m_file.Open(fs, path, trees, m_misplaced);
    m_lastFlushMs = NowMs();
    return m_open;
}

void CheckLog::TellMisplaced(engine::Listener& lines) const {
    if (m_misplaced)
        TellPath(lines, kMisplaced, m_path);
}

void CheckLog::WriteLine(const std::string& text) {
    if (m_open)
        m_file.WriteLine(text);
}

void CheckLog::HeaderDone() {
    if (m_open)
        m_file.Flush();
}

void CheckLog::Pulse() {
    if (!m_open)
        return;
    int64_t now = NowMs();
    if (now - m_lastFlushMs < 1000)
        return;
    m_lastFlushMs = now;
    m_file.Flush();
}

bool CheckLog::Close(engine::Listener& lines) {
    if (!m_open)
        return true;
    m_open = false;
    if (m_file.Close())
        return true;
    TellPath(lines, kWriteFailed, m_path);
    return false;
}
