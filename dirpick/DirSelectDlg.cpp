// The directory picker.
#include "dirpick/DirSelectDlg.h"

#include <cctype>

#include "platform/dirs.h"
#include "platform/text.h"
#include "res/resource.h"

using namespace fw;

namespace {

const char kError[] = "エラー";

}  // namespace

CDirSelectDlg::CDirSelectDlg(CWnd* pParent)
    : CDialog(IDD_DIRSELECT, pParent), m_fs(&platform::RealFileSystem()) {}

bool CDirSelectDlg::OnWndEvent(const Event& event, EventReply& reply) {
    using T = CDirSelectDlg;
    static constexpr EventEntry<T> kEvents[] = {
        OnCommand(LBN_SELCHANGE, IDC_DIR_LIST, &T::OnSelchangeDirList),
        OnCommand(LBN_DBLCLK, IDC_DIR_LIST, &T::OnDblclkDirList),
        OnCommand(BN_CLICKED, IDC_JUMP_ROOT, &T::OnJumpRoot),
        OnCommand(LBN_SELCHANGE, IDC_DRIVE_LIST, &T::OnSelchangeDriveList),
    };
    return Dispatch<T>(*this, kEvents, event, reply) || CDialog::OnWndEvent(event, reply);
}

bool CDirSelectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    platform::Error error;
    m_fs->CurrentDir(m_strStartDir, error);
    // A path that cannot be entered is passed over: the picker opens where the process is.
    if (!m_strInitPath.empty())
        m_fs->ChangeDir(m_strInitPath, error);
    if (!RefreshLists()) {
        MessageBox("ディレクトリ情報は正常に読み込めませんでした", kError, MB_OK);
        m_fs->ChangeDir(m_strStartDir, error);
        EndDialog(IDCANCEL);
    }
    return true;
}

int CDirSelectDlg::RefreshLists() {
    std::string current;
    platform::Error error;
    m_fs->CurrentDir(current, error);
    // Each listing may rewrite the path it is given.
    std::string driveSpec = current, dirSpec = current;

    CListBox drives = GetDlgItem<CListBox>(IDC_DRIVE_LIST);
    drives.ResetContent();
    if (!DlgDirList(driveSpec, IDC_DRIVE_LIST, 0, DDL_DRIVES | DDL_EXCLUSIVE))
        return 0;
    if (!current.empty())
        drives.SelectString(-1, std::string("[-") + platform::AsciiLower(current[0]));

    CListBox dirs = GetDlgItem<CListBox>(IDC_DIR_LIST);
    dirs.ResetContent();
    if (!DlgDirList(dirSpec, IDC_DIR_LIST, 0, DDL_DIRECTORY | DDL_EXCLUSIVE))
        return 0;
    dirs.InsertString(0, "[.]");
    dirs.SetCurSel(0);
    OnSelchangeDirList();  // a selection by the program raises no notification
    return 1;
}

std::string CDirSelectDlg::SelectedFullPath() {
    if (GetDlgItem<CListBox>(IDC_DIR_LIST).GetCurSel() == 0)
        return platform::FullPath(".");
    std::string selection;
    DlgDirSelectEx(selection, IDC_DIR_LIST);
    return platform::FullPath(selection);
}

void CDirSelectDlg::OnSelchangeDirList() {
    std::string path = SelectedFullPath();
    SetDlgItemText(IDC_CUR_PATH, path);
    m_strSelPath = path;
}

void CDirSelectDlg::OnDblclkDirList() {
    std::string target =
        GetDlgItem<CListBox>(IDC_DIR_LIST).GetCurSel() == 0 ? "." : SelectedFullPath();
    platform::Error error;
    if (!m_fs->ChangeDir(target, error))
        MessageBox("指定ディレクトリは現在使用不可のようです", kError, MB_OK);
    RefreshLists();
}

void CDirSelectDlg::OnSelchangeDriveList() {
    std::string selection;
    DlgDirSelectEx(selection, IDC_DRIVE_LIST);
    int drive =
        selection.empty() ? 0 : std::toupper(static_cast<unsigned char>(selection[0])) - 0x40;
    platform::Error error;
    if (!m_fs->ChangeDrive(drive, error))
        MessageBox("指定ドライブは現在使用不可のようです", kError, MB_OK);
    RefreshLists();
}

void CDirSelectDlg::OnJumpRoot() {
    platform::Error error;
    m_fs->ChangeDir(std::string(1, platform::kSeparator), error);
    RefreshLists();
}

void CDirSelectDlg::OnOK() {
    platform::Error error;
    m_fs->ChangeDir(m_strStartDir, error);
    CDialog::OnOK();
}

void CDirSelectDlg::OnCancel() {
    platform::Error error;
    m_fs->ChangeDir(m_strStartDir, error);
    CDialog::OnCancel();
}
