// What each backend provides to the framework's common part. Not for the program's code.
#pragma once

#include <string>

#include "framework/filedialog.h"
#include "framework/window.h"

namespace fw::backend {

// Makes the dialog's window, runs OnInitDialog and the modal loop; the EndDialog result.
int RunModal(CDialog& dlg);
// Makes the dialog's window and runs OnInitDialog, without a modal loop; false on failure.
bool Open(CDialog& dlg);
// Destroys a window made by Open.
void Close(CDialog& dlg);
// Shows the file dialog; IDOK with the chosen path, or IDCANCEL.
int RunFileDialog(const CFileDialog& dlg, std::string& path);

}  // namespace fw::backend
