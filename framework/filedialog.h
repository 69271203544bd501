// The system's file-save (or open) dialog.
#pragma once

#include <string>

#include "framework/window.h"

namespace fw {

class CFileDialog {
public:
    // defExt and filter may be null: nothing is appended to a bare name, no type list.
    CFileDialog(bool openFileDialog, const char* defExt, const char* fileName, unsigned flags,
                const char* filter, CWnd* parent = nullptr);
    int DoModal();
    std::string GetPathName() const { return m_path; }

    bool m_bOpenFileDialog;
    std::string m_strDefExt;
    std::string m_strFileName;
    unsigned m_nFlags;
    std::string m_strFilter;
    CWnd* m_pParent;

private:
    std::string m_path;
};

}  // namespace fw
