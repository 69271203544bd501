// Drives copycheck.exe's window for bench/gui-vs-cli by messages, as typing into Wine's
// unmanaged windows under Xvfb is not reliable:
//   drive SRC DST LOG   fills the paths, ticks the keep-log box, sets the log path, presses
//                       チェック開始 and answers the confirmation with OK; returns at once
//   drive close         closes the window
// Exit status 0 when done, 1 when the window or the box did not appear or a field did not
// take its text.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kTitle[] = L"バックアップメディアへコピーしたファイルの書き込み内容整合性確認";
constexpr int kSrcPath = 1001, kDstPath = 1002, kLogPath = 1004, kKeepLog = 1011;

// Polls every 50 ms for up to the given time: the window may still be starting.
template <typename Find>
HWND WaitFor(Find find, DWORD ms) {
    for (DWORD waited = 0;; waited += 50) {
        if (HWND found = find())
            return found;
        if (waited >= ms)
            return nullptr;
        Sleep(50);
    }
}

// The text crosses the process boundary with WM_SETTEXT, and the window's change handler
// takes it from EN_CHANGE as it would from typing.
bool SetField(HWND dlg, int id, const wchar_t* text) {
    SetDlgItemTextW(dlg, id, text);
    wchar_t back[MAX_PATH * 2] = L"";
    GetDlgItemTextW(dlg, id, back, MAX_PATH * 2);
    if (std::wstring(back) == text)
        return true;
    std::fprintf(stderr, "drive: field %d did not take its text\n", id);
    return false;
}

// Posted, not sent: the window runs the whole check before it returns from the click.
void PostClick(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dlg, id)));
}

int Start(HWND dlg, const wchar_t* src, const wchar_t* dst, const wchar_t* log) {
    if (SendDlgItemMessageW(dlg, kKeepLog, BM_GETCHECK, 0, 0) != BST_CHECKED) {
        SendDlgItemMessageW(dlg, kKeepLog, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kKeepLog, BN_CLICKED),
                     LPARAM(GetDlgItem(dlg, kKeepLog)));
    }
    if (SendDlgItemMessageW(dlg, kKeepLog, BM_GETCHECK, 0, 0) != BST_CHECKED) {
        std::fprintf(stderr, "drive: the keep-log box did not take its tick\n");
        return 1;
    }
    if (!SetField(dlg, kSrcPath, src) || !SetField(dlg, kDstPath, dst) ||
        !SetField(dlg, kLogPath, log))
        return 1;
    PostClick(dlg, IDOK);
    HWND box = WaitFor(
        [dlg] {
            HWND found = FindWindowW(L"#32770", L"確認");
            return found && GetWindow(found, GW_OWNER) == dlg ? found : nullptr;
        },
        10000);
    if (!box) {
        std::fprintf(stderr, "drive: the confirmation did not appear within 10 s\n");
        return 1;
    }
    PostClick(box, IDOK);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool close = argc == 2 && std::wstring(argv[1]) == L"close";
    if (!close && argc != 4) {
        std::fprintf(stderr, "usage: drive SRC DST LOG | drive close\n");
        return 2;
    }
    // Visible only once WM_INITDIALOG has set the fields, which would undo what is set here.
    HWND dlg = WaitFor(
        [] {
            HWND found = FindWindowW(nullptr, kTitle);
            return found && IsWindowVisible(found) ? found : nullptr;
        },
        close ? 0 : 30000);
    if (!dlg) {
        std::fprintf(stderr, "drive: no copycheck window\n");
        return 1;
    }
    if (close) {
        PostMessageW(dlg, WM_CLOSE, 0, 0);
        return 0;
    }
    return Start(dlg, argv[1], argv[2], argv[3]);
}
