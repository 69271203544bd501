// The application's services from Windows: common controls, icons, system metrics.
#include "framework/window.h"

#include <windows.h>

#include <commctrl.h>  // needs <windows.h> first

#undef LoadIcon  // the framework's own, not the A/W macro

namespace fw {

void CWinApp::Enable3dControls() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
}

Icon LoadIcon(int resourceId) {
    return LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                      ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                      LR_DEFAULTCOLOR);
}

int GetSystemMetrics(int index) {
    return ::GetSystemMetrics(index);
}

}  // namespace fw
