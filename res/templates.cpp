// The program's dialog templates as data, in tab order.
#include "framework/template.h"
#include "framework/winconst.h"
#include "res/resource.h"

namespace fw {

namespace {

using enum ControlClass;

constexpr uint32_t kEdit = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr uint32_t kLabel = SS_LEFT | WS_GROUP;
constexpr uint32_t kDirList = LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL |
                              WS_BORDER | WS_VSCROLL | WS_TABSTOP;

const DialogTemplate kMainWindow{
    IDD_COPYCHECK_DIALOG,
    "バックアップメディアへコピーしたファイルの書き込み内容整合性確認",
    339,
    187,
    "ＭＳ Ｐゴシック",
    9,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    WS_EX_APPWINDOW,
    {
        {Button, IDOK, "チェック開始", 282, 9, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {Button, IDCANCEL, "終了", 282, 25, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
        {Static, IDC_STATIC, "コピー元", 10, 11, 26, 8, kLabel},
        {Static, IDC_STATIC, "コピー先", 10, 28, 26, 8, kLabel},
        {Edit, IDC_SRC_PATH, "", 39, 9, 162, 14, kEdit},
        {Edit, IDC_DST_PATH, "", 39, 25, 162, 14, kEdit},
        {Edit, IDC_RESULT, "", 7, 67, 241, 113,
         ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN |
             WS_BORDER | WS_VSCROLL},
        {Button, IDC_SRC_BROWSE, "参照", 207, 9, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
        {Button, IDC_DST_BROWSE, "参照", 207, 25, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
        {Button, IDC_NAMES_ONLY, "ファイル名のみ調べる", 253, 62, 79, 10,
         BS_AUTOCHECKBOX | WS_TABSTOP},
        {Edit, IDC_BLOCK_KB, "", 258, 108, 40, 14, kEdit},
        {Static, IDC_STATIC, "Kbyte", 308, 110, 18, 8, kLabel},
        {Static, IDC_STATIC, "一度に比較するサイズ", 258, 98, 67, 8, kLabel},
        // 52 units: at 44 the label wraps and loses "Window" in fonts a little wider than the
        // one it was laid out in.
        {Static, IDC_STATIC, "Result Window", 7, 59, 52, 8, kLabel},
        {Static, IDC_STATIC, "結果ログ", 10, 44, 27, 8, kLabel},
        {Edit, IDC_LOG_PATH, "", 39, 40, 162, 14, kEdit | WS_DISABLED},
        {Button, IDC_LOG_BROWSE, "参照", 207, 41, 50, 14, BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
        {Button, IDC_KEEP_LOG, "ログを残す", 285, 48, 47, 10, BS_AUTOCHECKBOX | WS_TABSTOP},
        {Progress, IDC_TOTAL_PROGRESS, "", 252, 142, 80, 14, WS_BORDER},
        {Progress, IDC_FILE_PROGRESS, "", 252, 166, 80, 14, WS_BORDER},
        {Static, IDC_STATIC, "File size", 279, 158, 26, 8, kLabel},
        {Static, IDC_STATIC, "Total size", 277, 133, 30, 8, kLabel},
        {Edit, IDC_DIFF_LIMIT, "", 258, 74, 26, 14, kEdit},
        {Static, IDC_STATIC, "個の差違で中止", 284, 77, 48, 8, kLabel},
        {ScrollBar, IDC_BLOCK_SPIN, "", 297, 108, 10, 14, SBS_VERT},
    }};

const DialogTemplate kDirSelect{
    IDD_DIRSELECT,
    "ディレクトリ選択",
    191,
    143,
    "ＭＳ Ｐゴシック",
    9,
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    {
        {Button, IDOK, "選択", 134, 17, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
        {Button, IDCANCEL, "ｷｬﾝｾﾙ", 134, 34, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
        {ListBox, IDC_DRIVE_LIST, "", 7, 22, 41, 83, kDirList},
        {Static, IDC_STATIC, "ドライブ", 7, 7, 23, 8, kLabel},
        {Static, IDC_STATIC, "ディレクトリ", 55, 7, 34, 8, kLabel},
        {ListBox, IDC_DIR_LIST, "", 55, 22, 73, 83, kDirList},
        {Static, IDC_STATIC, "現在選択中のパス", 7, 112, 55, 8, kLabel},
        {Static, IDC_CUR_PATH, "", 8, 123, 176, 13, SS_LEFT | SS_SUNKEN},
        {Button, IDC_JUMP_ROOT, "Jump to \\", 93, 7, 35, 14, BS_PUSHBUTTON | WS_TABSTOP},
    }};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
        case IDD_COPYCHECK_DIALOG:
            return &kMainWindow;
        case IDD_DIRSELECT:
            return &kDirSelect;
    }
    return nullptr;
}

}  // namespace fw
