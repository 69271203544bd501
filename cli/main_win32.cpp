// copycheck-cli on Windows: wide arguments, and output that shows Japanese in a console.
#include <algorithm>
#include <cwchar>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/text.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace {

// The length of text without a UTF-8 sequence that its end has not finished yet.
size_t CompletePart(const std::string& text) {
    size_t n = text.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        auto c = static_cast<unsigned char>(text[n - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? n - back : n;
    }
    return n;
}

// A standard handle as a stream, written on each flush. A console gets UTF-16 through
// WriteConsoleW, which shows every character whatever the console's code page; a file or
// pipe gets the UTF-8 bytes unchanged, with no CR added.
class HandleBuf : public std::streambuf {
public:
    explicit HandleBuf(DWORD which) : m_handle(GetStdHandle(which)) {
        DWORD mode = 0;
        m_console = m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE &&
                    GetConsoleMode(m_handle, &mode);
    }
    ~HandleBuf() override { Write(m_pending.size()); }
    HandleBuf(const HandleBuf&) = delete;
    HandleBuf& operator=(const HandleBuf&) = delete;

    bool IsConsole() const { return m_console; }
    HANDLE Handle() const { return m_handle; }

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof()))
            m_pending += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        m_pending.append(s, static_cast<size_t>(n));
        return n;
    }
    int sync() override {
        // A character cut by the flush waits for its other bytes.
        return Write(m_console ? CompletePart(m_pending) : m_pending.size()) ? 0 : -1;
    }

private:
    bool Write(size_t n) {
        bool ok = m_console ? ToConsole(m_pending.substr(0, n)) : ToFile(m_pending.data(), n);
        m_pending.erase(0, n);
        return ok;
    }

    bool ToConsole(const std::string& text) {
        std::wstring wide = platform::ToWide(text);
        // Older consoles refuse very long writes; a surrogate pair stays in one piece.
        for (size_t at = 0; at < wide.size();) {
            size_t n = std::min<size_t>(wide.size() - at, 8192);
            if (at + n < wide.size() && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] < 0xDC00)
                --n;
            DWORD written = 0;
            if (!WriteConsoleW(m_handle, wide.data() + at, static_cast<DWORD>(n), &written,
                               nullptr) ||
                written == 0)
                return false;
            at += written;
        }
        return true;
    }

    bool ToFile(const char* data, size_t n) {
        while (n > 0) {
            DWORD written = 0;
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1 << 20));
            if (!WriteFile(m_handle, data, chunk, &written, nullptr) || written == 0)
                return false;
            data += written;
            n -= written;
        }
        return true;
    }

    HANDLE m_handle;
    bool m_console = false;
    std::string m_pending;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HandleBuf outBuf(STD_OUTPUT_HANDLE);
    HandleBuf errBuf(STD_ERROR_HANDLE);
    std::ostream out(&outBuf);
    std::ostream err(&errBuf);
    cli::ExitOnHeadlessFailure(err);

    cli::Terminal terminal;
    terminal.outIsTerminal = outBuf.IsConsole();
    terminal.errIsTerminal = errBuf.IsConsole();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (terminal.errIsTerminal && GetConsoleScreenBufferInfo(errBuf.Handle(), &info))
        terminal.columns = info.srWindow.Right - info.srWindow.Left + 1;

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(
            platform::Utf16ToUtf8(std::u16string(argv[i], argv[i] + std::wcslen(argv[i]))));
    int status = cli::RunCli(args, out, err, terminal);
    out.flush();
    err.flush();
    return status;
}
