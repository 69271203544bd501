// copycheck-cli: the process around RunCli, on every system.
#include <atomic>
#include <ostream>
#include <streambuf>
#include <string>

#include "cli/cli.h"
#include "platform/console.h"
#include "platform/interrupt.h"

namespace {

// A standard stream through the platform, written whole on each flush. A failed write
// fails the flush, which sets the stream's badbit.
class StdBuf : public std::streambuf {
public:
    explicit StdBuf(platform::StdStream stream) : m_stream(stream) {}
    ~StdBuf() override { sync(); }

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
        platform::Error error;
        bool written = platform::WriteStd(m_stream, m_pending, error);
        m_pending.clear();
        return written ? 0 : -1;
    }

private:
    platform::StdStream m_stream;
    std::string m_pending;
};

}  // namespace

int main(int argc, char** argv) {
    platform::IgnoreBrokenPipe();
    static std::atomic<bool> stop{false};
    platform::RaiseOnInterrupt(stop);

    StdBuf outBuf(platform::StdStream::kOutput);
    StdBuf errBuf(platform::StdStream::kError);
    std::ostream out(&outBuf);
    std::ostream err(&errBuf);

    cli::Environment environment;
    environment.outIsTerminal = platform::IsTerminal(platform::StdStream::kOutput);
    environment.errIsTerminal = platform::IsTerminal(platform::StdStream::kError);
    if (int columns = platform::TerminalColumns(platform::StdStream::kError); columns > 0)
        environment.columns = columns;
    environment.stop = &stop;
    return cli::RunCli(platform::Arguments(argc, argv), out, err, environment);
}
