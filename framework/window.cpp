// The backend-independent part of the framework: dialogs, event routing, data exchange.
#include "framework/window.h"

#include "framework/backend.h"
#include "framework/ddx.h"
#include "framework/filedialog.h"

namespace fw {

namespace {
CWinApp* g_app = nullptr;
}

void CWnd::SetDlgItemInt(int id, unsigned value, bool isSigned) {
    SetDlgItemText(id, isSigned ? std::to_string(static_cast<int>(value)) : std::to_string(value));
}

unsigned CWnd::GetDlgItemInt(int id, bool* translated, bool isSigned) const {
    unsigned value = 0;
    bool ok = ParseDlgInt(GetDlgItemText(id), isSigned, value);
    if (translated)
        *translated = ok;
    return ok ? value : 0;
}

bool CWnd::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

bool CWnd::OnWndEvent(const Event& event, EventReply&) {
    if (event.msg == Msg::VScroll) {
        CScrollBar bar(m_host, event.id);
        OnVScroll(event.code, event.pos, &bar);
        return true;
    }
    return false;
}

CDialog::CDialog(int templateId, CWnd* parent)
    : m_template(FindDialogTemplate(templateId)), m_parent(parent) {}

CDialog::CDialog(const DialogTemplate& tpl, CWnd* parent) : m_template(&tpl), m_parent(parent) {}

int CDialog::DoModal() {
    if (!m_template)
        return -1;
    return backend::RunModal(*this);
}

bool CDialog::Create() {
    return m_template && backend::Open(*this);
}

void CDialog::DestroyWindow() {
    if (m_host)
        backend::Close(*this);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndEvent(const Event& event, EventReply& reply) {
    if (event.msg == Msg::Command && event.code == BN_CLICKED) {
        if (event.id == static_cast<int>(IDOK)) {
            OnOK();
            return true;
        }
        if (event.id == static_cast<int>(IDCANCEL)) {
            OnCancel();
            return true;
        }
    }
    return CWnd::OnWndEvent(event, reply);
}

CFileDialog::CFileDialog(bool openFileDialog, const char* defExt, const char* fileName,
                         unsigned flags, const char* filter, CWnd* parent)
    : m_bOpenFileDialog(openFileDialog),
      m_strDefExt(defExt ? defExt : ""),
      m_strFileName(fileName ? fileName : ""),
      m_nFlags(flags),
      m_strFilter(filter ? filter : ""),
      m_pParent(parent) {}

int CFileDialog::DoModal() {
    std::string path;
    int result = backend::RunFileDialog(*this, path);
    if (result == static_cast<int>(IDOK))
        m_path = path;
    return result;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

}  // namespace fw
