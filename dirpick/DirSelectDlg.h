// The directory picker: a modal dialog with a drive list and a directory list that work on
// the process's current directory, and put it back when they close.
#pragma once

#include <string>

#include "framework/window.h"
#include "platform/fs.h"

class CDirSelectDlg : public fw::CDialog {
public:
    explicit CDirSelectDlg(fw::CWnd* pParent = nullptr);

    // Where the current directory is changed and listed; tests put a fake in its place.
    void SetFileSystem(platform::FileSystem& fs) { m_fs = &fs; }

    bool OnWndEvent(const fw::Event& event, fw::EventReply& reply) override;

    std::string m_strInitPath;  // the directory to open on; empty for the current one
    std::string m_strSelPath;   // the full path of the entry selected: the result
    std::string m_strStartDir;  // the current directory when the picker opened

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    int RefreshLists();
    void OnSelchangeDirList();
    void OnDblclkDirList();
    void OnJumpRoot();
    void OnSelchangeDriveList();

private:
    // The full path of the selected directory entry; "[.]" stands for the current directory.
    std::string SelectedFullPath();

    platform::FileSystem* m_fs;
};
