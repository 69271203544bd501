// The application object: shows the main window modally and ends when it closes.
#include "app/CopyCheckDlg.h"

class CCopyCheckApp : public fw::CWinApp {
public:
    bool InitInstance() override;
};

CCopyCheckApp theApp;

bool CCopyCheckApp::InitInstance() {
    Enable3dControls();
    CCopyCheckDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}
