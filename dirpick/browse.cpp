// The three browse commands of the main window.
#include "app/CopyCheckDlg.h"
#include "dirpick/DirSelectDlg.h"
#include "framework/filedialog.h"

using namespace fw;

void CCopyCheckDlg::OnSrcBrowse() {
    BrowseDirectory(IDC_SRC_PATH);
}

void CCopyCheckDlg::OnDstBrowse() {
    BrowseDirectory(IDC_DST_PATH);
}

// Only the field's text changes; its change handler carries it into the setting.
void CCopyCheckDlg::BrowseDirectory(int id) {
    CDirSelectDlg dlg;
    dlg.SetFileSystem(*m_fs);
    dlg.m_strInitPath = GetDlgItemText(id);
    if (dlg.DoModal() == static_cast<int>(IDOK))
        SetDlgItemText(id, dlg.m_strSelPath);
}

void CCopyCheckDlg::OnLogBrowse() {
    CFileDialog dlg(false, nullptr, "check.log",
                    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_CREATEPROMPT |
                        OFN_NONETWORKBUTTON,
                    nullptr, nullptr);
    if (dlg.DoModal() == static_cast<int>(IDOK))
        SetDlgItemText(IDC_LOG_PATH, dlg.GetPathName());
}
