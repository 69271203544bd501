// Data exchange and the one number rule of GetDlgItemInt.
#include "framework/ddx.h"

#include <cstdint>

namespace fw {

namespace {

// Spaces and tabs, as the system's own parser skips them.
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool ParseDlgInt(const std::string& text, bool isSigned, unsigned& value) {
    size_t i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (isSigned && i < end && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        return false;
    uint64_t n = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        n = n * 10 + static_cast<unsigned>(text[i] - '0');
        if (n > UINT32_MAX)
            return false;
    }
    if (isSigned) {
        if (negative ? n > uint64_t{INT32_MAX} + 1 : n > INT32_MAX)
            return false;
        value = static_cast<unsigned>(negative ? 0 - n : n);
    } else {
        value = static_cast<unsigned>(n);
    }
    return true;
}

void CDataExchange::Fail(int id) {
    m_bFailed = true;
    m_pDlgWnd->GetDlgItem(id).SetFocus();
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    if (pDX->Failed())
        return;
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(id);
    else
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Text(CDataExchange* pDX, int id, unsigned& value) {
    if (pDX->Failed())
        return;
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemInt(id, value, false);
        return;
    }
    unsigned parsed = 0;
    if (!ParseDlgInt(pDX->m_pDlgWnd->GetDlgItemText(id), false, parsed)) {
        pDX->m_pDlgWnd->MessageBox("正の整数を入力してください。", "", MB_OK);
        pDX->Fail(id);
        return;
    }
    value = parsed;
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    if (pDX->Failed())
        return;
    CButton box = pDX->m_pDlgWnd->GetDlgItem<CButton>(id);
    if (pDX->m_bSaveAndValidate)
        value = box.GetCheck();
    else
        box.SetCheck(value);
}

}  // namespace fw
