// Asks copycheck.exe's window whether it answers: every INTERVAL ms, TRIES times, a WM_NULL
// with a 100 ms limit, as Windows itself asks before it calls a window "not responding".
//   probe INTERVAL TRIES
// One line a try: its time since the first, whether and how fast the window answered, and
// in brackets the Unix time it was sent, for the harness to tell tries after the run; then
// the worst. Exit status 0 when every try answered, 1 when one did not, 2 when there is
// no window.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kTitle[] = L"バックアップメディアへコピーしたファイルの書き込み内容整合性確認";
constexpr UINT kLimitMs = 100;

double Ms(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

double UnixSeconds() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    return double(ticks.QuadPart - 116444736000000000ULL) / 1e7;  // from 1601 in 100 ns
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: probe INTERVAL_MS TRIES\n");
        return 2;
    }
    long interval = std::wcstol(argv[1], nullptr, 10);
    long tries = std::wcstol(argv[2], nullptr, 10);
    HWND window = FindWindowW(nullptr, kTitle);
    if (!window) {
        std::fprintf(stderr, "probe: no copycheck window\n");
        return 2;
    }
    LARGE_INTEGER frequency, first, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&first);
    double worst = 0;
    long answered = 0;
    for (long i = 1; i <= tries; ++i) {
        double sent = UnixSeconds();
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        bool ok = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kLimitMs, &result);
        DWORD error = ok ? 0 : GetLastError();
        QueryPerformanceCounter(&after);
        double took = Ms(before, after, frequency);
        worst = std::max(worst, took);
        answered += ok;
        // Without SMTO_ABORTIFHUNG's early return the error is ERROR_TIMEOUT.
        std::printf("try %2ld at %8.0f ms: %-9s in %6.1f ms%s [%.3f]\n", i,
                    Ms(first, before, frequency), ok ? "answered" : "no answer", took,
                    ok || error == ERROR_TIMEOUT ? "" : " (called hung)", sent);
        std::fflush(stdout);
        if (i < tries)
            Sleep(DWORD(std::max(0.0, double(interval) - took)));
    }
    std::printf("probe: %ld of %ld answered within %u ms; worst %.1f ms\n", answered, tries,
                kLimitMs, worst);
    return answered == tries ? 0 : 1;
}
