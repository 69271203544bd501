// Data exchange between a dialog's controls and its members, one direction per walk.
#pragma once

#include <string>

#include "framework/window.h"

namespace fw {

// A walk stops at the first field that fails: the calls after it do nothing.
class CDataExchange {
public:
    CDataExchange(CWnd* wnd, bool saveAndValidate)
        : m_pDlgWnd(wnd), m_bSaveAndValidate(saveAndValidate) {}
    bool Failed() const { return m_bFailed; }
    void Fail(int id);  // reports nothing itself; puts the focus on the field

    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;

private:
    bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Unsigned decimal: a field that holds anything else fails the walk with a message box.
void DDX_Text(CDataExchange* pDX, int id, unsigned& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);

// The field's text read by the one rule both backends share: blanks around the number are
// ignored, then an optional sign when signed, then decimal digits only; empty text, any
// other character or a value outside 32 bits returns false.
bool ParseDlgInt(const std::string& text, bool isSigned, unsigned& value);

}  // namespace fw
