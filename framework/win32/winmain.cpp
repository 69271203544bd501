// The entry point of GUI programs: the application object does everything in InitInstance.
#include "framework/window.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    fw::AfxGetApp()->InitInstance();
    return 0;
}
