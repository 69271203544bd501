// The system's file-save and file-open dialogs.
#include <vector>

#include "framework/backend.h"
#include "framework/filedialog.h"
#include "framework/win32/win32.h"
#include "platform/wide_win32.h"

#include <windows.h>

#include <commdlg.h>  // needs <windows.h> first

namespace fw::backend {

int RunFileDialog(const CFileDialog& dlg, std::string& path) {
    CWnd* owner = dlg.m_pParent ? dlg.m_pParent : (AfxGetApp() ? AfxGetApp()->m_pMainWnd : nullptr);
    HWND ownerWindow = owner ? static_cast<HWND>(win32::WindowHandle(*owner))
                             : static_cast<HWND>(win32::NewestWindow());
    std::wstring defExt = platform::ToWide(dlg.m_strDefExt);
    std::wstring filter = platform::ToWide(dlg.m_strFilter);
    for (wchar_t& c : filter)
        if (c == L'|')
            c = L'\0';  // "Text|*.txt|" pairs become the NUL-separated list
    // Room for the longest path the system allows; the dialog says when it needs more.
    std::vector<wchar_t> file(32768, L'\0');
    std::wstring name = platform::ToWide(dlg.m_strFileName);
    name.copy(file.data(), file.size() - 1);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ownerWindow;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
    // The process's current directory stays where it is: moved, it would keep a removable
    // drive in use and change what relative paths mean.
    ofn.Flags = dlg.m_nFlags | OFN_EXPLORER | OFN_NOCHANGEDIR;
    BOOL ok = dlg.m_bOpenFileDialog ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    if (!ok)
        return IDCANCEL;
    path = platform::FromWide(file.data(), wcslen(file.data()));
    return IDOK;
}

}  // namespace fw::backend
